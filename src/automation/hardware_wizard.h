// Steps the hardware installation wizard through a manual device selection.
#pragma once

#include "setup/install_run.h"

namespace nl {

// Phase 7 (German systems). Fails only when the wizard cannot be started.
int DriveHardwareWizard(InstallRun& run);

}  // namespace nl
