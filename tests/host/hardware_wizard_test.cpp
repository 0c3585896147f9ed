// The hardware wizard run against a scripted wizard on the simulated system:
// the exact calls, messages and sleeps in virtual time.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../support/message_table.h"
#include "automation/hardware_wizard.h"
#include "platform/sim/sim_system.h"

namespace nl {
namespace {

using sim::SimMessage;
using sim::SimSystem;
using testing::ExpectedMessage;
using testing::HandleNames;
using testing::kPosted;
using testing::kSent;
using testing::LinesAre;
using testing::Low32;
using testing::MessageSequenceIs;
using testing::WindowTimeline;

constexpr const char* kWizardCommand = "rundll32 sysdm.cpl,InstallDevice_Rundll";
constexpr const char* kStartLine =
    "0 CreateProcessA(NULL, \"rundll32 sysdm.cpl,InstallDevice_Rundll\", 1, "
    "0x0, {cb 12, flags 0x1, show 1}) = 1 -> pid wizardpid";
constexpr std::int64_t kNever = -1;

// A wizard whose pages appear on a schedule. Times are in virtual ms from
// the start of its process. The first page has the letter control; the
// forward command (or, without a forward button, the passing of time)
// brings the page with the manufacturer and model lists. The finish command
// ends the process; so does `endAt`.
struct ScriptedWizard {
  std::int64_t appearAt = 0;
  bool hasForward = true;
  bool hasLetterControl = true;
  std::int64_t listPageDelay = 0;  // after the forward command, or the window
  bool hasModelList = true;
  std::vector<std::intptr_t> counts = {3, 3};  // item count readings in order
  std::int64_t endAt = 30000;

  ProcessId pid = 0;
  WindowHandle wizard = 0, forward = 0, finish = 0, firstPage = 0, letter = 0;
  WindowHandle listPage = 0, manufacturers = 0, models = 0;
  std::size_t readings = 0;

  HandleNames Names() const {
    HandleNames names = {{pid, "wizardpid"},   {wizard, "wizard"},
                         {forward, "forward"}, {finish, "finish"},
                         {letter, "letter"},   {manufacturers, "manufacturers"},
                         {models, "models"}};
    names.erase(0);  // windows the script did not create
    return names;
  }
};

void ShowListPage(SimSystem& sim, std::shared_ptr<ScriptedWizard> w) {
  if (!sim.Desktop().IsWindow(w->wizard)) return;
  w->listPage = sim.Desktop().CreateWindow("#32770", "", w->wizard, 0, w->pid);
  w->manufacturers = sim.Desktop().CreateWindow("ListBox", "", w->listPage, 1580, w->pid);
  if (!w->hasModelList) return;
  w->models = sim.Desktop().CreateWindow("SysListView32", "", w->listPage, 1581, w->pid);
  sim.Desktop().SetMessageHandler(w->models, [w](SimSystem&, const SimMessage& m) {
    if (m.message != kLvmGetItemCount || w->counts.empty()) return std::intptr_t{0};
    std::size_t i = w->readings < w->counts.size() ? w->readings : w->counts.size() - 1;
    ++w->readings;
    return w->counts[i];
  });
}

void ScheduleListPage(SimSystem& sim, std::shared_ptr<ScriptedWizard> w) {
  if (w->listPageDelay == kNever) return;
  if (w->listPageDelay == 0) return ShowListPage(sim, w);
  sim.Clock().After(static_cast<std::uint64_t>(w->listPageDelay),
            [w](SimSystem& s) { ShowListPage(s, w); });
}

void ShowWizard(SimSystem& sim, std::shared_ptr<ScriptedWizard> w) {
  if (!sim.Processes().IsAlive(w->pid)) return;
  w->wizard = sim.Desktop().CreateWindow("#32770", "Hardware-Assistent", 0, 0, w->pid);
  if (w->hasForward) {
    w->forward = sim.Desktop().CreateWindow("Button", "Weiter >", w->wizard, 12324, w->pid);
  }
  w->finish = sim.Desktop().CreateWindow("Button", "Fertig stellen", w->wizard, 12325, w->pid);
  w->firstPage = sim.Desktop().CreateWindow("#32770", "", w->wizard, 0, w->pid);
  if (w->hasLetterControl) {
    w->letter = sim.Desktop().CreateWindow("Edit", "", w->firstPage, 1551, w->pid);
  }
  sim.Desktop().SetMessageHandler(w->wizard, [w](SimSystem& s, const SimMessage& m) {
    if (m.message != kWmCommand) return std::intptr_t{0};
    if (m.wParam == 12324 && s.Desktop().IsWindow(w->firstPage)) {
      s.Desktop().DestroyWindow(w->firstPage);
      ScheduleListPage(s, w);
    } else if (m.wParam == 12325) {
      s.Processes().EndProcess(w->pid);
    }
    return std::intptr_t{0};
  });
  if (!w->hasForward) ScheduleListPage(sim, w);
}

std::shared_ptr<ScriptedWizard> ScriptWizard(SimSystem& sim, ScriptedWizard config) {
  auto w = std::make_shared<ScriptedWizard>(std::move(config));
  sim.Processes().ScriptProgram(kWizardCommand, [w](SimSystem& s, ProcessId pid) {
    w->pid = pid;
    s.Clock().After(static_cast<std::uint64_t>(w->endAt),
            [pid](SimSystem& s2) { s2.Processes().EndProcess(pid); });
    if (w->appearAt == kNever) return;
    if (w->appearAt == 0) {
      ShowWizard(s, w);
    } else {
      s.Clock().After(static_cast<std::uint64_t>(w->appearAt),
              [w](SimSystem& s2) { ShowWizard(s2, w); });
    }
  });
  return w;
}

int DriveWizard(SimSystem& sim) {
  InstallRun run = MakeInstallRun(sim, 0x400000);
  return DriveHardwareWizard(run);
}

// Key-down, character and key-up of one keystroke, lParams written out.
void AddKeystroke(std::vector<ExpectedMessage>& table, WindowHandle window,
                  std::uint32_t key, std::uint32_t character,
                  std::uint32_t downLParam, std::uint32_t upLParam) {
  table.push_back({window, kWmKeyDown, key, downLParam, kSent});
  table.push_back({window, kWmChar, character, downLParam, kSent});
  table.push_back({window, kWmKeyUp, key, upLParam, kSent});
}

void AddLetterA(std::vector<ExpectedMessage>& table, WindowHandle letter) {
  AddKeystroke(table, letter, 0x41, 0x61, 0x001E0001, 0xC01E0001);
}

// "microsoft": the lower-case codes as key and character codes, and the
// keyboard's make codes.
void AddManufacturer(std::vector<ExpectedMessage>& table, WindowHandle list) {
  AddKeystroke(table, list, 0x6D, 0x6D, 0x00320001, 0xC0320001);  // m
  AddKeystroke(table, list, 0x69, 0x69, 0x00170001, 0xC0170001);  // i
  AddKeystroke(table, list, 0x63, 0x63, 0x002E0001, 0xC02E0001);  // c
  AddKeystroke(table, list, 0x72, 0x72, 0x00130001, 0xC0130001);  // r
  AddKeystroke(table, list, 0x6F, 0x6F, 0x00180001, 0xC0180001);  // o
  AddKeystroke(table, list, 0x73, 0x73, 0x001F0001, 0xC01F0001);  // s
  AddKeystroke(table, list, 0x6F, 0x6F, 0x00180001, 0xC0180001);  // o
  AddKeystroke(table, list, 0x66, 0x66, 0x00210001, 0xC0210001);  // f
  AddKeystroke(table, list, 0x74, 0x74, 0x00140001, 0xC0140001);  // t
}

void AddCountReadings(std::vector<ExpectedMessage>& table, WindowHandle list,
                      int readings) {
  for (int i = 0; i < readings; ++i) {
    table.push_back({list, kLvmGetItemCount, 0, 0, kSent});
  }
}

// Six Down keystrokes: key and character code 0x28, scan code 0xD0.
void AddSixDowns(std::vector<ExpectedMessage>& table, WindowHandle list) {
  for (int i = 0; i < 6; ++i) {
    AddKeystroke(table, list, 0x28, 0x28, 0x00D00001, 0xC0D00001);
  }
}

TEST(HardwareWizard, StepsThroughTheWizardWithTheTabledKeystrokesAndWaits) {
  SimSystem sim;
  ScriptedWizard config;
  config.appearAt = 1000;       // found at the third try
  config.listPageDelay = 3500;  // 1580 found at the fifth try
  config.counts = {5, 9, 9, 9};
  auto w = ScriptWizard(sim, config);

  EXPECT_EQ(DriveWizard(sim), 1);

  EXPECT_TRUE(LinesAre(
      WindowTimeline(sim, w->Names()),
      {
          kStartLine,
          "0 FindWindowA(\"#32770\", NULL) = 0x0",
          "0 Sleep(500) = void",
          "500 FindWindowA(\"#32770\", NULL) = 0x0",
          "500 Sleep(500) = void",
          "1000 FindWindowA(\"#32770\", NULL) = wizard",
          "1000 GetWindowThreadProcessId(wizard, &pid) = 0x1002 -> pid wizardpid",
          "1000 ShowWindow(wizard, SW_HIDE) = 1",  // before anything is sent
          "1000 EnumChildWindows(wizard) = 1 (4 visited)",
          "1000 SendMessageA x3",  // A
          "1000 GetDlgItem(wizard, 12324) = forward",
          "1000 SendMessageA x1",  // forward, waited for
          "1000 EnumChildWindows(wizard) = 1 (2 visited)",
          "1000 Sleep(1000) = void",
          "2000 EnumChildWindows(wizard) = 1 (2 visited)",
          "2000 Sleep(1000) = void",
          "3000 EnumChildWindows(wizard) = 1 (2 visited)",
          "3000 Sleep(1000) = void",
          "4000 EnumChildWindows(wizard) = 1 (2 visited)",
          "4000 Sleep(1000) = void",
          "5000 EnumChildWindows(wizard) = 1 (4 visited)",
          // The list is the wizard's thread's: the focus goes through its
          // attached input.
          "5000 GetCurrentThreadId() = 0xffe",
          "5000 GetWindowThreadProcessId(manufacturers, NULL) = 0x1002",
          "5000 AttachThreadInput(0xffe, 0x1002, 1) = 1",
          "5000 SetFocus(manufacturers) = 0x0",
          "5000 AttachThreadInput(0xffe, 0x1002, 0) = 1",
          "5000 SendMessageA x27",  // microsoft
          "5000 EnumChildWindows(wizard) = 1 (5 visited)",
          "5000 SendMessageA x1",  // 5
          "5000 Sleep(1000) = void",
          "6000 SendMessageA x2",  // 9, then a fresh 9
          "6000 Sleep(1000) = void",
          "7000 SendMessageA x19",  // 9, six Downs
          "7000 PostMessageA x2",   // forward, finish
          "7000 GetProcessVersion(wizardpid) = 0x4000a",
          "7000 Sleep(500) = void",
          "7500 GetProcessVersion(wizardpid) = 0x0",
          "7500 FindWindowA(\"#32770\", NULL) = 0x0",
      }));

  std::vector<ExpectedMessage> expected;
  AddLetterA(expected, w->letter);
  expected.push_back({w->wizard, kWmCommand, 12324, Low32(w->forward), kSent});
  AddManufacturer(expected, w->manufacturers);
  AddCountReadings(expected, w->models, 4);
  AddSixDowns(expected, w->models);
  expected.push_back({w->wizard, kWmCommand, 12324, Low32(w->forward), kPosted});
  // The finish command carries the forward button's handle.
  expected.push_back({w->wizard, kWmCommand, 12325, Low32(w->forward), kPosted});
  EXPECT_TRUE(MessageSequenceIs(sim.Desktop().Messages(), expected, w->Names()));
  EXPECT_EQ(w->readings, 4u);
}

TEST(HardwareWizard, WithoutAForwardButtonOnlyTheFinishIsPostedWithLParamZero) {
  SimSystem sim;
  ScriptedWizard config;
  config.hasForward = false;
  config.listPageDelay = 1500;
  auto w = ScriptWizard(sim, config);

  EXPECT_EQ(DriveWizard(sim), 1);

  std::vector<ExpectedMessage> expected;
  AddLetterA(expected, w->letter);
  AddManufacturer(expected, w->manufacturers);
  AddCountReadings(expected, w->models, 2);
  AddSixDowns(expected, w->models);
  expected.push_back({w->wizard, kWmCommand, 12325, 0, kPosted});
  EXPECT_TRUE(MessageSequenceIs(sim.Desktop().Messages(), expected, w->Names()));
  // The list page came after two polls of a second.
  EXPECT_EQ(sim.Desktop().Messages()[3].time, 2000u);
}

// Without the join of the two threads' input the focus cannot reach the
// list; the typing goes to it by its handle all the same.
TEST(HardwareWizard, AFailedAttachLeavesTheFocusAloneAndTheTypingGoesOn) {
  SimSystem sim;
  ScriptedWizard config;
  config.listPageDelay = 1500;
  auto w = ScriptWizard(sim, config);
  sim.Journal().FailOperation("AttachThreadInput");

  EXPECT_EQ(DriveWizard(sim), 1);

  EXPECT_EQ(sim.Desktop().FocusedWindow(), 0u);
  std::vector<std::string> focusCalls;
  for (const sim::JournalEntry& e : sim.Journal().Entries())
    if (e.operation == "AttachThreadInput" || e.operation == "SetFocus")
      focusCalls.push_back(e.operation + " = " + e.result);
  // No detach follows an attach that failed.
  EXPECT_EQ(focusCalls,
            (std::vector<std::string>{"AttachThreadInput = 0 [injected failure]", "SetFocus = 0x0"}));
  std::vector<ExpectedMessage> expected;
  AddLetterA(expected, w->letter);
  expected.push_back({w->wizard, kWmCommand, 12324, Low32(w->forward), kSent});
  AddManufacturer(expected, w->manufacturers);
  AddCountReadings(expected, w->models, 2);
  AddSixDowns(expected, w->models);
  expected.push_back({w->wizard, kWmCommand, 12324, Low32(w->forward), kPosted});
  expected.push_back({w->wizard, kWmCommand, 12325, Low32(w->forward), kPosted});
  EXPECT_TRUE(MessageSequenceIs(sim.Desktop().Messages(), expected, w->Names()));
}

TEST(HardwareWizard, AWizardThatNeverShowsIsWaitedForAndStillSucceeds) {
  SimSystem sim;
  ScriptedWizard config;
  config.appearAt = kNever;
  config.endAt = 6200;
  auto w = ScriptWizard(sim, config);

  EXPECT_EQ(DriveWizard(sim), 1);

  std::vector<std::string> expected = {kStartLine};
  for (int i = 0; i < 10; ++i) {
    std::string at = std::to_string(i * 500);
    expected.push_back(at + " FindWindowA(\"#32770\", NULL) = 0x0");
    expected.push_back(at + " Sleep(500) = void");
  }
  // Then straight to the process wait: no hiding, nothing sent.
  for (int at = 5000; at < 6500; at += 500) {
    expected.push_back(std::to_string(at) + " GetProcessVersion(wizardpid) = 0x4000a");
    expected.push_back(std::to_string(at) + " Sleep(500) = void");
  }
  expected.push_back("6500 GetProcessVersion(wizardpid) = 0x0");
  expected.push_back("6500 FindWindowA(\"#32770\", NULL) = 0x0");
  EXPECT_TRUE(LinesAre(WindowTimeline(sim, w->Names()), expected));
  EXPECT_TRUE(sim.Desktop().Messages().empty());
}

TEST(HardwareWizard, AMissingLetterControlSkipsToTheFinalWaits) {
  SimSystem sim;
  ScriptedWizard config;
  config.hasLetterControl = false;
  config.endAt = 800;
  auto w = ScriptWizard(sim, config);

  EXPECT_EQ(DriveWizard(sim), 1);

  EXPECT_TRUE(LinesAre(WindowTimeline(sim, w->Names()),
                       {
                           kStartLine,
                           "0 FindWindowA(\"#32770\", NULL) = wizard",
                           "0 GetWindowThreadProcessId(wizard, &pid) = 0x1002 -> pid wizardpid",
                           "0 ShowWindow(wizard, SW_HIDE) = 1",
                           "0 EnumChildWindows(wizard) = 1 (3 visited)",
                           // Stepped no further, the wizard is shown again
                           // for the user to finish.
                           "0 ShowWindow(wizard, SW_SHOW) = 0",
                           "0 GetProcessVersion(wizardpid) = 0x4000a",
                           "0 Sleep(500) = void",
                           "500 GetProcessVersion(wizardpid) = 0x4000a",
                           "500 Sleep(500) = void",
                           "1000 GetProcessVersion(wizardpid) = 0x0",
                           "1000 FindWindowA(\"#32770\", NULL) = 0x0",
                       }));
  EXPECT_TRUE(sim.Desktop().Messages().empty());
}

TEST(HardwareWizard, AManufacturerListThatNeverShowsIsTriedTenTimesASecondApart) {
  SimSystem sim;
  ScriptedWizard config;
  config.listPageDelay = kNever;
  config.endAt = 10400;
  auto w = ScriptWizard(sim, config);

  EXPECT_EQ(DriveWizard(sim), 1);

  std::vector<ExpectedMessage> expected;
  AddLetterA(expected, w->letter);
  expected.push_back({w->wizard, kWmCommand, 12324, Low32(w->forward), kSent});
  EXPECT_TRUE(MessageSequenceIs(sim.Desktop().Messages(), expected, w->Names()));

  std::vector<std::string> timeline = WindowTimeline(sim, w->Names());
  ASSERT_GT(timeline.size(), 8u);
  std::vector<std::string> tail(timeline.begin() + 8, timeline.end());
  std::vector<std::string> expectedTail;
  for (int i = 0; i < 10; ++i) {
    std::string at = std::to_string(i * 1000);
    expectedTail.push_back(at + " EnumChildWindows(wizard) = 1 (2 visited)");
    expectedTail.push_back(at + " Sleep(1000) = void");
  }
  expectedTail.push_back("10000 ShowWindow(wizard, SW_SHOW) = 0");
  expectedTail.push_back("10000 GetProcessVersion(wizardpid) = 0x4000a");
  expectedTail.push_back("10000 Sleep(500) = void");
  expectedTail.push_back("10500 GetProcessVersion(wizardpid) = 0x0");
  expectedTail.push_back("10500 FindWindowA(\"#32770\", NULL) = 0x0");
  EXPECT_TRUE(LinesAre(tail, expectedTail));
}

TEST(HardwareWizard, AMissingModelListSkipsTheCountsDownsAndPresses) {
  SimSystem sim;
  ScriptedWizard config;
  config.hasModelList = false;
  config.endAt = 400;
  auto w = ScriptWizard(sim, config);

  EXPECT_EQ(DriveWizard(sim), 1);

  std::vector<ExpectedMessage> expected;
  AddLetterA(expected, w->letter);
  expected.push_back({w->wizard, kWmCommand, 12324, Low32(w->forward), kSent});
  AddManufacturer(expected, w->manufacturers);
  EXPECT_TRUE(MessageSequenceIs(sim.Desktop().Messages(), expected, w->Names()));
  const std::vector<std::string> timeline = WindowTimeline(sim, w->Names());
  ASSERT_GE(timeline.size(), 7u);
  EXPECT_TRUE(LinesAre({timeline.end() - 7, timeline.end()},
                       {
                           "0 SendMessageA x27",
                           "0 EnumChildWindows(wizard) = 1 (4 visited)",
                           "0 ShowWindow(wizard, SW_SHOW) = 0",
                           "0 GetProcessVersion(wizardpid) = 0x4000a",
                           "0 Sleep(500) = void",
                           "500 GetProcessVersion(wizardpid) = 0x0",
                           "500 FindWindowA(\"#32770\", NULL) = 0x0",
                       }));
}

TEST(HardwareWizard, TheModelListIsReadAgainWithAFreshFirstReadingWhileItGrows) {
  struct Case {
    std::vector<std::intptr_t> counts;
    int passes;
  };
  const Case cases[] = {
      {{5, 9, 9, 9}, 2},
      {{4, 4}, 1},
      {{9, 7}, 1},  // shrinking is not growing
      {{1, 2, 2, 3, 3, 3}, 3},
      {{5, 9, 8, 9, 9, 9}, 3},  // each pass takes its own first reading
      {{0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 9}, 10},
  };
  for (const Case& c : cases) {
    SimSystem sim;
    ScriptedWizard config;
    config.counts = c.counts;
    auto w = ScriptWizard(sim, config);
    SCOPED_TRACE("passes " + std::to_string(c.passes));
    EXPECT_EQ(DriveWizard(sim), 1);
    EXPECT_EQ(w->readings, static_cast<std::size_t>(2 * c.passes));
    int countSleeps = 0;
    for (const sim::JournalEntry& e : sim.Journal().Entries()) {
      if (e.operation == "Sleep" && e.arguments == "1000") ++countSleeps;
    }
    EXPECT_EQ(countSleeps, c.passes);
    std::vector<ExpectedMessage> expected;
    AddLetterA(expected, w->letter);
    expected.push_back({w->wizard, kWmCommand, 12324, Low32(w->forward), kSent});
    AddManufacturer(expected, w->manufacturers);
    AddCountReadings(expected, w->models, 2 * c.passes);
    AddSixDowns(expected, w->models);
    expected.push_back({w->wizard, kWmCommand, 12324, Low32(w->forward), kPosted});
    expected.push_back({w->wizard, kWmCommand, 12325, Low32(w->forward), kPosted});
    EXPECT_TRUE(MessageSequenceIs(sim.Desktop().Messages(), expected, w->Names()));
  }
}

TEST(HardwareWizard, DialogsOutlivingTheWizardAreWaitedForAtMostTenSeconds) {
  for (std::uint64_t leftoverLife : {2500u, 60000u}) {
    SimSystem sim;
    auto w = ScriptWizard(sim, ScriptedWizard());
    // A dialog of another program, still open when the wizard has ended.
    WindowHandle leftover = sim.Desktop().CreateWindow("#32770", "Neue Hardware", 0, 0, 0);
    sim.Clock().At(leftoverLife, [leftover](SimSystem& s) { s.Desktop().DestroyWindow(leftover); });

    EXPECT_EQ(DriveWizard(sim), 1);
    // The wizard, created later, is the one found and driven; it ends at
    // 1500 ms, and the closing wait polls from then on.
    EXPECT_EQ(sim.Desktop().MessagesTo(leftover).size(), 0u);
    std::uint64_t end = leftoverLife < 10000 ? 2500 : 11500;
    EXPECT_EQ(sim.Clock().Now(), end);
    const std::vector<std::string> timeline = WindowTimeline(sim, w->Names());
    int finds = 0;
    for (const std::string& line : timeline) {
      if (line.find("FindWindowA") != std::string::npos) ++finds;
    }
    // One to find the wizard, then the closing wait.
    EXPECT_EQ(finds, leftoverLife < 10000 ? 1 + 2 : 1 + 10);
  }
}

TEST(HardwareWizard, FailsOnlyWhenTheWizardCannotBeStarted) {
  SimSystem sim;
  ScriptWizard(sim, ScriptedWizard());
  sim.Processes().FailStart(kWizardCommand);
  sim.Desktop().CreateWindow("#32770", "Neue Hardware", 0, 0, 0);

  EXPECT_EQ(DriveWizard(sim), 0);
  // Nothing after the failed start: no search, no wait.
  EXPECT_EQ(sim.Journal().Calls(),
            (std::vector<std::string>{
                "CreateProcessA(NULL, \"rundll32 sysdm.cpl,InstallDevice_Rundll\", "
                "1, 0x0, {cb 12, flags 0x1, show 1}) = 0"}));
  EXPECT_EQ(sim.Clock().Now(), 0u);
  EXPECT_TRUE(sim.Desktop().Messages().empty());
}

}  // namespace
}  // namespace nl
