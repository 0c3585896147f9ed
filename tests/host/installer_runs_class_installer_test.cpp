// The class installer run against scripted dialogs on the simulated system:
// the exact calls, messages and sleeps in virtual time.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../support/journal_calls.h"
#include "../support/message_table.h"
#include "automation/installer_runs.h"
#include "platform/sim/sim_system.h"

namespace nl {
namespace {

using sim::SimMessage;
using sim::SimSystem;
using testing::CountCalls;
using testing::HandleNames;
using testing::LinesAre;
using testing::Low32;
using testing::MessageSequenceIs;
using testing::WindowTimeline;
using testing::kPosted;

constexpr const char* kInstallerCommand =
    "rundll32 sysdm.cpl,InstallDevice_Rundll Infrared";
constexpr const char* kInstallerStart =
    "0 CreateProcessA(NULL, \"rundll32 sysdm.cpl,InstallDevice_Rundll "
    "Infrared\", 1, 0x0, {cb 12, flags 0x1, show 1}) = 1 -> pid installer";
constexpr std::uint32_t kGerman = 0x407;
constexpr std::uint32_t kEnglish = 0x409;

// ---- The class installer ----

// One page of the installer: a dialog with, when asked for, the forward
// button as a direct child and the marker control 502 inside a child page.
struct InstallerDialog {
  WindowHandle dialog = 0;
  WindowHandle forward = 0;
  int presses = 0;
};

std::shared_ptr<InstallerDialog> ShowInstallerDialog(SimSystem& sim, ProcessId pid,
                                                     bool withMarker,
                                                     bool withForward) {
  auto d = std::make_shared<InstallerDialog>();
  d->dialog = sim.Desktop().CreateWindow("#32770", "Hardware-Installation", 0, 0, pid);
  if (withForward) {
    d->forward = sim.Desktop().CreateWindow("Button", "Weiter >", d->dialog, 12324, pid);
  }
  WindowHandle page = sim.Desktop().CreateWindow("#32770", "", d->dialog, 0, pid);
  if (withMarker) {
    sim.Desktop().CreateWindow("Button", "Infrarotgeraet suchen", page, 502, pid);
  }
  sim.Desktop().SetMessageHandler(d->dialog, [d](SimSystem&, const SimMessage& m) {
    if (m.message == kWmCommand && m.wParam == 12324) ++d->presses;
    return std::intptr_t{0};
  });
  return d;
}

// The installer process; `onStart` shows its dialogs. It ends at `endAt`.
// Returns where its process identifier will be.
std::shared_ptr<ProcessId> ScriptInstaller(
    SimSystem& sim, std::uint64_t endAt,
    std::function<void(SimSystem&, ProcessId)> onStart) {
  auto pid = std::make_shared<ProcessId>(0);
  sim.Processes().ScriptProgram(kInstallerCommand, [pid, endAt, onStart](SimSystem& s, ProcessId p) {
    *pid = p;
    s.Clock().After(endAt, [p](SimSystem& s2) { s2.Processes().EndProcess(p); });
    if (onStart) onStart(s, p);
  });
  return pid;
}

TEST(InstallerRunsClassInstaller, TwoSuccessivePagesWithTheMarkerGetOnePressBetweenThem) {
  SimSystem sim;
  sim.Processes().SetUserDefaultLcid(kGerman);
  std::shared_ptr<InstallerDialog> first, second;
  auto pid = ScriptInstaller(sim, 2200, [&](SimSystem& s, ProcessId p) {
    first = ShowInstallerDialog(s, p, true, true);
    // The forward press brings the next page, which also has the marker and
    // a forward button.
    s.Desktop().SetMessageHandler(first->dialog, [&, p](SimSystem& s2, const SimMessage& m) {
      if (m.message != kWmCommand || m.wParam != 12324) return std::intptr_t{0};
      ++first->presses;
      s2.Desktop().DestroyWindow(first->dialog);
      second = ShowInstallerDialog(s2, p, true, true);
      return std::intptr_t{0};
    });
  });
  InstallRun run = MakeInstallRun(sim, 0x400000);

  EXPECT_EQ(RunClassInstaller(run), 1);

  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->presses, 1);
  EXPECT_EQ(second->presses, 0);
  EXPECT_EQ(run.forwardPressed, 1);
  HandleNames names = {{*pid, "installer"},
                       {first->dialog, "first"},
                       {first->forward, "firstforward"},
                       {second->dialog, "second"}};
  EXPECT_TRUE(MessageSequenceIs(
      sim.Desktop().Messages(),
      {{first->dialog, kWmCommand, 12324, Low32(first->forward), kPosted}},
      names));
  EXPECT_TRUE(LinesAre(WindowTimeline(sim, names),
                       {
                           kInstallerStart,
                           "0 GetProcessVersion(installer) = 0x4000a",
                           "0 Sleep(500) = void",
                           "500 GetUserDefaultLCID() = 0x407",
                           "500 FindWindowA(\"#32770\", NULL) = first",
                           "500 GetWindowThreadProcessId(first, &pid) = 0x1002 -> pid installer",
                           "500 EnumChildWindows(first) = 1 (3 visited)",
                           "500 GetDlgItem(first, 12324) = firstforward",
                           "500 PostMessageA x1",
                           "500 GetProcessVersion(installer) = 0x4000a",
                           "500 Sleep(500) = void",
                           // Pressed once: the second page is only looked up.
                           "1000 GetUserDefaultLCID() = 0x407",
                           "1000 FindWindowA(\"#32770\", NULL) = second",
                           "1000 GetWindowThreadProcessId(second, &pid) = 0x1002 -> pid installer",
                           "1000 GetProcessVersion(installer) = 0x4000a",
                           "1000 Sleep(500) = void",
                           "1500 GetUserDefaultLCID() = 0x407",
                           "1500 FindWindowA(\"#32770\", NULL) = second",
                           "1500 GetWindowThreadProcessId(second, &pid) = 0x1002 -> pid installer",
                           "1500 GetProcessVersion(installer) = 0x4000a",
                           "1500 Sleep(500) = void",
                           "2000 GetUserDefaultLCID() = 0x407",
                           "2000 FindWindowA(\"#32770\", NULL) = second",
                           "2000 GetWindowThreadProcessId(second, &pid) = 0x1002 -> pid installer",
                           "2000 GetProcessVersion(installer) = 0x4000a",
                           "2000 Sleep(500) = void",
                           "2500 GetUserDefaultLCID() = 0x407",
                           "2500 FindWindowA(\"#32770\", NULL) = 0x0",
                           "2500 GetProcessVersion(installer) = 0x0",
                           "2500 FindWindowA(\"RunDll\", NULL) = 0x0",
                       }));
}

TEST(InstallerRunsClassInstaller, APageWithTheMarkerButNoForwardButtonLeavesTheFlagClear) {
  SimSystem sim;
  sim.Processes().SetUserDefaultLcid(kGerman);
  std::shared_ptr<InstallerDialog> without, with;
  ScriptInstaller(sim, 3000, [&](SimSystem& s, ProcessId p) {
    without = ShowInstallerDialog(s, p, true, false);
    s.Clock().After(1200, [&, p](SimSystem& s2) {
      s2.Desktop().DestroyWindow(without->dialog);
      with = ShowInstallerDialog(s2, p, true, true);
    });
  });
  InstallRun run = MakeInstallRun(sim, 0x400000);
  int flagBeforeSecondPage = -1;
  sim.Clock().At(1100, [&](SimSystem&) { flagBeforeSecondPage = run.forwardPressed; });

  RunClassInstaller(run);

  EXPECT_EQ(flagBeforeSecondPage, 0);
  ASSERT_TRUE(with);
  // The flag was still clear, so the next page with a forward button got the
  // press, at the first poll after it showed.
  EXPECT_EQ(run.forwardPressed, 1);
  EXPECT_TRUE(MessageSequenceIs(
      sim.Desktop().Messages(), {{with->dialog, kWmCommand, 12324, Low32(with->forward), kPosted}}));
  EXPECT_EQ(sim.Desktop().Messages()[0].time, 1500u);
  EXPECT_EQ(CountCalls(sim, "GetDlgItem"), 3);  // at 500, 1000 and 1500
}

TEST(InstallerRunsClassInstaller, ADialogWithoutTheMarkerIsNotPressed) {
  SimSystem sim;
  sim.Processes().SetUserDefaultLcid(kGerman);
  std::shared_ptr<InstallerDialog> dialog;
  ScriptInstaller(sim, 1800, [&](SimSystem& s, ProcessId p) {
    dialog = ShowInstallerDialog(s, p, false, true);
  });
  InstallRun run = MakeInstallRun(sim, 0x400000);

  RunClassInstaller(run);

  EXPECT_EQ(run.forwardPressed, 0);
  EXPECT_TRUE(sim.Desktop().Messages().empty());
  EXPECT_EQ(CountCalls(sim, "EnumChildWindows"), 3);  // at 500, 1000, 1500
  EXPECT_EQ(CountCalls(sim, "GetDlgItem"), 0);
}

TEST(InstallerRunsClassInstaller, OnANonGermanSystemNothingIsLookedUpOrPressed) {
  SimSystem sim;
  sim.Processes().SetUserDefaultLcid(kEnglish);
  std::shared_ptr<InstallerDialog> dialog;
  auto pid = ScriptInstaller(sim, 1200, [&](SimSystem& s, ProcessId p) {
    dialog = ShowInstallerDialog(s, p, true, true);
  });
  InstallRun run = MakeInstallRun(sim, 0x400000);

  RunClassInstaller(run);

  EXPECT_EQ(run.forwardPressed, 0);
  EXPECT_TRUE(sim.Desktop().Messages().empty());
  EXPECT_TRUE(LinesAre(WindowTimeline(sim, {{*pid, "installer"}}),
                       {
                           kInstallerStart,
                           "0 GetProcessVersion(installer) = 0x4000a",
                           "0 Sleep(500) = void",
                           "500 GetUserDefaultLCID() = 0x409",
                           "500 GetProcessVersion(installer) = 0x4000a",
                           "500 Sleep(500) = void",
                           "1000 GetUserDefaultLCID() = 0x409",
                           "1000 GetProcessVersion(installer) = 0x4000a",
                           "1000 Sleep(500) = void",
                           "1500 GetUserDefaultLCID() = 0x409",
                           "1500 GetProcessVersion(installer) = 0x0",
                           "1500 FindWindowA(\"RunDll\", NULL) = 0x0",
                       }));
}

TEST(InstallerRunsClassInstaller, TheLocaleIsAskedAfreshAtEveryPoll) {
  SimSystem sim;
  sim.Processes().SetUserDefaultLcid(kEnglish);
  sim.Clock().At(1200, [](SimSystem& s) { s.Processes().SetUserDefaultLcid(0x0C07); });  // Austria
  std::shared_ptr<InstallerDialog> dialog;
  ScriptInstaller(sim, 2200, [&](SimSystem& s, ProcessId p) {
    dialog = ShowInstallerDialog(s, p, true, true);
  });
  InstallRun run = MakeInstallRun(sim, 0x400000);

  RunClassInstaller(run);

  EXPECT_EQ(run.forwardPressed, 1);
  ASSERT_EQ(sim.Desktop().Messages().size(), 1u);
  EXPECT_EQ(sim.Desktop().Messages()[0].time, 1500u);
  EXPECT_EQ(CountCalls(sim, "GetUserDefaultLCID"), 5);  // 500 ... 2500
}

TEST(InstallerRunsClassInstaller, ARunDllWindowOutlivingTheInstallerDelaysAtMostTenSeconds) {
  struct Case {
    std::uint64_t runDllGoneAt;  // 0: never
    std::uint64_t end;
    int runDllFinds;
  };
  for (const Case& c : {Case{4200, 5000, 5}, Case{0, 11000, 10}}) {
    SCOPED_TRACE("RunDll gone at " + std::to_string(c.runDllGoneAt));
    SimSystem sim;
    sim.Processes().SetUserDefaultLcid(kGerman);
    ScriptInstaller(sim, 1000, [&](SimSystem& s, ProcessId) {
      // The runner's window belongs to no process that ends with the installer.
      WindowHandle runDll = s.Desktop().CreateWindow("RunDll", "", 0, 0, 0);
      if (c.runDllGoneAt) {
        s.Clock().At(c.runDllGoneAt, [runDll](SimSystem& s2) { s2.Desktop().DestroyWindow(runDll); });
      }
    });
    InstallRun run = MakeInstallRun(sim, 0x400000);

    RunClassInstaller(run);

    EXPECT_EQ(sim.Clock().Now(), c.end);
    int runDllFinds = 0;
    int secondSleeps = 0;
    for (const sim::JournalEntry& e : sim.Journal().Entries()) {
      if (e.operation == "FindWindowA" && e.arguments.find("RunDll") != std::string::npos) {
        ++runDllFinds;
        EXPECT_GE(e.time, 1000u);  // only after the installer has ended
      }
      if (e.operation == "Sleep" && e.arguments == "1000") ++secondSleeps;
    }
    EXPECT_EQ(runDllFinds, c.runDllFinds);
    EXPECT_EQ(secondSleeps, c.runDllGoneAt ? 4 : 10);
    EXPECT_EQ(sim.Journal().Entries().back().operation, c.runDllGoneAt ? "FindWindowA" : "Sleep");
  }
}

TEST(InstallerRunsClassInstaller, AnInstallerThatCannotBeStartedStillWaitsForRunDllWindows) {
  SimSystem sim;
  sim.Processes().SetUserDefaultLcid(kGerman);
  sim.Processes().FailStart(kInstallerCommand);
  WindowHandle runDll = sim.Desktop().CreateWindow("RunDll", "", 0, 0, 0);
  sim.Clock().At(1500, [runDll](SimSystem& s) { s.Desktop().DestroyWindow(runDll); });
  InstallRun run = MakeInstallRun(sim, 0x400000);

  RunClassInstaller(run);

  EXPECT_TRUE(LinesAre(WindowTimeline(sim, {{runDll, "rundll"}}),
                       {
                           "0 CreateProcessA(NULL, \"rundll32 sysdm.cpl,InstallDevice_Rundll "
                           "Infrared\", 1, 0x0, {cb 12, flags 0x1, show 1}) = 0",
                           "0 FindWindowA(\"RunDll\", NULL) = rundll",
                           "0 Sleep(1000) = void",
                           "1000 FindWindowA(\"RunDll\", NULL) = rundll",
                           "1000 Sleep(1000) = void",
                           "2000 FindWindowA(\"RunDll\", NULL) = 0x0",
                       }));
  EXPECT_EQ(run.forwardPressed, 0);
}

}  // namespace
}  // namespace nl
