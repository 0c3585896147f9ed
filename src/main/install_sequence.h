// The fixed order of the installation's phases.
#pragma once

#include "setup/install_run.h"

namespace nl {

enum class PhaseGate { kAlways, kGerman };
enum class PhaseOutcome { kContinue, kEndRunOnFailure };

// One step of the installation. `work` returns non-zero on success.
struct InstallPhase {
  const char* name;
  PhaseGate gate;
  int (*work)(InstallRun& run);
  PhaseOutcome outcome;
};

// The phases in their fixed order, and their number.
extern const InstallPhase kInstallPhases[];
extern const int kInstallPhaseCount;

// Runs the phases in order. German-gated phases share one locale test, made
// when the first of them is reached.
void RunInstallSequence(InstallRun& run);

// The whole program: one run with this instance; always returns exit code 0.
int InstallerMain(Platform& os, ProgramInstance instance);

}  // namespace nl
