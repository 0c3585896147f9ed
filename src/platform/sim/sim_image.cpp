// System images: a folder with system.reg (REGEDIT4) and drive_x folders.
// The registry part takes the .reg file, the files part the drive folders.
#include <filesystem>

#include "platform/sim/files/plain_tree.h"
#include "platform/sim/sim_system.h"
#include "regfile/reg_file.h"

namespace fs = std::filesystem;

namespace nl::sim {

RegImportReport SimSystem::LoadImage(const std::string& dir,
                                     const RegImportOptions& options) {
  const fs::path root(dir);
  if (!fs::is_directory(root)) throw std::runtime_error("no image folder: " + dir);
  // Images copied from Windows may spell it SYSTEM.REG; two spellings side
  // by side leave it open which one the customer meant.
  std::string reg;
  for (const PlainEntry& entry : ListPlainFolder(dir)) {
    if (!EqualsIgnoreCase(entry.relative, "system.reg")) continue;
    if (!reg.empty())
      throw regfile::RegFileError("the image " + dir + " holds two registry files, " + reg +
                                  " and " + entry.relative + ": keep one");
    reg = entry.relative;
  }
  if (reg.empty())
    throw regfile::RegFileError("the image " + dir + " holds no system.reg");
  const std::string text = ReadPlainFile((root / reg).string());
  RegImportOptions named = options;
  named.fileName = reg;
  RegImportReport report = ImportRegFile(text, &registry_.Root(), named);
  files_.CopyDrivesFrom(dir);
  return report;
}

std::string SimSystem::ExportRegistry() const { return ExportRegFile(registry_.Root()); }

void SimSystem::SaveImage(const std::string& dir) {
  // A folder already holding files would mix stale ones into the image, and
  // could hold links that a write would follow.
  PrepareEmptyFolder(dir);
  WriteNewFile(dir + "/system.reg", ExportRegistry());
  files_.CopyDrivesTo(dir);
}

}  // namespace nl::sim
