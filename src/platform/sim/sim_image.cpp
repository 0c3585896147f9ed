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
  description_ = ReadDescription(root);
  for (const auto& [letter, kind] : description_.drives) files_.SetDriveKind(letter, kind);
  if (description_.locale) processes_.SetUserDefaultLcid(*description_.locale);
  return report;
}

ImageDescription SimSystem::ReadDescription(const std::filesystem::path& root) {
  // The folder's entries are plain ones (checked when the image was read);
  // two spellings of the name are one name twice.
  std::string found;
  for (const PlainEntry& entry : ListPlainFolder(root.string())) {
    if (!EqualsIgnoreCase(entry.relative, kImageDescriptionFile)) continue;
    if (!found.empty())
      throw std::runtime_error("the image " + root.string() + " holds two descriptions, " +
                               found + " and " + entry.relative + ": keep one");
    found = entry.relative;
  }
  if (found.empty()) return {};
  return ParseImageDescription(ReadPlainFile((root / found).string()), found);
}

std::string SimSystem::ExportRegistry() const { return ExportRegFile(registry_.Root()); }

void SimSystem::SaveImage(const std::string& dir, bool withLocale) {
  // A folder already holding files would mix stale ones into the image, and
  // could hold links that a write would follow.
  PrepareEmptyFolder(dir);
  WriteNewFile(dir + "/system.reg", ExportRegistry());
  files_.CopyDrivesTo(dir);
  // What the registry does not hold: the locale the run had (when it was
  // known), every drive's kind, and what the customer's case did not tell.
  ImageDescription description = description_;
  if (withLocale) description.locale = processes_.UserDefaultLcid();
  description.drives = files_.DriveKinds();
  WriteNewFile(dir + "/" + kImageDescriptionFile, FormatImageDescription(description));
}

}  // namespace nl::sim
