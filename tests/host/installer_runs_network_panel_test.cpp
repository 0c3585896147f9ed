// The network panel run against scripted dialogs on the simulated system:
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
using testing::kSent;

constexpr const char* kPanelCommand =
    "rundll32.exe shell32.dll,Control_RunDLL Netcpl.cpl";
constexpr const char* kPanelStart =
    "0 CreateProcessA(NULL, \"rundll32.exe shell32.dll,Control_RunDLL "
    "Netcpl.cpl\", 1, 0x0, {cb 12, flags 0x1, show 1}) = 1 -> pid panelpid";

// ---- The network panel ----

struct Panel {
  ProcessId pid = 0;
  WindowHandle dialog = 0;
  WindowHandle ok = 0;
  int presses = 0;

  HandleNames Names() const {
    HandleNames names = {{pid, "panelpid"}, {dialog, "panel"}, {ok, "ok"}};
    names.erase(0);
    return names;
  }
};

// The panel shows "Netzwerk" with OK and Cancel at `showAt` and closes
// `closeDelay` ms after the OK press number `closingPress`; without that it
// ends at `endAt`.
struct PanelScript {
  std::uint64_t showAt = 0;
  std::string title = "Netzwerk";
  bool withOk = true;
  int closingPress = 1;
  std::uint64_t closeDelay = 200;
  std::uint64_t endAt = 60000;
};

void ShowPanel(SimSystem& sim, std::shared_ptr<Panel> panel, PanelScript script) {
  panel->dialog = sim.Desktop().CreateWindow("#32770", script.title, 0, 0, panel->pid);
  if (script.withOk) {
    panel->ok = sim.Desktop().CreateWindow("Button", "OK", panel->dialog, 1, panel->pid);
  }
  sim.Desktop().CreateWindow("Button", "Abbrechen", panel->dialog, 2, panel->pid);
  sim.Desktop().SetMessageHandler(panel->dialog, [panel, script](SimSystem& s, const SimMessage& m) {
    if (m.message != kWmCommand || m.wParam != 1) return std::intptr_t{0};
    if (++panel->presses == script.closingPress) {
      ProcessId pid = panel->pid;
      s.Clock().After(script.closeDelay, [pid](SimSystem& s2) { s2.Processes().EndProcess(pid); });
    }
    return std::intptr_t{0};
  });
}

std::shared_ptr<Panel> ScriptPanel(SimSystem& sim, PanelScript script) {
  auto panel = std::make_shared<Panel>();
  sim.Processes().ScriptProgram(kPanelCommand, [panel, script](SimSystem& s, ProcessId pid) {
    panel->pid = pid;
    s.Clock().After(script.endAt, [pid](SimSystem& s2) { s2.Processes().EndProcess(pid); });
    if (script.showAt == 0) {
      ShowPanel(s, panel, script);
    } else {
      s.Clock().After(script.showAt, [panel, script](SimSystem& s2) { ShowPanel(s2, panel, script); });
    }
  });
  return panel;
}

void ConfirmPanel(SimSystem& sim) {
  InstallRun run = MakeInstallRun(sim, 0x400000);
  EXPECT_EQ(ConfirmNetworkPanel(run), 1);
}

TEST(InstallerRunsNetworkPanel, APanelThatClosesAfterOneOkIsPressedExactlyOnce) {
  SimSystem sim;
  auto panel = ScriptPanel(sim, PanelScript());

  ConfirmPanel(sim);

  EXPECT_EQ(panel->presses, 1);
  EXPECT_TRUE(MessageSequenceIs(sim.Desktop().Messages(),
                                {{panel->dialog, kWmCommand, 1, Low32(panel->ok), kSent}},
                                panel->Names()));
  EXPECT_TRUE(LinesAre(WindowTimeline(sim, panel->Names()),
                       {
                           kPanelStart,
                           "0 FindWindowA(\"#32770\", NULL) = panel",
                           "0 GetWindowThreadProcessId(panel, &pid) = 0x1002 -> pid panelpid",
                           "0 GetDlgItem(panel, 1) = ok",
                           "0 GetWindowTextA(panel, buffer, 512) = 8 -> \"Netzwerk\"",
                           "0 FindWindowA(\"#32770\", \"Netzwerk\") = panel",
                           "0 GetDlgItem(panel, 1) = ok",
                           "0 SendMessageA x1",
                           "0 InvalidateRect(panel, NULL, 0) = 1",  // no erase
                           "0 Sleep(500) = void",
                           "500 FindWindowA(\"#32770\", \"Netzwerk\") = 0x0",
                       }));
  EXPECT_EQ(sim.Desktop().InvalidateCount(panel->dialog), 1);
}

TEST(InstallerRunsNetworkPanel, TheTitleIsLearnedFromTheFirstDialogWithAnOkButton) {
  SimSystem sim;
  PanelScript script;
  script.showAt = 1500;
  script.withOk = false;  // the OK button comes a second later
  auto panel = ScriptPanel(sim, script);
  sim.Clock().At(2500, [panel](SimSystem& s) {
    panel->ok = s.Desktop().CreateWindow("Button", "OK", panel->dialog, 1, panel->pid);
  });

  ConfirmPanel(sim);

  EXPECT_EQ(panel->presses, 1);
  EXPECT_TRUE(LinesAre(WindowTimeline(sim, panel->Names()),
                       {
                           kPanelStart,
                           "0 FindWindowA(\"#32770\", NULL) = 0x0",
                           "0 Sleep(1000) = void",
                           "1000 FindWindowA(\"#32770\", NULL) = 0x0",
                           "1000 Sleep(1000) = void",
                           "2000 FindWindowA(\"#32770\", NULL) = panel",
                           "2000 GetWindowThreadProcessId(panel, &pid) = 0x1002 -> pid panelpid",
                           "2000 GetDlgItem(panel, 1) = 0x0",
                           "2000 Sleep(1000) = void",
                           "3000 FindWindowA(\"#32770\", NULL) = panel",
                           "3000 GetWindowThreadProcessId(panel, &pid) = 0x1002 -> pid panelpid",
                           "3000 GetDlgItem(panel, 1) = ok",
                           "3000 GetWindowTextA(panel, buffer, 512) = 8 -> \"Netzwerk\"",
                           "3000 FindWindowA(\"#32770\", \"Netzwerk\") = panel",
                           "3000 GetDlgItem(panel, 1) = ok",
                           "3000 SendMessageA x1",
                           "3000 InvalidateRect(panel, NULL, 0) = 1",
                           "3000 Sleep(500) = void",
                           "3500 FindWindowA(\"#32770\", \"Netzwerk\") = 0x0",
                       }));
}

TEST(InstallerRunsNetworkPanel, WithoutAnOkButtonInTenTriesNothingIsPressed) {
  for (bool dialogShows : {true, false}) {
    SCOPED_TRACE(dialogShows ? "dialog without OK" : "no dialog");
    SimSystem sim;
    PanelScript script;
    script.withOk = false;
    if (!dialogShows) script.showAt = 99000;
    auto panel = ScriptPanel(sim, script);

    ConfirmPanel(sim);

    EXPECT_EQ(sim.Clock().Now(), 10000u);  // ten tries, a sleep after each
    EXPECT_EQ(CountCalls(sim, "FindWindowA"), 10);
    EXPECT_EQ(CountCalls(sim, "Sleep"), 10);
    EXPECT_EQ(CountCalls(sim, "GetDlgItem"), dialogShows ? 10 : 0);
    EXPECT_EQ(CountCalls(sim, "GetWindowTextA"), 0);
    EXPECT_TRUE(sim.Desktop().Messages().empty());
  }
}

TEST(InstallerRunsNetworkPanel, AnUntitledPanelIsNotPressed) {
  SimSystem sim;
  PanelScript script;
  script.title = "";
  auto panel = ScriptPanel(sim, script);

  ConfirmPanel(sim);

  EXPECT_TRUE(LinesAre(WindowTimeline(sim, panel->Names()),
                       {
                           kPanelStart,
                           "0 FindWindowA(\"#32770\", NULL) = panel",
                           "0 GetWindowThreadProcessId(panel, &pid) = 0x1002 -> pid panelpid",
                           "0 GetDlgItem(panel, 1) = ok",
                           "0 GetWindowTextA(panel, buffer, 512) = 0",
                       }));
  EXPECT_TRUE(sim.Desktop().Messages().empty());
}

TEST(InstallerRunsNetworkPanel, OkIsPressedEvery500MsWhileTheDialogStays) {
  SimSystem sim;
  PanelScript script;
  script.closingPress = 3;
  script.closeDelay = 0;
  auto panel = ScriptPanel(sim, script);
  // The OK button is away for one round.
  WindowHandle firstOk = 0;
  sim.Clock().At(300, [&, panel](SimSystem& s) {
    firstOk = panel->ok;
    s.Desktop().DestroyWindow(panel->ok);
  });
  sim.Clock().At(700, [panel](SimSystem& s) {
    panel->ok = s.Desktop().CreateWindow("Button", "OK", panel->dialog, 1, panel->pid);
  });

  ConfirmPanel(sim);

  EXPECT_EQ(panel->presses, 3);
  HandleNames names = panel->Names();
  names[firstOk] = "firstok";
  EXPECT_TRUE(MessageSequenceIs(sim.Desktop().Messages(),
                                {
                                    {panel->dialog, kWmCommand, 1, Low32(firstOk), kSent},
                                    {panel->dialog, kWmCommand, 1, Low32(panel->ok), kSent},
                                    {panel->dialog, kWmCommand, 1, Low32(panel->ok), kSent},
                                },
                                names));
  std::vector<std::string> timeline = WindowTimeline(sim, names);
  ASSERT_GT(timeline.size(), 5u);
  EXPECT_TRUE(LinesAre({timeline.begin() + 5, timeline.end()},
                       {
                           "0 FindWindowA(\"#32770\", \"Netzwerk\") = panel",
                           "0 GetDlgItem(panel, 1) = firstok",
                           "0 SendMessageA x1",
                           "0 InvalidateRect(panel, NULL, 0) = 1",
                           "0 Sleep(500) = void",
                           "500 FindWindowA(\"#32770\", \"Netzwerk\") = panel",
                           "500 GetDlgItem(panel, 1) = 0x0",  // no press, no repaint
                           "500 Sleep(500) = void",
                           "1000 FindWindowA(\"#32770\", \"Netzwerk\") = panel",
                           "1000 GetDlgItem(panel, 1) = ok",
                           "1000 SendMessageA x1",
                           "1000 InvalidateRect(panel, NULL, 0) = 1",
                           "1000 Sleep(500) = void",
                           "1500 FindWindowA(\"#32770\", \"Netzwerk\") = panel",
                           "1500 GetDlgItem(panel, 1) = ok",
                           "1500 SendMessageA x1",
                           "1500 InvalidateRect(panel, NULL, 0) = 1",
                           "1500 Sleep(500) = void",
                           "2000 FindWindowA(\"#32770\", \"Netzwerk\") = 0x0",
                       }));
}

TEST(InstallerRunsNetworkPanel, OnlyTheDialogWithTheLearnedTitleIsPressed) {
  SimSystem sim;
  PanelScript script;
  script.closingPress = 0;  // never closes on OK
  auto panel = ScriptPanel(sim, script);
  // A dialog of another title that shows after the title was learned.
  WindowHandle other = 0;
  sim.Clock().At(100, [&](SimSystem& s) {
    other = s.Desktop().CreateWindow("#32770", "Systemeinstellungen", 0, 0, 0);
    s.Desktop().CreateWindow("Button", "OK", other, 1, 0);
  });

  ConfirmPanel(sim);
  // Bounded by the panel's own end at 60 s: OK every 500 ms until then.
  EXPECT_TRUE(sim.Desktop().MessagesTo(other).empty());
  EXPECT_EQ(panel->presses, 120);
  EXPECT_EQ(sim.Clock().Now(), 60000u);
}

TEST(InstallerRunsNetworkPanel, APanelThatCannotBeStartedIsLeftAlone) {
  SimSystem sim;
  ScriptPanel(sim, PanelScript());
  sim.Processes().FailStart(kPanelCommand);
  sim.Desktop().CreateWindow("#32770", "Netzwerk", 0, 0, 0);

  ConfirmPanel(sim);

  EXPECT_EQ(sim.Journal().Entries().size(), 1u);
  EXPECT_EQ(sim.Journal().Entries()[0].operation, "CreateProcessA");
  EXPECT_EQ(sim.Clock().Now(), 0u);
}

}  // namespace
}  // namespace nl
