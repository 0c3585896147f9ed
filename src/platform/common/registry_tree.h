// Deleting a registry key together with everything beneath it.
#pragma once

#include "platform/platform.h"

namespace nl {

// Deletes `subKey` of `parent` with all its subkeys, on the 9x family (whose
// RegDeleteKeyA takes the whole tree) and on NT-family systems (which refuse
// a key that still has subkeys) alike: the subkeys go first, depth-first.
// Returns the result of the final RegDeleteKeyA of `subKey` itself.
RegResult RegDeleteKeyTree(Platform& os, RegKey parent, const char* subKey);

}  // namespace nl
