// The PC's own folders in the image: the program's folder and the
// SourcePath drive, each with the driver file the case found there, and the
// facts of the PC the run does not use.
#include <cstdlib>

#include "case_image_parts.h"
#include "diag/case_format.h"
#include "diag/case_output.h"
#include "platform/sim/processes/sim_processes.h"
#include "regfile/ignore_case.h"
#include "report_text.h"

namespace simrun {

namespace diag = nl::diag;

namespace {

// The driver file's bytes the case holds for `place` (a case of format 2),
// or null.
const CaseSetupFile* DriverBytes(const CaseFile& caseFile, CasePlace place) {
  for (const CaseSetupFile& file : caseFile.files)
    if (file.place == place && file.present) return &file;
  return nullptr;
}

// The driver file as a folder's line of the case gives it ("present, 4096
// bytes, crc32 0x..."). Its bytes go into the image at `relative`: the
// PC's own when the case holds them, else the shipped ones. True when the
// image holds the PC's file: the case's bytes, or the shipped file when the
// PC's is that one.
bool PlanDriverCopy(const std::string& line, const std::string& shippedDriver,
                    const CaseSetupFile* pcDriver, const std::string& relative,
                    const std::string& what, CaseImagePlan* plan, std::string* shipped) {
  plan->files.push_back(
      {relative + "/" + nl::kDriverFileName, pcDriver ? pcDriver->bytes : shippedDriver, what});
  *shipped = "present, " + std::to_string(shippedDriver.size()) + " bytes, crc32 " +
             Hex32(diag::Crc32(0, shippedDriver.data(), shippedDriver.size()));
  return pcDriver != nullptr || line == *shipped;
}

// What the image holds of the driver file at a place: the shipped one, or
// the PC's own one of another size or checksum.
std::string DriverSaid(const std::string& line, const std::string& shipped) {
  return line == shipped ? std::string(nl::kDriverFileName) + ", the one shipped"
                         : "its own " + std::string(nl::kDriverFileName) + " (" + line +
                               "), not the one shipped (" + shipped + "): the image has the PC's";
}

}  // namespace

void PlanProgramFolder(const CaseFile& caseFile, const std::string& shippedDriver,
                       CaseImagePlan* plan) {
  const std::string folder = Field(caseFile.programFolder, "folder");
  const std::string image = nl::sim::kDefaultProgramFolder;
  const std::string driver = Shown(Field(caseFile.programFolder, nl::kDriverFileName));
  const std::string said =
      folder.empty()     ? "the program's folder, which the case does not name (the image's is " + image + "),"
      : folder == image  ? "the program's folder " + image
                         : "the program's folder " + Shown(folder) + " (the image's is " + image + ")";
  const std::string what = "the program's folder " + image;
  if (driver.rfind("present", 0) == 0) {
    std::string shipped;
    if (PlanDriverCopy(driver, shippedDriver, DriverBytes(caseFile, CasePlace::kBesideProgram),
                       ImageRelativePath(image), "the driver file of " + what, plan, &shipped)) {
      plan->held.push_back(said + " holds " + DriverSaid(driver, shipped));
    } else {
      plan->lacked.push_back(said + " holds another " + std::string(nl::kDriverFileName) + " (" +
                             driver + ") than the one shipped (" + shipped +
                             "): the image has the shipped one");
      plan->description.pcDriver = driver;
    }
  } else if (driver.rfind("absent", 0) == 0) {
    plan->folders.push_back({ImageRelativePath(image), what});
    plan->held.push_back(said + " has no " + nl::kDriverFileName + ": the image's neither");
  } else {
    plan->folders.push_back({ImageRelativePath(image), what});
    plan->lacked.push_back(said + ": " + (driver.empty() ? "nothing said of " + std::string(nl::kDriverFileName)
                                                         : std::string(nl::kDriverFileName) + " " + driver));
  }
  const std::string installer = Field(caseFile.programFolder, diag::kInstallerFileName);
  if (!installer.empty())
    plan->held.push_back(std::string(diag::kInstallerFileName) + " beside it: " + Shown(installer));
}

void PlanSourceDrive(const CaseFile& caseFile, const std::string& shippedDriver,
                     CaseImagePlan* plan) {
  std::string sourcePath;
  if (!SetupText(caseFile.registry.get(), nl::kSourcePathValue, &sourcePath)) {
    plan->held.push_back("no SourcePath on the PC: the driver copy has no place");
    return;
  }
  const std::string shownPath = Shown(sourcePath);
  const std::string drive = Field(caseFile.sourceDrive, "drive");
  const std::string relative = ImageRelativePath(sourcePath);
  const char letter = relative.empty() ? 0 : nl::regfile::FoldUpper(sourcePath[0]);
  if (relative.empty() || drive != std::string(1, letter) + ":") {
    plan->lacked.push_back(
        "SourcePath \"" + shownPath + "\": " +
        (drive.empty() || drive == "unknown"
             ? std::string("the case does not say what drive it is on")
             : "the case describes drive " + Shown(drive) + ", not the drive of that path"));
    return;
  }
  const auto typeField = caseFile.sourceDrive.find("type");
  std::uint32_t type = 0;
  const std::string typeText = typeField == caseFile.sourceDrive.end() ? "" : typeField->second.value;
  char* end = nullptr;
  type = static_cast<std::uint32_t>(std::strtoul(typeText.c_str(), &end, 10));
  const bool typeRead = !typeText.empty() && end && *end == '\0' && typeText.size() < 4;
  const std::string medium = Field(caseFile.sourceDrive, "medium");
  const std::string folderState = Field(caseFile.sourceDrive, "folder");
  nl::sim::DriveKind kind;
  if (!typeRead || !DriveKindOf(type, medium == "present", &kind)) {
    plan->lacked.push_back("SourcePath drive " + drive + ": a drive type the image cannot model (" +
                           (typeText.empty() ? "none given" : Shown(typeText)) + ")");
    return;
  }
  const bool holdsWindows = letter == 'C';
  if (holdsWindows && kind != nl::sim::DriveKind::kFixed && kind != nl::sim::DriveKind::kRemovable) {
    plan->lacked.push_back("SourcePath drive C: holds Windows, yet the case gives it type " + typeText +
                           " (line " + std::to_string(typeField->second.line) + "): taken as a fixed disk");
    kind = nl::sim::DriveKind::kFixed;
  }
  plan->description.drives[letter] = kind;
  std::string said = "SourcePath " + shownPath + ": drive " + drive + " " +
                     nl::sim::DriveKindPhrase(kind);
  if (nl::sim::HasMedium(kind) && folderState == "present") {
    plan->folders.push_back({relative, "the SourcePath folder " + shownPath});
    said += ", the folder there";
    const std::string copy = Shown(Field(caseFile.sourceDrive, nl::kDriverFileName));
    std::string shipped;
    if (copy.rfind("present", 0) == 0) {
      if (PlanDriverCopy(copy, shippedDriver, DriverBytes(caseFile, CasePlace::kInSource), relative,
                         "the driver copy in SourcePath " + shownPath, plan, &shipped))
        said += " with the driver copy of an earlier run: " + DriverSaid(copy, shipped);
      else
        plan->lacked.push_back("SourcePath " + shownPath + " holds another " +
                               nl::kDriverFileName + " (" + copy + ") than the one shipped (" +
                               shipped + "): the image has the shipped one");
    } else if (copy.empty()) {
      plan->lacked.push_back("SourcePath " + shownPath + ": the case says nothing of " +
                             nl::kDriverFileName + " there");
    }
  } else if (nl::sim::HasMedium(kind)) {
    said += ", the folder not there (" + Shown(folderState) + ")";
  }
  if (kind == nl::sim::DriveKind::kNetwork)
    plan->lacked.push_back(said + ": what a share holds and allows is the server's, not the case's");
  else
    plan->held.push_back(said);
}

namespace {

// A quoted value of the system part ("\"4.10.2222\"") without its quotes.
std::string Unquoted(const std::string& value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

// What the case tells of the PC beyond what the run uses, into image.txt
// for the reader and the support answer: the system locale, the Windows
// version numbers, when the case was taken, the system tools' files.
void PlanFactsOfThePc(const CaseFile& caseFile, CaseImagePlan* plan) {
  plan->description.caseFormat = caseFile.version;
  if (caseFile.version < 2) {
    plan->lacked.push_back(
        "a case of format 1, from an older NLDIAG.EXE: it holds neither the driver file's "
        "bytes nor Windows' version numbers, the system tools' files, the ports in use, the "
        "adapter's USB node or when it was taken");
    return;
  }
  const std::string systemLocale = Field(caseFile.system, "system-locale");
  char* end = nullptr;
  const auto lcid = static_cast<std::uint32_t>(std::strtoul(systemLocale.c_str(), &end, 16));
  if (systemLocale.rfind("0x", 0) == 0 && systemLocale.size() <= 10 && end && *end == '\0')
    plan->description.systemLocale = lcid;
  const std::string number = Unquoted(Field(caseFile.system, "windows-version-number"));
  const std::string sub = Unquoted(Field(caseFile.system, "windows-subversion-number"));
  if (!number.empty() && number != "absent") {
    std::string windows = Shown(number);
    if (!sub.empty() && sub != "absent") windows += " " + Shown(sub);
    while (!windows.empty() && windows.back() == ' ') windows.pop_back();
    plan->description.windows = windows;
  } else {
    plan->lacked.push_back("Windows' VersionNumber: 95, OSR2, 98 and 98 SE cannot be told apart");
  }
  const std::string collected = Field(caseFile.system, "collected");
  if (!collected.empty()) {
    plan->description.collected = Shown(collected);
    plan->held.push_back("the case was taken on " + Shown(collected) + " by the PC's clock");
  }
  for (const auto& [tool, state] : caseFile.systemTools)
    plan->description.tools[tool] = Shown(state.value);
  for (const auto& [port, device] : caseFile.ports)
    if (port != "found") plan->description.ports[Shown(port)] = Shown(device.value);
  for (const auto& [file, state] : caseFile.driverDatabase)
    plan->description.driverDatabase[Shown(file)] = Shown(state.value);
}

}  // namespace simrun
