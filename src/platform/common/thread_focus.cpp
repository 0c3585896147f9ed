#include "platform/common/thread_focus.h"

namespace nl {

WindowHandle GiveFocusAcrossThreads(Platform& os, WindowHandle control) {
  const ThreadId ours = os.GetCurrentThreadId();
  const ThreadId theirs = os.GetWindowThreadProcessId(control, nullptr);
  const bool joined =
      theirs != 0 && theirs != ours && os.AttachThreadInput(ours, theirs, 1) != 0;
  const WindowHandle previous = os.SetFocus(control);
  if (joined) os.AttachThreadInput(ours, theirs, 0);
  return previous;
}

}  // namespace nl
