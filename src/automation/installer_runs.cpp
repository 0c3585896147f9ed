#include "automation/installer_runs.h"

#include "automation/dialog_primitives.h"
#include "automation/system_tool_table.h"
#include "setup/setup_env.h"

namespace nl {

namespace {

constexpr int kInstallerPageMarker = 502;
constexpr int kForwardButton = 12324;
constexpr int kOkButton = kPanelOkButton;

// On German systems the installer's page marked by control 502 needs one
// press of its forward button; it is pressed at most once per run.
void PressForwardOnce(InstallRun& run, ProcessId installer) {
  Platform& os = run.os;
  WindowHandle dialog = FindDialogOfProcess(os, installer);
  if (run.forwardPressed || dialog == 0) return;
  ChildSearch search{0, 0, 0};
  if (!FindChildByControlId(os, dialog, kInstallerPageMarker, search)) return;
  WindowHandle forward = os.GetDlgItem(dialog, kForwardButton);
  if (forward == 0) return;
  PostCommand(os, dialog, kForwardButton, forward);
  run.forwardPressed = 1;
}

// Learns the panel's title from its first dialog that has an OK button:
// up to ten tries a second apart. False when none showed up or its title is
// empty. Only the panel's own dialogs count, so that the title of another
// program's box is never taken and pressed.
bool LearnPanelTitle(Platform& os, ProcessId panel, char* title, int capacity) {
  for (int tries = 0; tries < 10; ++tries) {
    WindowHandle dialog = FindDialogOfProcess(os, panel);
    if (dialog != 0 && os.GetDlgItem(dialog, kOkButton) != 0) {
      os.GetWindowTextA(dialog, title, capacity);
      break;
    }
    os.Sleep(1000);
  }
  return title[0] != 0;
}

}  // namespace

int RunClassInstaller(InstallRun& run) {
  Platform& os = run.os;
  ProcessId installer = 0;
  if (StartProcess(os, kClassInstallerCommandLine, &installer)) {
    while (ProcessExists(os, installer)) {
      os.Sleep(500);
      if (IsGermanLocale(os)) PressForwardOnce(run, installer);
    }
  }
  WaitWhileWindowExists(os, kRunDllClass, nullptr);
  return 1;
}

int ConfirmNetworkPanel(InstallRun& run) {
  Platform& os = run.os;
  ProcessId panel = 0;
  if (!StartProcess(os, kNetworkPanelCommandLine, &panel)) return 1;
  char title[512] = {0};
  if (!LearnPanelTitle(os, panel, title, sizeof title)) return 1;
  WindowHandle dialog = 0;
  while ((dialog = os.FindWindowA(kDialogClass, title)) != 0) {
    WindowHandle ok = os.GetDlgItem(dialog, kOkButton);
    if (ok != 0) {
      SendCommand(os, dialog, kOkButton, ok);
      os.InvalidateRect(dialog, 0);
    }
    os.Sleep(500);
  }
  return 1;
}

}  // namespace nl
