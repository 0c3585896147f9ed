// Whole runs on the German sample system with one thing about the system
// broken (hostile_registry_test.cpp: registry texts and keys;
// hostile_files_test.cpp: setup directories and INF files;
// hostile_big_file_test.cpp: a 100 MB INF file).
//
// Every run must return 0 without hanging, close every key and file, and keep
// the original content of both INF files (in the file itself, its backup or
// the temporary file); and it must still do everything the broken state does
// not prevent. Its findings must agree: every goal reached but those the case
// names, each with a cause that says why.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "../support/hostile_system.h"
#include "../support/substitution_model.h"
#include "findings/findings.h"
#include "findings/run_facts.h"
#include "platform/sim/files/sim_profile_text.h"

namespace nl::testing {

inline constexpr const char* kSampleClassDescription = "Infrarotger\xe4te";
inline constexpr const char* kDefaultClassDescription = "Infrared devices";
inline constexpr const char* kClassKey =
    "System\\CurrentControlSet\\Services\\Class\\Infrared";
inline constexpr const char* kIrminiAdapterKey =
    "System\\CurrentControlSet\\Services\\Class\\Net\\0001";
inline constexpr const char* kRootNetEntry = "Enum\\Root\\Net\\0000";
inline constexpr const char* kNetTransEntry =
    "System\\CurrentControlSet\\Services\\Class\\NetTrans\\0001";
inline constexpr const char* kUsbAdapterEntry =
    "System\\CurrentControlSet\\Services\\Class\\Net\\0000";
inline constexpr const char* kRootDriverCopy = "C:\\nl-430.sys";

// One run on the sample system and what it started from.
struct HostileRun {
  sim::SimSystem sim;
  std::uint32_t lcid;
  std::string infDir = kSampleInfDir;  // where the INF files under test lie
  std::string programDriver = kProgramDriver;  // the driver beside the program
  std::string irminiOriginal;
  std::string infraredOriginal;
  RunOutcome outcome;
  findings::RunFacts facts;  // before and after the run

  explicit HostileRun(std::uint32_t locale) : lcid(locale) {
    PrepareSampleSystem(sim, lcid);
  }
  bool German() const { return lcid == kGermanLcid; }
  std::string Inf(const char* name) const { return InDir(infDir, name); }
  std::optional<std::string> File(const std::string& path) {
    if (!sim.Files().FileExists(path)) return std::nullopt;
    return sim.Files().ReadFileText(path);
  }
  // The originals are the files as they are now, unless the change gave
  // them (the files then hold what an earlier run made of them).
  bool originalsGiven = false;
  void Run() {
    if (!originalsGiven) {
      irminiOriginal = sim.Files().ReadFileText(Inf("IRMINI.INF"));
      infraredOriginal = sim.Files().ReadFileText(Inf("INFRARED.INF"));
    }
    findings::RecordRunFacts(sim, findings::RunMoment::kBefore, &facts);
    outcome = RunWholeProgram(sim);
    findings::RecordRunFacts(sim, findings::RunMoment::kAfter, &facts);
  }
};

// ---- Checks every run must pass ----

inline void ExpectSoundEnd(const HostileRun& run) {
  EXPECT_EQ(run.outcome.ending, RunEnding::kReturned)
      << "the run did not return: " << run.outcome.error;
  EXPECT_EQ(run.outcome.exitCode, 0);
  EXPECT_EQ(run.outcome.openKeys, 0u) << "registry keys left open";
  EXPECT_EQ(run.outcome.openFiles, 0u) << "files left open";
}

inline void ExpectOriginalKept(HostileRun& run, const char* inf, const char* bak,
                        const std::string& original) {
  for (const std::string& path :
       {run.Inf(inf), run.Inf(bak), run.Inf("NL-TEMP.INF")}) {
    if (run.File(path) == original) return;
  }
  ADD_FAILURE() << "the original content of " << inf
                << " is lost: it is neither in " << inf << ", " << bak
                << " nor NL-TEMP.INF";
}

inline void ExpectOriginalsKept(HostileRun& run) {
  ExpectOriginalKept(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal);
  ExpectOriginalKept(run, "INFRARED.INF", "INFRARED.BAK",
                     run.infraredOriginal);
}

// ---- What a run does despite the broken state ----

enum class InfResult {
  kEdited,     // both files edited, their backups hold the originals
  kUntouched,  // neither file touched, no backup, no temporary file
  kOwnCheck,   // the case checks the files itself
};

// A goal the run does not reach, and a word its finding's cause holds.
struct Missed {
  std::string goal;
  std::string causeWord;
  bool germanRunsOnly;  // reached on other locales
};
inline constexpr bool kGermanRunsOnly = true;

struct Effects {
  InfResult infs = InfResult::kEdited;
  // Unset: the class name of INFRARED.INF as the system reads it.
  std::optional<std::string> description;
  std::string driverCopy = kCopiedDriver;  // empty: no copy anywhere
  bool adapterPort = true;                 // German runs only
  bool rootNetEntryRemoved = true;
  bool netTransEntryRemoved = true;
  // The goals not reached; every other goal is reached (the German-only
  // ones are not applicable on other locales).
  std::vector<Missed> missed;
  Effects& Miss(const std::string& goal, const std::string& causeWord,
               bool germanRunsOnly = false) {
    missed.push_back({goal, causeWord, germanRunsOnly});
    return *this;
  }
};

// No INF file edited and no display name written, for `cause`.
inline void MissInfFiles(Effects& effects, const std::string& cause) {
  effects.Miss("inf-edits", cause).Miss("display-name", cause).Miss("model-line", cause);
}

inline void ExpectInfEdited(HostileRun& run, const char* inf, const char* bak,
                     const std::string& original, const std::string& edited) {
  EXPECT_EQ(run.File(run.Inf(inf)), edited) << inf << " is not as edited";
  EXPECT_EQ(run.File(run.Inf(bak)), original) << bak << " is not the original";
}

inline void ExpectInfsEdited(HostileRun& run) {
  ExpectInfEdited(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal,
                  IrminiAfterRun(run.irminiOriginal, run.German()));
  ExpectInfEdited(run, "INFRARED.INF", "INFRARED.BAK", run.infraredOriginal,
                  InfraredAfterRun(run.infraredOriginal));
  EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
}

inline void ExpectInfUntouched(HostileRun& run, const char* inf, const char* bak,
                        const std::string& original) {
  EXPECT_EQ(run.File(run.Inf(inf)), original) << inf << " was changed";
  EXPECT_FALSE(run.sim.Files().FileExists(run.Inf(bak))) << bak << " was made";
}

inline void ExpectInfsUntouched(HostileRun& run) {
  ExpectInfUntouched(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal);
  ExpectInfUntouched(run, "INFRARED.INF", "INFRARED.BAK",
                     run.infraredOriginal);
  EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
}

inline std::string DescriptionFromInf(const std::string& infrared) {
  std::string value;
  if (!sim::FindProfileValue(infrared, "Strings", "Class.Desc", &value) ||
      value.empty()) {
    return kDefaultClassDescription;
  }
  return value.substr(0, 511);
}

inline bool WasStarted(const HostileRun& run, const char* commandLine) {
  const auto& starts = run.sim.Processes().Starts();
  return std::any_of(starts.begin(), starts.end(), [&](const auto& start) {
    return start.commandLine == commandLine && start.started;
  });
}

inline void ExpectDriverCopy(HostileRun& run, const std::string& where) {
  for (const char* path : {kCopiedDriver, kRootDriverCopy}) {
    if (path == where) {
      EXPECT_EQ(run.File(path), run.File(run.programDriver))
          << "no driver copy at " << path;
    } else {
      EXPECT_FALSE(run.sim.Files().FileExists(path)) << "a driver copy at " << path;
    }
  }
}

inline void ExpectAdapterPort(HostileRun& run, bool written) {
  const sim::RegValue* port = run.sim.Registry().FindValue(kIrminiAdapterKey, "Port");
  const std::string params = std::string(kIrminiAdapterKey) + "\\Ndi\\Params\\Port";
  if (written) {
    EXPECT_EQ(run.sim.Registry().ValueText(kIrminiAdapterKey, "Port"), "0");
    EXPECT_EQ(run.sim.Registry().ValueText(params, ""), "0");
  } else {
    EXPECT_EQ(port, nullptr) << "the adapter got a port";
    EXPECT_EQ(run.sim.Registry().ValueText(params, ""), "1");
  }
}

// A system tool's goal reached in a run is assumed: a stand-in played it.
inline findings::Status ReachedStatus(const std::string& goal) {
  for (const char* id : {"class-installer", "hardware-wizard", "network-panel"})
    if (goal == id) return findings::Status::kAssumed;
  return findings::Status::kReached;
}

inline bool GermanOnlyGoal(const std::string& goal) {
  for (const char* id : {"model-line", "hardware-wizard", "virtual-ports", "adapter-port"})
    if (goal == id) return true;
  return false;
}

// A goal not reached takes its part from the system tool after it: the
// class installer needs the driver in SourcePath, the wizard the model line.
inline std::vector<Missed> WithConsequences(std::vector<Missed> missed) {
  const struct {
    const char* goal;
    Missed consequence;
  } kConsequences[] = {
      {"driver-copy", {"class-installer", "nl-430.sys", false}},
      {"model-line", {"hardware-wizard", "model line", true}},
  };
  for (const auto& rule : kConsequences) {
    const auto has = [&](const std::string& goal) {
      return std::any_of(missed.begin(), missed.end(), [&](const Missed& m) { return m.goal == goal; });
    };
    if (has(rule.goal) && !has(rule.consequence.goal)) missed.push_back(rule.consequence);
  }
  return missed;
}

// The run's findings against the goals the case says it misses.
inline void ExpectFindings(const HostileRun& run, const Effects& given) {
  Effects effects = given;
  effects.missed = WithConsequences(given.missed);
  const std::vector<findings::Finding> found = findings::DecideFindings(run.facts);
  SCOPED_TRACE("findings:\n" + findings::FindingsText(found));
  for (const Missed& missed : effects.missed)
    EXPECT_NE(findings::FindingFor(found, missed.goal), nullptr) << "no goal " << missed.goal;
  for (const findings::Finding& finding : found) {
    auto missed = std::find_if(effects.missed.begin(), effects.missed.end(), [&](const Missed& m) {
      return m.goal == finding.goal && (run.German() || !m.germanRunsOnly);
    });
    if (!run.German() && GermanOnlyGoal(finding.goal)) {
      EXPECT_EQ(finding.status, findings::Status::kNotApplicable) << finding.goal;
    } else if (missed == effects.missed.end()) {
      EXPECT_EQ(finding.status, ReachedStatus(finding.goal)) << finding.goal;
    } else {
      EXPECT_EQ(finding.status, findings::Status::kNotReached) << finding.goal;
      EXPECT_NE(finding.cause.find(missed->causeWord), std::string::npos)
          << finding.goal << ": the cause does not mention " << missed->causeWord;
    }
  }
}

inline void ExpectEffects(HostileRun& run, const Effects& effects) {
  ExpectFindings(run, effects);
  if (effects.infs == InfResult::kEdited) ExpectInfsEdited(run);
  if (effects.infs == InfResult::kUntouched) ExpectInfsUntouched(run);

  EXPECT_EQ(run.sim.Registry().ValueText("Enum\\INFRARED\\KnownDevices", "IRMINI"),
            "IRMINI");
  EXPECT_EQ(run.sim.Registry().ValueText(kClassKey, ""),
            effects.description ? *effects.description
                                : DescriptionFromInf(run.infraredOriginal));
  EXPECT_EQ(run.sim.Registry().ValueText(kClassKey, "Installer"), "infrared.dll");
  EXPECT_EQ(run.sim.Registry().ValueText(kClassKey, "Link"),
            "{6bdd1fc5-810f-11d0-bec7-08002be2092f}");
  ASSERT_NE(run.sim.Registry().FindValue(kClassKey, "PortSubClass"), nullptr);

  ExpectDriverCopy(run, effects.driverCopy);

  EXPECT_TRUE(WasStarted(run, sim::kClassInstallerCommandLine));
  EXPECT_EQ(WasStarted(run, sim::kHardwareWizardCommandLine), run.German());
  EXPECT_EQ(run.sim.Registry().ValueText("Enum\\INFRARED\\Framer", "PortName"),
            run.German() ? "COM0" : "");
  EXPECT_EQ(run.sim.Registry().ValueText("Enum\\INFRARED\\VirtualPorts",
                              "VirtualComPortName"),
            run.German() ? "COM4" : "");
  ExpectAdapterPort(run, run.German() && effects.adapterPort);
  EXPECT_TRUE(WasStarted(run, sim::kNetworkPanelCommandLine));

  EXPECT_FALSE(run.sim.Registry().KeyExists(kUsbAdapterEntry));
  EXPECT_EQ(run.sim.Registry().KeyExists(kRootNetEntry), !effects.rootNetEntryRemoved);
  EXPECT_EQ(run.sim.Registry().KeyExists(kNetTransEntry), !effects.netTransEntryRemoved);
  EXPECT_TRUE(run.sim.Registry().KeyExists("Enum\\Root\\Net\\0001"));
}

// ---- The catalogue ----

struct HostileCase {
  std::string name;
  std::function<void(HostileRun&)> change;
  Effects effects;
  std::function<void(HostileRun&)> extraCheck;  // may be empty
};

inline void CopyInfsTo(HostileRun& run, const std::string& dir) {
  run.sim.Files().MakeDirectory(dir);
  for (const char* name : {"IRMINI.INF", "INFRARED.INF"}) {
    run.sim.Files().WriteFileText(InDir(dir, name),
                          run.sim.Files().ReadFileText(InDir(kSampleInfDir, name)));
  }
  run.sim.Registry().SetText(kSetupKey, "SetupScratchDir", dir);
  run.infDir = dir;
}

// An INF file as the sample image holds it.
inline std::string SampleInf(const char* name) {
  std::ifstream in(SampleImage() + "/drive_c/WINDOWS/INF/" + name,
                   std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The number of the first call of `operation` whose arguments end with
// `lastArgument`, in a run on the untouched sample.
inline std::uint64_t CallNumberInUntouchedRun(std::uint32_t lcid,
                                       const std::string& operation,
                                       const std::string& lastArgument) {
  HostileRun twin(lcid);
  twin.Run();
  for (const sim::JournalEntry& entry : twin.sim.Journal().Entries()) {
    const std::string& args = entry.arguments;
    if (entry.operation == operation && args.size() >= lastArgument.size() &&
        args.compare(args.size() - lastArgument.size(), lastArgument.size(),
                     lastArgument) == 0) {
      return entry.index;
    }
  }
  ADD_FAILURE() << "no " << operation << " call ending in " << lastArgument;
  return 0;
}

inline void GiveSampleOriginals(HostileRun& run) {
  run.irminiOriginal = SampleInf("IRMINI.INF");
  run.infraredOriginal = SampleInf("INFRARED.INF");
  run.originalsGiven = true;
}

// IRMINI or INFRARED as an earlier run left it: the original in its .BAK,
// the .INF edited.
inline void LeaveEarlierRunEdit(HostileRun& run, const std::string& name) {
  const std::string inf = run.Inf((name + ".INF").c_str());
  const std::string original = run.sim.Files().ReadFileText(inf);
  run.sim.Files().WriteFileText(run.Inf((name + ".BAK").c_str()), original);
  run.sim.Files().WriteFileText(inf, name == "IRMINI" ? IrminiAfterRun(original, run.German())
                                                      : InfraredAfterRun(original));
}

inline void ExpectSampleInfsUntouched(HostileRun& run) {
  for (const char* name : {"IRMINI.INF", "INFRARED.INF"}) {
    EXPECT_EQ(run.File(InDir(kSampleInfDir, name)), SampleInf(name));
  }
  for (const char* name : {"IRMINI.BAK", "INFRARED.BAK", "NL-TEMP.INF"}) {
    EXPECT_FALSE(run.sim.Files().FileExists(InDir(kSampleInfDir, name)));
  }
}

inline void PrintTo(const HostileCase& hostile, std::ostream* out) {
  *out << hostile.name;
}

using HostileParam = std::tuple<HostileCase, std::uint32_t>;

inline std::string CaseName(const ::testing::TestParamInfo<HostileParam>& info) {
  return std::get<0>(info.param).name +
         (std::get<1>(info.param) == kGermanLcid ? "_German" : "_English");
}

// One case of a catalogue: the change, the run and every check.
inline void RunHostileCase(const HostileParam& param) {
  const HostileCase& hostile = std::get<0>(param);
  HostileRun run(std::get<1>(param));
  hostile.change(run);
  if (::testing::Test::HasFatalFailure()) return;
  run.Run();
  ExpectSoundEnd(run);
  ExpectOriginalsKept(run);
  ExpectEffects(run, hostile.effects);
  if (hostile.extraCheck) hostile.extraCheck(run);
}

}  // namespace nl::testing
