// "rundll32 sysdm.cpl,InstallDevice_Rundll Infrared": a dialog whose nested
// page holds control 502, with a forward button 12324 and a Cancel button 2.
// It waits for a press: it ends shortly after the forward press or Cancel.
// A user at the PC presses forward, or Cancel where there is no forward
// button.
//
// Behaviours (NL_STANDIN installer=..., several joined with +): normal; late
// (the dialog comes after 2.5 s); absent (no dialog, ends after 3 s);
// noforward (no button 12324); twice (the forward press brings a second such
// dialog); file (after the last forward press the installer cannot find
// nl-430.sys and asks for it in a box "Datenträger einlegen" with OK 1 and
// "Überspringen" 2, and ends after either answer; a user at the PC cannot
// know where the file is and answers only with answer=skip, by skipping).
#include "standin.h"

namespace {

constexpr DWORD kEndAfterPressMs = 300;
constexpr DWORD kEndWithoutDialogMs = 3000;
constexpr DWORD kLateDialogMs = 2500;

int g_dialogsShown = 0;

const PromptButton kFileButtons[] = {{kOkButton, "OK"},
                                     {kCancelButton, "\xdc" "berspringen"}};

void AnswerFile(int) { EndAfter(kEndAfterPressMs); }

void AskForFile() {
  HWND box = ShowPrompt(
      "file", "Datentr\xe4ger einlegen",
      "Die Datei 'nl-430.sys' auf (Unbekannt) wurde nicht gefunden. Legen Sie "
      "den Datentr\xe4ger ein.",
      kFileButtons, 2, AnswerFile);
  if (UserAnswers("skip")) LeaveToUser(box, kCancelButton);
}

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

void GoForward() {
  if (BehaviourIs("installer", "twice") && g_dialogsShown == 1) {
    ShowInstallerDialog();
  } else if (BehaviourIs("installer", "file")) {
    AskForFile();
  } else {
    EndAfter(kEndAfterPressMs);
  }
}

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
  TrackVisibility(dialog, message, wParam, lParam);
  switch (message) {
    case WM_INITDIALOG:
      // The buttons exist before the page: whoever sees 502 also sees 12324.
      if (!BehaviourIs("installer", "noforward")) {
        CreateLoggedControl(dialog, "BUTTON", "Weiter >", BS_PUSHBUTTON,
                            kForwardButton, 110, 230, 90, 24);
      }
      CreateLoggedControl(dialog, "BUTTON", "Abbrechen", BS_PUSHBUTTON,
                          kCancelButton, 210, 230, 90, 24);
      CreateStandinDialog(dialog, "", 5, 5, 200, 100, PageProcedure, true);
      return TRUE;
    case WM_COMMAND:
      LogCommand("dialog", wParam, lParam);
      if (LOWORD(wParam) == kForwardButton) {
        DestroyWindow(dialog);
        GoForward();
      } else if (LOWORD(wParam) == kCancelButton) {
        Log("cancelled");
        DestroyWindow(dialog);
        EndAfter(kEndAfterPressMs);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

void ShowInstallerDialog() {
  ++g_dialogsShown;
  HWND dialog = CreateStandinDialog(nullptr, "Hardware-Assistent", 20, 20, 300,
                                    180, DialogProcedure, true);
  Log("dialog n=%d hwnd=0x%lx", g_dialogsShown,
      static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(dialog)));
  LeaveToUser(dialog, GetDlgItem(dialog, kForwardButton) != nullptr
                          ? kForwardButton
                          : kCancelButton);
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
    EndAfter(kEndWithoutDialogMs);
  } else if (BehaviourIs("installer", "late")) {
    SetTimer(nullptr, 0, kLateDialogMs, ShowLateDialog);
  } else {
    ShowInstallerDialog();
  }
}
