// Removal of the three network registry entries at the end of a run.
#pragma once

#include "setup/install_run.h"

namespace nl {

// Looks at the first ten subkeys of `keyPath`; deletes, with everything
// beneath it, the first whose value `valueName` equals `wanted` (ASCII case
// ignored, text up to its first zero). True when a subkey was deleted.
bool DeleteMatchingSubkey(Platform& os, RegKey root, const char* keyPath,
                          const char* valueName, const char* wanted);

// Phase 11.
int RemoveNetworkEntries(InstallRun& run);

}  // namespace nl
