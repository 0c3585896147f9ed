#include "automation/dialog_primitives.h"

namespace nl {

namespace {

constexpr std::uint32_t kProcessPollMs = 500;
constexpr std::uint32_t kWindowPollMs = 1000;
constexpr int kWindowPollTries = 10;

struct SearchContext {
  Platform* os;
  ChildSearch* search;
};

int CompareControlId(WindowHandle window, std::intptr_t data) {
  SearchContext& context = *reinterpret_cast<SearchContext*>(data);
  if (context.os->GetDlgCtrlID(window) != context.search->wantedId) return 1;
  context.search->found = window;
  context.search->foundFlag = 1;
  return 0;
}

}  // namespace

bool FindChildByControlId(Platform& os, WindowHandle dialog,
                          std::int32_t controlId, ChildSearch& search) {
  search.foundFlag = 0;
  search.wantedId = controlId;
  SearchContext context{&os, &search};
  os.EnumChildWindows(dialog, CompareControlId,
                      reinterpret_cast<std::intptr_t>(&context));
  return search.foundFlag == 1;
}

void SendKeystroke(Platform& os, WindowHandle window, std::uint32_t keyCode,
                   std::uint32_t charCode, std::uint8_t scanCode) {
  std::intptr_t lParam = KeystrokeLParam(scanCode);
  os.SendMessageA(window, kWmKeyDown, keyCode, lParam);
  os.SendMessageA(window, kWmChar, charCode, lParam);
  // Unsigned to pointer width, so the flag bits are not sign-extended.
  os.SendMessageA(window, kWmKeyUp, keyCode,
                  static_cast<std::intptr_t>(
                      static_cast<std::uintptr_t>(KeyUpLParam(scanCode))));
}

void SendCommand(Platform& os, WindowHandle dialog, int controlId,
                 WindowHandle control) {
  os.SendMessageA(dialog, kWmCommand, static_cast<std::uint32_t>(controlId),
                  static_cast<std::intptr_t>(control));
}

bool PostCommand(Platform& os, WindowHandle dialog, int controlId,
                 WindowHandle control) {
  return os.PostMessageA(dialog, kWmCommand, static_cast<std::uint32_t>(controlId),
                         static_cast<std::intptr_t>(control)) != 0;
}

bool StartProcess(Platform& os, const char* commandLine, ProcessId* process) {
  // The system may write into the command line it is given.
  char line[512];
  std::size_t length = 0;
  while (commandLine[length] != 0) {
    if (length + 1 >= sizeof line) return false;
    line[length] = commandLine[length];
    ++length;
  }
  line[length] = 0;
  StartupRecord startup{sizeof(StartupRecord), kStartfUseShowWindow,
                        kSwShowNormal};
  ProcessRecord started{0, 0, 0, 0};
  if (!os.CreateProcessA(nullptr, line, 1, 0, &startup, &started)) {
    return false;
  }
  *process = started.processId;
  return true;
}

bool ProcessExists(Platform& os, ProcessId process) {
  return os.GetProcessVersion(process) != 0;
}

void WaitForProcessExit(Platform& os, ProcessId process) {
  while (ProcessExists(os, process)) os.Sleep(kProcessPollMs);
}

WindowHandle FindDialogOfProcess(Platform& os, ProcessId process) {
  // The desktop holds few dialogs; the bound only guards against a window
  // list that changes under the walk and never ends.
  constexpr int kMostDialogs = 64;
  WindowHandle dialog = os.FindWindowA(kDialogClass, nullptr);
  for (int seen = 0; dialog != 0 && seen < kMostDialogs; ++seen) {
    ProcessId owner = 0;
    os.GetWindowThreadProcessId(dialog, &owner);
    if (owner == process) return dialog;
    dialog = os.FindWindowExA(0, dialog, kDialogClass, nullptr);
  }
  return 0;
}

void WaitWhileWindowExists(Platform& os, const char* className,
                           const char* title) {
  for (int tries = 0; tries < kWindowPollTries; ++tries) {
    if (os.FindWindowA(className, title) == 0) return;
    os.Sleep(kWindowPollMs);
  }
}

}  // namespace nl
