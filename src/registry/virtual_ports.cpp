#include "registry/virtual_ports.h"

#include <cstring>

#include "platform/common/registry_text.h"
#include "registry/virtual_port_table.h"
#include "setup/text.h"

namespace nl {

namespace {

void SetBinary(Platform& os, RegKey key, const char* name,
               const std::uint8_t* data, std::uint32_t size) {
  os.RegSetValueExA(key, name, kRegBinary, data, size);
}

void WritePortNode(Platform& os, const PortNode& port) {
  RegKey key = 0;
  if (!CreateMachineKey(os, port.parentPath, &key)) return;
  os.RegCloseKey(key);
  if (!CreateMachineKey(os, port.nodePath, &key)) return;
  SetTextValue(os, key, "Class", kPortsClass);
  SetTextValue(os, key, "HardwareID", port.hardwareId);
  SetTextValue(os, key, "FriendlyName", port.friendlyName);
  SetTextValue(os, key, "ClassGUID", kPortsClassGuid);
  SetTextValue(os, key, "Driver", port.driver);
  SetTextValue(os, key, "PortName", port.portName);
  SetTextValue(os, key, "DeviceDesc", port.deviceDescription);
  SetTextValue(os, key, "Mfg", kPortsMfg);
  // Built on the stack from the table's bytes, as they always were.
  const std::uint8_t capabilities[4] = {
      kPortCapabilities[0], kPortCapabilities[1], kPortCapabilities[2],
      kPortCapabilities[3]};
  const std::uint8_t configFlags[4] = {kPortConfigFlags[0], kPortConfigFlags[1],
                                       kPortConfigFlags[2], kPortConfigFlags[3]};
  SetBinary(os, key, "Capabilities", capabilities, 4);
  SetBinary(os, key, "ConfigFlags", configFlags, 4);
  os.RegCloseKey(key);
}

// Gives the first generic infrared adapter among the network class instances
// 0000 to 0009 its port number.
void WriteAdapterPort(Platform& os, const char* portText) {
  for (int n = 0; n < kAdapterInstancesLookedAt; ++n) {
    char path[96];
    std::strcpy(path, kNetClassPath);
    std::strcat(path, "000");
    std::size_t length = std::strlen(path);
    path[length] = static_cast<char>('0' + n);
    path[length + 1] = 0;

    RegKey key = 0;
    if (os.RegOpenKeyExA(kHkeyLocalMachine, path, 0, kKeyAllAccess, &key) !=
        kErrorSuccess) {
      continue;
    }
    char adapterName[kValueTextCapacity + 1];
    bool isAdapter =
        ReadValueText(os, key, kAdapterNameValue, kValueTextCapacity,
                      adapterName) &&
        EqualsIgnoreAsciiCase(adapterName, kGenericAdapterName);
    if (isAdapter) {
      SetTextValue(os, key, kAdapterPortValue, portText);
      RegKey params = 0;
      if (os.RegOpenKeyExA(key, kAdapterPortSubkey, 0, kKeyAllAccess,
                           &params) == kErrorSuccess) {
        SetTextValue(os, params, "", portText);
        os.RegCloseKey(params);
      }
    }
    os.RegCloseKey(key);
    if (isAdapter) return;
  }
}

// Decimal text of a signed 32-bit number.
void FormatDecimal(std::int32_t number, char* out) {
  char digits[12];
  int count = 0;
  std::uint32_t magnitude =
      number < 0 ? 0u - static_cast<std::uint32_t>(number)
                 : static_cast<std::uint32_t>(number);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (number < 0) *out++ = '-';
  while (count > 0) *out++ = digits[--count];
  *out = 0;
}

}  // namespace

void WriteVirtualPortEntries(InstallRun& run, std::int32_t portNumber) {
  Platform& os = run.os;
  char portText[12];
  FormatDecimal(portNumber, portText);
  char framerPort[16] = "COM";  // kFramerPortPrefix
  std::strcat(framerPort, portText);

  RegKey key = 0;
  if (CreateMachineKey(os, "Enum\\INFRARED", &key)) {
    const std::uint8_t installed[2] = {kInstalledFlag[0], kInstalledFlag[1]};
    SetBinary(os, key, kInstalledName, installed, 2);
    os.RegCloseKey(key);
  }
  WritePortNode(os, kSerialPort);
  WritePortNode(os, kParallelPort);
  if (CreateMachineKey(os, kVirtualPortsPath, &key)) {
    SetTextValue(os, key, kVirtualComPortName, kSerialPort.portName);
    SetTextValue(os, key, kVirtualLptPortName, kParallelPort.portName);
    os.RegCloseKey(key);
  }
  if (CreateMachineKey(os, kFramerPath, &key)) {
    SetTextValue(os, key, kPortNameValue, framerPort);
    os.RegCloseKey(key);
  }
  WriteAdapterPort(os, portText);
}

}  // namespace nl
