// The simulated clock, scripted processes, windows and messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_system.h"
#include "standins/stand_in_tools.h"

namespace nl::sim {
namespace {

constexpr const char* kWizard = "rundll32 sysdm.cpl,InstallDevice_Rundll";

TEST(SimClock, SleepAdvancesTimeAndFiresEventsInTimeOrder) {
  SimSystem sim;
  std::vector<std::string> fired;
  sim.Clock().At(1200, [&](SimSystem& s) { fired.push_back("b@" + std::to_string(s.Clock().Now())); });
  sim.Clock().At(300, [&](SimSystem& s) {
    fired.push_back("a@" + std::to_string(s.Clock().Now()));
    s.Clock().After(100, [&](SimSystem& s2) { fired.push_back("c@" + std::to_string(s2.Clock().Now())); });
  });
  sim.Sleep(1000);
  EXPECT_EQ(sim.Clock().Now(), 1000u);
  EXPECT_EQ(fired, (std::vector<std::string>{"a@300", "c@400"}));
  sim.Sleep(500);
  EXPECT_EQ(sim.Clock().Now(), 1500u);
  EXPECT_EQ(fired.back(), "b@1200");
}

TEST(SimClock, TheTimeLimitEndsUnboundedWaits) {
  SimSystem sim;
  sim.Clock().SetTimeLimit(2000);
  sim.Sleep(1500);
  EXPECT_THROW(sim.Sleep(1000), SimTimeLimit);
  EXPECT_EQ(sim.Clock().Now(), 2000u);
}

TEST(SimProcesses, ScriptedCommandLinesStartAndEnd) {
  SimSystem sim;
  ProcessId seen = 0;
  sim.Processes().ScriptProgram(kWizard, [&](SimSystem& s, ProcessId pid) {
    seen = pid;
    s.Clock().After(1000, [pid](SimSystem& s2) { s2.Processes().EndProcess(pid); });
  });
  char line[] = "rundll32 sysdm.cpl,InstallDevice_Rundll";
  StartupRecord startup{sizeof(StartupRecord), kStartfUseShowWindow, kSwShowNormal};
  ProcessRecord started{};
  ASSERT_EQ(sim.CreateProcessA(nullptr, line, 1, 0, &startup, &started), 1);
  EXPECT_EQ(started.processId, seen);
  EXPECT_NE(sim.GetProcessVersion(seen), 0u);
  sim.Sleep(500);
  EXPECT_TRUE(sim.Processes().IsAlive(seen));
  sim.Sleep(500);
  EXPECT_EQ(sim.GetProcessVersion(seen), 0u);

  ASSERT_EQ(sim.Processes().Starts().size(), 1u);
  const ProcessStart& s = sim.Processes().Starts()[0];
  EXPECT_EQ(s.commandLine, kWizard);
  EXPECT_FALSE(s.applicationNameGiven);
  EXPECT_EQ(s.inheritHandles, 1);
  EXPECT_EQ(s.startup.flags, kStartfUseShowWindow);
  EXPECT_EQ(s.startup.showWindow, kSwShowNormal);
  EXPECT_EQ(sim.Processes().OpenProcessHandleCount(), 2u);
}

TEST(SimProcesses, UnscriptedOrFailedCommandLinesDoNotStart) {
  SimSystem sim;
  sim.Processes().ScriptProgram(kWizard, [](SimSystem&, ProcessId) {});
  sim.Processes().FailStart(kWizard);
  StartupRecord startup{sizeof(StartupRecord), kStartfUseShowWindow, kSwShowNormal};
  ProcessRecord started{};
  char wizard[] = "rundll32 sysdm.cpl,InstallDevice_Rundll";
  char other[] = "rundll32 other.cpl";
  EXPECT_EQ(sim.CreateProcessA(nullptr, wizard, 1, 0, &startup, &started), 0);
  EXPECT_EQ(sim.CreateProcessA(nullptr, other, 1, 0, &startup, &started), 0);
  EXPECT_EQ(sim.Processes().Starts().size(), 2u);
  EXPECT_FALSE(sim.Processes().Starts()[0].started);
}

TEST(SimWindows, FindWindowTakesTheNewestTopLevelMatch) {
  SimSystem sim;
  const WindowHandle first = sim.Desktop().CreateWindow("#32770", "Netzwerk", 0, 0, 1);
  const WindowHandle second = sim.Desktop().CreateWindow("#32770", "Assistent", 0, 0, 1);
  sim.Desktop().CreateWindow("#32770", "Child", second, 5, 1);
  EXPECT_EQ(sim.FindWindowA("#32770", nullptr), second);
  EXPECT_EQ(sim.FindWindowA("#32770", "Netzwerk"), first);
  EXPECT_EQ(sim.FindWindowA("#32770", "netzwerk"), 0u);  // titles match exactly
  EXPECT_EQ(sim.FindWindowA("rundll", nullptr), 0u);
  EXPECT_EQ(sim.FindWindowA("#32770", "Child"), 0u);  // not top level
  sim.ShowWindow(second, kSwHide);
  EXPECT_EQ(sim.FindWindowA("#32770", nullptr), second);  // hidden windows count
  sim.Desktop().DestroyWindow(second);
  EXPECT_EQ(sim.FindWindowA("#32770", nullptr), first);
  const WindowHandle runDll = sim.Desktop().CreateWindow("RunDll", "", 0, 0, 1);
  EXPECT_EQ(sim.FindWindowA("RUNDLL", nullptr), runDll);  // classes ignore case
}

struct Visit {
  std::vector<WindowHandle> seen;
  std::size_t stopAfter;
};

int Collect(WindowHandle w, std::intptr_t data) {
  auto* visit = reinterpret_cast<Visit*>(data);
  visit->seen.push_back(w);
  return visit->seen.size() < visit->stopAfter;
}

TEST(SimWindows, ChildEnumerationIsDepthFirstInCreationOrder) {
  SimSystem sim;
  const WindowHandle dlg = sim.Desktop().CreateWindow("#32770", "Wizard", 0, 0, 1);
  const WindowHandle page = sim.Desktop().CreateWindow("#32770", "", dlg, 0, 1);
  const WindowHandle forward = sim.Desktop().CreateWindow("Button", "&Weiter >", dlg, 12324, 1);
  const WindowHandle list = sim.Desktop().CreateWindow("ListBox", "", page, 1580, 1);
  const WindowHandle nested = sim.Desktop().CreateWindow("Edit", "", list, 1551, 1);
  Visit all{{}, 100};
  EXPECT_EQ(sim.EnumChildWindows(dlg, Collect, reinterpret_cast<std::intptr_t>(&all)), 1);
  EXPECT_EQ(all.seen, (std::vector<WindowHandle>{page, list, nested, forward}));
  Visit two{{}, 2};
  sim.EnumChildWindows(dlg, Collect, reinterpret_cast<std::intptr_t>(&two));
  EXPECT_EQ(two.seen.size(), 2u);

  EXPECT_EQ(sim.GetDlgItem(dlg, 12324), forward);
  EXPECT_EQ(sim.GetDlgItem(dlg, 1580), 0u);  // direct children only
  EXPECT_EQ(sim.GetDlgCtrlID(list), 1580);
  char title[6];
  EXPECT_EQ(sim.GetWindowTextA(forward, title, sizeof title), 5);
  EXPECT_STREQ(title, "&Weit");
}

TEST(SimWindows, SentMessagesAreHandledAtOncePostedOnesWhenTheProgramSleeps) {
  SimSystem sim;
  const WindowHandle dlg = sim.Desktop().CreateWindow("#32770", "Wizard", 0, 0, 1);
  std::vector<std::uint32_t> handled;
  sim.Desktop().SetMessageHandler(dlg, [&](SimSystem&, const SimMessage& m) -> std::intptr_t {
    handled.push_back(m.message);
    return m.message == kWmCommand ? 42 : 0;
  });
  EXPECT_EQ(sim.SendMessageA(dlg, kWmCommand, 12324, 0x10010), 42);
  EXPECT_EQ(sim.PostMessageA(dlg, kWmCommand, 12325, 0), 1);
  EXPECT_EQ(handled.size(), 1u);
  sim.Sleep(500);
  EXPECT_EQ(handled.size(), 2u);
  ASSERT_EQ(sim.Desktop().Messages().size(), 2u);
  EXPECT_FALSE(sim.Desktop().Messages()[0].posted);
  EXPECT_TRUE(sim.Desktop().Messages()[1].posted);
  EXPECT_EQ(sim.Desktop().Messages()[1].wParam, 12325u);
}

TEST(SimWindows, PostedMessagesAreDeliveredBeforeTheClockMoves) {
  SimSystem sim;
  const WindowHandle dlg = sim.Desktop().CreateWindow("#32770", "Panel", 0, 0, 1);
  std::uint64_t handledAt = 99;
  sim.Desktop().SetMessageHandler(dlg, [&](SimSystem& s, const SimMessage&) -> std::intptr_t {
    handledAt = s.Clock().Now();
    s.Desktop().DestroyWindow(dlg);
    return 0;
  });
  sim.Clock().At(100, [&](SimSystem& s) { s.Desktop().CreateWindow("#32770", "Late", 0, 0, 1); });
  sim.PostMessageA(dlg, kWmCommand, 1, 0);
  sim.Sleep(1000);
  EXPECT_EQ(handledAt, 0u);
  EXPECT_EQ(sim.PostMessageA(dlg, kWmCommand, 1, 0), 0);  // destroyed
  EXPECT_EQ(sim.SendMessageA(dlg, kWmCommand, 1, 0), 0);
  EXPECT_EQ(sim.Desktop().Messages().size(), 1u);
}

TEST(SimWindows, ListViewsAnswerTheirItemCount) {
  SimSystem sim;
  const WindowHandle dlg = sim.Desktop().CreateWindow("#32770", "Wizard", 0, 0, 1);
  const WindowHandle lv = sim.Desktop().CreateWindow("SysListView32", "", dlg, 1581, 1);
  sim.Desktop().SetItemCount(lv, 5);
  sim.Clock().At(500, [lv](SimSystem& s) { s.Desktop().SetItemCount(lv, 9); });
  EXPECT_EQ(sim.SendMessageA(lv, kLvmGetItemCount, 0, 0), 5);
  sim.Sleep(1000);
  EXPECT_EQ(sim.SendMessageA(lv, kLvmGetItemCount, 0, 0), 9);
}

TEST(SimWindows, EndingAProcessDestroysItsWindowsAndFocusIsTracked) {
  SimSystem sim;
  sim.Processes().ScriptProgram(kWizard, [](SimSystem& s, ProcessId pid) {
    const WindowHandle dlg = s.Desktop().CreateWindow("#32770", "Hardware", 0, 0, pid);
    s.Desktop().CreateWindow("ListBox", "", dlg, 1580, pid);
  });
  char line[] = "rundll32 sysdm.cpl,InstallDevice_Rundll";
  StartupRecord startup{sizeof(StartupRecord), kStartfUseShowWindow, kSwShowNormal};
  ProcessRecord started{};
  ASSERT_EQ(sim.CreateProcessA(nullptr, line, 1, 0, &startup, &started), 1);
  const WindowHandle dlg = sim.FindWindowA("#32770", nullptr);
  const WindowHandle list = sim.GetDlgItem(dlg, 1580);
  EXPECT_EQ(sim.SetFocus(list), 0u);
  EXPECT_EQ(sim.Desktop().FocusedWindow(), list);
  EXPECT_EQ(sim.ShowWindow(dlg, kSwHide), 1);
  EXPECT_FALSE(sim.Desktop().IsVisible(dlg));
  EXPECT_EQ(sim.InvalidateRect(dlg, 0), 1);
  EXPECT_EQ(sim.Desktop().InvalidateCount(dlg), 1);
  sim.Processes().EndProcess(started.processId);
  EXPECT_FALSE(sim.Desktop().IsWindow(dlg));
  EXPECT_FALSE(sim.Desktop().IsWindow(list));
  EXPECT_EQ(sim.Desktop().FocusedWindow(), 0u);
  EXPECT_EQ(sim.FindWindowA("#32770", nullptr), 0u);
}

TEST(SimWindows, InjectedFailuresOfWindowCalls) {
  SimSystem sim;
  const WindowHandle dlg = sim.Desktop().CreateWindow("#32770", "Wizard", 0, 0, 1);
  sim.Desktop().CreateWindow("Button", "OK", dlg, 1, 1);
  int handled = 0;
  sim.Desktop().SetMessageHandler(dlg, [&](SimSystem&, const SimMessage&) -> std::intptr_t { return ++handled; });
  sim.Journal().FailOperation("FindWindowA");
  sim.Journal().FailOperation("GetDlgItem");
  sim.Journal().FailOperation("SendMessageA");
  EXPECT_EQ(sim.FindWindowA("#32770", nullptr), 0u);
  EXPECT_EQ(sim.GetDlgItem(dlg, 1), 0u);
  EXPECT_EQ(sim.SendMessageA(dlg, kWmCommand, 1, 0), 0);
  EXPECT_EQ(handled, 0);
}

}  // namespace
}  // namespace nl::sim

namespace nl::sim {
namespace {

TEST(StandInOptions, KnownBehavioursParseAndEverythingElseIsRefused) {
  StandInOptions options;
  EXPECT_TRUE(ParseStandInOptions("wizard=late,panel=stubborn,grow=800,installer=twice", &options));
  EXPECT_EQ(options.wizard, "late");
  EXPECT_EQ(options.panel, "stubborn");
  EXPECT_EQ(options.installer, "twice");
  EXPECT_EQ(options.growMs, 800);
  EXPECT_TRUE(ParseStandInOptions("installer=late+twice,wizard=late+slowpage", &options));
  EXPECT_EQ(options.installer, "late+twice");
  EXPECT_EQ(options.wizard, "late+slowpage");
  for (const char* bad : {"wizard=bogus", "panel=late", "grow=abc", "grow=", "sound=on",
                          "wizard", "grow=99999999999", "wizard=late+bogus", "panel=+"}) {
    StandInOptions untouched;
    EXPECT_FALSE(ParseStandInOptions(bad, &untouched)) << bad;
  }
}

}  // namespace
}  // namespace nl::sim
