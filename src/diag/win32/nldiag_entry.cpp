// Entry point of NLDIAG.EXE, started by the system loader itself: like
// NLSETUP.EXE it carries no C runtime, so nothing runs before this and
// nothing after it.
#include "diag/collector.h"
#include "platform/win32/win32_diag_system.h"
#include "platform/win32/win32_platform.h"

extern "C" void ProgramEntry() {
  nl::Win32DiagSystem os;
  nl::ExitProgram(nl::diag::CollectorMain(os));
}
