#include "registry/infrared_class.h"

#include <cstdint>

#include "platform/common/registry_text.h"
#include "registry/infrared_class_table.h"
#include "setup/setup_env.h"

namespace nl {

int RegisterInfraredClass(InstallRun& run) {
  Platform& os = run.os;
  RegKey key = 0;
  if (CreateMachineKey(os, kInfraredEnumPath, &key)) os.RegCloseKey(key);
  if (CreateMachineKey(os, kKnownDevicesPath, &key)) {
    SetTextValue(os, key, kKnownDeviceName, kKnownDeviceName);
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
  const std::uint8_t portSubClass[1] = {kPortSubClass};
  os.RegSetValueExA(key, kPortSubClassName, kRegBinary, portSubClass, 1);
  os.RegCloseKey(key);
  return 1;
}

}  // namespace nl
