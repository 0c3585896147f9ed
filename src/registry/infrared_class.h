// Declares the infrared device class and the generic miniport as a known
// device.
#pragma once

#include "setup/install_run.h"

namespace nl {

// Phase 1.
int RegisterInfraredClass(InstallRun& run);

}  // namespace nl
