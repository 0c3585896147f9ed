// The one place where the findings look at the simulated system.
#include <cstdlib>
#include <stdexcept>

#include "findings/journal_facts.h"
#include "findings/pc_facts.h"
#include "findings/run_facts.h"
#include "platform/platform.h"
#include "platform/sim/sim_system.h"
#include "regfile/reg_file.h"
#include "setup/driver_prep.h"
#include "setup/inf_edit_table.h"
#include "setup/setup_env.h"

namespace nl::findings {

namespace {

constexpr const char* kTempInf = "NL-TEMP.INF";

// The registry as it stands, in a tree of its own.
std::shared_ptr<regfile::RegNode> RegistryCopy(const sim::SimSystem& system) {
  auto root = std::make_shared<regfile::RegNode>();
  regfile::ImportRegFile(system.ExportRegistry(), root.get());
  return root;
}

// A Setup folder as the program reads it, into a buffer of `capacity` bytes.
SetupFolder ReadSetupFolder(const regfile::RegNode* root, const char* valueName,
                            std::size_t capacity) {
  SetupFolder folder;
  const regfile::RegNode* key = FindKey(root, kSetupKeyPath);
  const regfile::RegValue* value = key ? key->FindValue(valueName) : nullptr;
  if (!value) return folder;
  folder.known = true;
  const std::size_t zero = value->data.find('\0');
  folder.path = value->data.substr(0, zero);
  while (!folder.path.empty() && folder.path.back() == '\\') folder.path.pop_back();
  // A text that fills the buffer without a zero cannot be used either.
  folder.tooLong = value->data.size() > capacity ||
                   (zero == std::string::npos && folder.path.size() >= capacity);
  if (folder.tooLong) folder.path.clear();
  return folder;
}

std::map<std::string, FileFact> ScratchFiles(sim::SimSystem& system, const SetupFolder& dir) {
  std::map<std::string, FileFact> files;
  for (const std::string& name : ScratchFileNames()) {
    FileFact& file = files[name];
    if (!dir.known || dir.path.empty()) continue;
    const std::string path = dir.path + "\\" + name;
    file.exists = system.Files().FileExists(path);
    try {
      if (file.exists) file.bytes = system.Files().ReadFileText(path);
    } catch (const std::runtime_error&) {
      // held open or a folder: it exists, its bytes are unknown
    }
  }
  return files;
}

SourceFolderFacts SourceFolder(sim::SimSystem& system, const SetupFolder& source) {
  SourceFolderFacts facts;
  if (!source.known) return facts;
  const std::string& path = source.path;
  const bool hasDrive = path.size() >= 2 && path[1] == ':';
  const bool unc = path.compare(0, 2, "\\\\") == 0;
  facts.driveKind = hasDrive ? system.Files().DriveKindOf(path[0])
                    : unc    ? sim::DriveKind::kNetwork
                             : sim::DriveKind::kFixed;
  facts.driveExists = !hasDrive || sim::HasMedium(facts.driveKind);
  // An empty SourcePath, or a drive alone, is the root of its drive.
  const bool root = path.empty() || (hasDrive && path.size() == 2);
  facts.folderExists = system.Files().FileExists(root ? path + "\\" : path);
  facts.driverThere = system.Files().FileExists(path + "\\" + kDriverFileName);
  return facts;
}

bool ScratchDirExists(sim::SimSystem& system, const std::string& scratch) {
  // a drive alone is its root
  return !scratch.empty() && system.Files().FileExists(scratch.size() == 2 ? scratch + "\\" : scratch);
}

}  // namespace

const std::vector<std::string>& ScratchFileNames() {
  static const std::vector<std::string> kNames = {kIrminiInf, kIrminiBak, kInfraredInf,
                                                  kInfraredBak, kTempInf};
  return kNames;
}

void RecordRunFacts(sim::SimSystem& system, RunMoment moment, RunFacts* facts) {
  if (moment == RunMoment::kBefore) {
    facts->registryBefore = RegistryCopy(system);
    facts->scratchDir = ReadSetupFolder(facts->registryBefore.get(), kScratchDirValue, kMaxPath);
    facts->sourcePath = ReadSetupFolder(facts->registryBefore.get(), kSourcePathValue, kSourcePathCapacity);
    facts->scratchBefore = ScratchFiles(system, facts->scratchDir);
    facts->sourceBefore = SourceFolder(system, facts->sourcePath);
    facts->scratchDirExistedBefore = ScratchDirExists(system, facts->scratchDir.path);
    RecordDescribedFacts(system.LoadedDescription(), facts);
    facts->toolsPlayed = true;  // the simulated system runs stand-ins only
    facts->driverGivenByUser =
        system.Files().FileExists(std::string(sim::kSystemFolder) + "\\" + kDriverFileName);
    // Until the program asks (after the run), the locale it will be told.
    facts->german = (system.Processes().UserDefaultLcid() & 0xFF) == 7;
    return;
  }
  system.Files().HostPath("C:\\");  // lands writes still held back by open files
  facts->registryAfter = RegistryCopy(system);
  facts->scratchAfter = ScratchFiles(system, facts->scratchDir);
  facts->source = SourceFolder(system, facts->sourcePath);
  // Set before the run when the file was there already: only a copy made
  // during the run tells that the user gave it.
  facts->driverGivenByUser =
      !facts->driverGivenByUser &&
      system.Files().FileExists(std::string(sim::kSystemFolder) + "\\" + kDriverFileName);
  facts->driverInSource.clear();
  if (facts->source.driverThere) {
    try {
      facts->driverInSource =
          system.Files().ReadFileText(facts->sourcePath.path + "\\" + kDriverFileName);
    } catch (const std::runtime_error&) {
      // held open: its bytes are unknown
    }
  }
  facts->scratchDirExists = ScratchDirExists(system, facts->scratchDir.path);
  facts->calls.clear();
  for (const sim::JournalEntry& entry : system.Journal().Entries()) {
    facts->calls.push_back({entry.index, entry.operation, entry.arguments, entry.result});
  }
  // The locale as the program was told it, at its first question.
  for (const CallFact& call : facts->calls) {
    if (call.operation == "GetUserDefaultLCID") {
      facts->german = (std::strtoul(call.result.c_str(), nullptr, 16) & 0xFF) == 7;
      break;
    }
  }
  for (const CallFact& call : facts->calls) {
    if (call.operation != "CopyFileA") continue;
    const std::vector<std::string> paths = QuotedTexts(call.arguments);
    if (paths.empty()) continue;
    facts->driverSource = paths[0];
    facts->driverSourceExists = system.Files().FileExists(paths[0]);
  }
  facts->processes.clear();
  for (const sim::ProcessStart& start : system.Processes().Starts())
    facts->processes.push_back(
        {start.commandLine, start.started, start.started && !system.Processes().IsAlive(start.processId)});
}

}  // namespace nl::findings
