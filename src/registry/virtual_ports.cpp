#include "registry/virtual_ports.h"

#include <cstring>

#include "platform/common/registry_text.h"
#include "setup/text.h"

namespace nl {

namespace {

constexpr const char* kPortsClassGuid = "{4d36e978-e325-11ce-bfc1-08002be10318}";
constexpr const char* kNetClassPath =
    "System\\CurrentControlSet\\Services\\Class\\Net\\";

// One virtual port's device node and its display texts.
struct PortNode {
  const char* parentPath;
  const char* nodePath;
  const char* hardwareId;
  const char* friendlyName;
  const char* driver;
  const char* portName;
  const char* deviceDescription;
};

const PortNode kSerialPort = {
    "Enum\\INFRARED\\COM", "Enum\\INFRARED\\COM\\ROOT&INFRARED&0000",
    "Infrared\\COM", "Virtueller Infrarot-COM-Anschluss", "Infrared\\0001",
    "COM4", "Infrarot-COM-Anschluss"};
const PortNode kParallelPort = {
    "Enum\\INFRARED\\LPT", "Enum\\INFRARED\\LPT\\ROOT&INFRARED&0000",
    "Infrared\\LPT", "Virtueller Infrarot-LPT-Anschluss", "Infrared\\0002",
    "LPT3", "Paralleler Infrarotanschluss (LPT)"};

void SetBinary(Platform& os, RegKey key, const char* name,
               const std::uint8_t* data, std::uint32_t size) {
  os.RegSetValueExA(key, name, kRegBinary, data, size);
}

void WritePortNode(Platform& os, const PortNode& port) {
  RegKey key = 0;
  if (!CreateMachineKey(os, port.parentPath, &key)) return;
  os.RegCloseKey(key);
  if (!CreateMachineKey(os, port.nodePath, &key)) return;
  SetTextValue(os, key, "Class", "Ports");
  SetTextValue(os, key, "HardwareID", port.hardwareId);
  SetTextValue(os, key, "FriendlyName", port.friendlyName);
  SetTextValue(os, key, "ClassGUID", kPortsClassGuid);
  SetTextValue(os, key, "Driver", port.driver);
  SetTextValue(os, key, "PortName", port.portName);
  SetTextValue(os, key, "DeviceDesc", port.deviceDescription);
  SetTextValue(os, key, "Mfg", "Microsoft");
  const std::uint8_t capabilities[4] = {0x14, 0x00, 0x00, 0x00};
  const std::uint8_t configFlags[4] = {0x00, 0x00, 0x00, 0x00};
  SetBinary(os, key, "Capabilities", capabilities, 4);
  SetBinary(os, key, "ConfigFlags", configFlags, 4);
  os.RegCloseKey(key);
}

// Gives the first generic infrared adapter among the network class instances
// 0000 to 0009 its port number.
void WriteAdapterPort(Platform& os, const char* portText) {
  for (int n = 0; n <= 9; ++n) {
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
        ReadValueText(os, key, "AdapterName", kValueTextCapacity,
                      adapterName) &&
        EqualsIgnoreAsciiCase(adapterName, "IRMINI");
    if (isAdapter) {
      SetTextValue(os, key, "Port", portText);
      RegKey params = 0;
      if (os.RegOpenKeyExA(key, "Ndi\\Params\\Port", 0, kKeyAllAccess,
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
  char framerPort[16] = "COM";
  std::strcat(framerPort, portText);

  RegKey key = 0;
  if (CreateMachineKey(os, "Enum\\INFRARED", &key)) {
    const std::uint8_t installed[2] = {0x31, 0x00};
    SetBinary(os, key, "Installed", installed, 2);
    os.RegCloseKey(key);
  }
  WritePortNode(os, kSerialPort);
  WritePortNode(os, kParallelPort);
  if (CreateMachineKey(os, "Enum\\INFRARED\\VirtualPorts", &key)) {
    SetTextValue(os, key, "VirtualComPortName", "COM4");
    SetTextValue(os, key, "VirtualLptPortName", "LPT3");
    os.RegCloseKey(key);
  }
  if (CreateMachineKey(os, "Enum\\INFRARED\\Framer", &key)) {
    SetTextValue(os, key, "PortName", framerPort);
    os.RegCloseKey(key);
  }
  WriteAdapterPort(os, portText);
}

}  // namespace nl
