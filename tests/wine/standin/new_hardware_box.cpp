// "Neue Hardwarekomponente gefunden": the box Windows shows from a process of
// its own while it sets up a device it has found, on top of the other
// windows. With the behaviour "newhw" the hardware wizard starts it as a
// second copy of this program and shows its own dialog once the box is
// there, so that the box is the first dialog a search by class finds. The
// box has nothing to press; it closes when the wizard's process has ended.
#include <cstdio>
#include <cstdlib>

#include "standin.h"

namespace {

constexpr char kBoxTitle[] = "Neue Hardwarekomponente gefunden";
constexpr DWORD kWatchMs = 200;
constexpr DWORD kMostWaitMs = 5000;

HANDLE g_wizard = nullptr;
HWND g_box = nullptr;
bool g_closing = false;

// The event by which the box tells the wizard it is there.
void ReadyEventName(DWORD wizard, char* name, int capacity) {
  std::snprintf(name, capacity, "NlStandinNewHardware%lu",
                static_cast<unsigned long>(wizard));
}

INT_PTR CALLBACK BoxProcedure(HWND box, UINT message, WPARAM wParam,
                              LPARAM lParam) {
  // Its own closing is not a hiding by anyone else.
  if (!g_closing) TrackVisibility(box, message, wParam, lParam);
  switch (message) {
    case WM_INITDIALOG:
      CreateLoggedControl(box, "STATIC",
                          "Infrarotger\xe4t\r\n"
                          "Die Software wird installiert...",
                          SS_LEFT, 1000, 10, 10, 300, 40);
      return TRUE;
    case WM_COMMAND:
      LogCommand("box", wParam, lParam);
      return TRUE;
    default:
      return FALSE;
  }
}

VOID CALLBACK WatchWizard(HWND, UINT, UINT_PTR timer, DWORD) {
  if (WaitForSingleObject(g_wizard, 0) != WAIT_OBJECT_0) return;
  KillTimer(nullptr, timer);
  g_closing = true;
  Log("closed: the wizard ended");
  DestroyWindow(g_box);
  EndAfter(0);
}

}  // namespace

void ShowNewHardwareBoxBeside() {
  char name[64];
  ReadyEventName(GetCurrentProcessId(), name, sizeof name);
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, name);
  char arguments[64];
  std::snprintf(arguments, sizeof arguments, "%s%lu", kNewHardwareCommand,
                static_cast<unsigned long>(GetCurrentProcessId()));
  if (ready == nullptr || !StartCopyOfSelf(arguments)) {
    Log("cannot start the New Hardware Found box");
  } else if (WaitForSingleObject(ready, kMostWaitMs) != WAIT_OBJECT_0) {
    Log("no New Hardware Found box within %lu ms",
        static_cast<unsigned long>(kMostWaitMs));
  }
  if (ready != nullptr) CloseHandle(ready);
}

void StartNewHardwareBox(const char* arguments) {
  const DWORD wizard = std::strtoul(arguments, nullptr, 10);
  g_wizard = OpenProcess(SYNCHRONIZE, FALSE, wizard);
  if (g_wizard == nullptr) {
    Log("cannot watch the wizard pid=%lu", static_cast<unsigned long>(wizard));
    EndAfter(0);
    return;
  }
  g_box = CreateStandinDialog(nullptr, kBoxTitle, 60, 60, 220, 50,
                              BoxProcedure, true);
  SetWindowPos(g_box, HWND_TOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Log("box hwnd=0x%lx beside wizard pid=%lu",
      static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(g_box)),
      static_cast<unsigned long>(wizard));
  char name[64];
  ReadyEventName(wizard, name, sizeof name);
  if (HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, name)) {
    SetEvent(ready);
    CloseHandle(ready);
  }
  SetTimer(nullptr, 0, kWatchMs, WatchWizard);
}
