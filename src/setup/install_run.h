// The state one installation run keeps between its phases.
#pragma once

#include "platform/platform.h"

namespace nl {

struct InstallRun {
  Platform& os;
  // The program instance received by the entry point; used by the driver copy.
  ProgramInstance instance;
  // Setup scratch directory, filled at the first successful lookup and then
  // kept for the run; empty until then.
  char scratchDir[kMaxPath];
  // Set once the class installer's forward button has been pressed; never
  // cleared, so the press happens at most once per run.
  int forwardPressed;
};

// A run that has asked nothing yet.
inline InstallRun MakeInstallRun(Platform& os, ProgramInstance instance) {
  return InstallRun{os, instance, {0}, 0};
}

}  // namespace nl
