#include "run_image.h"

#include "changes.h"
#include "main/install_sequence.h"
#include "regfile/reg_account.h"

namespace simrun {

namespace {

constexpr nl::ProgramInstance kInstance = 0x00400000;  // where Windows loads an exe

}  // namespace

SimRun RunSimulated(const std::string& systemFolder, const SimRunSetup& setup,
                    const ImageChange& change, const std::string& beforeCopy) {
  SimRun run;
  run.sim = std::make_unique<nl::sim::SimSystem>(systemFolder);
  nl::sim::SimSystem& sim = *run.sim;
  nl::regfile::RegImportOptions importOptions;
  importOptions.strict = setup.strict;
  const nl::regfile::RegImportReport loaded = sim.LoadImage(setup.image, importOptions);
  run.warnings = loaded.warnings;
  const std::string otherRoots = nl::regfile::OtherRootsNote(loaded, "system.reg");
  if (!otherRoots.empty()) run.warnings.push_back(otherRoots);
  const std::optional<std::uint32_t>& imageLocale = sim.LoadedDescription().locale;
  run.locale = setup.locale.value_or(imageLocale.value_or(0x407));
  run.localeSource = setup.locale ? "--locale" : imageLocale ? "image" : "assumed";
  sim.Processes().SetUserDefaultLcid(run.locale);
  if (change) change(sim);
  nl::sim::InstallStandInTools(sim, setup.standIns);
  run.registryBefore = sim.ExportRegistry();
  if (!beforeCopy.empty()) CopyDrives(systemFolder, beforeCopy);
  nl::findings::RecordRunFacts(sim, nl::findings::RunMoment::kBefore, &run.facts);
  run.facts.shippedDriver = setup.shippedDriver;

  // Only the program's sleeps move the virtual clock, so its reading is
  // the time the runs spent waiting.
  run.ending = "the program returned ";
  try {
    for (int count = 1; count <= setup.runs; ++count) {
      const int code = nl::InstallerMain(sim, kInstance);
      sim.Files().ProgramEnded();
      run.ending += (count > 1 ? ", " : "") + std::to_string(code);
    }
  } catch (const nl::sim::SimWaitsForUser& e) {
    run.ending = std::string("waiting: ") + e.what();
    run.facts.waiting = e.what();
    run.status = 1;
  } catch (const nl::sim::SimTimeLimit& e) {
    run.ending = std::string("stopped: ") + e.what();
    run.facts.stopped = e.what();
    run.status = 1;
  } catch (const nl::sim::SimStopped& e) {
    run.ending = std::string("stopped: ") + e.what();
    run.facts.stopped = e.what();
    run.status = 1;
  }
  // A stopped program has ended too: what it left in the profile cache
  // reaches the disk.
  sim.Files().ProgramEnded();
  nl::findings::RecordRunFacts(sim, nl::findings::RunMoment::kAfter, &run.facts);
  return run;
}

}  // namespace simrun
