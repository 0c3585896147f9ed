// Window plumbing shared by the stand-in tools: dialogs, logged controls,
// the message loop. The tools never attach their input to the installer's
// threads, as the real wizard never does: the focus the installer gives a
// control reaches it only through the input the installer attaches itself.
#include <cstring>

#include "standin.h"  // brings <windows.h>, needed before the next header

namespace {

// No run of a stand-in tool lasts longer than this.
constexpr DWORD kSafetyLimitMs = 60000;

struct Subclassed {
  HWND window;
  WNDPROC original;
};
Subclassed g_subclassed[32];
int g_subclassedCount = 0;

WNDPROC OriginalProcedure(HWND window) {
  // Newest first: a handle of a destroyed control may come back for a new one.
  for (int i = g_subclassedCount - 1; i >= 0; --i) {
    if (g_subclassed[i].window == window) return g_subclassed[i].original;
  }
  return DefWindowProcA;
}

LRESULT CALLBACK LoggedControlProcedure(HWND window, UINT message,
                                        WPARAM wParam, LPARAM lParam) {
  const int id = GetDlgCtrlID(window);
  const unsigned long handle =
      static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window));
  switch (message) {
    case WM_KEYDOWN:
      Log("keydown ctl=%d wp=0x%02X lp=0x%08lX hwnd=0x%lx", id,
          static_cast<unsigned>(wParam), static_cast<unsigned long>(lParam),
          handle);
      break;
    case WM_CHAR:
      Log("char ctl=%d wp=0x%02X lp=0x%08lX hwnd=0x%lx", id,
          static_cast<unsigned>(wParam), static_cast<unsigned long>(lParam),
          handle);
      break;
    case WM_KEYUP:
      Log("keyup ctl=%d wp=0x%02X lp=0x%08lX hwnd=0x%lx", id,
          static_cast<unsigned>(wParam), static_cast<unsigned long>(lParam),
          handle);
      break;
    case WM_SETFOCUS:
      Log("focus ctl=%d hwnd=0x%lx", id, handle);
      break;
    case 0x1004: {  // LVM_GETITEMCOUNT
      LRESULT count = CallWindowProcA(OriginalProcedure(window), window,
                                      message, wParam, lParam);
      Log("itemcount ctl=%d wp=%lu lp=%ld result=%ld hwnd=0x%lx", id,
          static_cast<unsigned long>(wParam), static_cast<long>(lParam),
          static_cast<long>(count), handle);
      return count;
    }
    default:
      break;
  }
  return CallWindowProcA(OriginalProcedure(window), window, message, wParam,
                         lParam);
}

// Dialog templates must be DWORD-aligned; the strings that follow are UTF-16.
struct alignas(4) DialogTemplate {
  DLGTEMPLATE header;
  WORD menu;
  WORD windowClass;
  WCHAR title[64];
};

}  // namespace

HWND CreateStandinDialog(HWND parent, const char* title, int x, int y,
                         int width, int height, DLGPROC procedure,
                         bool visible) {
  DialogTemplate dialog;
  std::memset(&dialog, 0, sizeof dialog);
  dialog.header.style = (parent == nullptr)
                            ? WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME
                            : WS_CHILD | DS_CONTROL;
  if (visible) dialog.header.style |= WS_VISIBLE;
  dialog.header.x = static_cast<short>(x);
  dialog.header.y = static_cast<short>(y);
  dialog.header.cx = static_cast<short>(width);
  dialog.header.cy = static_cast<short>(height);
  MultiByteToWideChar(CP_ACP, 0, title, -1, dialog.title, 63);
  return CreateDialogIndirectParamA(GetModuleHandleA(nullptr), &dialog.header,
                                    parent, procedure, 0);
}

HWND CreateLoggedControl(HWND parent, const char* className, const char* text,
                         DWORD style, int id, int x, int y, int width,
                         int height) {
  HWND control = CreateWindowExA(
      0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      GetModuleHandleA(nullptr), nullptr);
  if (control == nullptr) {
    Log("cannot create control %d of class %s", id, className);
    return nullptr;
  }
  if (g_subclassedCount < static_cast<int>(sizeof g_subclassed / sizeof g_subclassed[0])) {
    WNDPROC original = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        control, GWLP_WNDPROC,
        reinterpret_cast<LONG_PTR>(LoggedControlProcedure)));
    g_subclassed[g_subclassedCount++] = Subclassed{control, original};
  }
  return control;
}

void TrackVisibility(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  // lParam 0: a ShowWindow call, not the owner's minimising or restoring.
  if (message == WM_SHOWWINDOW && lParam == 0) {
    Log("%s hwnd=0x%lx", wParam ? "show" : "hide",
        static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(dialog)));
    UserSeesShowState(dialog, wParam != 0);
  } else if (message == WM_DESTROY) {
    UserForgets(dialog);
  }
}

void LogCommand(const char* where, WPARAM wParam, LPARAM lParam) {
  if (UserIsPressing()) return;
  char named[32];
  Log("command %s wp=0x%08lX lp=0x%08lX names=%s id=%u", where,
      static_cast<unsigned long>(wParam), static_cast<unsigned long>(lParam),
      DescribeWindow(lParam, named, sizeof named),
      static_cast<unsigned>(LOWORD(wParam)));
}

HWND CreateRunDllWindow() {
  WNDCLASSA windowClass;
  std::memset(&windowClass, 0, sizeof windowClass);
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "RunDll";
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, "RunDll", "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                         nullptr, GetModuleHandleA(nullptr), nullptr);
}

namespace {

UINT_PTR g_endTimer = 0;

VOID CALLBACK EndNow(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  g_endTimer = 0;
  PostQuitMessage(0);
}

}  // namespace

void EndAfter(DWORD delay) {
  if (g_endTimer != 0) KillTimer(nullptr, g_endTimer);
  g_endTimer = SetTimer(nullptr, 0, delay == 0 ? 1 : delay, EndNow);
}

int RunMessageLoop() {
  const DWORD start = GetTickCount();
  MSG message;
  for (;;) {
    // Wake at least once a second to apply the safety limit.
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, QS_ALLINPUT) ==
            WAIT_TIMEOUT &&
        GetTickCount() - start > kSafetyLimitMs) {
      Log("safety limit reached");
      return 2;
    }
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}
