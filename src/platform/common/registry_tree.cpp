#include "platform/common/registry_tree.h"

#include <cstdint>

namespace nl {

RegResult RegDeleteKeyTree(Platform& os, RegKey parent, const char* subKey) {
  RegKey key = 0;
  if (os.RegOpenKeyExA(parent, subKey, 0, kKeyAllAccess, &key) ==
      kErrorSuccess) {
    // Deleting a subkey renumbers the rest, so index 0 always names the next
    // one. A subkey that cannot be named or deleted ends the walk, and the
    // final deletion below then reports the failure.
    char name[512];
    for (;;) {
      std::uint32_t nameSize = sizeof name;
      if (os.RegEnumKeyExA(key, 0, name, &nameSize) != kErrorSuccess) break;
      if (RegDeleteKeyTree(os, key, name) != kErrorSuccess) break;
    }
    os.RegCloseKey(key);
  }
  return os.RegDeleteKeyA(parent, subKey);
}

}  // namespace nl
