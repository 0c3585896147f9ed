// System images: a folder with system.reg (REGEDIT4) and drive_x folders.
// The registry part takes the .reg file, the files part the drive folders.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/sim/sim_system.h"
#include "regfile/reg_file.h"

namespace fs = std::filesystem;

namespace nl::sim {

RegImportReport SimSystem::LoadImage(const std::string& dir,
                                     const RegImportOptions& options) {
  const fs::path root(dir);
  if (!fs::is_directory(root)) throw std::runtime_error("no image folder: " + dir);
  // Images copied from Windows may spell it SYSTEM.REG.
  fs::path reg;
  for (const auto& entry : fs::directory_iterator(root))
    if (entry.is_regular_file() &&
        EqualsIgnoreCase(entry.path().filename().string(), "system.reg"))
      reg = entry.path();
  if (reg.empty())
    throw regfile::RegFileError("the image " + dir + " holds no system.reg");
  std::ifstream in(reg, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) throw regfile::RegFileError("cannot read " + reg.string());
  RegImportOptions named = options;
  named.fileName = reg.filename().string();
  RegImportReport report = ImportRegFile(text.str(), &registry_.Root(), named);
  files_.CopyDrivesFrom(dir);
  description_ = ReadDescription(root);
  for (const auto& [letter, kind] : description_.drives) files_.SetDriveKind(letter, kind);
  if (description_.locale) processes_.SetUserDefaultLcid(*description_.locale);
  return report;
}

ImageDescription SimSystem::ReadDescription(const std::filesystem::path& root) {
  for (const auto& entry : fs::directory_iterator(root)) {
    if (!EqualsIgnoreCase(entry.path().filename().string(), kImageDescriptionFile)) continue;
    if (!entry.is_regular_file())
      throw std::runtime_error(entry.path().string() + " is not a plain file");
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) throw std::runtime_error("cannot read " + entry.path().string());
    return ParseImageDescription(text.str(), entry.path().filename().string());
  }
  return {};
}

std::string SimSystem::ExportRegistry() const { return ExportRegFile(registry_.Root()); }

void SimSystem::SaveImage(const std::string& dir) {
  const fs::path root(dir);
  fs::create_directories(root);
  {
    std::ofstream out(root / "system.reg", std::ios::binary | std::ios::trunc);
    out << ExportRegistry();
    if (!out) throw std::runtime_error("cannot write " + (root / "system.reg").string());
  }
  files_.CopyDrivesTo(dir);
  // What the registry does not hold: the locale the run had, every drive's
  // kind, and what the customer's case did not tell.
  ImageDescription description = description_;
  description.locale = processes_.UserDefaultLcid();
  description.drives = files_.DriveKinds();
  std::ofstream out(root / kImageDescriptionFile, std::ios::binary | std::ios::trunc);
  out << FormatImageDescription(description);
  if (!out) throw std::runtime_error("cannot write " + (root / kImageDescriptionFile).string());
}

}  // namespace nl::sim
