// The simulated user at the PC. A user reads a box before answering it: a
// press comes 3 s after the box became visible, and only while it still
// is; a box hidden in between starts over when it is shown again. The
// press reaches the dialog as a click of its button does, as a WM_COMMAND
// carrying the button's identifier and handle.
#include "standin.h"

namespace {

constexpr DWORD kReadingMs = 3000;
constexpr UINT_PTR kUserTimer = 0x5553;  // one per watched dialog

struct Task {
  HWND dialog;
  int button;
};
Task g_tasks[16];
bool g_pressing = false;

Task* TaskOf(HWND dialog) {
  for (Task& task : g_tasks) {
    if (dialog != nullptr && task.dialog == dialog) return &task;
  }
  return nullptr;
}

VOID CALLBACK Press(HWND dialog, UINT, UINT_PTR timer, DWORD) {
  KillTimer(dialog, timer);
  Task* task = TaskOf(dialog);
  if (task == nullptr || !IsWindowVisible(dialog)) return;
  const int button = task->button;
  char title[128] = "";
  GetWindowTextA(dialog, title, sizeof title);
  Log("user press ctl=%d on \"%s\"", button, title);
  g_pressing = true;
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
  g_pressing = false;
  // Still there: the user presses again once they have read it again.
  if (TaskOf(dialog) != nullptr && IsWindowVisible(dialog)) {
    SetTimer(dialog, kUserTimer, kReadingMs, Press);
  }
}

}  // namespace

// A user is at the PC unless a scenario says "user=away": the one who
// started NLSETUP.EXE, as on the simulated system.
bool UserAtComputer() { return !BehaviourIs("user", "away"); }

bool UserFinishesWizard() { return BehaviourIs("user", "finish"); }

bool UserAnswers(const char* answer) {
  return UserAtComputer() && BehaviourIs("answer", answer);
}

void LeaveToUser(HWND dialog, int button) {
  if (dialog == nullptr || !UserAtComputer()) return;
  Task* task = TaskOf(dialog);
  for (Task& free : g_tasks) {
    if (task == nullptr && (free.dialog == nullptr || !IsWindow(free.dialog))) {
      task = &free;
    }
  }
  if (task == nullptr) {
    Log("user cannot watch another dialog");
    return;
  }
  *task = Task{dialog, button};
  if (IsWindowVisible(dialog)) SetTimer(dialog, kUserTimer, kReadingMs, Press);
}

void UserSeesShowState(HWND dialog, bool visible) {
  if (TaskOf(dialog) == nullptr) return;
  if (visible) {
    SetTimer(dialog, kUserTimer, kReadingMs, Press);
  } else {
    KillTimer(dialog, kUserTimer);
  }
}

void UserForgets(HWND dialog) {
  if (Task* task = TaskOf(dialog)) task->dialog = nullptr;
}

bool UserIsPressing() { return g_pressing; }
