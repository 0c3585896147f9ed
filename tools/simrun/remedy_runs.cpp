#include "remedy_runs.h"

#include <algorithm>
#include <filesystem>

#include "findings/findings.h"
#include "setup/setup_env.h"

namespace simrun {

namespace fs = std::filesystem;
using nl::findings::PcChange;

namespace {

// The change of `step` as made on a loaded image; null when the step is no
// change the image can hold.
ImageChange ChangeOf(const nl::findings::RemedyStep& step, const std::string& shippedDriver) {
  switch (step.change) {
    case PcChange::kNone:
      return nullptr;
    case PcChange::kPutShippedDriver:
      if (shippedDriver.empty()) return nullptr;
      return [path = step.path, shippedDriver](nl::sim::SimSystem& sim) {
        sim.Files().WriteFileText(path, shippedDriver);
      };
    case PcChange::kSetUserLocale:
      return [locale = step.locale](nl::sim::SimSystem& sim) {
        sim.Processes().SetUserDefaultLcid(locale);
      };
    case PcChange::kSetSourcePath:
      return [path = step.path](nl::sim::SimSystem& sim) {
        sim.Registry().SetText(nl::kSetupKeyPath, nl::kSourcePathValue, path);
      };
    case PcChange::kAnswerFrom:
      return nullptr;  // no change of the image: the user's answer (TrialOf)
    case PcChange::kInsertDisc:
      return [drive = step.drive](nl::sim::SimSystem& sim) {
        sim.Files().SetDriveKind(drive, nl::sim::DriveKind::kCdRom);
      };
  }
  return nullptr;
}

// The run that tries `step`: the same setup with the step's change made to
// the loaded image, or, for an answer to Windows' prompt for nl-430.sys,
// with a stand-in user who gives that answer. False when no run can try it.
bool TrialOf(const nl::findings::RemedyStep& step, const SimRunSetup& setup, SimRunSetup* tried,
             ImageChange* change) {
  *tried = setup;
  if (step.change == PcChange::kAnswerFrom) {
    tried->standIns.from = step.path;
    tried->standIns.answer = "yes";  // the prompt answered with the folder, not skipped
    *change = nullptr;
    return true;
  }
  *change = ChangeOf(step, setup.shippedDriver);
  return *change != nullptr;
}

}  // namespace

std::vector<nl::findings::CheckedRemedy> CheckRemedies(const SimRunSetup& setup,
                                                       const nl::findings::RunFacts& facts,
                                                       const std::vector<nl::findings::Finding>& findings,
                                                       const std::string& work) {
  std::vector<nl::findings::CheckedRemedy> checked;
  int number = 0;
  for (const nl::findings::RemedyStep& step : nl::findings::ProposeRemedies(facts, findings)) {
    SimRunSetup tried;
    ImageChange change;
    if (!TrialOf(step, setup, &tried, &change)) {
      checked.push_back(nl::findings::NotCheckable(step));
      continue;
    }
    const std::string folder = work + "/remedy-" + std::to_string(++number);
    try {
      SimRun run = RunSimulated(folder, tried, change, "");
      // The image's description told of the PC's own driver beside the
      // program; the change has put the shipped one there.
      if (step.change == PcChange::kPutShippedDriver) run.facts.otherPcDriver.clear();
      checked.push_back(nl::findings::CheckedFrom(step, nl::findings::DecideFindings(run.facts)));
    } catch (const std::exception&) {
      // the change cannot be made on this image (its folder is not there)
      checked.push_back(nl::findings::NotCheckable(step));
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
  // What works first, what cannot be tried next, what was shown not to help last.
  const auto rank = [](const nl::findings::CheckedRemedy& r) {
    return r.checked == "reaches" ? 0 : r.checked == "not checkable" ? 1 : 2;
  };
  std::stable_sort(checked.begin(), checked.end(),
                   [&](const auto& a, const auto& b) { return rank(a) < rank(b); });
  return checked;
}

}  // namespace simrun
