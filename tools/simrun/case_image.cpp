#include "case_image.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>

#include "changes.h"
#include "diag/case_format.h"
#include "diag/case_output.h"
#include "platform/sim/files/plain_tree.h"
#include "platform/sim/processes/sim_processes.h"
#include "regfile/ignore_case.h"
#include "regfile/reg_file.h"
#include "report_text.h"
#include "platform/sim/files/sim_paths.h"

namespace fs = std::filesystem;
namespace diag = nl::diag;

namespace simrun {
namespace {

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

std::string Field(const CaseFields& fields, const char* name) {
  const auto found = fields.find(name);
  return found == fields.end() ? std::string() : found->second.value;
}

// A Setup value of the case's registry as the installer reads it (the text
// up to its first zero, trailing backslashes dropped); false when absent.
bool SetupText(const nl::regfile::RegNode* root, const char* name, std::string* text) {
  if (root == nullptr) return false;
  std::vector<std::string> names;
  nl::regfile::SplitKeyPath(nl::kSetupKeyPath, &names);
  const nl::regfile::RegNode* key =
      nl::regfile::WalkKeys(const_cast<nl::regfile::RegNode*>(root), names);
  const nl::regfile::RegValue* value = key ? key->FindValue(name) : nullptr;
  if (!value) return false;
  *text = value->data.substr(0, value->data.find('\0'));
  while (!text->empty() && text->back() == '\\') text->pop_back();
  return true;
}

// GetDriveTypeA's answer and the medium, as an image's drive kind.
bool DriveKindOf(std::uint32_t type, bool medium, nl::sim::DriveKind* kind) {
  using nl::sim::DriveKind;
  switch (type) {
    case nl::sim::kDriveNoRootDir: *kind = DriveKind::kNone; return true;
    case nl::sim::kDriveFixed: *kind = DriveKind::kFixed; return true;
    case nl::sim::kDriveRemote: *kind = DriveKind::kNetwork; return true;
    case nl::sim::kDriveCdRom: *kind = medium ? DriveKind::kCdRom : DriveKind::kCdRomNoDisc; return true;
    case nl::sim::kDriveRemovable:
      *kind = medium ? DriveKind::kRemovable : DriveKind::kRemovableNoDisk;
      return true;
    default: return false;
  }
}

void PlanRegistry(const CaseFile& caseFile, CaseImagePlan* plan) {
  if (!caseFile.registry) {
    plan->lacked.push_back("no registry part: system.reg is empty, and what rests on its keys is unknown");
    plan->systemReg = "REGEDIT4\n\n";
    for (const diag::CaseSubtree& subtree : diag::kCaseSubtrees)
      plan->description.missing.insert(subtree.path);
    return;
  }
  plan->systemReg = nl::regfile::ExportRegFile(*caseFile.registry);
  for (std::size_t i = 0; i < kSubtreeCount; ++i) {
    const diag::CaseSubtree& subtree = diag::kCaseSubtrees[i];
    const CaseSubtreeStatus& status = caseFile.subtrees[i];
    const std::string name = std::string("HKEY_LOCAL_MACHINE\\") + subtree.path;
    // The status text was read as NLDIAG writes it, digits and words only.
    const std::string line = " (line " + std::to_string(status.line) + ")";
    bool known = false;
    if (status.state == SubtreeState::kUnsaid) {
      plan->lacked.push_back(name + ": the case says nothing of it");
    } else if (status.state == SubtreeState::kAbsent) {
      plan->held.push_back(name + ": not on the PC" + status.text.substr(6));
      known = true;
    } else if (!status.held && status.state != SubtreeState::kUnreadable) {
      plan->lacked.push_back(name + ": " + status.text + line + ", yet the registry part does not hold it" +
                             (caseFile.otherRootKeys != 0 ? " (it holds keys under other roots)" : ""));
    } else if (status.state == SubtreeState::kPresent) {
      plan->held.push_back(name + ": " + status.text);
      known = true;
    } else {
      plan->lacked.push_back(name + ": " + status.text + line);
    }
    // What rests on a key the case does not hold whole is unknown.
    if (!known) plan->description.missing.insert(subtree.path);
  }
}

void PlanSetupFiles(const CaseFile& caseFile, CaseImagePlan* plan) {
  std::string scratchDir;
  if (!SetupText(caseFile.registry.get(), nl::kScratchDirValue, &scratchDir)) {
    plan->lacked.push_back("no SetupScratchDir in the case's registry: the setup files have no place");
    for (const char* name : {nl::kIrminiInf, nl::kInfraredInf}) plan->description.missing.insert(name);
    return;
  }
  const std::string shownDir = Shown(scratchDir);
  const std::string scratch = ImageRelativePath(scratchDir);
  if (scratch.empty()) {
    plan->lacked.push_back("SetupScratchDir \"" + shownDir + "\" is not a folder the image can hold");
    for (const char* name : {nl::kIrminiInf, nl::kInfraredInf}) plan->description.missing.insert(name);
    return;
  }
  const std::string folderState = Field(caseFile.registryStatus, "scratch-folder");
  if (folderState == "present") plan->folders.push_back({scratch, "the SetupScratchDir folder " + shownDir});
  for (const char* name : diag::kCaseSetupFiles) {
    const CaseSetupFile* file = nullptr;
    for (const CaseSetupFile& candidate : caseFile.files)
      if (candidate.place == CasePlace::kScratch && candidate.name == name) file = &candidate;
    const std::string where = shownDir + "\\" + name;
    const bool known = file != nullptr && (file->present || file->state.value.rfind("absent", 0) == 0);
    if (!known && (std::string(name) == nl::kIrminiInf || std::string(name) == nl::kInfraredInf))
      plan->description.missing.insert(name);
    if (file == nullptr) {
      plan->lacked.push_back(where + ": the case says nothing of it");
    } else if (file->present) {
      plan->files.push_back({scratch + "/" + name, file->bytes, where + " of SetupScratchDir"});
      plan->held.push_back(where + ": " + std::to_string(file->bytes.size()) + " bytes");
    } else if (file->state.value.rfind("absent", 0) == 0) {
      plan->held.push_back(where + ": not on the PC");
    } else {
      plan->lacked.push_back(where + ": " + Shown(file->state.value) + " (line " +
                             std::to_string(file->state.line) + ")");
    }
  }
}

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

void PlanProgramFolder(const CaseFile& caseFile, const std::string& shippedDriver,
                       CaseImagePlan* plan) {
  const std::string folder = Field(caseFile.programFolder, "folder");
  const std::string image = nl::sim::kDefaultProgramFolder;
  const std::string driver = Shown(Field(caseFile.programFolder, nl::kDriverFileName));
  const std::string said = "the program's folder " + (folder.empty() ? "(not named)" : Shown(folder)) +
                           (folder == image ? "" : ", played by " + image + ",");
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
    plan->lacked.push_back("SourcePath \"" + shownPath + "\": the case names " +
                           (drive.empty() ? "no drive" : "drive " + Shown(drive)) + " for it");
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

// "drive_c/A/B" -> "C:\A\B".
std::string WindowsPath(const std::string& relative) {
  std::string out(1, static_cast<char>(relative[6] - 'a' + 'A'));
  out += ':';
  for (std::size_t i = 7; i < relative.size(); ++i) out += relative[i] == '/' ? '\\' : relative[i];
  return out.size() == 2 ? out + "\\" : out;
}

// Every path of the plan onto one spelling per name, ignoring letter case
// as Windows does (the first spelling planned wins), each file once; a
// file where a folder goes, or anything below a file, is a CaseError
// naming both.
void SettlePaths(const std::string& fileName, CaseImagePlan* plan) {
  struct Place {
    std::string spelled, what;
    const std::string* bytes;  // null for a folder
  };
  std::map<std::string, Place> places;  // folded path -> what is there
  // False when the same file or folder is there already.
  auto settle = [&](std::string* path, const std::string* bytes, const std::string& what) {
    std::string folded, spelled;
    bool added = false;
    for (std::size_t start = 0; start <= path->size();) {
      std::size_t end = path->find('/', start);
      if (end == std::string::npos) end = path->size();
      const std::string name = path->substr(start, end - start);
      const bool last = end == path->size();
      folded += (start == 0 ? "" : "/");
      for (const char c : name) folded += nl::regfile::FoldUpper(c);
      const Place place{spelled + (start == 0 ? "" : "/") + name, what, last ? bytes : nullptr};
      const auto [at, isNew] = places.emplace(folded, place);
      spelled = at->second.spelled;
      if (!isNew && (at->second.bytes != nullptr || place.bytes != nullptr) &&
          !(last && at->second.bytes != nullptr && place.bytes != nullptr && *at->second.bytes == *place.bytes))
        throw CaseError(fileName + ": " + at->second.what + " and " + what + " take one place, " +
                        WindowsPath(spelled) + ", one as a file: the image cannot hold both");
      added = isNew;
      start = end + 1;
    }
    *path = spelled;
    return added;
  };
  std::vector<PlannedFolder> folders;
  for (PlannedFolder& folder : plan->folders)
    if (settle(&folder.path, nullptr, folder.what)) folders.push_back(std::move(folder));
  plan->folders = std::move(folders);
  std::vector<bool> keep;  // the places hold the bytes of plan->files: moved only after
  for (PlannedFile& file : plan->files) keep.push_back(settle(&file.path, &file.bytes, file.what));
  std::vector<PlannedFile> files;
  for (std::size_t i = 0; i < keep.size(); ++i)
    if (keep[i]) files.push_back(std::move(plan->files[i]));
  plan->files = std::move(files);
}

}  // namespace

std::string ImageRelativePath(const std::string& windowsPath) {
  if (windowsPath.size() < 2 || windowsPath.size() >= nl::kMaxPath || windowsPath[1] != ':')
    return {};
  const char letter = nl::regfile::FoldUpper(windowsPath[0]);
  if (letter < 'A' || letter > 'Z') return {};
  std::string out = std::string("drive_") + static_cast<char>(letter - 'A' + 'a');
  std::size_t start = 2;
  while (start <= windowsPath.size()) {
    std::size_t end = windowsPath.find('\\', start);
    if (end == std::string::npos) end = windowsPath.size();
    const std::string given = windowsPath.substr(start, end - start);
    start = end + 1;
    if (given.empty()) continue;
    if (given == "." || given == ".." || given.size() > 255) return {};
    // Windows 95/98 drop the dots and blanks a name ends in.
    const std::string part = nl::sim::WithoutTrailingDotsAndBlanks(given);
    if (part.empty()) return {};
    for (char c : part) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (u < 0x20 || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
          c == '>' || c == '|')
        return {};
    }
    out += "/" + part;
  }
  return out;
}

// A quoted value of the system part ("\"4.10.2222\"") without its quotes.
std::string Unquoted(const std::string& value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    return value.substr(1, value.size() - 2);
  return value;
}

// What the case tells of the PC beyond what the run uses, into image.txt
// for the reader and the support answer: the system locale, the Windows
// version numbers, when the case was taken, the system tools' files.
void PlanFactsOfThePc(const CaseFile& caseFile, CaseImagePlan* plan) {
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
}

CaseImagePlan PlanCaseImage(const CaseFile& caseFile, const std::string& shippedDriver) {
  CaseImagePlan plan;
  const std::string version = Field(caseFile.system, "windows-version");
  if (version.empty()) {
    plan.lacked.push_back("Windows' version");
  } else {
    plan.held.push_back("Windows " + Shown(version) + ", build " +
                        Shown(Field(caseFile.system, "windows-build")) + ", platform " +
                        Shown(Field(caseFile.system, "windows-platform")) + " " +
                        Shown(Field(caseFile.system, "windows-extra")));
  }
  const std::string locale = Field(caseFile.system, "user-locale");
  char* end = nullptr;
  const auto lcid = static_cast<std::uint32_t>(std::strtoul(locale.c_str(), &end, 16));
  if (locale.rfind("0x", 0) != 0 || locale.size() > 10 || !end || *end != '\0') {
    plan.lacked.push_back("the user's locale: the image has none");
  } else {
    plan.description.locale = lcid;
    plan.held.push_back("user locale " + locale + " (system locale " +
                        Shown(Field(caseFile.system, "system-locale")) + ")");
  }
  PlanFactsOfThePc(caseFile, &plan);
  PlanRegistry(caseFile, &plan);
  PlanSetupFiles(caseFile, &plan);
  PlanProgramFolder(caseFile, shippedDriver, &plan);
  PlanSourceDrive(caseFile, shippedDriver, &plan);
  SettlePaths(caseFile.fileName, &plan);
  return plan;
}

int MakeImageFromCase(const std::string& folder, const std::string& casePath,
                      const std::string& sampleImage) {
  try {
    const fs::path image = folder;
    if (fs::exists(image) && !fs::is_empty(image))
      throw std::runtime_error(folder + " exists and is not empty");
    const std::string name = fs::path(casePath).filename().string();
    const CaseFile caseFile = ReadCaseFile(ReadHostFile(casePath), name);
    // The first warnings in full, then a count per kind.
    for (const std::string& warning : caseFile.warnings)
      std::fprintf(stderr, "simrun: %s\n", ShownText(warning).c_str());
    const fs::path driver = fs::path(sampleImage) / "drive_c" / "NLSETUP" / nl::kDriverFileName;
    // Every input read and checked, every path settled, before any of the
    // image is written.
    const CaseImagePlan plan = PlanCaseImage(caseFile, ReadHostFile(driver.string()));
    // Written as every image is: into a folder made new (a link there is
    // refused), never through a link; each file once.
    nl::sim::PrepareEmptyFolder(folder);
    auto write = [&](const std::string& relative, const std::string& bytes) {
      const fs::path path = image / relative;
      fs::create_directories(path.parent_path());
      nl::sim::WriteNewFile(path.string(), bytes);
    };
    fs::create_directories(image / "drive_c");
    write("system.reg", plan.systemReg);
    write(nl::sim::kImageDescriptionFile, nl::sim::FormatImageDescription(plan.description));
    for (const PlannedFolder& planned : plan.folders) fs::create_directories(image / planned.path);
    for (const PlannedFile& planned : plan.files) write(planned.path, planned.bytes);
    std::cout << "image " << ShownText(folder) << " from the case " << ShownText(casePath) << "\n";
    std::cout << "the case held:\n";
    for (const std::string& line : plan.held) std::cout << "  " << ShownText(line) << "\n";
    if (!plan.lacked.empty()) {
      std::cout << "the case lacked:\n";
      for (const std::string& line : plan.lacked) std::cout << "  " << ShownText(line) << "\n";
    }
    std::cout << "run it with: simrun --image " << ShownText(folder) << "\n";
    return plan.lacked.empty() ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "simrun: %s\n", ShownText(e.what()).c_str());
    return 2;
  }
}

}  // namespace simrun
