// fault_sweep: proves that no single failing system call, and no kill of the
// program at any point, breaks the installation.
//
//   fault_sweep [--image DIR] [--locale 0x407|0x409|both] [--verbose]
//
// For a clean German and a clean English run it takes every call index N and
// reruns from the same starting image (a) with call N failing the way the
// real function fails (and, for reads and writes, also coming short) and
// (b) with the program killed right after call N. After each such run it
// checks the invariants below, then runs the program once more undisturbed
// and checks that the system ends as after a clean run:
//   1. the program returned 0 and closed every key and file it opened
//      (faulted runs);
//   2. IRMINI.INF and INFRARED.INF, where they exist, hold their original
//      content with some of the installer's edits applied whole, and a .BAK
//      holds the original;
//   3. each file's original content is in the file, its .BAK or NL-TEMP.INF;
//   4. the undisturbed rerun ends with the INF files, backups, driver copy
//      and registry of a clean run, or, when the disturbed run left
//      NL-TEMP.INF behind, with those of a clean run that finds such a
//      leftover (whose first edit through the temporary file is then
//      missing, as designed).
// Prints a report and exits 1 when any invariant was violated.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "inf_states.h"
#include "system_run.h"

namespace fs = std::filesystem;
using sweep::Ending;
using sweep::RunOutcome;
using sweep::SweepSystem;
using sweep::SystemState;

namespace {

struct Report {
  std::uint64_t callsSwept = 0;
  std::uint64_t faultsInjected = 0;
  std::uint64_t interruptions = 0;
  std::vector<std::string> violations;
};

std::string ReadHostFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string DefaultImage() {
  for (fs::path at = fs::read_symlink("/proc/self/exe").parent_path();
       !at.empty() && at != at.root_path(); at = at.parent_path()) {
    if (fs::is_directory(at / "samples/de-win98")) return (at / "samples/de-win98").string();
  }
  return "samples/de-win98";
}

const char* EndingName(Ending ending) {
  switch (ending) {
    case Ending::kReturned: return "returned";
    case Ending::kStopped: return "stopped";
    case Ending::kTimeLimit: return "hung (virtual time limit)";
    case Ending::kCrashed: return "crashed";
  }
  return "?";
}

class Sweep {
 public:
  Sweep(std::string image, std::uint32_t locale, bool verbose, Report& report)
      : image_(std::move(image)), locale_(locale), verbose_(verbose),
        report_(report),
        states_(sweep::ComputeInfStates(
            ReadHostFile(fs::path(image_) / "drive_c/WINDOWS/INF/IRMINI.INF"),
            ReadHostFile(fs::path(image_) / "drive_c/WINDOWS/INF/INFRARED.INF"))) {}

  void RunAll() {
    SweepSystem clean(image_, locale_);
    RunOutcome base = clean.Run(nullptr, true);
    if (base.ending != Ending::kReturned || base.exitCode != 0) {
      Violation("clean run", std::string("did not return 0: ") + EndingName(base.ending));
      return;
    }
    clean_ = base.state;
    SweepSystem stale(image_, locale_);
    stale.PlaceFile(sweep::kTempInf, "left behind by an interrupted run\r\n");
    cleanAfterLeftover_ = stale.Run().state;

    std::printf("locale 0x%03X: clean run of %llu calls\n", locale_,
                static_cast<unsigned long long>(base.calls));
    report_.callsSwept += base.calls;
    for (std::uint64_t n = 1; n <= base.calls; ++n) {
      const std::string& operation = base.operations[n - 1];
      Faulted(n, operation, false);
      if (operation == "ReadFile" || operation == "WriteFile") Faulted(n, operation, true);
      Interrupted(n, operation);
    }
  }

 private:
  std::string Label(const char* what, std::uint64_t n, const std::string& operation) {
    char text[160];
    std::snprintf(text, sizeof text, "locale 0x%03X, %s call %llu (%s)", locale_,
                  what, static_cast<unsigned long long>(n), operation.c_str());
    return text;
  }

  void Violation(const std::string& label, const std::string& what) {
    report_.violations.push_back(label + ": " + what);
    if (verbose_) std::printf("VIOLATION %s: %s\n", label.c_str(), what.c_str());
  }

  void Faulted(std::uint64_t n, const std::string& operation, bool shortened) {
    ++report_.faultsInjected;
    std::string label = Label(shortened ? "short" : "failing", n, operation);
    SweepSystem system(image_, locale_);
    RunOutcome run = system.Run([&](nl::sim::SimSystem& sim) {
      if (shortened) sim.Journal().ShortCall(n); else sim.Journal().FailCall(n);
    });
    if (run.ending != Ending::kReturned || run.exitCode != 0) {
      Violation(label, std::string("the program ") + EndingName(run.ending) + " " + run.error);
    }
    if (run.openKeys != 0) Violation(label, std::to_string(run.openKeys) + " keys left open");
    if (run.openFiles != 0) Violation(label, std::to_string(run.openFiles) + " files left open");
    CheckFiles(label, run.state);
    CheckRerun(label, system, run.state);
  }

  void Interrupted(std::uint64_t n, const std::string& operation) {
    ++report_.interruptions;
    std::string label = Label("killed after", n, operation);
    SweepSystem system(image_, locale_);
    RunOutcome run = system.Run([&](nl::sim::SimSystem& sim) { sim.Journal().StopAfterCall(n); });
    if (run.ending != Ending::kStopped) {
      Violation(label, std::string("the program ") + EndingName(run.ending) + " " + run.error);
    }
    CheckFiles(label, run.state);
    CheckRerun(label, system, run.state);
  }

  void CheckFiles(const std::string& label, const SystemState& state) {
    auto content = [&](const char* path) -> const std::string* {
      auto found = state.files.find(path);
      return found == state.files.end() ? nullptr : &found->second;
    };
    const std::string* irmini = content(sweep::kIrminiInf);
    const std::string* irminiBak = content(sweep::kIrminiBak);
    const std::string* infrared = content(sweep::kInfraredInf);
    const std::string* infraredBak = content(sweep::kInfraredBak);
    const std::string* temp = content(sweep::kTempInf);

    bool irminiBakIsOriginal = irminiBak && *irminiBak == states_.irminiOriginal;
    if (irmini && !states_.irmini.count(*irmini) &&
        !(*irmini == states_.irminiOnlyDisplayName && irminiBakIsOriginal)) {
      Violation(label, "IRMINI.INF garbled or cut short (" + std::to_string(irmini->size()) + " bytes)");
    }
    if (infrared && !states_.infrared.count(*infrared)) {
      Violation(label, "INFRARED.INF garbled or cut short (" + std::to_string(infrared->size()) + " bytes)");
    }
    if (irminiBak && !irminiBakIsOriginal) Violation(label, "IRMINI.BAK is not the original");
    if (infraredBak && *infraredBak != states_.infraredOriginal) {
      Violation(label, "INFRARED.BAK is not the original");
    }
    auto kept = [&](const std::string& original, const std::string* a,
                    const std::string* b) {
      return (a && *a == original) || (b && *b == original) || (temp && *temp == original);
    };
    if (!kept(states_.irminiOriginal, irmini, irminiBak)) {
      Violation(label, "the original IRMINI.INF is lost");
    }
    if (!kept(states_.infraredOriginal, infrared, infraredBak)) {
      Violation(label, "the original INFRARED.INF is lost");
    }
  }

  void CheckRerun(const std::string& label, SweepSystem& system, const SystemState& before) {
    bool leftover = before.Has(sweep::kTempInf);
    RunOutcome rerun = system.Run();
    if (rerun.ending != Ending::kReturned || rerun.exitCode != 0) {
      Violation(label, std::string("the rerun ") + EndingName(rerun.ending));
      return;
    }
    if (rerun.state == clean_ || (leftover && rerun.state == cleanAfterLeftover_)) return;
    const SystemState& expected = leftover ? cleanAfterLeftover_ : clean_;
    std::string what = "the rerun does not end as a clean run:";
    if (rerun.state.registry != expected.registry) what += " registry differs;";
    for (const std::string& path : sweep::kWatchedFiles) {
      auto a = rerun.state.files.find(path);
      auto b = expected.files.find(path);
      bool same = (a == rerun.state.files.end()) == (b == expected.files.end()) &&
                  (a == rerun.state.files.end() || a->second == b->second);
      if (!same) what += " " + fs::path(path).filename().string() + " differs;";
    }
    if (verbose_ && rerun.state.registry != expected.registry) {
      WriteDiff(rerun.state.registry, expected.registry);
    }
    Violation(label, what);
  }

  void WriteDiff(const std::string& actual, const std::string& expected) {
    std::ofstream("/tmp/fault_sweep_actual.reg") << actual;
    std::ofstream("/tmp/fault_sweep_expected.reg") << expected;
    std::fflush(stdout);
    if (std::system("diff /tmp/fault_sweep_expected.reg /tmp/fault_sweep_actual.reg | head -20") < 0) {
      std::printf("(diff unavailable)\n");
    }
  }

  std::string image_;
  std::uint32_t locale_;
  bool verbose_;
  Report& report_;
  sweep::InfStates states_;
  SystemState clean_;
  SystemState cleanAfterLeftover_;
};

}  // namespace

int main(int argc, char** argv) {
  std::string image = DefaultImage();
  std::vector<std::uint32_t> locales = {0x407, 0x409};
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--image" && i + 1 < argc) {
      image = argv[++i];
    } else if (arg == "--locale" && i + 1 < argc) {
      std::string value = argv[++i];
      locales = value == "both" ? locales
                                : std::vector<std::uint32_t>{
                                      static_cast<std::uint32_t>(std::stoul(value, nullptr, 0))};
    } else if (arg == "--verbose") {
      verbose = true;
    } else {
      std::fprintf(stderr, "usage: fault_sweep [--image DIR] [--locale 0x407|0x409|both] [--verbose]\n");
      return 2;
    }
  }

  auto started = std::chrono::steady_clock::now();
  Report report;
  for (std::uint32_t locale : locales) Sweep(image, locale, verbose, report).RunAll();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  std::printf("\nfault sweep report\n");
  std::printf("  image:                 %s\n", image.c_str());
  std::printf("  calls swept:           %llu\n", static_cast<unsigned long long>(report.callsSwept));
  std::printf("  faults injected:       %llu\n", static_cast<unsigned long long>(report.faultsInjected));
  std::printf("  interruptions:         %llu\n", static_cast<unsigned long long>(report.interruptions));
  std::printf("  invariant violations:  %zu\n", report.violations.size());
  std::printf("  run time:              %.1f s\n", seconds);
  std::size_t shown = 0;
  for (const std::string& violation : report.violations) {
    if (++shown > 400) {
      std::printf("  ... and %zu more\n", report.violations.size() - 40);
      break;
    }
    std::printf("  - %s\n", violation.c_str());
  }
  return report.violations.empty() ? 0 : 1;
}
