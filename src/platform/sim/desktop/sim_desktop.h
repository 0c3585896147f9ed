// The desktop of the simulated system: the windows of the scripted
// processes, the messages sent and posted to them, and the focus.
//
// Rules worth knowing when writing tests:
// - FindWindowA returns the most recently created top-level window, visible
//   or hidden, whose class matches ignoring ASCII case and, when a title is
//   given, whose title matches exactly.
// - EnumChildWindows visits the descendants depth first in creation order:
//   a child, then its children, then the next child.
// - A window's message handler answers every message sent to it; a window
//   without a handler answers LVM_GETITEMCOUNT with its SetItemCount value
//   and everything else with 0.
// - Posted messages wait for the program's next Sleep (sim_clock.h).
// - A window belongs to the thread of its owner process (sim_call.h).
//   SetFocus reaches only windows of the program's own thread or of a
//   thread whose input the program has attached (AttachThreadInput); for
//   any other window it answers 0 and the focus stays. Attaching fails for
//   a thread of an ended process, and an ending process's attachments go.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_call.h"

namespace nl::sim {

class SimSystem;
class SimClock;

// A message sent or posted to a window.
struct SimMessage {
  std::uint64_t time = 0;  // virtual ms when it was sent or posted
  WindowHandle window = 0;
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  bool posted = false;
};

using MessageHandler = std::function<std::intptr_t(SimSystem&, const SimMessage&)>;

class SimDesktop {
 public:
  // Handlers run against `system`; messages are stamped with `clock`'s time.
  SimDesktop(SimSystem& system, const SimClock& clock) : system_(system), clock_(clock) {}
  SimDesktop(const SimDesktop&) = delete;
  SimDesktop& operator=(const SimDesktop&) = delete;

  // ---- Platform calls ----
  WindowHandle FindWindowA(Fault fault, const char* className, const char* title,
                           Described* out);
  // Top level only (parent 0; any other parent finds nothing), in the order
  // FindWindowA searches, starting after `after`.
  WindowHandle FindWindowExA(Fault fault, WindowHandle parent, WindowHandle after,
                             const char* className, const char* title, Described* out);
  int EnumChildWindows(Fault fault, WindowHandle parent, ChildWindowCallback callback,
                       std::intptr_t data, Described* out);
  int GetDlgCtrlID(Fault fault, WindowHandle window, Described* out);
  WindowHandle GetDlgItem(Fault fault, WindowHandle dialog, int controlId,
                          Described* out);
  std::intptr_t SendMessageA(Fault fault, WindowHandle window, std::uint32_t message,
                             std::uintptr_t wParam, std::intptr_t lParam, Described* out);
  int PostMessageA(Fault fault, WindowHandle window, std::uint32_t message,
                   std::uintptr_t wParam, std::intptr_t lParam, Described* out);
  int ShowWindow(Fault fault, WindowHandle window, int showCommand, Described* out);
  WindowHandle SetFocus(Fault fault, WindowHandle window, Described* out);
  ThreadId GetWindowThreadProcessId(Fault fault, WindowHandle window, ProcessId* process,
                                    Described* out);
  // `threadsLive`: neither thread belongs to an ended process (the face
  // asks the processes).
  int AttachThreadInput(Fault fault, ThreadId thread, ThreadId toThread, int attach,
                        bool threadsLive, Described* out);
  int GetWindowTextA(Fault fault, WindowHandle window, char* buffer, int capacity,
                     Described* out);
  int InvalidateRect(Fault fault, WindowHandle window, int erase, Described* out);

  // ---- for the clock and the processes ----

  // Delivers the messages posted so far, in order (during a Sleep).
  void DeliverPosted();
  // Destroys every window of the process (when it ends).
  void DestroyWindowsOf(ProcessId pid);

  // ---- setup and inspection ----

  // A window owned by `ownerPid`; `parent` 0 makes it top level. Visible.
  WindowHandle CreateWindow(const std::string& className, const std::string& title,
                            WindowHandle parent, int controlId, ProcessId ownerPid);
  // Destroys the window and its descendants.
  void DestroyWindow(WindowHandle window);
  bool IsWindow(WindowHandle window) const;
  bool IsVisible(WindowHandle window) const;
  // Shows or hides a window without a ShowWindow call of the program.
  void SetWindowVisible(WindowHandle window, bool visible);
  void SetWindowTitle(WindowHandle window, const std::string& title);
  WindowHandle FocusedWindow() const { return focus_; }
  // Whether the two threads' input is attached now.
  bool InputAttached(ThreadId a, ThreadId b) const;
  int InvalidateCount(WindowHandle window) const;
  void SetMessageHandler(WindowHandle window, MessageHandler handler);
  void SetItemCount(WindowHandle window, std::intptr_t count);
  // The user clicks the dialog's control `controlId` (a direct child; none
  // there, nothing happens): the dialog gets the WM_COMMAND a click sends. Not one of the program's messages: it is kept
  // apart, in UserPresses.
  void PressByUser(WindowHandle dialog, int controlId);
  const std::vector<SimMessage>& UserPresses() const { return userPresses_; }
  // Every message sent or posted to a live window, in order.
  const std::vector<SimMessage>& Messages() const { return messages_; }
  std::vector<SimMessage> MessagesTo(WindowHandle window) const;

 private:
  struct SimWindow {
    WindowHandle handle = 0;
    std::string className;
    std::string title;
    WindowHandle parent = 0;
    int controlId = 0;
    ProcessId owner = 0;
    bool visible = true;
    bool alive = true;
    int invalidated = 0;
    std::vector<WindowHandle> children;  // creation order
    MessageHandler handler;
    std::intptr_t itemCount = 0;
  };

  // The first top-level window after `after` (0: from the top) in the
  // order FindWindowA searches, of that class and title (null: any).
  WindowHandle NextTopLevel(WindowHandle after, const char* className,
                            const char* title) const;
  SimWindow* LiveWindow(WindowHandle window);
  const SimWindow* LiveWindow(WindowHandle window) const;
  std::intptr_t Deliver(const SimMessage& message);

  SimSystem& system_;
  const SimClock& clock_;
  std::map<WindowHandle, SimWindow> windows_;
  std::vector<WindowHandle> topLevel_;  // creation order
  WindowHandle nextWindow_ = 0x10000;
  WindowHandle focus_ = 0;
  std::set<std::pair<ThreadId, ThreadId>> attached_;  // (lower, higher)
  std::vector<SimMessage> messages_;
  std::vector<SimMessage> userPresses_;
  std::deque<SimMessage> posted_;
};

}  // namespace nl::sim
