// The hand-written entries of the virtual infrared ports and the port number
// of the generic infrared network adapter (German systems).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../support/registry_expect.h"
#include "platform/sim/sim_system.h"
#include "registry/virtual_ports.h"

namespace nl {
namespace {

using sim::SimSystem;

constexpr const char* kNet = "System\\CurrentControlSet\\Services\\Class\\Net";
constexpr const char* kComNode = "Enum\\INFRARED\\COM\\ROOT&INFRARED&0000";
constexpr const char* kLptNode = "Enum\\INFRARED\\LPT\\ROOT&INFRARED&0000";

using testing::ExpectedValue;
using testing::ExpectValues;
using testing::Node;
using testing::Sz;
std::string NetKey(const std::string& instance) { return std::string(kNet) + "\\" + instance; }

std::vector<ExpectedValue> PortNodeValues(const std::string& hardwareId,
                                          const std::string& friendlyName,
                                          const std::string& driver, const std::string& portName,
                                          const std::string& deviceDesc) {
  return {
      {"Class", kRegSz, Sz("Ports")},
      {"HardwareID", kRegSz, Sz(hardwareId)},
      {"FriendlyName", kRegSz, Sz(friendlyName)},
      {"ClassGUID", kRegSz, Sz("{4d36e978-e325-11ce-bfc1-08002be10318}")},
      {"Driver", kRegSz, Sz(driver)},
      {"PortName", kRegSz, Sz(portName)},
      {"DeviceDesc", kRegSz, Sz(deviceDesc)},
      {"Mfg", kRegSz, Sz("Microsoft")},
      {"Capabilities", kRegBinary, std::string("\x14\0\0\0", 4)},
      {"ConfigFlags", kRegBinary, std::string(4, '\0')},
  };
}

const std::vector<ExpectedValue> kComValues =
    PortNodeValues("Infrared\\COM", "Virtueller Infrarot-COM-Anschluss", "Infrared\\0001", "COM4",
                   "Infrarot-COM-Anschluss");
const std::vector<ExpectedValue> kLptValues =
    PortNodeValues("Infrared\\LPT", "Virtueller Infrarot-LPT-Anschluss", "Infrared\\0002", "LPT3",
                   "Paralleler Infrarotanschluss (LPT)");

// The exported registry below `path` (its own section and its subkeys').
std::string ExportOf(SimSystem& sim, const std::string& path) {
  const std::string text = sim.ExportRegistry();
  const std::string header = "[HKEY_LOCAL_MACHINE\\" + path;
  std::string out;
  std::size_t at = 0;
  bool inside = false;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    if (!line.empty() && line[0] == '[')
      inside = line.rfind(header + "]", 0) == 0 || line.rfind(header + "\\", 0) == 0;
    if (inside) out += line + "\n";
    at = end + 1;
  }
  return out;
}

void Write(SimSystem& sim, std::int32_t port = 0) {
  InstallRun run = MakeInstallRun(sim, 0x400000);
  WriteVirtualPortEntries(run, port);
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u) << "a key was left open";
  for (const sim::JournalEntry& entry : sim.Journal().Entries()) {
    if ((entry.operation == "RegCloseKey" || entry.operation == "RegSetValueExA") &&
        entry.result.find("[injected") == std::string::npos) {
      EXPECT_EQ(entry.result, "0") << "a handle used after it was closed: " << entry.Text();
    }
  }
}

// The network class instances the adapter loop opened, in order.
std::vector<std::string> OpenedInstances(SimSystem& sim) {
  std::vector<std::string> opened;
  const std::string prefix = "HKLM, \"" + std::string(kNet) + "\\";
  for (const sim::JournalEntry& entry : sim.Journal().Entries())
    if (entry.operation == "RegOpenKeyExA" && entry.arguments.rfind(prefix, 0) == 0)
      opened.push_back(entry.arguments.substr(prefix.size(), 4));
  return opened;
}

std::vector<std::string> Instances(int from, int to) {
  std::vector<std::string> names;
  for (int n = from; n <= to; ++n) names.push_back("000" + std::to_string(n));
  return names;
}

// An adapter instance as the network setup leaves it.
void AddAdapter(SimSystem& sim, const std::string& instance, const std::string& adapterName,
                bool withPortParams = true) {
  sim.Registry().SetText(NetKey(instance), "AdapterName", adapterName);
  sim.Registry().SetText(NetKey(instance), "DriverDesc", "Adapter " + instance);
  if (withPortParams) {
    sim.Registry().SetText(NetKey(instance) + "\\Ndi\\Params\\Port", "", "1");
    sim.Registry().SetText(NetKey(instance) + "\\Ndi\\Params\\Port", "ParamDesc", "Port");
  }
}

// The number of the first journal entry whose text starts with `prefix`, in
// a run on a system that `setUp` prepares.
template <class SetUp>
std::uint64_t CallNumber(SetUp setUp, const std::string& prefix) {
  SimSystem dry;
  setUp(dry);
  Write(dry);
  for (const sim::JournalEntry& entry : dry.Journal().Entries())
    if (entry.Text().rfind(prefix, 0) == 0) return entry.index;
  ADD_FAILURE() << "no call " << prefix;
  return 0;
}

TEST(VirtualPorts, WithoutAnIrminiAdapterOnlyTheInfraredEntriesAreWritten) {
  SimSystem sim;
  AddAdapter(sim, "0000", "NDISWAN");
  AddAdapter(sim, "0001", "IRMINIX");
  AddAdapter(sim, "0002", "IRMINI ");
  sim.Registry().CreateKey(NetKey("0003"));  // no AdapterName at all
  const std::string netBefore = ExportOf(sim, kNet);
  Write(sim);

  ExpectValues(sim, "Enum\\INFRARED", {{"Installed", kRegBinary, std::string("1\0", 2)}});
  ExpectValues(sim, "Enum\\INFRARED\\COM", {});
  ExpectValues(sim, kComNode, kComValues);
  ExpectValues(sim, "Enum\\INFRARED\\LPT", {});
  ExpectValues(sim, kLptNode, kLptValues);
  ExpectValues(sim, "Enum\\INFRARED\\VirtualPorts",
               {{"VirtualComPortName", kRegSz, Sz("COM4")},
                {"VirtualLptPortName", kRegSz, Sz("LPT3")}});
  // The framer's port is formed from the port number passed: COM0.
  ExpectValues(sim, "Enum\\INFRARED\\Framer", {{"PortName", kRegSz, Sz("COM0")}});
  EXPECT_EQ(ExportOf(sim, kNet), netBefore);
  EXPECT_EQ(OpenedInstances(sim), Instances(0, 9));
}

TEST(VirtualPorts, CallsAreMadeInOrderWithTheirExactArguments) {
  SimSystem sim;
  AddAdapter(sim, "0001", "irmini");
  Write(sim);

  std::vector<std::string> expected = {
      "RegCreateKeyExA(HKLM, \"Enum\\INFRARED\", 0, 0xf003f) = 0 -> key#1",
      "RegSetValueExA(key#1, \"Installed\", REG_BINARY [31 00]) = 0",
      "RegCloseKey(key#1) = 0",
  };
  int handle = 1;
  for (const char* port : {"COM", "LPT"}) {
    const std::vector<ExpectedValue>& values = port[0] == 'C' ? kComValues : kLptValues;
    const std::string parent = std::string("Enum\\INFRARED\\") + port;
    ++handle;
    expected.push_back("RegCreateKeyExA(HKLM, \"" + parent + "\", 0, 0xf003f) = 0 -> key#" +
                       std::to_string(handle));
    expected.push_back("RegCloseKey(key#" + std::to_string(handle) + ") = 0");
    const std::string node = "key#" + std::to_string(++handle);
    expected.push_back("RegCreateKeyExA(HKLM, \"" + parent +
                       "\\ROOT&INFRARED&0000\", 0, 0xf003f) = 0 -> " + node);
    for (const ExpectedValue& value : values) {
      std::string data;
      if (value.type == kRegSz) {
        data = "REG_SZ \"" + value.data.substr(0, value.data.size() - 1) + "\" (" +
               std::to_string(value.data.size()) + " bytes)";
      } else {
        data = value.name == "Capabilities" ? "REG_BINARY [14 00 00 00]"
                                            : "REG_BINARY [00 00 00 00]";
      }
      expected.push_back("RegSetValueExA(" + node + ", \"" + value.name + "\", " + data +
                         ") = 0");
    }
    expected.push_back("RegCloseKey(" + node + ") = 0");
  }
  const std::vector<std::string> rest = {
      "RegCreateKeyExA(HKLM, \"Enum\\INFRARED\\VirtualPorts\", 0, 0xf003f) = 0 -> key#6",
      "RegSetValueExA(key#6, \"VirtualComPortName\", REG_SZ \"COM4\" (5 bytes)) = 0",
      "RegSetValueExA(key#6, \"VirtualLptPortName\", REG_SZ \"LPT3\" (5 bytes)) = 0",
      "RegCloseKey(key#6) = 0",
      "RegCreateKeyExA(HKLM, \"Enum\\INFRARED\\Framer\", 0, 0xf003f) = 0 -> key#7",
      "RegSetValueExA(key#7, \"PortName\", REG_SZ \"COM0\" (5 bytes)) = 0",
      "RegCloseKey(key#7) = 0",
      "RegOpenKeyExA(HKLM, \"System\\CurrentControlSet\\Services\\Class\\Net\\0000\", 0, "
      "0xf003f) = 2",
      "RegOpenKeyExA(HKLM, \"System\\CurrentControlSet\\Services\\Class\\Net\\0001\", 0, "
      "0xf003f) = 0 -> key#8",
      "RegQueryValueExA(key#8, \"AdapterName\", buffer, 512) = 0 -> REG_SZ \"irmini\" (7 bytes)",
      "RegSetValueExA(key#8, \"Port\", REG_SZ \"0\" (2 bytes)) = 0",
      "RegOpenKeyExA(key#8, \"Ndi\\Params\\Port\", 0, 0xf003f) = 0 -> key#9",
      "RegSetValueExA(key#9, \"\", REG_SZ \"0\" (2 bytes)) = 0",
      "RegCloseKey(key#9) = 0",
      "RegCloseKey(key#8) = 0",
  };
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(sim.Journal().Calls(), expected) << sim.Journal().Text();
}

TEST(VirtualPorts, TheIrminiAdapterGetsItsPortAndKeepsEverythingElse) {
  SimSystem sim;
  AddAdapter(sim, "0000", "NDISWAN");
  AddAdapter(sim, "0003", "IrMiNi");
  const std::string untouched = ExportOf(sim, NetKey("0000"));
  Write(sim);

  ExpectValues(sim, NetKey("0003"),
               {{"AdapterName", kRegSz, Sz("IrMiNi")},
                {"DriverDesc", kRegSz, Sz("Adapter 0003")},
                {"Port", kRegSz, Sz("0")}});
  ExpectValues(sim, NetKey("0003") + "\\Ndi\\Params\\Port",
               {{"", kRegSz, Sz("0")}, {"ParamDesc", kRegSz, Sz("Port")}});
  EXPECT_EQ(ExportOf(sim, NetKey("0000")), untouched);
  EXPECT_EQ(OpenedInstances(sim), Instances(0, 3));
}

TEST(VirtualPorts, OfTwoIrminiAdaptersOnlyTheLowerInstanceIsChanged) {
  SimSystem sim;
  AddAdapter(sim, "0002", "IRMINI");
  AddAdapter(sim, "0005", "IRMINI");
  const std::string second = ExportOf(sim, NetKey("0005"));
  Write(sim);

  EXPECT_EQ(sim.Registry().ValueText(NetKey("0002"), "Port"), "0");
  EXPECT_EQ(sim.Registry().ValueText(NetKey("0002") + "\\Ndi\\Params\\Port", ""), "0");
  EXPECT_EQ(ExportOf(sim, NetKey("0005")), second);
  EXPECT_EQ(OpenedInstances(sim), Instances(0, 2));
}

TEST(VirtualPorts, InstancesFrom0010OnAreNeverLookedAt) {
  SimSystem sim;
  AddAdapter(sim, "0010", "IRMINI");
  AddAdapter(sim, "0011", "IRMINI");
  AddAdapter(sim, "00010", "IRMINI");
  const std::string netBefore = ExportOf(sim, kNet);
  Write(sim);

  EXPECT_EQ(ExportOf(sim, kNet), netBefore);
  EXPECT_EQ(OpenedInstances(sim), Instances(0, 9));
}

TEST(VirtualPorts, AnAdapterWithoutPortParametersStillGetsItsPortAndEndsTheSearch) {
  SimSystem sim;
  AddAdapter(sim, "0001", "IRMINI", /*withPortParams=*/false);
  sim.Registry().CreateKey(NetKey("0001") + "\\Ndi\\Params");  // but no "Port" below it
  AddAdapter(sim, "0004", "IRMINI");
  const std::string later = ExportOf(sim, NetKey("0004"));
  Write(sim);

  EXPECT_EQ(sim.Registry().ValueText(NetKey("0001"), "Port"), "0");
  EXPECT_FALSE(sim.Registry().KeyExists(NetKey("0001") + "\\Ndi\\Params\\Port"));
  EXPECT_EQ(ExportOf(sim, NetKey("0004")), later);
  EXPECT_EQ(OpenedInstances(sim), Instances(0, 1));
}

TEST(VirtualPorts, AdapterNameIsTextUpToItsFirstZeroWithinItsBuffer) {
  SimSystem sim;
  // Exactly the buffer's size without a zero: the whole 512 bytes are the
  // text, which is not "IRMINI".
  sim.Registry().SetValue(NetKey("0000"), "AdapterName", kRegSz, "IRMINI" + std::string(506, ' '));
  // One byte more than the buffer: unreadable, whatever its start.
  sim.Registry().SetValue(NetKey("0001"), "AdapterName", kRegSz, Sz("IRMINI") + std::string(506, 'x'));
  // Any type counts; the text ends at the first zero.
  sim.Registry().SetValue(NetKey("0002"), "AdapterName", kRegBinary, std::string("IRMINI\0junk", 11));
  AddAdapter(sim, "0003", "IRMINI");
  Write(sim);

  EXPECT_EQ(sim.Registry().FindValue(NetKey("0000"), "Port"), nullptr);
  EXPECT_EQ(sim.Registry().FindValue(NetKey("0001"), "Port"), nullptr);
  EXPECT_EQ(sim.Registry().ValueText(NetKey("0002"), "Port"), "0");
  EXPECT_EQ(sim.Registry().FindValue(NetKey("0003"), "Port"), nullptr);
}

TEST(VirtualPorts, AnInstanceThatCannotBeOpenedOrReadIsPassedOver) {
  auto setUp = [](SimSystem& sim) {
    AddAdapter(sim, "0000", "IRMINI");
    AddAdapter(sim, "0001", "IRMINI");
    AddAdapter(sim, "0002", "IRMINI");
  };
  {
    SimSystem sim;
    setUp(sim);
    sim.Journal().FailCall(CallNumber(setUp, "RegOpenKeyExA(HKLM, \"System\\CurrentControlSet\\Services"
                                   "\\Class\\Net\\0000\""));
    Write(sim);
    EXPECT_EQ(sim.Registry().FindValue(NetKey("0000"), "Port"), nullptr);
    EXPECT_EQ(sim.Registry().ValueText(NetKey("0001"), "Port"), "0");
    EXPECT_EQ(sim.Registry().FindValue(NetKey("0002"), "Port"), nullptr);
  }
  {
    SimSystem sim;
    setUp(sim);
    sim.Journal().FailCall(CallNumber(setUp, "RegQueryValueExA("));
    Write(sim);
    EXPECT_EQ(sim.Registry().FindValue(NetKey("0000"), "Port"), nullptr);
    EXPECT_EQ(sim.Registry().ValueText(NetKey("0001"), "Port"), "0");
    EXPECT_EQ(sim.Registry().FindValue(NetKey("0002"), "Port"), nullptr);
  }
}

TEST(VirtualPorts, PortNumberIsWrittenInDecimal) {
  const struct {
    std::int32_t number;
    const char* text;
  } cases[] = {{7, "7"}, {-1, "-1"}, {2147483647, "2147483647"}, {-2147483647 - 1, "-2147483648"}};
  for (const auto& c : cases) {
    SimSystem sim;
    AddAdapter(sim, "0000", "IRMINI");
    Write(sim, c.number);
    EXPECT_EQ(sim.Registry().FindValue("Enum\\INFRARED\\Framer", "PortName")->data,
              Sz(std::string("COM") + c.text));
    EXPECT_EQ(sim.Registry().FindValue(NetKey("0000"), "Port")->data, Sz(c.text));
    EXPECT_EQ(sim.Registry().FindValue(NetKey("0000") + "\\Ndi\\Params\\Port", "")->data, Sz(c.text));
    // The virtual serial port stays COM4 whatever the number.
    EXPECT_EQ(sim.Registry().ValueText(kComNode, "PortName"), "COM4");
  }
}

TEST(VirtualPorts, AKeyThatCannotBeCreatedSkipsOnlyItsOwnEntries) {
  auto setUp = [](SimSystem& sim) { AddAdapter(sim, "0000", "IRMINI"); };
  struct Case {
    const char* failing;  // the create that fails
    const char* missing;  // the key then missing
  };
  const Case cases[] = {
      {"RegCreateKeyExA(HKLM, \"Enum\\INFRARED\",", nullptr},
      {"RegCreateKeyExA(HKLM, \"Enum\\INFRARED\\COM\",", "Enum\\INFRARED\\COM"},
      {"RegCreateKeyExA(HKLM, \"Enum\\INFRARED\\COM\\ROOT", kComNode},
      {"RegCreateKeyExA(HKLM, \"Enum\\INFRARED\\LPT\",", "Enum\\INFRARED\\LPT"},
      {"RegCreateKeyExA(HKLM, \"Enum\\INFRARED\\LPT\\ROOT", kLptNode},
      {"RegCreateKeyExA(HKLM, \"Enum\\INFRARED\\VirtualPorts\"", "Enum\\INFRARED\\VirtualPorts"},
      {"RegCreateKeyExA(HKLM, \"Enum\\INFRARED\\Framer\"", "Enum\\INFRARED\\Framer"},
  };
  for (const Case& c : cases) {
    SimSystem sim;
    setUp(sim);
    sim.Journal().FailCall(CallNumber(setUp, c.failing));
    Write(sim);
    if (c.missing) {
      EXPECT_FALSE(sim.Registry().KeyExists(c.missing)) << c.failing;
    } else {
      EXPECT_EQ(sim.Registry().FindValue("Enum\\INFRARED", "Installed"), nullptr);
    }
    const std::string failing = c.failing;
    // Everything else is still written.
    if (failing.find("\\COM") == std::string::npos) ExpectValues(sim, kComNode, kComValues);
    if (failing.find("\\LPT") == std::string::npos) ExpectValues(sim, kLptNode, kLptValues);
    if (failing.find("VirtualPorts") == std::string::npos) {
      EXPECT_EQ(sim.Registry().ValueText("Enum\\INFRARED\\VirtualPorts", "VirtualLptPortName"), "LPT3")
          << c.failing;
    }
    if (failing.find("Framer") == std::string::npos) {
      EXPECT_EQ(sim.Registry().ValueText("Enum\\INFRARED\\Framer", "PortName"), "COM0") << c.failing;
    }
    EXPECT_EQ(sim.Registry().ValueText(NetKey("0000"), "Port"), "0") << c.failing;
  }
}

TEST(VirtualPorts, ExistingEntriesKeepTheirOtherValues) {
  SimSystem sim;
  sim.Registry().SetText("Enum\\INFRARED\\KnownDevices", "IRMINI", "IRMINI");
  sim.Registry().SetText(kComNode, "PortName", "COM9");
  sim.Registry().SetText(kComNode, "Extra", "kept");
  sim.Registry().SetValue("Enum\\INFRARED", "Installed", kRegDword, std::string(4, '\0'));
  Write(sim);

  EXPECT_EQ(sim.Registry().ValueText("Enum\\INFRARED\\KnownDevices", "IRMINI"), "IRMINI");
  EXPECT_EQ(sim.Registry().FindValue(kComNode, "PortName")->data, Sz("COM4"));
  EXPECT_EQ(sim.Registry().ValueText(kComNode, "Extra"), "kept");
  const sim::RegValue* installed = sim.Registry().FindValue("Enum\\INFRARED", "Installed");
  ASSERT_NE(installed, nullptr);
  EXPECT_EQ(installed->type, kRegBinary);
  EXPECT_EQ(installed->data, std::string("1\0", 2));
}

}  // namespace
}  // namespace nl
