// The registry entries that declare the infrared device class and the
// generic infrared miniport as a known device. The installer writes them;
// the support tool's findings check them after a run.
//
// Plain constant data only: the Windows program has no C runtime to run
// constructors. Plain constexpr (one copy per file that uses it, as when the
// table stood in its .cpp) rather than inline: inline data goes to sections
// of its own and would change the program's bytes.
#pragma once

#include <cstdint>

namespace nl {

constexpr const char* kInfraredEnumPath = "Enum\\INFRARED";
constexpr const char* kKnownDevicesPath = "Enum\\INFRARED\\KnownDevices";
// The known-device entry: a text value whose name and text are both this.
constexpr const char* kKnownDeviceName = "IRMINI";

constexpr const char* kClassKeyPath =
    "System\\CurrentControlSet\\Services\\Class\\Infrared";
// The class key's unnamed value when INFRARED.INF names no "Class.Desc".
constexpr const char* kDefaultClassDescription = "Infrared devices";

struct TextValue {
  const char* name;
  const char* data;
};

// The class key's text values after its description, in the order written.
constexpr TextValue kClassValues[] = {
    {"Installer", "infrared.dll"},
    {"Icon", "0"},
    {"SilentInstall", "1"},
    {"DevLoader", "*configmg"},
    {"Enumerator", "irenum.vxd"},
    {"PortDriver", "ircomm.vxd"},
    {"Link", "{6bdd1fc5-810f-11d0-bec7-08002be2092f}"},
};

// The last value of the class key: binary, one byte.
constexpr const char* kPortSubClassName = "PortSubClass";
constexpr std::uint8_t kPortSubClass = 0x00;

}  // namespace nl
