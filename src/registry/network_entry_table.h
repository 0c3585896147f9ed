// The three network registry entries removed at the end of a run: under each
// key, the first subkey among the first ten in enumeration order whose value
// holds the wanted text. The installer removes them; the support tool's
// findings check that they are gone.
//
// Plain constant data only: the Windows program has no C runtime to run
// constructors. Plain constexpr (one copy per file that uses it, as when the
// table stood in its .cpp) rather than inline: inline data goes to sections
// of its own and would change the program's bytes.
#pragma once

#include <cstdint>

namespace nl {

// At most this many subkeys are looked at under each key.
constexpr std::uint32_t kSubkeysLookedAt = 10;

struct NetworkEntry {
  const char* keyPath;
  const char* valueName;
  const char* wanted;
};

constexpr NetworkEntry kNetworkEntries[] = {
    {"Enum\\Root\\Net", "CompatibleIDs", "IRMINI"},
    {"System\\CurrentControlSet\\Services\\Class\\Net", "AdapterName",
     "USB\\VID_1B4E&PID_0430"},
    {"System\\CurrentControlSet\\Services\\Class\\NetTrans", "DeviceVxDs",
     "IRDA.SYS"},
};

}  // namespace nl
