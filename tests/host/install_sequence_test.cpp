// Whole runs on the German Windows 98 sample image with the stand-in system
// tools: the phases in their order, where the locale is asked, the early end
// when the wizard cannot be started, and the handles left at the end.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "main/install_sequence.h"
#include "platform/sim/sim_system.h"
#include "standins/stand_in_tools.h"

namespace nl {
namespace {

using sim::JournalEntry;
using sim::SimSystem;
using sim::StandInOptions;

constexpr ProgramInstance kInstance = 0x10000000;
constexpr std::uint32_t kGerman = 0x407;
constexpr std::uint32_t kEnglish = 0x409;

const char* const kIrminiInf = "C:\\WINDOWS\\INF\\IRMINI.INF";
const char* const kInfraredInf = "C:\\WINDOWS\\INF\\INFRARED.INF";
const char* const kNetEntries[] = {
    "Enum\\Root\\Net\\0000",
    "System\\CurrentControlSet\\Services\\Class\\Net\\0000",
    "System\\CurrentControlSet\\Services\\Class\\NetTrans\\0001",
};

struct SampleRun {
  std::unique_ptr<SimSystem> sim = std::make_unique<SimSystem>();
  std::shared_ptr<const sim::StandInRecord> standIns;
  int exitCode = -1;
};

// The sample image as an earlier run left it: edited INF files with the
// originals kept as .BAK, so that putting them back shows in the journal.
SampleRun RunOnSample(std::uint32_t locale, const std::string& standIns = "") {
  SampleRun run;
  SimSystem& sim = *run.sim;
  sim.LoadImage(std::string(NL_SOURCE_DIR) + "/samples/de-win98");
  sim.Files().WriteFileText("C:\\WINDOWS\\INF\\IRMINI.BAK", sim.Files().ReadFileText(kIrminiInf));
  sim.Files().WriteFileText("C:\\WINDOWS\\INF\\INFRARED.BAK", sim.Files().ReadFileText(kInfraredInf));
  sim.Files().WriteFileText(kIrminiInf, "; edited by an earlier run\r\n");
  sim.Files().WriteFileText(kInfraredInf, "; edited by an earlier run\r\n");
  sim.Processes().SetUserDefaultLcid(locale);
  StandInOptions options;
  EXPECT_TRUE(sim::ParseStandInOptions(standIns, &options));
  run.standIns = sim::InstallStandInTools(sim, options);
  run.exitCode = InstallerMain(sim, kInstance);
  sim.Files().ProgramEnded();
  return run;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The phase a call belongs to, for the calls that only one phase makes;
// empty for the others. The INF edits of phases 3 and 6 look alike and are
// told apart by their place in the sequence.
std::string PhaseOf(const JournalEntry& e) {
  const std::string& op = e.operation;
  const std::string& args = e.arguments;
  if (op == "RegCreateKeyExA" &&
      (Has(args, "KnownDevices") || Has(args, "Class\\Infrared"))) {
    return "RegisterInfraredClass";
  }
  if (op == "MoveFileA" && Has(args.substr(0, args.find(',')), ".BAK")) {
    return "RestoreInfBackups";
  }
  if (op == "MoveFileA" || op == "WritePrivateProfileStringA") return "InfEdit";
  if (op == "CopyFileA") return "CopyDriverToSource";
  if ((op == "CreateProcessA" && Has(args, "InstallDevice_Rundll Infrared")) ||
      (op == "FindWindowA" && Has(args, "\"RunDll\""))) {
    return "RunClassInstaller";
  }
  if (op == "CreateProcessA" && Has(args, "InstallDevice_Rundll\"")) {
    return "DriveHardwareWizard";
  }
  if (op == "RegCreateKeyExA" &&
      (Has(args, "INFRARED\\COM") || Has(args, "INFRARED\\LPT") ||
       Has(args, "VirtualPorts") || Has(args, "Framer"))) {
    return "WriteVirtualPortEntries";
  }
  if ((op == "CreateProcessA" && Has(args, "Netcpl.cpl")) ||
      (op == "FindWindowA" && Has(args, "\"Netzwerk\""))) {
    return "ConfirmNetworkPanel";
  }
  if (op == "RegDeleteKeyA" || (op == "RegOpenKeyExA" && Has(args, "Enum\\Root\\Net"))) {
    return "RemoveNetworkEntries";
  }
  return "";
}

// The phases in the order their calls appear, each run of calls once.
std::vector<std::string> PhaseOrder(const SimSystem& sim) {
  std::vector<std::string> order;
  for (const JournalEntry& e : sim.Journal().Entries()) {
    std::string phase = PhaseOf(e);
    if (!phase.empty() && (order.empty() || order.back() != phase)) {
      order.push_back(phase);
    }
  }
  return order;
}

std::size_t FirstIndex(const SimSystem& sim, const std::string& phase,
                       std::size_t from = 0) {
  const auto& journal = sim.Journal().Entries();
  for (std::size_t i = from; i < journal.size(); ++i) {
    if (PhaseOf(journal[i]) == phase) return i;
  }
  return journal.size();
}

std::size_t LastIndexBefore(const SimSystem& sim, const std::string& phase,
                            std::size_t before) {
  std::size_t last = sim.Journal().Entries().size();
  for (std::size_t i = 0; i < before; ++i) {
    if (PhaseOf(sim.Journal().Entries()[i]) == phase) last = i;
  }
  return last;
}

std::vector<std::size_t> LocaleQueries(const SimSystem& sim) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < sim.Journal().Entries().size(); ++i) {
    if (sim.Journal().Entries()[i].operation == "GetUserDefaultLCID") at.push_back(i);
  }
  return at;
}

// Where the locale is asked: once among the INF edits of phase 3, once after
// every sleep of the installer poll, and once between the installer's RunDll
// wait and the next phase. Nowhere else.
void ExpectLocaleAskedWhereItDecides(const SimSystem& sim, std::uint32_t locale,
                                     const std::string& phaseAfterInstaller) {
  const auto& journal = sim.Journal().Entries();
  std::size_t copy = FirstIndex(sim, "CopyDriverToSource");
  std::size_t editsFrom = FirstIndex(sim, "InfEdit");
  std::size_t editsTo = LastIndexBefore(sim, "InfEdit", copy);
  std::size_t installer = FirstIndex(sim, "RunClassInstaller");
  std::size_t runDllWait = FirstIndex(sim, "RunClassInstaller", installer + 1);
  std::size_t next = FirstIndex(sim, phaseAfterInstaller, runDllWait);
  ASSERT_LT(editsTo, copy);
  ASSERT_LT(runDllWait, next);
  ASSERT_LT(next, journal.size());

  int inEdits = 0, inPolls = 0, beforeGatedPhases = 0, elsewhere = 0;
  for (std::size_t i : LocaleQueries(sim)) {
    char expected[16];
    std::snprintf(expected, sizeof expected, "0x%x", locale);
    EXPECT_EQ(journal[i].result, expected);
    if (i > editsFrom && i < editsTo) {
      ++inEdits;
    } else if (i > installer && i < runDllWait) {
      ++inPolls;
      EXPECT_EQ(journal[i - 1].Text(), "Sleep(500) = void") << "call " << i;
    } else if (i > runDllWait && i < next) {
      ++beforeGatedPhases;
    } else {
      ++elsewhere;
    }
  }
  int pollSleeps = 0;
  for (std::size_t i = installer; i < runDllWait; ++i) {
    if (journal[i].Text() == "Sleep(500) = void") ++pollSleeps;
  }
  EXPECT_EQ(inEdits, 1);
  EXPECT_GT(pollSleeps, 0);
  EXPECT_EQ(inPolls, pollSleeps);
  EXPECT_EQ(beforeGatedPhases, 1);
  EXPECT_EQ(elsewhere, 0);
}

// The pause: one sleep of a second between the panel's last look and the
// first network entry removal.
void ExpectPauseBeforeNetworkRemoval(const SimSystem& sim) {
  const auto& journal = sim.Journal().Entries();
  std::size_t removal = FirstIndex(sim, "RemoveNetworkEntries");
  ASSERT_GE(removal, 2u);
  ASSERT_LT(removal, journal.size());
  EXPECT_EQ(journal[removal - 1].Text(), "Sleep(1000) = void");
  EXPECT_EQ(journal[removal].time - journal[removal - 1].time, 1000u);
  EXPECT_EQ(PhaseOf(journal[removal - 2]), "ConfirmNetworkPanel");
}

void ExpectNoHandlesLeftButProcessHandles(const SimSystem& sim,
                                          std::size_t processesStarted) {
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u);
  EXPECT_EQ(sim.Files().OpenFileCount(), 0u);
  // Handles of started processes are never closed.
  EXPECT_EQ(sim.Processes().OpenProcessHandleCount(), 2 * processesStarted);
}

std::vector<std::string> StartedCommandLines(const SimSystem& sim) {
  std::vector<std::string> lines;
  for (const sim::ProcessStart& s : sim.Processes().Starts()) {
    lines.push_back(s.commandLine + (s.started ? "" : " (not started)"));
  }
  return lines;
}

TEST(InstallSequence, AGermanRunGoesThroughAllElevenPhasesInOrder) {
  SampleRun run = RunOnSample(kGerman);
  const SimSystem& sim = *run.sim;

  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(PhaseOrder(sim), (std::vector<std::string>{
                                 "RegisterInfraredClass", "RestoreInfBackups",
                                 "InfEdit", "CopyDriverToSource",
                                 "RunClassInstaller",
                                 "InfEdit",  // the late edit of phase 6
                                 "DriveHardwareWizard",
                                 "WriteVirtualPortEntries",
                                 "ConfirmNetworkPanel", "RemoveNetworkEntries"}));
  ExpectLocaleAskedWhereItDecides(sim, kGerman, "InfEdit");
  ExpectPauseBeforeNetworkRemoval(sim);
  EXPECT_EQ(StartedCommandLines(sim),
            (std::vector<std::string>{
                "rundll32 sysdm.cpl,InstallDevice_Rundll Infrared",
                "rundll32 sysdm.cpl,InstallDevice_Rundll",
                "rundll32.exe shell32.dll,Control_RunDLL Netcpl.cpl"}));
  ExpectNoHandlesLeftButProcessHandles(sim, 3);

  // The instance reaches the driver copy.
  bool askedWithInstance = false;
  for (const JournalEntry& e : sim.Journal().Entries()) {
    if (e.operation == "GetModuleFileNameA") {
      askedWithInstance = e.arguments.rfind("0x10000000,", 0) == 0;
    }
  }
  EXPECT_TRUE(askedWithInstance);
  EXPECT_TRUE(sim.Registry().KeyExists("Enum\\INFRARED\\Framer"));
  for (const char* key : kNetEntries) EXPECT_FALSE(sim.Registry().KeyExists(key)) << key;
  EXPECT_TRUE(run.sim->Files().FileExists("C:\\WINDOWS\\OPTIONS\\CABS\\nl-430.sys"));
}

TEST(InstallSequence, AnEnglishRunSkipsPhasesSixToEightAndStillRunsTheRest) {
  SampleRun run = RunOnSample(kEnglish);
  const SimSystem& sim = *run.sim;

  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(PhaseOrder(sim), (std::vector<std::string>{
                                 "RegisterInfraredClass", "RestoreInfBackups",
                                 "InfEdit", "CopyDriverToSource",
                                 "RunClassInstaller", "ConfirmNetworkPanel",
                                 "RemoveNetworkEntries"}));
  ExpectLocaleAskedWhereItDecides(sim, kEnglish, "ConfirmNetworkPanel");
  ExpectPauseBeforeNetworkRemoval(sim);
  EXPECT_EQ(StartedCommandLines(sim),
            (std::vector<std::string>{
                "rundll32 sysdm.cpl,InstallDevice_Rundll Infrared",
                "rundll32.exe shell32.dll,Control_RunDLL Netcpl.cpl"}));
  ExpectNoHandlesLeftButProcessHandles(sim, 2);

  EXPECT_FALSE(sim.Registry().KeyExists("Enum\\INFRARED\\COM"));
  EXPECT_FALSE(sim.Registry().KeyExists("Enum\\INFRARED\\Framer"));
  for (const char* key : kNetEntries) EXPECT_FALSE(sim.Registry().KeyExists(key)) << key;
  // Without the German edits the model line keeps its generic identity.
  EXPECT_TRUE(Has(run.sim->Files().ReadFileText(kIrminiInf),
                  "%StandardExpl%=IRMINI_Install,IRMINI\r\n"));
}

TEST(InstallSequence, AWizardThatCannotBeStartedEndsTheRunAfterPhaseSeven) {
  SampleRun run = RunOnSample(kGerman, "wizard=failstart");
  const SimSystem& sim = *run.sim;

  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(PhaseOrder(sim), (std::vector<std::string>{
                                 "RegisterInfraredClass", "RestoreInfBackups",
                                 "InfEdit", "CopyDriverToSource",
                                 "RunClassInstaller", "InfEdit",
                                 "DriveHardwareWizard"}));
  // The failed start is the run's last call: no port entries, no panel, no
  // pause, no removal.
  EXPECT_EQ(sim.Journal().Entries().back().operation, "CreateProcessA");
  EXPECT_EQ(sim.Journal().Entries().back().result, "0");
  EXPECT_EQ(StartedCommandLines(sim),
            (std::vector<std::string>{
                "rundll32 sysdm.cpl,InstallDevice_Rundll Infrared",
                "rundll32 sysdm.cpl,InstallDevice_Rundll (not started)"}));
  EXPECT_FALSE(sim.Registry().KeyExists("Enum\\INFRARED\\COM"));
  EXPECT_FALSE(sim.Registry().KeyExists("Enum\\INFRARED\\VirtualPorts"));
  for (const char* key : kNetEntries) EXPECT_TRUE(sim.Registry().KeyExists(key)) << key;
  ExpectNoHandlesLeftButProcessHandles(sim, 1);
}

TEST(InstallSequence, AWizardThatStartsButNeverShowsStillLetsTheRunGoOn) {
  // Without its lists the wizard is shown again, and a user finishes it.
  for (const char* wizard : {"wizard=absent", "wizard=exit", "wizard=no1580,user=finish"}) {
    SCOPED_TRACE(wizard);
    SampleRun run = RunOnSample(kGerman, wizard);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(PhaseOrder(*run.sim).back(), "RemoveNetworkEntries");
    EXPECT_TRUE(run.sim->Registry().KeyExists("Enum\\INFRARED\\Framer"));
    for (const char* key : kNetEntries) EXPECT_FALSE(run.sim->Registry().KeyExists(key)) << key;
    ExpectNoHandlesLeftButProcessHandles(*run.sim, 3);
  }
}

// Windows 95/98/Me cache profile writes: the display name must be on disk
// before the class installer, another process, reads IRMINI.INF, and must
// not come back over the file after the model-line edit rewrote it.
TEST(InstallSequence, TheDisplayNameIsFlushedBeforeTheClassInstallerReadsIt) {
  const std::string irmini = std::string("\"") + kIrminiInf + "\"";
  const std::string displayName = "Norvik Lumens NL-470 USB Infrared Adapter";
  for (std::uint32_t locale : {kGerman, kEnglish}) {
    SCOPED_TRACE(locale);
    SampleRun run = RunOnSample(locale);
    // The display-name write and the two calls after it.
    std::vector<std::string> profileWrites;
    for (const JournalEntry& e : run.sim->Journal().Entries()) {
      if (!profileWrites.empty() && profileWrites.size() < 3) profileWrites.push_back(e.Text());
      if (e.operation == "WritePrivateProfileStringA" && profileWrites.empty())
        profileWrites.push_back(e.Text());
    }
    EXPECT_EQ(profileWrites,
              (std::vector<std::string>{
                  "WritePrivateProfileStringA(\"Strings\", \"StandardExpl\", \"\\\"" +
                      displayName + "\\\"\", " + irmini + ") = 1",
                  "WritePrivateProfileStringA(NULL, NULL, NULL, " + irmini + ") = 0",
                  "WritePrivateProfileStringA(NULL, NULL, NULL, NULL) = 0"}));
    EXPECT_EQ(run.standIns->installerStarts, 1);
    EXPECT_TRUE(run.standIns->installerFoundDisplayName);
    EXPECT_EQ(run.standIns->installerDisplayName, displayName);

    const std::string inf = run.sim->Files().ReadFileText(kIrminiInf);
    EXPECT_TRUE(Has(inf, "StandardExpl=\"" + displayName + "\""));
    EXPECT_EQ(Has(inf, "%StandardExpl%=IRMINI_Install,USB\\VID_1B4E&PID_0430"),
              locale == kGerman);
  }
}

}  // namespace
}  // namespace nl
