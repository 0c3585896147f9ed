// Entry point of the Windows program. The command line and the requested
// show state are ignored: the installation takes no arguments and shows
// nothing of its own.
#include "main/install_sequence.h"
#include "platform/win32/win32_platform.h"

// The entry point's signature is spelled without the system headers, which
// only the Win32 backend includes; the system's HINSTANCE is this pointer.
struct HINSTANCE__;

extern "C" int __stdcall WinMain(HINSTANCE__* instance, HINSTANCE__*, char*,
                                 int) {
  nl::Win32Platform os;
  return nl::InstallerMain(os, reinterpret_cast<nl::ProgramInstance>(instance));
}
