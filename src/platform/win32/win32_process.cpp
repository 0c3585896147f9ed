// The program's start and end, which the C runtime would otherwise have
// supplied: shared by NLSETUP.EXE and NLDIAG.EXE.
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace nl {

ProgramInstance CurrentProgramInstance() {
  return reinterpret_cast<ProgramInstance>(::GetModuleHandleA(nullptr));
}

void ExitProgram(std::uint32_t exitCode) { ::ExitProcess(exitCode); }

}  // namespace nl
