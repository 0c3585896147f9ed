// System images: a folder with system.reg (REGEDIT4) and drive_x folders.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "regfile/reg_file.h"
#include "platform/sim/sim_system.h"

namespace fs = std::filesystem;

namespace nl::sim {

namespace {

bool IsDriveFolder(const fs::path& p) {
  const std::string name = p.filename().string();
  return name.size() == 7 && name.compare(0, 6, "drive_") == 0 && name[6] >= 'a' &&
         name[6] <= 'z';
}

void CopyTree(const fs::path& from, const fs::path& to) {
  fs::create_directories(to);
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

}  // namespace

RegImportReport SimSystem::LoadImage(const std::string& dir, const RegImportOptions& options) {
  const fs::path root(dir);
  if (!fs::is_directory(root)) throw std::runtime_error("no image folder: " + dir);
  // Images copied from Windows may spell it SYSTEM.REG.
  fs::path reg;
  for (const auto& entry : fs::directory_iterator(root))
    if (entry.is_regular_file() && EqualsIgnoreCase(entry.path().filename().string(), "system.reg"))
      reg = entry.path();
  if (reg.empty()) throw regfile::RegFileError("the image " + dir + " holds no system.reg");
  std::ifstream in(reg, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) throw regfile::RegFileError("cannot read " + reg.string());
  RegImportOptions named = options;
  named.fileName = reg.filename().string();
  RegImportReport report = ImportRegFile(text.str(), registry_.get(), named);
  FlushAll();
  for (const auto& entry : fs::directory_iterator(root))
    if (entry.is_directory() && IsDriveFolder(entry.path()))
      CopyTree(entry.path(), fs::path(hostRoot_) / entry.path().filename());
  for (auto& entry : files_) entry.second.readLen = 0;
  return report;
}

std::string SimSystem::ExportRegistry() const { return ExportRegFile(*registry_); }

void SimSystem::SaveImage(const std::string& dir) {
  FlushAll();
  const fs::path root(dir);
  fs::create_directories(root);
  {
    std::ofstream out(root / "system.reg", std::ios::binary | std::ios::trunc);
    out << ExportRegistry();
    if (!out) throw std::runtime_error("cannot write " + (root / "system.reg").string());
  }
  for (const auto& entry : fs::directory_iterator(hostRoot_))
    if (entry.is_directory() && IsDriveFolder(entry.path()))
      CopyTree(entry.path(), root / entry.path().filename());
}

}  // namespace nl::sim
