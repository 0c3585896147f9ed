#include "automation/hardware_wizard.h"

#include "automation/dialog_primitives.h"
#include "automation/system_tool_table.h"
#include "platform/common/thread_focus.h"

namespace nl {

namespace {

constexpr int kLetterControl = kWizardLetterControl;
constexpr int kManufacturerList = kWizardManufacturerList;
constexpr int kModelList = kWizardModelList;
constexpr int kForwardButton = 12324;
constexpr int kFinishButton = kWizardFinishButton;

constexpr char kManufacturer[] = "microsoft";
// Set-1 make codes of the letters of "microsoft", in order.
constexpr std::uint8_t kManufacturerScanCodes[9] = {0x32, 0x17, 0x2E, 0x13,
                                                    0x18, 0x1F, 0x18, 0x21,
                                                    0x14};
constexpr int kDownPresses = 6;

// Looks for the wizard's dialog up to ten times, sleeping after each miss.
// Only a dialog of the wizard's own process counts: a box of another
// program would otherwise be hidden and stepped in its place.
WindowHandle FindWizardWindow(Platform& os, ProcessId wizardProcess) {
  for (int tries = 0; tries < 10; ++tries) {
    WindowHandle wizard = FindDialogOfProcess(os, wizardProcess);
    if (wizard != 0) return wizard;
    os.Sleep(500);
  }
  return 0;
}

bool FindManufacturerList(Platform& os, WindowHandle wizard,
                          ChildSearch& search) {
  for (int tries = 0; tries < 10; ++tries) {
    if (FindChildByControlId(os, wizard, kManufacturerList, search)) {
      return true;
    }
    os.Sleep(1000);
  }
  return false;
}

// The model list fills in the background; wait until a second reading,
// a second after the first, shows no growth.
void WaitForListToSettle(Platform& os, WindowHandle list) {
  for (;;) {
    std::intptr_t first = os.SendMessageA(list, kLvmGetItemCount, 0, 0);
    os.Sleep(1000);
    std::intptr_t second = os.SendMessageA(list, kLvmGetItemCount, 0, 0);
    if (second <= first) return;
  }
}

// Types and presses through the hidden wizard's pages. False when a control
// it needs is missing and the stepping stopped before the finish command.
bool StepHiddenWizard(Platform& os, WindowHandle wizard) {
  ChildSearch search{0, 0, 0};
  if (!FindChildByControlId(os, wizard, kLetterControl, search)) return false;
  SendKeystroke(os, search.found, 0x41, 0x61, 0x1E);

  WindowHandle forward = os.GetDlgItem(wizard, kForwardButton);
  if (forward != 0) SendCommand(os, wizard, kForwardButton, forward);

  if (!FindManufacturerList(os, wizard, search)) return false;
  WindowHandle manufacturers = search.found;
  GiveFocusAcrossThreads(os, manufacturers);
  for (int i = 0; i < 9; ++i) {
    // The letters go out with their lower-case character codes as key codes.
    std::uint32_t code = static_cast<unsigned char>(kManufacturer[i]);
    SendKeystroke(os, manufacturers, code, code, kManufacturerScanCodes[i]);
  }

  if (!FindChildByControlId(os, wizard, kModelList, search)) return false;
  WindowHandle models = search.found;
  WaitForListToSettle(os, models);
  for (int i = 0; i < kDownPresses; ++i) {
    SendKeystroke(os, models, 0x28, 0x28, 0xD0);
  }
  if (forward != 0) PostCommand(os, wizard, kForwardButton, forward);
  // The finish command carries the forward button's handle (or none). One
  // that could not be queued leaves the wizard to the user as well.
  return PostCommand(os, wizard, kFinishButton, forward);
}

// The wizard waits for a click on every page. Hidden and no longer stepped,
// it would wait for a click nobody can give, and the run behind it with it:
// so when the stepping stops early the wizard is shown again, for the user
// to finish it. The caller's waits follow either way.
void StepThroughWizard(Platform& os, ProcessId wizardProcess) {
  WindowHandle wizard = FindWizardWindow(os, wizardProcess);
  if (wizard == 0) return;
  os.ShowWindow(wizard, kSwHide);
  if (!StepHiddenWizard(os, wizard)) os.ShowWindow(wizard, kSwShow);
}

}  // namespace

int DriveHardwareWizard(InstallRun& run) {
  Platform& os = run.os;
  ProcessId wizardProcess = 0;
  if (!StartProcess(os, kWizardCommandLine, &wizardProcess)) return 0;
  StepThroughWizard(os, wizardProcess);
  WaitForProcessExit(os, wizardProcess);
  WaitWhileWindowExists(os, kDialogClass, nullptr);
  return 1;
}

}  // namespace nl
