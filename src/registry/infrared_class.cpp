#include "registry/infrared_class.h"

#include <cstdint>

#include "platform/common/registry_text.h"
#include "setup/setup_env.h"

namespace nl {

namespace {

constexpr const char* kClassKeyPath =
    "System\\CurrentControlSet\\Services\\Class\\Infrared";
constexpr const char* kDefaultClassDescription = "Infrared devices";

struct TextValue {
  const char* name;
  const char* data;
};

// The class key's text values after its description, in the order written.
const TextValue kClassValues[] = {
    {"Installer", "infrared.dll"},
    {"Icon", "0"},
    {"SilentInstall", "1"},
    {"DevLoader", "*configmg"},
    {"Enumerator", "irenum.vxd"},
    {"PortDriver", "ircomm.vxd"},
    {"Link", "{6bdd1fc5-810f-11d0-bec7-08002be2092f}"},
};

}  // namespace

int RegisterInfraredClass(InstallRun& run) {
  Platform& os = run.os;
  RegKey key = 0;
  if (CreateMachineKey(os, "Enum\\INFRARED", &key)) os.RegCloseKey(key);
  if (CreateMachineKey(os, "Enum\\INFRARED\\KnownDevices", &key)) {
    SetTextValue(os, key, "IRMINI", "IRMINI");
    os.RegCloseKey(key);
  }
  if (!CreateMachineKey(os, kClassKeyPath, &key)) return 1;

  // The system's INF file may carry a translated class name; it is read as
  // the file stands now, before any backup of an earlier run is put back.
  char description[kValueTextCapacity] = {0};
  char infPath[kMaxPath];
  if (GetSetupScratchPath(run, "INFRARED.INF", infPath, sizeof infPath)) {
    // A run stopped between moving the file to its backup and putting the
    // new one in place leaves only the backup: the original is read there.
    if (os.GetFileAttributesA(infPath) == kInvalidFileAttributes) {
      GetSetupScratchPath(run, "INFRARED.BAK", infPath, sizeof infPath);
    }
    os.GetPrivateProfileStringA("Strings", "Class.Desc", "", description,
                                sizeof description, infPath);
  }
  SetTextValue(os, key, "",
               description[0] ? description : kDefaultClassDescription);
  for (const TextValue& value : kClassValues) {
    SetTextValue(os, key, value.name, value.data);
  }
  const std::uint8_t portSubClass[1] = {0x00};
  os.RegSetValueExA(key, "PortSubClass", kRegBinary, portSubClass, 1);
  os.RegCloseKey(key);
  return 1;
}

}  // namespace nl
