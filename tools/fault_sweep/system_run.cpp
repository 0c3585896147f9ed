#include "system_run.h"

#include <stdlib.h>

#include <filesystem>

#include "main/install_sequence.h"
#include "regfile/reg_account.h"
#include "regfile/reg_file.h"
#include "standins/stand_in_tools.h"

namespace fs = std::filesystem;

namespace sweep {

const std::vector<std::string> kWatchedFiles = {
    kIrminiInf, kIrminiBak, kInfraredInf, kInfraredBak, kTempInf,
    "C:\\WINDOWS\\OPTIONS\\CABS\\nl-430.sys"};

namespace {

constexpr nl::ProgramInstance kInstance = 0x00400000;
// Far beyond any wait of a healthy run: only a hang reaches it.
constexpr std::uint64_t kVirtualTimeLimitMs = 30u * 60u * 1000u;

std::string MakeHostRoot() {
  std::string pattern = (fs::temp_directory_path() / "nl-sweep-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

SystemState Capture(nl::sim::SimSystem& sim) {
  SystemState state;
  state.registry = sim.ExportRegistry();
  const nl::regfile::RegNode empty;
  state.registryContent = nl::regfile::RegistryAccount(empty, sim.Registry().Root());
  for (const std::string& path : kWatchedFiles) {
    if (sim.Files().FileExists(path)) state.files[path] = sim.Files().ReadFileText(path);
  }
  return state;
}

}  // namespace

SweepSystem::SweepSystem(const std::string& image, std::uint32_t locale)
    : hostRoot_(MakeHostRoot()), locale_(locale) {
  nl::sim::SimSystem sim(hostRoot_);
  sim.LoadImage(image);
  registry_ = sim.ExportRegistry();
}

SweepSystem::~SweepSystem() {
  std::error_code ignored;
  fs::remove_all(hostRoot_, ignored);
}

RunOutcome SweepSystem::Run(const Disturbance& disturb, bool recordOperations) {
  nl::sim::SimSystem sim(hostRoot_);
  nl::regfile::ImportRegFile(registry_, &sim.Registry().Root());
  sim.Processes().SetUserDefaultLcid(locale_);
  sim.Clock().SetTimeLimit(kVirtualTimeLimitMs);
  sim.Journal().SetEnabled(recordOperations);
  // A failed copy makes Windows ask for nl-430.sys, and a failed call in
  // the wizard leaves it to the user: the user skips the file and finishes
  // the wizard, so that the run goes on and every later call is swept too.
  nl::sim::StandInOptions tools;
  tools.answer = "skip";
  tools.user = "finish";
  nl::sim::InstallStandInTools(sim, tools);
  if (disturb) disturb(sim);

  RunOutcome outcome;
  try {
    outcome.exitCode = nl::InstallerMain(sim, kInstance);
  } catch (const nl::sim::SimStopped&) {
    outcome.ending = Ending::kStopped;
  } catch (const nl::sim::SimTimeLimit&) {
    outcome.ending = Ending::kTimeLimit;
  } catch (const std::exception& thrown) {
    outcome.ending = Ending::kCrashed;
    outcome.error = thrown.what();
  }
  // Killed or not, the program has ended: the system writes back what it
  // left in the profile cache.
  sim.Files().ProgramEnded();
  outcome.openKeys = sim.Registry().OpenKeyCount();
  outcome.openFiles = sim.Files().OpenFileCount();
  outcome.calls = sim.Journal().CallCount();
  if (recordOperations) {
    for (const auto& entry : sim.Journal().Entries()) outcome.operations.push_back(entry.operation);
  }
  sim.Journal().ClearFaults();
  outcome.state = Capture(sim);
  registry_ = outcome.state.registry;
  return outcome;
}

SystemState SweepSystem::State() {
  nl::sim::SimSystem sim(hostRoot_);
  nl::regfile::ImportRegFile(registry_, &sim.Registry().Root());
  return Capture(sim);
}

void SweepSystem::PlaceFile(const std::string& path, const std::string& bytes) {
  nl::sim::SimSystem sim(hostRoot_);
  sim.Files().WriteFileText(path, bytes);
}

}  // namespace sweep
