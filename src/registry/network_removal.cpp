#include "registry/network_removal.h"

#include <cstdint>

#include "platform/common/registry_text.h"
#include "platform/common/registry_tree.h"
#include "registry/network_entry_table.h"
#include "setup/text.h"

namespace nl {

namespace {

bool SubkeyMatches(Platform& os, RegKey parent, const char* name,
                   const char* valueName, const char* wanted) {
  RegKey subkey = 0;
  if (os.RegOpenKeyExA(parent, name, 0, 0, &subkey) != kErrorSuccess) {
    return false;
  }
  char text[kValueTextCapacity + 1];
  // The text ends at the first zero byte, so a list of texts matches on its
  // first one.
  bool matches = ReadValueText(os, subkey, valueName, kValueTextCapacity,
                               text) &&
                 EqualsIgnoreAsciiCase(text, wanted);
  os.RegCloseKey(subkey);
  return matches;
}

}  // namespace

bool DeleteMatchingSubkey(Platform& os, RegKey root, const char* keyPath,
                          const char* valueName, const char* wanted) {
  RegKey key = 0;
  if (os.RegOpenKeyExA(root, keyPath, 0, 0, &key) != kErrorSuccess) {
    return false;
  }
  bool deleted = false;
  for (std::uint32_t index = 0; index < kSubkeysLookedAt; ++index) {
    char name[kValueTextCapacity];
    std::uint32_t nameSize = sizeof name;
    if (os.RegEnumKeyExA(key, index, name, &nameSize) != kErrorSuccess) break;
    if (SubkeyMatches(os, key, name, valueName, wanted)) {
      deleted = RegDeleteKeyTree(os, key, name) == kErrorSuccess;
      break;
    }
  }
  os.RegCloseKey(key);
  return deleted;
}

int RemoveNetworkEntries(InstallRun& run) {
  for (const NetworkEntry& entry : kNetworkEntries) {
    DeleteMatchingSubkey(run.os, kHkeyLocalMachine, entry.keyPath,
                         entry.valueName, entry.wanted);
  }
  return 1;
}

}  // namespace nl
