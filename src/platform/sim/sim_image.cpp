// System images: a folder with system.reg (REGEDIT4) and drive_x folders.
// The registry part takes the .reg file, the files part the drive folders.
#include <filesystem>

#include "platform/sim/files/plain_tree.h"
#include "platform/sim/sim_system.h"
#include "regfile/reg_file.h"

namespace fs = std::filesystem;

namespace nl::sim {

namespace {

// The image folder's entry called `name` ignoring letter case (images
// copied from Windows may spell it SYSTEM.REG), empty when there is none.
// Two spellings side by side leave it open which one the customer meant.
std::string OnlyEntryNamed(const std::string& dir, const char* name, const char* what) {
  std::string found;
  for (const PlainEntry& entry : ListPlainFolder(dir)) {
    if (!EqualsIgnoreCase(entry.relative, name)) continue;
    if (!found.empty())
      throw regfile::RegFileError("the image " + dir + " holds two " + what + ", " + found +
                                  " and " + entry.relative + ": keep one");
    found = entry.relative;
  }
  return found;
}

}  // namespace

RegImportReport SimSystem::LoadImage(const std::string& dir,
                                     const RegImportOptions& options) {
  const fs::path root(dir);
  if (!fs::is_directory(root)) throw std::runtime_error("no image folder: " + dir);
  const std::string reg = OnlyEntryNamed(dir, "system.reg", "registry files");
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
  const std::string found = OnlyEntryNamed(root.string(), kImageDescriptionFile, "descriptions");
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
