#include "findings/pc_facts.h"


#include "findings/journal_facts.h"
#include "platform/sim/sim_text.h"
#include "regfile/ignore_case.h"
#include "registry/infrared_class_table.h"
#include "registry/virtual_port_table.h"
#include "setup/driver_prep.h"

namespace nl::findings {

namespace {

// ConfigFlags bits of a device instance (the device installer's).
constexpr std::uint32_t kConfigFlagDisabled = 0x1;
constexpr std::uint32_t kConfigFlagFailedInstall = 0x40;

std::string LocaleName(std::uint32_t lcid) {
  return sim::Hex(lcid) + ((lcid & 0xFF) == 7 ? " (German)" : "");
}

std::uint32_t ConfigFlags(const regfile::RegNode& instance, bool* told) {
  const regfile::RegValue* flags = instance.FindValue("ConfigFlags");
  *told = flags && flags->data.size() >= 4;
  return *told ? regfile::DwordOf(flags->data) : 0;
}

}  // namespace

// The releases by VersionNumber (KB Q158238, "How to Determine the Version
// of Windows 95/98 in Use"), and their USB support (KB Q253756): none
// before OSR 2.1; OSR 2 reports 4.00.1111 whether or not the USB
// supplement that makes it OSR 2.1 is installed.
WindowsRelease ReleaseOf(const std::string& windows) {
  WindowsRelease release;
  const std::string number = windows.substr(0, windows.find(' '));
  const auto starts = [&](const char* prefix) { return number.rfind(prefix, 0) == 0; };
  if (starts("4.00.1111")) {
    release = {"Windows 95 OSR 2", UsbSupport::kWithSupplement, true};
  } else if (starts("4.00.")) {
    release = {"Windows 95 (retail, SP1 or OSR 1)", UsbSupport::kNone, true};
  } else if (starts("4.03.")) {
    release = {"Windows 95 OSR 2.1 or 2.5", UsbSupport::kPresent, true};
  } else if (starts("4.10.2222")) {
    release = {"Windows 98 Second Edition", UsbSupport::kPresent, false};
  } else if (starts("4.10.")) {
    release = {"Windows 98", UsbSupport::kPresent, false};
  } else if (starts("4.90.")) {
    release = {"Windows Me", UsbSupport::kPresent, false};
  }
  return release;
}

std::string AdapterNodeState(const RunFacts& facts) {
  const std::string node = kAdapterEnumPath;
  if (facts.missing.count(node)) return "the case does not hold the adapter's USB node " + node;
  const regfile::RegNode* key = FindKey(facts.registryBefore.get(), node);
  if (!key || key->subkeys.empty()) {
    if (facts.caseFormat < 2) return "";
    return "the adapter has not been plugged in yet: Windows has no USB node " + node;
  }
  for (const auto& instance : key->subkeys) {
    bool told = false;
    const std::uint32_t flags = ConfigFlags(*instance, &told);
    const std::string where = node + "\\" + instance->name;
    if (told && (flags & kConfigFlagFailedInstall))
      return "the adapter's installation failed before (ConfigFlags of " + where +
             " marks a failed install): Device Manager shows it with a problem";
    if (told && (flags & kConfigFlagDisabled))
      return "the adapter is disabled in Device Manager (" + where + ")";
    const regfile::RegValue* driver = instance->FindValue("Driver");
    if (driver && !driver->data.empty())
      return "the adapter is installed already (" + where + ", driver " +
             Quote(driver->data.substr(0, driver->data.find('\0'))) + ")";
  }
  return "Windows has seen the adapter (" + node + ") but installed no driver for it";
}

void RecordDescribedFacts(const sim::ImageDescription& told, RunFacts* facts) {
  facts->missing = told.missing;
  facts->caseFormat = told.caseFormat;
  facts->tools = told.tools;
  facts->otherPcDriver = told.pcDriver;
  facts->windows = told.windows;
  facts->systemLocale = told.systemLocale.value_or(0);
  facts->portsInUse = told.ports;
  facts->driverDatabase = told.driverDatabase;
}

std::string PcBlocker(const RunFacts& facts) {
  const WindowsRelease release = ReleaseOf(facts.windows);
  if (release.usb != UsbSupport::kNone) return "";
  return release.name + " (" + facts.windows + ") has no USB support";
}

std::vector<std::string> PcFactLines(const RunFacts& facts) {
  std::vector<std::string> lines;
  const WindowsRelease release = ReleaseOf(facts.windows);
  if (!facts.windows.empty() && release.name.empty())
    lines.push_back("Windows " + facts.windows + ": a release this kit does not know");
  switch (release.usb) {
    case UsbSupport::kNone:
      lines.push_back("Windows " + facts.windows + ", " + release.name +
                      ": it has no USB support, so the adapter cannot work on this PC whatever "
                      "the installation does (KB Q253756)");
      break;
    case UsbSupport::kWithSupplement:
      lines.push_back("Windows " + facts.windows + ", " + release.name +
                      ": USB works only with the \"USB Supplement to OSR2\" (OSR 2.1), which the "
                      "case does not show (Add/Remove Programs lists it; KB Q158238)");
      break;
    case UsbSupport::kPresent:
      lines.push_back("Windows " + facts.windows + ", " + release.name + ", with USB support");
      break;
    case UsbSupport::kUnknown:
      break;
  }
  const bool userGerman = facts.german;
  const bool systemGerman = (facts.systemLocale & 0xFF) == 7;
  if (facts.systemLocale && systemGerman != userGerman)
    lines.push_back(
        "system locale " + LocaleName(facts.systemLocale) + ", yet the user's locale is " +
        (userGerman ? "German" : "not German") +
        (systemGerman ? ": the run follows the user's, so it skips the hardware wizard and the "
                        "virtual ports that a German Windows needs"
                      : ": the run follows the user's and steps through the German hardware "
                        "wizard, whose texts this Windows may not have"));
  if (release.windows95 && !facts.driverDatabase.empty()) {
    for (const auto& [file, state] : facts.driverDatabase)
      if (state.rfind("present", 0) == 0) {
        lines.push_back("Windows 95's driver database (DRVDATA.BIN, DRVIDX.BIN) is there: it may "
                        "keep the old content of the INF files after the edits (KB Q139206)");
        break;
      }
  }
  if (release.windows95) {
    const regfile::RegNode* infrared = FindKey(facts.registryBefore.get(), kInfraredEnumPath);
    if (infrared)
      for (const auto& device : infrared->subkeys)
        if (!regfile::EqualsIgnoreCase(device->name, "COM") &&
            !regfile::EqualsIgnoreCase(device->name, "LPT") &&
            !regfile::EqualsIgnoreCase(device->name, "VirtualPorts")) {
          lines.push_back("an infrared device is installed already (" + device->Path() +
                          "): on Windows 95 remove it in Device Manager before the installation "
                          "(KB Q149450, Q139542)");
          break;
        }
  }
  if (facts.german)
    for (const PortNode* port : {&kSerialPort, &kParallelPort}) {
      const auto used = facts.portsInUse.find(port->portName);
      if (used != facts.portsInUse.end() &&
          !regfile::EqualsIgnoreCase(used->second.substr(0, 13), "Enum\\INFRARED"))
        lines.push_back(std::string(port->portName) + " is in use by " + used->second +
                        ": the virtual infrared port the run writes as " + port->portName +
                        " clashes with it (KB Q149450: the virtual port \"might be COM4 or "
                        "COM5\")");
    }
  const std::string node = AdapterNodeState(facts);
  if (!node.empty()) lines.push_back(node);
  return lines;
}

}  // namespace nl::findings
