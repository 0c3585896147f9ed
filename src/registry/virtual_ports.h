// The hand-written entries of the virtual infrared serial and parallel ports.
#pragma once

#include <cstdint>

#include "setup/install_run.h"

namespace nl {

// Phase 8 (German systems), called with port number 0.
void WriteVirtualPortEntries(InstallRun& run, std::int32_t portNumber);

}  // namespace nl
