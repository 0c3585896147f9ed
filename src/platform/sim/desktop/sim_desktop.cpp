// The desktop of the simulated system: windows of its scripted processes,
// and the messages the program sends and posts to them.
#include "platform/sim/desktop/sim_desktop.h"

#include <algorithm>
#include <cstring>

#include "platform/sim/clock/sim_clock.h"
#include "platform/sim/sim_text.h"

namespace nl::sim {

namespace {

std::string MessageName(std::uint32_t message) {
  switch (message) {
    case kWmKeyDown: return "WM_KEYDOWN";
    case kWmKeyUp: return "WM_KEYUP";
    case kWmChar: return "WM_CHAR";
    case kWmCommand: return "WM_COMMAND";
    case kLvmGetItemCount: return "LVM_GETITEMCOUNT";
    default: return Hex(message);
  }
}

std::string MessageArgs(WindowHandle w, std::uint32_t m, std::uintptr_t wp,
                        std::intptr_t lp) {
  return Hex(w) + ", " + MessageName(m) + ", " + Hex(wp) + ", " +
         Hex(static_cast<std::uintptr_t>(lp));
}

}  // namespace

SimDesktop::SimWindow* SimDesktop::LiveWindow(WindowHandle window) {
  auto it = windows_.find(window);
  return it != windows_.end() && it->second.alive ? &it->second : nullptr;
}

const SimDesktop::SimWindow* SimDesktop::LiveWindow(WindowHandle window) const {
  auto it = windows_.find(window);
  return it != windows_.end() && it->second.alive ? &it->second : nullptr;
}

std::intptr_t SimDesktop::Deliver(const SimMessage& message) {
  SimWindow* w = LiveWindow(message.window);
  if (!w) return 0;
  if (w->handler) {
    MessageHandler handler = w->handler;  // the handler may replace itself
    return handler(system_, message);
  }
  return message.message == kLvmGetItemCount ? w->itemCount : 0;
}

void SimDesktop::PressByUser(WindowHandle dialog, int controlId) {
  if (!LiveWindow(dialog)) return;
  WindowHandle control = 0;
  for (WindowHandle child : LiveWindow(dialog)->children)
    if (const SimWindow* w = LiveWindow(child); w && w->controlId == controlId) control = child;
  if (control == 0) return;  // no such button to click
  SimMessage message;
  message.time = clock_.Now();
  message.window = dialog;
  message.message = kWmCommand;
  message.wParam = static_cast<std::uintptr_t>(controlId);
  message.lParam = static_cast<std::intptr_t>(control);
  userPresses_.push_back(message);
  Deliver(message);
}

void SimDesktop::DeliverPosted() {
  while (!posted_.empty()) {
    const SimMessage message = posted_.front();
    posted_.pop_front();
    Deliver(message);
  }
}

// ---- Platform calls ----

WindowHandle SimDesktop::NextTopLevel(WindowHandle after, const char* className,
                                      const char* title) const {
  bool started = after == 0;
  for (auto it = topLevel_.rbegin(); it != topLevel_.rend(); ++it) {
    if (!started) {
      started = *it == after;
      continue;
    }
    const SimWindow* w = LiveWindow(*it);
    if (!w || (className && !EqualsIgnoreCase(w->className, className))) continue;
    if (title && w->title != title) continue;
    return w->handle;
  }
  return 0;
}

WindowHandle SimDesktop::FindWindowA(Fault fault, const char* className,
                                     const char* title, Described* out) {
  const WindowHandle r = fault != Fault::kFail ? NextTopLevel(0, className, title) : 0;
  DescribeTo(out, [&] {
    return Described{QuotedOrNull(className) + ", " + QuotedOrNull(title), Hex(r)};
  });
  return r;
}

WindowHandle SimDesktop::FindWindowExA(Fault fault, WindowHandle parent,
                                       WindowHandle after, const char* className,
                                       const char* title, Described* out) {
  const WindowHandle r =
      fault != Fault::kFail && parent == 0 ? NextTopLevel(after, className, title) : 0;
  DescribeTo(out, [&] {
    return Described{Hex(parent) + ", " + Hex(after) + ", " + QuotedOrNull(className) + ", " +
                         QuotedOrNull(title),
                     Hex(r)};
  });
  return r;
}

int SimDesktop::EnumChildWindows(Fault fault, WindowHandle parent,
                                 ChildWindowCallback callback, std::intptr_t data,
                                 Described* out) {
  int r = 0;
  std::size_t visited = 0;
  if (fault != Fault::kFail && LiveWindow(parent) && callback) {
    std::vector<WindowHandle> order;
    std::vector<WindowHandle> stack(LiveWindow(parent)->children.rbegin(),
                                    LiveWindow(parent)->children.rend());
    while (!stack.empty()) {
      const WindowHandle h = stack.back();
      stack.pop_back();
      const SimWindow* w = LiveWindow(h);
      if (!w) continue;
      order.push_back(h);
      stack.insert(stack.end(), w->children.rbegin(), w->children.rend());
    }
    r = 1;
    for (WindowHandle h : order) {
      if (!LiveWindow(h)) continue;  // destroyed by an earlier callback
      ++visited;
      if (!callback(h, data)) break;
    }
  }
  DescribeTo(out, [&] {
    (void)data;  // a host address: left out so journals compare across runs
    return Described{Hex(parent) + ", callback, data",
                     std::to_string(r) + " (" + std::to_string(visited) + " visited)"};
  });
  return r;
}

int SimDesktop::GetDlgCtrlID(Fault fault, WindowHandle window, Described* out) {
  const SimWindow* w = LiveWindow(window);
  const int r = fault != Fault::kFail && w ? w->controlId : 0;
  DescribeTo(out, [&] { return Described{Hex(window), std::to_string(r)}; });
  return r;
}

WindowHandle SimDesktop::GetDlgItem(Fault fault, WindowHandle dialog, int controlId,
                                    Described* out) {
  WindowHandle r = 0;
  if (fault != Fault::kFail) {
    if (const SimWindow* d = LiveWindow(dialog)) {
      for (WindowHandle h : d->children) {
        const SimWindow* child = LiveWindow(h);
        if (child && child->controlId == controlId) {
          r = h;
          break;
        }
      }
    }
  }
  DescribeTo(out, [&] {
    return Described{Hex(dialog) + ", " + std::to_string(controlId), Hex(r)};
  });
  return r;
}

std::intptr_t SimDesktop::SendMessageA(Fault fault, WindowHandle window,
                                       std::uint32_t message, std::uintptr_t wParam,
                                       std::intptr_t lParam, Described* out) {
  std::intptr_t r = 0;
  if (fault != Fault::kFail && LiveWindow(window)) {
    const SimMessage sent{clock_.Now(), window, message, wParam, lParam, false};
    messages_.push_back(sent);
    r = Deliver(sent);
  }
  DescribeTo(out, [&] {
    return Described{MessageArgs(window, message, wParam, lParam), std::to_string(r)};
  });
  return r;
}

int SimDesktop::PostMessageA(Fault fault, WindowHandle window, std::uint32_t message,
                             std::uintptr_t wParam, std::intptr_t lParam,
                             Described* out) {
  int r = 0;
  if (fault != Fault::kFail && LiveWindow(window)) {
    const SimMessage posted{clock_.Now(), window, message, wParam, lParam, true};
    messages_.push_back(posted);
    posted_.push_back(posted);
    r = 1;
  }
  DescribeTo(out, [&] {
    return Described{MessageArgs(window, message, wParam, lParam), std::to_string(r)};
  });
  return r;
}

int SimDesktop::ShowWindow(Fault fault, WindowHandle window, int showCommand,
                           Described* out) {
  int r = 0;
  if (SimWindow* w = LiveWindow(window); w && fault != Fault::kFail) {
    r = w->visible ? 1 : 0;  // whether it was visible before
    w->visible = showCommand != kSwHide;
  }
  DescribeTo(out, [&] {
    return Described{
        Hex(window) + ", " +
            (showCommand == kSwHide   ? std::string("SW_HIDE")
             : showCommand == kSwShow ? std::string("SW_SHOW")
                                      : std::to_string(showCommand)),
        std::to_string(r)};
  });
  return r;
}

WindowHandle SimDesktop::SetFocus(Fault fault, WindowHandle window, Described* out) {
  WindowHandle r = 0;
  const SimWindow* w = LiveWindow(window);
  const bool reachable =
      window == 0 || (w && (ThreadOfProcess(w->owner) == kProgramThreadId ||
                            InputAttached(kProgramThreadId, ThreadOfProcess(w->owner))));
  if (fault != Fault::kFail && reachable) {
    r = focus_;
    focus_ = window;
  }
  DescribeTo(out, [&] { return Described{Hex(window), Hex(r)}; });
  return r;
}

ThreadId SimDesktop::GetWindowThreadProcessId(Fault fault, WindowHandle window,
                                              ProcessId* process, Described* out) {
  ThreadId r = 0;
  ProcessId owner = 0;
  const SimWindow* w = LiveWindow(window);
  if (fault != Fault::kFail && w) {
    owner = w->owner;
    r = ThreadOfProcess(owner);
  }
  if (process) *process = owner;
  DescribeTo(out, [&] {
    return Described{Hex(window) + (process ? ", &pid" : ", NULL"),
                     Hex(r) + (process ? " -> pid " + Hex(owner) : "")};
  });
  return r;
}

int SimDesktop::AttachThreadInput(Fault fault, ThreadId thread, ThreadId toThread,
                                  int attach, bool threadsLive, Described* out) {
  int r = 0;
  const auto pair = std::minmax(thread, toThread);
  if (fault != Fault::kFail && threadsLive && thread != toThread && thread && toThread) {
    if (attach) {
      attached_.insert(pair);
      r = 1;
    } else {
      r = attached_.erase(pair) ? 1 : 0;
    }
  }
  DescribeTo(out, [&] {
    return Described{Hex(thread) + ", " + Hex(toThread) + ", " + std::to_string(attach),
                     std::to_string(r)};
  });
  return r;
}

bool SimDesktop::InputAttached(ThreadId a, ThreadId b) const {
  return attached_.count(std::minmax(a, b)) != 0;
}

int SimDesktop::GetWindowTextA(Fault fault, WindowHandle window, char* buffer,
                               int capacity, Described* out) {
  int r = 0;
  if (buffer && capacity > 0) {
    buffer[0] = '\0';
    const SimWindow* w = LiveWindow(window);
    if (fault != Fault::kFail && w) {
      const std::size_t room = static_cast<std::size_t>(capacity - 1);
      const std::size_t n = w->title.size() < room ? w->title.size() : room;
      std::memcpy(buffer, w->title.data(), n);
      buffer[n] = '\0';
      r = static_cast<int>(n);
    }
  }
  DescribeTo(out, [&] {
    return Described{Hex(window) + ", buffer, " + std::to_string(capacity),
                     std::to_string(r) + (r ? " -> " + Quoted(buffer) : "")};
  });
  return r;
}

int SimDesktop::InvalidateRect(Fault fault, WindowHandle window, int erase,
                               Described* out) {
  int r = 0;
  if (SimWindow* w = LiveWindow(window); w && fault != Fault::kFail) {
    ++w->invalidated;
    r = 1;
  }
  DescribeTo(out, [&] {
    return Described{Hex(window) + ", NULL, " + std::to_string(erase), std::to_string(r)};
  });
  return r;
}

// ---- setup and inspection ----

WindowHandle SimDesktop::CreateWindow(const std::string& className,
                                     const std::string& title, WindowHandle parent,
                                     int controlId, ProcessId ownerPid) {
  SimWindow* up = nullptr;
  if (parent) {
    up = LiveWindow(parent);
    if (!up) throw std::invalid_argument("no such parent window");
  }
  nextWindow_ += 4;
  SimWindow w;
  w.handle = nextWindow_;
  w.className = className;
  w.title = title;
  w.parent = parent;
  w.controlId = controlId;
  w.owner = ownerPid;
  windows_[w.handle] = w;
  if (up)
    up->children.push_back(w.handle);
  else
    topLevel_.push_back(w.handle);
  return w.handle;
}

void SimDesktop::DestroyWindow(WindowHandle window) {
  SimWindow* w = LiveWindow(window);
  if (!w) return;
  w->alive = false;
  if (focus_ == window) focus_ = 0;
  const std::vector<WindowHandle> children = w->children;
  for (WindowHandle child : children) DestroyWindow(child);
}

void SimDesktop::DestroyWindowsOf(ProcessId pid) {
  std::vector<WindowHandle> owned;
  for (const auto& entry : windows_)
    if (entry.second.alive && entry.second.owner == pid) owned.push_back(entry.first);
  for (WindowHandle w : owned) DestroyWindow(w);
  const ThreadId thread = ThreadOfProcess(pid);
  for (auto it = attached_.begin(); it != attached_.end();)
    it = it->first == thread || it->second == thread ? attached_.erase(it) : std::next(it);
}

bool SimDesktop::IsWindow(WindowHandle window) const {
  return LiveWindow(window) != nullptr;
}

bool SimDesktop::IsVisible(WindowHandle window) const {
  const SimWindow* w = LiveWindow(window);
  return w && w->visible;
}

void SimDesktop::SetWindowVisible(WindowHandle window, bool visible) {
  if (SimWindow* w = LiveWindow(window)) w->visible = visible;
}

void SimDesktop::SetWindowTitle(WindowHandle window, const std::string& title) {
  if (SimWindow* w = LiveWindow(window)) w->title = title;
}

int SimDesktop::InvalidateCount(WindowHandle window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? 0 : it->second.invalidated;
}

void SimDesktop::SetMessageHandler(WindowHandle window, MessageHandler handler) {
  if (SimWindow* w = LiveWindow(window)) w->handler = std::move(handler);
}

void SimDesktop::SetItemCount(WindowHandle window, std::intptr_t count) {
  if (SimWindow* w = LiveWindow(window)) w->itemCount = count;
}

std::vector<SimMessage> SimDesktop::MessagesTo(WindowHandle window) const {
  std::vector<SimMessage> out;
  for (const SimMessage& m : messages_)
    if (m.window == window) out.push_back(m);
  return out;
}

}  // namespace nl::sim
