#include "main/install_sequence.h"

#include "automation/hardware_wizard.h"
#include "automation/installer_runs.h"
#include "registry/infrared_class.h"
#include "registry/network_removal.h"
#include "registry/virtual_ports.h"
#include "registry/virtual_port_table.h"
#include "setup/driver_prep.h"
#include "setup/setup_env.h"

namespace nl {

namespace {

int WriteVirtualPortsForPortZero(InstallRun& run) {
  WriteVirtualPortEntries(run, kInstalledPortNumber);
  return 1;
}

// Gives the network panel's changes a moment before the entries go.
int Pause(InstallRun& run) {
  run.os.Sleep(1000);
  return 1;
}

}  // namespace

const InstallPhase kInstallPhases[] = {
    {"RegisterInfraredClass", PhaseGate::kAlways, RegisterInfraredClass,
     PhaseOutcome::kContinue},
    {"RestoreInfBackups", PhaseGate::kAlways, RestoreInfBackups,
     PhaseOutcome::kContinue},
    {"PatchInfFiles", PhaseGate::kAlways, PatchInfFiles,
     PhaseOutcome::kContinue},
    {"CopyDriverToSource", PhaseGate::kAlways, CopyDriverToSource,
     PhaseOutcome::kContinue},
    {"RunClassInstaller", PhaseGate::kAlways, RunClassInstaller,
     PhaseOutcome::kContinue},
    {"ApplyLateInfEdit", PhaseGate::kGerman, ApplyLateInfEdit,
     PhaseOutcome::kContinue},
    {"DriveHardwareWizard", PhaseGate::kGerman, DriveHardwareWizard,
     PhaseOutcome::kEndRunOnFailure},
    {"WriteVirtualPortEntries", PhaseGate::kGerman,
     WriteVirtualPortsForPortZero, PhaseOutcome::kContinue},
    {"ConfirmNetworkPanel", PhaseGate::kAlways, ConfirmNetworkPanel,
     PhaseOutcome::kContinue},
    {"Pause", PhaseGate::kAlways, Pause, PhaseOutcome::kContinue},
    {"RemoveNetworkEntries", PhaseGate::kAlways, RemoveNetworkEntries,
     PhaseOutcome::kContinue},
};
const int kInstallPhaseCount =
    static_cast<int>(sizeof kInstallPhases / sizeof kInstallPhases[0]);

void RunInstallSequence(InstallRun& run) {
  // The German-gated phases are consecutive and share one locale test, made
  // when the first of them is reached.
  enum { kNotAsked, kGerman, kNotGerman } locale = kNotAsked;
  for (int i = 0; i < kInstallPhaseCount; ++i) {
    const InstallPhase& phase = kInstallPhases[i];
    if (phase.gate == PhaseGate::kGerman) {
      if (locale == kNotAsked) {
        locale = IsGermanLocale(run.os) ? kGerman : kNotGerman;
      }
      if (locale == kNotGerman) continue;
    }
    int succeeded = phase.work(run);
    if (!succeeded && phase.outcome == PhaseOutcome::kEndRunOnFailure) return;
  }
}

int InstallerMain(Platform& os, ProgramInstance instance) {
  InstallRun run = MakeInstallRun(os, instance);
  RunInstallSequence(run);
  return 0;
}

}  // namespace nl
