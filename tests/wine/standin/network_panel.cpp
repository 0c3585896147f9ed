// "rundll32.exe shell32.dll,Control_RunDLL Netcpl.cpl": the network dialog,
// titled after the user's language, with an OK button 1 that closes it and
// ends the panel. Its repaints and background erasures are logged too. A
// user at the PC presses OK.
//
// Behaviours (NL_STANDIN panel=..., several joined with +): normal (closes on
// the first OK); stubborn (closes on the third OK); absent (no dialog, ends
// after 2 s); notitle (the dialog has an empty title); disc (once the dialog
// has closed, the panel asks for the Windows CD-ROM in a box "Datenträger
// einlegen" with OK 1 and Cancel 2, and ends after either answer; a user at
// the PC has no disc at hand and cancels).
#include "standin.h"

namespace {

constexpr DWORD kEndWithoutDialogMs = 2000;

int g_okPresses = 0;

const PromptButton kDiscButtons[] = {{kOkButton, "OK"},
                                     {kCancelButton, "Abbrechen"}};

void AnswerDisc(int) { EndAfter(0); }

void AskForDisc() {
  HWND box = ShowPrompt(
      "disc", "Datentr\xe4ger einlegen",
      "Legen Sie die CD-ROM mit der Bezeichnung 'Windows 98 CD-ROM' ein.",
      kDiscButtons, 2, AnswerDisc);
  LeaveToUser(box, kCancelButton);
}

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
  TrackVisibility(dialog, message, wParam, lParam);
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
        if (BehaviourIs("panel", "disc")) {
          AskForDisc();
        } else {
          EndAfter(0);
        }
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
  if (BehaviourIs("panel", "notitle")) title = "";
  HWND dialog = CreateStandinDialog(nullptr, title, 30, 30, 300, 180,
                                    DialogProcedure, true);
  Log("dialog title=\"%s\" hwnd=0x%lx", title,
      static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(dialog)));
  LeaveToUser(dialog, kOkButton);
}
