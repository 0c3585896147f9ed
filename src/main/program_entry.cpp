// Entry point of the Windows program, started by the system loader itself:
// the program carries no C runtime, so nothing runs before this and nothing
// after it. The command line and the requested show state are never looked
// at: the installation takes no arguments and shows nothing of its own.
#include "main/install_sequence.h"
#include "platform/win32/win32_platform.h"

extern "C" void ProgramEntry() {
  nl::Win32Platform os;
  nl::InstallerMain(os, nl::CurrentProgramInstance());
  // Every path ends here, the early end of the hardware wizard included.
  nl::ExitProgram(0);
}
