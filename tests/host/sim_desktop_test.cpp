// The simulated desktop: windows, messages and focus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_system.h"

namespace nl::sim {
namespace {

constexpr const char* kWizard = "rundll32 sysdm.cpl,InstallDevice_Rundll";

TEST(SimDesktop, FindWindowTakesTheNewestTopLevelMatch) {
  SimSystem sim;
  const WindowHandle first = sim.Desktop().CreateWindow("#32770", "Netzwerk", 0, 0, 1);
  const WindowHandle second = sim.Desktop().CreateWindow("#32770", "Assistent", 0, 0, 1);
  sim.Desktop().CreateWindow("#32770", "Child", second, 5, 1);
  EXPECT_EQ(sim.FindWindowA("#32770", nullptr), second);
  EXPECT_EQ(sim.FindWindowA("#32770", "Netzwerk"), first);
  EXPECT_EQ(sim.FindWindowA("#32770", "netzwerk"), 0u);  // titles match exactly
  EXPECT_EQ(sim.FindWindowA("rundll", nullptr), 0u);
  EXPECT_EQ(sim.FindWindowA("#32770", "Child"), 0u);  // not top level
  // FindWindowExA walks on from a window in the same order, top level only.
  EXPECT_EQ(sim.FindWindowExA(0, 0, "#32770", nullptr), second);
  EXPECT_EQ(sim.FindWindowExA(0, second, "#32770", nullptr), first);
  EXPECT_EQ(sim.FindWindowExA(0, first, "#32770", nullptr), 0u);
  EXPECT_EQ(sim.FindWindowExA(second, 0, "#32770", nullptr), 0u);
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

TEST(SimDesktop, ChildEnumerationIsDepthFirstInCreationOrder) {
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

TEST(SimDesktop, SentMessagesAreHandledAtOncePostedOnesWhenTheProgramSleeps) {
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

TEST(SimDesktop, PostedMessagesAreDeliveredBeforeTheClockMoves) {
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

TEST(SimDesktop, ListViewsAnswerTheirItemCount) {
  SimSystem sim;
  const WindowHandle dlg = sim.Desktop().CreateWindow("#32770", "Wizard", 0, 0, 1);
  const WindowHandle lv = sim.Desktop().CreateWindow("SysListView32", "", dlg, 1581, 1);
  sim.Desktop().SetItemCount(lv, 5);
  sim.Clock().At(500, [lv](SimSystem& s) { s.Desktop().SetItemCount(lv, 9); });
  EXPECT_EQ(sim.SendMessageA(lv, kLvmGetItemCount, 0, 0), 5);
  sim.Sleep(1000);
  EXPECT_EQ(sim.SendMessageA(lv, kLvmGetItemCount, 0, 0), 9);
}

TEST(SimDesktop, EndingAProcessDestroysItsWindowsAndFocusIsTracked) {
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
  // The list is another thread's: the focus reaches it only through that
  // thread's attached input.
  EXPECT_EQ(sim.SetFocus(list), 0u);
  EXPECT_EQ(sim.Desktop().FocusedWindow(), 0u);
  ProcessId owner = 0;
  EXPECT_EQ(sim.GetWindowThreadProcessId(list, &owner), started.threadId);
  EXPECT_EQ(owner, started.processId);
  ASSERT_EQ(sim.AttachThreadInput(sim.GetCurrentThreadId(), started.threadId, 1), 1);
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
  EXPECT_FALSE(sim.Desktop().InputAttached(kProgramThreadId, started.threadId));
  EXPECT_EQ(sim.AttachThreadInput(kProgramThreadId, started.threadId, 1), 0);
  EXPECT_EQ(sim.GetWindowThreadProcessId(list, nullptr), 0u);
}

TEST(SimDesktop, InjectedFailuresOfWindowCalls) {
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

}  // namespace
}  // namespace nl::sim
