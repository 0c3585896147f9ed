// Finding controls, typing, pressing buttons, starting processes and waiting
// for them, on the simulated system's virtual clock.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "automation/dialog_primitives.h"
#include "platform/sim/sim_system.h"
#include "../support/message_table.h"

namespace nl {
namespace {

using sim::SimMessage;
using sim::SimSystem;
using testing::ExpectedMessage;
using testing::kPosted;
using testing::kSent;
using testing::LinesAre;
using testing::MessageSequenceIs;
using testing::WindowTimeline;

constexpr const char* kTool = "rundll32 sysdm.cpl,InstallDevice_Rundll";

int CountCalls(const SimSystem& sim, const std::string& operation) {
  int count = 0;
  for (const sim::JournalEntry& entry : sim.Journal().Entries()) {
    if (entry.operation == operation) ++count;
  }
  return count;
}

// ---- FindChildByControlId ----

TEST(DialogPrimitivesFindChild, FindsAControlNestedInAChildPage) {
  SimSystem sim;
  WindowHandle dialog = sim.Desktop().CreateWindow("#32770", "Wizard", 0, 0, 0);
  sim.Desktop().CreateWindow("Button", "Next", dialog, 12324, 0);
  WindowHandle page = sim.Desktop().CreateWindow("#32770", "", dialog, 0, 0);
  WindowHandle group = sim.Desktop().CreateWindow("Static", "", page, 0, 0);
  WindowHandle edit = sim.Desktop().CreateWindow("Edit", "", group, 1551, 0);

  ChildSearch search{0, 0, 0};
  EXPECT_TRUE(FindChildByControlId(sim, dialog, 1551, search));
  EXPECT_EQ(search.found, edit);
  EXPECT_EQ(search.wantedId, 1551);
  EXPECT_EQ(search.foundFlag, 1);
  // The platform's own direct-child lookup would not have found it.
  EXPECT_EQ(sim.GetDlgItem(dialog, 1551), 0u);

  // The record handed through the enumeration: handle, wanted identifier
  // and found flag, in that order, the last two 32 bits wide.
  static_assert(offsetof(ChildSearch, found) < offsetof(ChildSearch, wantedId));
  static_assert(offsetof(ChildSearch, wantedId) < offsetof(ChildSearch, foundFlag));
  static_assert(sizeof(ChildSearch::wantedId) == 4);
  static_assert(sizeof(ChildSearch::foundFlag) == 4);
}

TEST(DialogPrimitivesFindChild, TheFirstOfTwoControlsWithTheIdInEnumerationOrderWins) {
  // Depth first: the page's nested control comes before a later direct child.
  SimSystem sim;
  WindowHandle dialog = sim.Desktop().CreateWindow("#32770", "", 0, 0, 0);
  WindowHandle page = sim.Desktop().CreateWindow("#32770", "", dialog, 0, 0);
  WindowHandle nested = sim.Desktop().CreateWindow("Button", "", page, 502, 0);
  WindowHandle direct = sim.Desktop().CreateWindow("Button", "", dialog, 502, 0);
  ChildSearch search{0, 0, 0};
  ASSERT_TRUE(FindChildByControlId(sim, dialog, 502, search));
  EXPECT_EQ(search.found, nested);
  EXPECT_NE(search.found, direct);
  // The enumeration stops at the match: page and nested only.
  EXPECT_EQ(CountCalls(sim, "GetDlgCtrlID"), 2);
  EXPECT_EQ(sim.Journal().Entries()[0].result, "1 (2 visited)");

  // The other way round, the direct child comes first.
  SimSystem other;
  WindowHandle dialog2 = other.Desktop().CreateWindow("#32770", "", 0, 0, 0);
  WindowHandle first = other.Desktop().CreateWindow("Button", "", dialog2, 502, 0);
  WindowHandle page2 = other.Desktop().CreateWindow("#32770", "", dialog2, 0, 0);
  other.Desktop().CreateWindow("Button", "", page2, 502, 0);
  ASSERT_TRUE(FindChildByControlId(other, dialog2, 502, search));
  EXPECT_EQ(search.found, first);
}

TEST(DialogPrimitivesFindChild, EverySearchStartsWithAClearedFlagAndTheNewId) {
  SimSystem sim;
  WindowHandle dialog = sim.Desktop().CreateWindow("#32770", "", 0, 0, 0);
  WindowHandle list = sim.Desktop().CreateWindow("ListBox", "", dialog, 1580, 0);
  ChildSearch search{0, 0, 0};
  ASSERT_TRUE(FindChildByControlId(sim, dialog, 1580, search));
  EXPECT_EQ(search.found, list);

  // A search that finds nothing leaves the earlier hit behind as "not found".
  EXPECT_FALSE(FindChildByControlId(sim, dialog, 1581, search));
  EXPECT_EQ(search.foundFlag, 0);
  EXPECT_EQ(search.wantedId, 1581);

  // A dialog without children, and one that is gone, find nothing either.
  WindowHandle empty = sim.Desktop().CreateWindow("#32770", "", 0, 0, 0);
  search = ChildSearch{list, 7, 1};
  EXPECT_FALSE(FindChildByControlId(sim, empty, 1580, search));
  EXPECT_EQ(search.foundFlag, 0);
  sim.Desktop().DestroyWindow(dialog);
  EXPECT_FALSE(FindChildByControlId(sim, dialog, 1580, search));
}

// ---- Keystrokes and commands ----

TEST(DialogPrimitivesKeystroke, SendsKeyDownCharAndKeyUpWithTheScanCodeInLParam) {
  SimSystem sim;
  WindowHandle edit = sim.Desktop().CreateWindow("Edit", "", 0, 0, 0);
  WindowHandle list = sim.Desktop().CreateWindow("SysListView32", "", 0, 0, 0);
  SendKeystroke(sim, edit, 0x41, 0x61, 0x1E);
  SendKeystroke(sim, list, 0x28, 0x28, 0xD0);

  // Repeat count 1, scan code in bits 16-23, never the extended-key bit;
  // the key-up adds the previous-state and transition bits.
  const std::vector<ExpectedMessage> expected = {
      {edit, kWmKeyDown, 0x41, 0x001E0001, kSent},
      {edit, kWmChar, 0x61, 0x001E0001, kSent},
      {edit, kWmKeyUp, 0x41, 0xC01E0001, kSent},
      {list, kWmKeyDown, 0x28, 0x00D00001, kSent},
      {list, kWmChar, 0x28, 0x00D00001, kSent},
      {list, kWmKeyUp, 0x28, 0xC0D00001, kSent},
  };
  EXPECT_TRUE(MessageSequenceIs(sim.Desktop().Messages(), expected,
                                {{edit, "edit"}, {list, "list"}}));
  EXPECT_EQ(KeystrokeLParam(0x1E), 0x001E0001);
  EXPECT_EQ(KeyUpLParam(0x1E), 0xC01E0001u);
  // No pause inside or between keystrokes.
  EXPECT_EQ(CountCalls(sim, "Sleep"), 0);
  EXPECT_EQ(sim.Clock().Now(), 0u);
}

TEST(DialogPrimitivesCommand, SendWaitsForTheDialogAndPostOnlyQueues) {
  SimSystem sim;
  WindowHandle dialog = sim.Desktop().CreateWindow("#32770", "", 0, 0, 0);
  WindowHandle button = sim.Desktop().CreateWindow("Button", "", dialog, 12324, 0);
  int commands = 0;
  sim.Desktop().SetMessageHandler(dialog, [&](SimSystem&, const SimMessage&) {
    ++commands;
    return std::intptr_t{0};
  });

  SendCommand(sim, dialog, 12324, button);
  EXPECT_EQ(commands, 1);  // handled before SendCommand returned
  PostCommand(sim, dialog, 12325, button);
  PostCommand(sim, dialog, 12325, 0);
  EXPECT_EQ(commands, 1);  // queued only
  sim.Sleep(500);
  EXPECT_EQ(commands, 3);

  // Notification code 0 in the high word; lParam the handle given.
  const std::vector<ExpectedMessage> expected = {
      {dialog, kWmCommand, 12324, static_cast<std::uint32_t>(button), kSent},
      {dialog, kWmCommand, 12325, static_cast<std::uint32_t>(button), kPosted},
      {dialog, kWmCommand, 12325, 0, kPosted},
  };
  EXPECT_TRUE(MessageSequenceIs(sim.Desktop().Messages(), expected,
                                {{dialog, "dialog"}, {button, "button"}}));
}

// ---- Processes ----

TEST(DialogPrimitivesProcess, StartsShownNormallyAndKeepsTheHandlesOpen) {
  SimSystem sim;
  ProcessId scripted = 0;
  sim.Processes().ScriptProgram(kTool, [&](SimSystem&, ProcessId pid) { scripted = pid; });
  ProcessId pid = 0;
  ASSERT_TRUE(StartProcess(sim, kTool, &pid));
  EXPECT_EQ(pid, scripted);
  ASSERT_EQ(sim.Processes().Starts().size(), 1u);
  const sim::ProcessStart& start = sim.Processes().Starts()[0];
  EXPECT_FALSE(start.applicationNameGiven);
  EXPECT_EQ(start.commandLine, kTool);
  EXPECT_EQ(start.inheritHandles, 1);
  EXPECT_EQ(start.creationFlags, 0u);
  ASSERT_TRUE(start.startupGiven);
  EXPECT_EQ(start.startup.size, sizeof(StartupRecord));
  EXPECT_EQ(start.startup.flags, kStartfUseShowWindow);
  EXPECT_EQ(start.startup.showWindow, kSwShowNormal);
  // Process and thread handles stay open; the process is known by its id.
  EXPECT_EQ(sim.Processes().OpenProcessHandleCount(), 2u);
  EXPECT_TRUE(ProcessExists(sim, pid));
  sim.Processes().EndProcess(pid);
  EXPECT_FALSE(ProcessExists(sim, pid));
  EXPECT_EQ(sim.Processes().OpenProcessHandleCount(), 2u);
}

TEST(DialogPrimitivesProcess, AProgramThatCannotBeStartedIsReportedAsNotStarted) {
  SimSystem sim;
  ProcessId pid = 0;
  EXPECT_FALSE(StartProcess(sim, "rundll32 missing.cpl", &pid));
  sim.Processes().ScriptProgram(kTool, [](SimSystem&, ProcessId) {});
  sim.Processes().FailStart(kTool);
  EXPECT_FALSE(StartProcess(sim, kTool, &pid));
  EXPECT_EQ(sim.Processes().Starts().size(), 2u);
  EXPECT_EQ(sim.Processes().OpenProcessHandleCount(), 0u);
}

TEST(DialogPrimitivesProcess, WaitForProcessExitTestsFirstThenPollsEvery500Ms) {
  SimSystem sim;
  sim.Processes().ScriptProgram(kTool, [](SimSystem& s, ProcessId pid) {
    s.Clock().After(1200, [pid](SimSystem& s2) { s2.Processes().EndProcess(pid); });
  });
  ProcessId pid = 0;
  ASSERT_TRUE(StartProcess(sim, kTool, &pid));
  WaitForProcessExit(sim, pid);
  EXPECT_EQ(sim.Clock().Now(), 1500u);
  std::vector<std::string> timeline = WindowTimeline(sim, {{pid, "tool"}});
  timeline.erase(timeline.begin());  // the start
  EXPECT_TRUE(LinesAre(timeline, {
                                     "0 GetProcessVersion(tool) = 0x4000a",
                                     "0 Sleep(500) = void",
                                     "500 GetProcessVersion(tool) = 0x4000a",
                                     "500 Sleep(500) = void",
                                     "1000 GetProcessVersion(tool) = 0x4000a",
                                     "1000 Sleep(500) = void",
                                     "1500 GetProcessVersion(tool) = 0x0",
                                 }));

  // A process that has ended already costs one test and no sleep.
  WaitForProcessExit(sim, pid);
  EXPECT_EQ(sim.Clock().Now(), 1500u);
  EXPECT_EQ(sim.Journal().Entries().back().operation, "GetProcessVersion");
}

TEST(DialogPrimitivesProcess, WaitForProcessExitHasNoUpperBound) {
  SimSystem sim;
  sim.Processes().ScriptProgram(kTool, [](SimSystem& s, ProcessId pid) {
    s.Clock().After(95000, [pid](SimSystem& s2) { s2.Processes().EndProcess(pid); });
  });
  ProcessId pid = 0;
  ASSERT_TRUE(StartProcess(sim, kTool, &pid));
  WaitForProcessExit(sim, pid);
  EXPECT_EQ(sim.Clock().Now(), 95000u);
  EXPECT_EQ(CountCalls(sim, "Sleep"), 190);
}

// ---- WaitWhileWindowExists ----

TEST(DialogPrimitivesWindowWait, ReturnsAtOnceWithoutSleepingWhenNoWindowExists) {
  SimSystem sim;
  // A window of another class, or of the class with another title, does not
  // count.
  sim.Desktop().CreateWindow("RunDll", "", 0, 0, 0);
  WindowHandle dialog = sim.Desktop().CreateWindow("#32770", "Other", 0, 0, 0);
  WaitWhileWindowExists(sim, "#32770", "Netzwerk");
  sim.Desktop().DestroyWindow(dialog);
  WaitWhileWindowExists(sim, "#32770", nullptr);
  EXPECT_EQ(sim.Clock().Now(), 0u);
  EXPECT_TRUE(LinesAre(WindowTimeline(sim, {}),
                       {
                           "0 FindWindowA(\"#32770\", \"Netzwerk\") = 0x0",
                           "0 FindWindowA(\"#32770\", NULL) = 0x0",
                       }));
}

TEST(DialogPrimitivesWindowWait, PollsEverySecondUntilTheWindowIsGone) {
  SimSystem sim;
  WindowHandle runDll = sim.Desktop().CreateWindow("RunDll", "", 0, 0, 0);
  sim.Clock().At(2500, [runDll](SimSystem& s) { s.Desktop().DestroyWindow(runDll); });
  WaitWhileWindowExists(sim, "RunDll", nullptr);
  EXPECT_EQ(sim.Clock().Now(), 3000u);
  EXPECT_TRUE(LinesAre(WindowTimeline(sim, {{runDll, "rundll"}}),
                       {
                           "0 FindWindowA(\"RunDll\", NULL) = rundll",
                           "0 Sleep(1000) = void",
                           "1000 FindWindowA(\"RunDll\", NULL) = rundll",
                           "1000 Sleep(1000) = void",
                           "2000 FindWindowA(\"RunDll\", NULL) = rundll",
                           "2000 Sleep(1000) = void",
                           "3000 FindWindowA(\"RunDll\", NULL) = 0x0",
                       }));
}

TEST(DialogPrimitivesWindowWait, GivesUpSilentlyAfterTheTenthSleep) {
  SimSystem sim;
  sim.Desktop().CreateWindow("#32770", "Netzwerk", 0, 0, 0);
  WaitWhileWindowExists(sim, "#32770", "Netzwerk");
  EXPECT_EQ(sim.Clock().Now(), 10000u);
  EXPECT_EQ(CountCalls(sim, "FindWindowA"), 10);
  EXPECT_EQ(CountCalls(sim, "Sleep"), 10);
  EXPECT_EQ(sim.Journal().Entries().back().Text(), "Sleep(1000) = void");
}

}  // namespace
}  // namespace nl
