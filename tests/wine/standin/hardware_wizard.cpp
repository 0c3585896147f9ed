// "rundll32 sysdm.cpl,InstallDevice_Rundll": the hardware wizard. Its first
// page holds control 1551; the forward button 12324 brings the page with the
// manufacturer list 1580 and the model list-view 1581, whose items keep
// growing for a while (NL_STANDIN grow=<ms>, default 1500). It waits on
// every page until its finish command 12325 closes it. A user who finishes
// (user=finish) presses Finish once the wizard has been visible for 3 s;
// other users leave the device selection to whoever started it.
//
// Behaviours (NL_STANDIN wizard=..., several joined with +): normal; late
// (the dialog comes after 1.2 s); absent (no dialog, ends after 3 s); exit
// (ends at once without any window); slowpage (the second page comes 2.5 s
// after the forward press); no1580 (the second page has neither list);
// restart (after the finish command the dialog goes and a box "Geänderte
// Systemeinstellungen" asks to restart the computer, Yes 6 and No 7: No ends
// the wizard, Yes restarts Windows, which ends every program, NLSETUP.EXE
// included; a user at the PC answers Yes, as the adapter's instructions tell
// them to, or No with answer=no); newhw (a "Neue Hardwarekomponente
// gefunden" box of another process stays on top of the wizard while it
// runs).

#include <cstdio>

#include "standin.h"  // brings <windows.h>, needed before the next header

#include <commctrl.h>

namespace {

constexpr DWORD kLateDialogMs = 1200;
constexpr DWORD kSlowPageMs = 2500;
constexpr DWORD kEndWithoutDialogMs = 3000;
constexpr DWORD kGrowStepMs = 100;

HWND g_dialog = nullptr;
HWND g_page = nullptr;
HWND g_models = nullptr;
int g_pageNumber = 0;
DWORD g_growUntil = 0;
int g_modelCount = 0;

void AddModel() {
  char text[64];
  std::snprintf(text, sizeof text, "Infrarotgeraet %d", g_modelCount + 1);
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = g_modelCount;
  item.pszText = text;
  // Sent to the original procedure: our own additions are not logged reads.
  SendMessageA(g_models, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  ++g_modelCount;
}

VOID CALLBACK GrowModels(HWND, UINT, UINT_PTR timer, DWORD) {
  if (g_models == nullptr || !IsWindow(g_models)) {
    KillTimer(nullptr, timer);
    return;
  }
  AddModel();
  if (static_cast<LONG>(GetTickCount() - g_growUntil) >= 0) {
    KillTimer(nullptr, timer);
    Log("models settled count=%d", g_modelCount);
  }
}

INT_PTR CALLBACK FirstPageProcedure(HWND page, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    CreateLoggedControl(page, "EDIT", "", WS_BORDER | ES_AUTOHSCROLL,
                        kWizardFirstControl, 10, 10, 200, 22);
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK ModelPageProcedure(HWND page, UINT message, WPARAM, LPARAM) {
  if (message != WM_INITDIALOG) return FALSE;
  if (BehaviourIs("wizard", "no1580")) return TRUE;
  // 1581 first: whoever has found 1580 finds 1581 as well.
  g_models = CreateLoggedControl(page, WC_LISTVIEWA, "",
                                 WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS |
                                     LVS_SINGLESEL,
                                 kModelList, 220, 10, 200, 150);
  LVCOLUMNA column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.cx = 180;
  column.pszText = const_cast<char*>("Modell");
  SendMessageA(g_models, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  AddModel();
  HWND makers = CreateLoggedControl(page, "LISTBOX", "",
                                    WS_BORDER | WS_VSCROLL | LBS_NOTIFY,
                                    kManufacturerList, 10, 10, 200, 150);
  const char* names[] = {"(Standardinfrarotanschluesse)", "Microsoft",
                         "Norvik Lumens"};
  for (const char* name : names) {
    SendMessageA(makers, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  }
  g_growUntil = GetTickCount() + NumberOption("grow", 1500);
  SetTimer(nullptr, 0, kGrowStepMs, GrowModels);
  return TRUE;
}

void ShowModelPage() {
  g_pageNumber = 2;
  g_page = CreateStandinDialog(g_dialog, "", 5, 5, 280, 110,
                               ModelPageProcedure, true);
  Log("page n=2");
}

VOID CALLBACK ShowSlowPage(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  ShowModelPage();
}

void GoForward() {
  if (g_pageNumber == 1) {
    DestroyWindow(g_page);
    g_page = nullptr;
    if (BehaviourIs("wizard", "slowpage")) {
      g_pageNumber = 0;
      SetTimer(nullptr, 0, kSlowPageMs, ShowSlowPage);
    } else {
      ShowModelPage();
    }
  } else if (g_pageNumber == 2) {
    g_pageNumber = 3;
    Log("page n=3");
  }
}

const PromptButton kRestartButtons[] = {{kYesButton, "Ja"},
                                        {kNoButton, "Nein"}};

void AnswerRestart(int button) {
  if (button == kYesButton) {
    Log("restart");
    EndParentProcess();
  }
  EndAfter(0);
}

void AskToRestart() {
  HWND box = ShowPrompt(
      "restart", "Ge\xe4nderte Systemeinstellungen",
      "Sie m\xfcssen den Computer neu starten, damit die neuen Einstellungen "
      "wirksam werden.\r\n\r\nSoll der Computer jetzt neu gestartet werden?",
      kRestartButtons, 2, AnswerRestart);
  LeaveToUser(box, UserAnswers("no") ? kNoButton : kYesButton);
}

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
  TrackVisibility(dialog, message, wParam, lParam);
  switch (message) {
    case WM_INITDIALOG:
      CreateLoggedControl(dialog, "BUTTON", "Weiter >", BS_PUSHBUTTON,
                          kForwardButton, 110, 230, 90, 24);
      CreateLoggedControl(dialog, "BUTTON", "Fertig stellen", BS_PUSHBUTTON,
                          kFinishButton, 210, 230, 90, 24);
      g_dialog = dialog;
      g_pageNumber = 1;
      g_page = CreateStandinDialog(dialog, "", 5, 5, 280, 110,
                                   FirstPageProcedure, true);
      return TRUE;
    case WM_COMMAND:
      LogCommand("dialog", wParam, lParam);
      if (LOWORD(wParam) == kForwardButton) GoForward();
      if (LOWORD(wParam) == kFinishButton) {
        Log("finished");
        DestroyWindow(dialog);
        if (BehaviourIs("wizard", "restart")) {
          AskToRestart();
        } else {
          EndAfter(0);
        }
      }
      return TRUE;
    default:
      return FALSE;
  }
}

void ShowWizard() {
  if (BehaviourIs("wizard", "newhw")) ShowNewHardwareBoxBeside();
  HWND dialog = CreateStandinDialog(nullptr, "Hardware-Assistent", 10, 10, 300,
                                    180, DialogProcedure, true);
  Log("dialog hwnd=0x%lx", static_cast<unsigned long>(
                               reinterpret_cast<ULONG_PTR>(dialog)));
  if (UserFinishesWizard()) LeaveToUser(dialog, kFinishButton);
}

VOID CALLBACK ShowLateWizard(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  ShowWizard();
}

}  // namespace

void StartHardwareWizard() {
  if (BehaviourIs("wizard", "exit")) {
    Log("exit without window");
    EndAfter(0);
    return;
  }
  CreateRunDllWindow();
  if (BehaviourIs("wizard", "absent")) {
    Log("no dialog");
    EndAfter(kEndWithoutDialogMs);
  } else if (BehaviourIs("wizard", "late")) {
    SetTimer(nullptr, 0, kLateDialogMs, ShowLateWizard);
  } else {
    ShowWizard();
  }
}
