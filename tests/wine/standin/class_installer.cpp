// "rundll32 sysdm.cpl,InstallDevice_Rundll Infrared": a dialog whose nested
// page holds control 502, with a forward button 12324. It ends shortly after
// the forward press, or after a few seconds without one.
//
// Behaviours (NL_STANDIN installer=...): normal; late (the dialog comes after
// 2.5 s); absent (no dialog); noforward (no button 12324); twice (the press
// brings a second such dialog, which then ends without a press).
#include "standin.h"

namespace {

constexpr DWORD kEndAfterPressMs = 300;
constexpr DWORD kEndWithoutPressMs = 3000;
constexpr DWORD kLateDialogMs = 2500;

int g_dialogsShown = 0;
HWND g_dialog = nullptr;

INT_PTR CALLBACK PageProcedure(HWND page, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    CreateLoggedControl(page, "BUTTON", "Infrarotgeraet suchen",
                        BS_AUTORADIOBUTTON, kInstallerPageControl, 10, 10, 200,
                        20);
    return TRUE;
  }
  return FALSE;
}

void ShowInstallerDialog();

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
  LogVisibility(dialog, message, wParam, lParam);
  switch (message) {
    case WM_INITDIALOG:
      // The button exists before the page: whoever sees 502 also sees 12324.
      if (!BehaviourIs("installer", "noforward")) {
        CreateLoggedControl(dialog, "BUTTON", "Weiter >", BS_PUSHBUTTON,
                            kForwardButton, 200, 230, 90, 24);
      }
      CreateStandinDialog(dialog, "", 5, 5, 200, 100, PageProcedure, true);
      return TRUE;
    case WM_COMMAND:
      LogCommand("dialog", wParam, lParam);
      if (LOWORD(wParam) == kForwardButton) {
        DestroyWindow(dialog);
        g_dialog = nullptr;
        if (BehaviourIs("installer", "twice") && g_dialogsShown == 1) {
          ShowInstallerDialog();
        } else {
          EndAfter(kEndAfterPressMs);
        }
      }
      return TRUE;
    default:
      return FALSE;
  }
}

void ShowInstallerDialog() {
  ++g_dialogsShown;
  g_dialog = CreateStandinDialog(nullptr, "Hardware-Assistent", 20, 20, 300,
                                 180, DialogProcedure, true);
  Log("dialog n=%d hwnd=0x%lx", g_dialogsShown,
      static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(g_dialog)));
  EndAfter(kEndWithoutPressMs);
}

VOID CALLBACK ShowLateDialog(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  ShowInstallerDialog();
}

}  // namespace

void StartClassInstaller() {
  CreateRunDllWindow();
  if (BehaviourIs("installer", "absent")) {
    Log("no dialog");
    EndAfter(kEndWithoutPressMs);
  } else if (BehaviourIs("installer", "late")) {
    SetTimer(nullptr, 0, kLateDialogMs, ShowLateDialog);
  } else {
    ShowInstallerDialog();
  }
}
