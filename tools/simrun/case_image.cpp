#include "case_image.h"

#include "case_dates.h"
#include "case_image_parts.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>

#include "changes.h"
#include "diag/case_format.h"
#include "diag/case_output.h"
#include "findings/pc_facts.h"
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
  PlanCaseDates(caseFile, &plan);
  PlanRegistry(caseFile, &plan);
  PlanSetupFiles(caseFile, &plan);
  PlanProgramFolder(caseFile, shippedDriver, &plan);
  PlanSourceDrive(caseFile, shippedDriver, &plan);
  SettlePaths(caseFile.fileName, &plan);
  return plan;
}

// What the PC's facts mean for the adapter, as comments of image.txt for
// whoever reads it (the reports say the same).
std::string MeaningComments(const CaseImagePlan& plan) {
  nl::findings::RunFacts facts;
  nl::findings::RecordDescribedFacts(plan.description, &facts);
  facts.german = plan.description.locale && (*plan.description.locale & 0xFF) == 7;
  facts.registryBefore = std::make_shared<nl::regfile::RegNode>();
  nl::regfile::ImportRegFile(plan.systemReg, facts.registryBefore.get());
  std::string text;
  for (const std::string& line : nl::findings::PcFactLines(facts)) text += "; " + line + "\n";
  return text.empty() ? "" : "; what these facts mean for the adapter:\n" + text;
}

std::string ShippedDriver(const std::string& sampleImage) {
  return ReadHostFile(
      (fs::path(sampleImage) / "drive_c" / "NLSETUP" / nl::kDriverFileName).string());
}

CaseImagePlan WriteImageFromCase(const std::string& folder, const std::string& casePath,
                                 const std::string& sampleImage) {
    const fs::path image = folder;
    if (fs::exists(image) && !fs::is_empty(image))
      throw std::runtime_error(folder + " exists and is not empty");
    const std::string name = fs::path(casePath).filename().string();
    const CaseFile caseFile = ReadCaseFile(ReadHostFile(casePath), name);
    // The first warnings in full, then a count per kind.
    for (const std::string& warning : caseFile.warnings)
      std::fprintf(stderr, "simrun: %s\n", ShownText(warning).c_str());
    // Every input read and checked, every path settled, before any of the
    // image is written.
    CaseImagePlan plan = PlanCaseImage(caseFile, ShippedDriver(sampleImage));
    // What the case lacked stays with the image, for every report on it.
    plan.description.lacked = plan.lacked;
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
    write(nl::sim::kImageDescriptionFile,
          nl::sim::FormatImageDescription(plan.description) + MeaningComments(plan));
    for (const PlannedFolder& planned : plan.folders) fs::create_directories(image / planned.path);
    for (const PlannedFile& planned : plan.files) write(planned.path, planned.bytes);
    return plan;
}

int MakeImageFromCase(const std::string& folder, const std::string& casePath,
                      const std::string& sampleImage) {
  try {
    const CaseImagePlan plan = WriteImageFromCase(folder, casePath, sampleImage);
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
