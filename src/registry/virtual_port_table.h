// The hand-written entries of the virtual infrared ports and of the generic
// infrared adapter's port number. The installer writes them on German
// systems; the support tool's findings check them after a run.
//
// Plain constant data only: the Windows program has no C runtime to run
// constructors. Plain constexpr (one copy per file that uses it, as when the
// table stood in its .cpp) rather than inline: inline data goes to sections
// of its own and would change the program's bytes.
#pragma once

#include <cstdint>

namespace nl {

// The port number the installation sequence passes.
constexpr std::int32_t kInstalledPortNumber = 0;

// "Installed" of Enum\INFRARED: the character 1 and a zero byte.
constexpr const char* kInstalledName = "Installed";
constexpr std::uint8_t kInstalledFlag[2] = {0x31, 0x00};

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

constexpr PortNode kSerialPort = {
    "Enum\\INFRARED\\COM", "Enum\\INFRARED\\COM\\ROOT&INFRARED&0000",
    "Infrared\\COM", "Virtueller Infrarot-COM-Anschluss", "Infrared\\0001",
    "COM4", "Infrarot-COM-Anschluss"};
constexpr PortNode kParallelPort = {
    "Enum\\INFRARED\\LPT", "Enum\\INFRARED\\LPT\\ROOT&INFRARED&0000",
    "Infrared\\LPT", "Virtueller Infrarot-LPT-Anschluss", "Infrared\\0002",
    "LPT3", "Paralleler Infrarotanschluss (LPT)"};

// Values every port node holds besides its own texts.
constexpr const char* kPortsClass = "Ports";
constexpr const char* kPortsClassGuid =
    "{4d36e978-e325-11ce-bfc1-08002be10318}";
constexpr const char* kPortsMfg = "Microsoft";
constexpr std::uint8_t kPortCapabilities[4] = {0x14, 0x00, 0x00, 0x00};
constexpr std::uint8_t kPortConfigFlags[4] = {0x00, 0x00, 0x00, 0x00};

// Enum\INFRARED\VirtualPorts names the two ports' "PortName"s.
constexpr const char* kVirtualPortsPath = "Enum\\INFRARED\\VirtualPorts";
constexpr const char* kVirtualComPortName = "VirtualComPortName";
constexpr const char* kVirtualLptPortName = "VirtualLptPortName";
constexpr const char* kPortNameValue = "PortName";
constexpr const char* kFramerPath = "Enum\\INFRARED\\Framer";
// The framer's "PortName": this prefix and the port number in decimal.
constexpr const char* kFramerPortPrefix = "COM";

// The generic infrared adapter among the network class instances
// Net\0000 to Net\0009 gets the port number.
constexpr const char* kNetClassPath =
    "System\\CurrentControlSet\\Services\\Class\\Net\\";
constexpr int kAdapterInstancesLookedAt = 10;
constexpr const char* kAdapterNameValue = "AdapterName";
constexpr const char* kGenericAdapterName = "IRMINI";
constexpr const char* kAdapterPortValue = "Port";
constexpr const char* kAdapterPortSubkey = "Ndi\\Params\\Port";

}  // namespace nl
