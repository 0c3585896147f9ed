// The infrared class installer run and the network control panel run.
#pragma once

#include "setup/install_run.h"

namespace nl {

// Phase 5: runs the class installer, pressing its forward button once on
// German systems, then waits for RunDll windows to close.
int RunClassInstaller(InstallRun& run);
// Phase 9: opens the network control panel and presses OK until it is gone.
int ConfirmNetworkPanel(InstallRun& run);

}  // namespace nl
