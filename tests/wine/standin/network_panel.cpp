// "rundll32.exe shell32.dll,Control_RunDLL Netcpl.cpl": the network dialog,
// titled after the user's language, with an OK button 1 that closes it. Its
// repaints and background erasures are logged too.
//
// Behaviours (NL_STANDIN panel=...): normal (closes on the first OK);
// stubborn (closes on the third OK); absent (no dialog); notitle (a dialog
// with an empty title, which ends by itself after a few seconds).
#include "standin.h"

namespace {

constexpr DWORD kEndWithoutDialogMs = 2000;
constexpr DWORD kEndUntitledMs = 4000;

int g_okPresses = 0;

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
  LogVisibility(dialog, message, wParam, lParam);
  switch (message) {
    case WM_INITDIALOG:
      CreateLoggedControl(dialog, "BUTTON", "OK", BS_DEFPUSHBUTTON, kOkButton,
                          120, 230, 80, 24);
      CreateLoggedControl(dialog, "BUTTON", "Abbrechen", BS_PUSHBUTTON,
                          IDCANCEL, 210, 230, 80, 24);
      return TRUE;
    case WM_PAINT:
      Log("paint");
      return FALSE;
    case WM_ERASEBKGND:
      Log("erase");
      return FALSE;
    case WM_COMMAND: {
      LogCommand("dialog", wParam, lParam);
      if (LOWORD(wParam) != kOkButton) return TRUE;
      const int needed = BehaviourIs("panel", "stubborn") ? 3 : 1;
      if (++g_okPresses >= needed) {
        Log("closed presses=%d", g_okPresses);
        DestroyWindow(dialog);
        EndAfter(0);
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

void StartNetworkPanel() {
  CreateRunDllWindow();
  if (BehaviourIs("panel", "absent")) {
    Log("no dialog");
    EndAfter(kEndWithoutDialogMs);
    return;
  }
  const bool german = (GetUserDefaultLCID() & 0xFF) == 0x07;
  const char* title = german ? "Netzwerk" : "Network";
  if (BehaviourIs("panel", "notitle")) {
    title = "";
    EndAfter(kEndUntitledMs);
  }
  HWND dialog = CreateStandinDialog(nullptr, title, 30, 30, 300, 180,
                                    DialogProcedure, true);
  Log("dialog title=\"%s\" hwnd=0x%lx", title,
      static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(dialog)));
}
