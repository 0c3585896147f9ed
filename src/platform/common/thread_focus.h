// Giving the keyboard focus to a control of another process's dialog.
#pragma once

#include "platform/platform.h"

namespace nl {

// SetFocus reaches only windows attached to the calling thread's input, and
// the controls the program types into belong to the system tools' threads.
// So the program joins its input to the control's thread for the one call
// and parts it right after. When the join fails (the tool has ended, or the
// control is gone) SetFocus is still called and fails as Windows lets it;
// the typing that follows goes to the control by its handle either way.
// Returns what SetFocus returned.
WindowHandle GiveFocusAcrossThreads(Platform& os, WindowHandle control);

}  // namespace nl
