// The goals the installer reaches in the registry.
#include <cstdio>

#include "findings/goals.h"
#include "findings/journal_facts.h"
#include "registry/infrared_class_table.h"
#include "registry/virtual_port_table.h"
#include "regfile/ignore_case.h"

namespace nl::findings {

namespace {

constexpr std::size_t kProblemsShown = 3;

// "a; b; c and 4 more"; empty when there are none.
std::string Problems(const std::vector<std::string>& all) {
  std::string text;
  std::vector<std::string> problems;
  for (const std::string& p : all)
    if (!p.empty()) problems.push_back(p);
  for (std::size_t i = 0; i < problems.size() && i < kProblemsShown; ++i)
    text += (i ? "; " : "") + problems[i];
  if (problems.size() > kProblemsShown)
    text += " and " + std::to_string(problems.size() - kProblemsShown) + " more";
  return text;
}

Decision FromProblems(const std::vector<std::string>& all) {
  const std::string text = Problems(all);
  return text.empty() ? Reached() : NotReached(text);
}

void AddPortNode(const regfile::RegNode* root, const PortNode& port,
                 std::vector<std::string>* problems) {
  const std::string path = port.nodePath;
  const char* binaryNames[] = {"Capabilities", "ConfigFlags"};
  const std::uint8_t* binaryBytes[] = {kPortCapabilities, kPortConfigFlags};
  const std::pair<const char*, const char*> texts[] = {
      {"Class", kPortsClass},          {"HardwareID", port.hardwareId},
      {"FriendlyName", port.friendlyName}, {"ClassGUID", kPortsClassGuid},
      {"Driver", port.driver},         {kPortNameValue, port.portName},
      {"DeviceDesc", port.deviceDescription}, {"Mfg", kPortsMfg}};
  if (!FindKey(root, path)) {
    problems->push_back(path + " is missing");
    return;
  }
  for (const auto& text : texts)
    problems->push_back(TextValueProblem(root, path, text.first, text.second));
  for (int i = 0; i < 2; ++i)
    problems->push_back(BinaryValueProblem(
        root, path, binaryNames[i], std::string(reinterpret_cast<const char*>(binaryBytes[i]), 4)));
}

std::string NetInstancePath(int n) {
  char name[8];
  std::snprintf(name, sizeof name, "%04d", n);
  return kNetClassPath + std::string(name);
}

bool IsGenericAdapter(const regfile::RegNode* key) {
  const std::optional<std::string> name = ValueText(key, kAdapterNameValue);
  return name && regfile::EqualsIgnoreCase(*name, kGenericAdapterName);
}

// "System\...\Net\0001 (DriverDesc "Generic IrDA")".
std::string AdapterName(const regfile::RegNode* root, const std::string& path) {
  const std::optional<std::string> description = ValueText(FindKey(root, path), "DriverDesc");
  return path + " (DriverDesc " + (description ? Quote(*description) : "missing") + ")";
}

// The network class key itself (kNetClassPath ends in a backslash).
std::string NetClassKey() {
  const std::string path = kNetClassPath;
  return path.substr(0, path.size() - 1);
}

// The journal call that opened the entry's key for the removal, or null.
const CallFact* RemovalOpen(const RunFacts& facts, const NetworkEntry& entry) {
  for (const CallFact& call : facts.calls) {
    if (call.operation != "RegOpenKeyExA" || call.arguments.compare(0, 6, "HKLM, ") != 0)
      continue;
    const std::vector<std::string> texts = QuotedTexts(call.arguments);
    if (!texts.empty() && regfile::EqualsIgnoreCase(texts[0], entry.keyPath)) return &call;
  }
  return nullptr;
}

// The calls made under the key opened by `open`, up to the next key opened
// from the root.
std::vector<const CallFact*> CallsUnder(const RunFacts& facts, const CallFact& open) {
  std::vector<const CallFact*> calls;
  for (const CallFact& call : facts.calls) {
    if (call.index <= open.index) continue;
    if (call.operation == "RegOpenKeyExA" && call.arguments.compare(0, 6, "HKLM, ") == 0) break;
    calls.push_back(&call);
  }
  return calls;
}

bool Matches(const regfile::RegNode* key, const NetworkEntry& entry) {
  const std::optional<std::string> text = ValueText(key, entry.valueName);
  return text && regfile::EqualsIgnoreCase(*text, entry.wanted);
}

// The names of the key's subkeys that match the entry, in enumeration order.
std::vector<std::string> MatchingSubkeys(const regfile::RegNode* key, const NetworkEntry& entry) {
  std::vector<std::string> names;
  if (key)
    for (const std::string& name : SubkeysInOrder(*key))
      if (Matches(key->FindSubkey(name), entry)) names.push_back(name);
  return names;
}

}  // namespace

Decision DecideInfraredClass(const RunFacts& facts) {
  const regfile::RegNode* root = facts.registryAfter.get();
  std::vector<std::string> problems;
  const regfile::RegNode* key = FindKey(root, kClassKeyPath);
  if (!key) return NotReached(std::string(kClassKeyPath) + " is missing");
  const regfile::RegValue* description = key->FindValue("");
  if (!description || description->type != 1 || description->data.size() < 2 ||
      description->data.back() != '\0')
    problems.push_back(std::string(kClassKeyPath) + " has no class description (unnamed text value)");
  for (const TextValue& value : kClassValues)
    problems.push_back(TextValueProblem(root, kClassKeyPath, value.name, value.data));
  problems.push_back(BinaryValueProblem(root, kClassKeyPath, kPortSubClassName,
                                        std::string(1, static_cast<char>(kPortSubClass))));
  return FromProblems(problems);
}

Decision DecideKnownDevice(const RunFacts& facts) {
  return FromProblems({TextValueProblem(facts.registryAfter.get(), kKnownDevicesPath,
                                        kKnownDeviceName, kKnownDeviceName)});
}

Decision DecideVirtualPorts(const RunFacts& facts) {
  const regfile::RegNode* root = facts.registryAfter.get();
  std::vector<std::string> problems;
  problems.push_back(BinaryValueProblem(
      root, kInfraredEnumPath, kInstalledName,
      std::string(reinterpret_cast<const char*>(kInstalledFlag), sizeof kInstalledFlag)));
  AddPortNode(root, kSerialPort, &problems);
  AddPortNode(root, kParallelPort, &problems);
  problems.push_back(TextValueProblem(root, kVirtualPortsPath, kVirtualComPortName,
                                      kSerialPort.portName));
  problems.push_back(TextValueProblem(root, kVirtualPortsPath, kVirtualLptPortName,
                                      kParallelPort.portName));
  problems.push_back(TextValueProblem(root, kFramerPath, kPortNameValue,
                                      kFramerPortPrefix + std::to_string(kInstalledPortNumber)));
  return FromProblems(problems);
}

Decision DecideAdapterPort(const RunFacts& facts) {
  const regfile::RegNode* root = facts.registryAfter.get();
  const std::string port = std::to_string(kInstalledPortNumber);
  for (int n = 0; n < kAdapterInstancesLookedAt; ++n) {
    const std::string path = NetInstancePath(n);
    const regfile::RegNode* adapter = FindKey(root, path);
    if (!adapter || !IsGenericAdapter(adapter)) continue;
    const std::string subkey = path + "\\" + kAdapterPortSubkey;
    const Decision decision =
        FromProblems({TextValueProblem(root, path, kAdapterPortValue, port),
                      FindKey(root, subkey) ? TextValueProblem(root, subkey, "", port) : ""});
    if (!decision.reached) return decision;
    // On a PC with a built-in infrared port the first IRMINI adapter may be
    // that port and not the NL-470: say which one got the number.
    std::string remark = "on " + AdapterName(root, path);
    const regfile::RegNode* net = FindKey(root, NetClassKey());
    for (const std::string& name : net ? SubkeysInOrder(*net) : std::vector<std::string>())
      if (kNetClassPath + name != path && IsGenericAdapter(net->FindSubkey(name)))
        remark += "; " + AdapterName(root, kNetClassPath + name) +
                  " is an IRMINI adapter too, left as it was";
    return Reached(remark);
  }
  std::string cause = "no network class instance " + NetInstancePath(0) + " to " +
                      NetInstancePath(kAdapterInstancesLookedAt - 1) + " has " +
                      kAdapterNameValue + " " + Quote(kGenericAdapterName);
  if (const regfile::RegNode* net = FindKey(root, NetClassKey()))
    for (const std::string& name : SubkeysInOrder(*net))
      if (IsGenericAdapter(net->FindSubkey(name)))
        return NotReached(cause + " (" + kNetClassPath + name + " has, but is not looked at)");
  return NotReached(cause);
}

Decision DecideNetworkEntry(const RunFacts& facts, const NetworkEntry& entry) {
  const std::string keyPath = entry.keyPath;
  const std::string what = std::string(entry.valueName) + " " + Quote(entry.wanted);
  const regfile::RegNode* before = FindKey(facts.registryBefore.get(), keyPath);
  const regfile::RegNode* after = FindKey(facts.registryAfter.get(), keyPath);
  const std::vector<std::string> matchedBefore = MatchingSubkeys(before, entry);
  const std::vector<std::string> matchedAfter = MatchingSubkeys(after, entry);
  if (matchedBefore.empty() && matchedAfter.empty())
    return Reached("nothing to delete: no subkey of " + keyPath + " has " + what +
                   " (removed by an earlier run, or never there)");
  // A second match the run leaves alone (it deletes the first only).
  const std::string stays =
      matchedAfter.empty() ? ""
                           : keyPath + "\\" + matchedAfter[0] + " (" + what +
                                 ") matches too and stays";
  // Gone: a subkey that matched before is not there any more, or the
  // program deleted one (it may have appeared during the run).
  if (!facts.imageOnly) {
    for (const std::string& name : matchedBefore)
      if (!after || !after->FindSubkey(name)) return Reached(stays);
    const CallFact* open = RemovalOpen(facts, entry);
    if (!open) return NotReached("the run did not get to the removal of the entry under " + keyPath);
    if (CallFailed(*open)) return NotReached(keyPath + " could not be opened: " + open->Text());
    const std::vector<const CallFact*> under = CallsUnder(facts, *open);
    for (const CallFact* call : under)
      if (call->operation == "RegDeleteKeyA" && CallFailed(*call))
        return NotReached("the deletion failed: " + call->Text());
    const std::size_t arrow = open->result.find("-> ");
    const std::string handle = arrow == std::string::npos ? "" : open->result.substr(arrow + 3) + ", ";
    for (const CallFact* call : under)
      if (call->operation == "RegDeleteKeyA" && !handle.empty() &&
          call->arguments.compare(0, handle.size(), handle) == 0)
        return Reached(stays);
  }
  const std::vector<std::string> names = SubkeysInOrder(*after);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!Matches(after->FindSubkey(names[i]), entry)) continue;
    if (i < kSubkeysLookedAt)
      return NotReached(keyPath + "\\" + names[i] + " (" + what + ") is still there");
    return NotReached("the first subkey with " + what + ", " + keyPath + "\\" + names[i] +
                      ", is number " + std::to_string(i + 1) +
                      " in enumeration order, beyond the first " +
                      std::to_string(kSubkeysLookedAt) + " that are looked at");
  }
  return NotReached("no subkey of " + keyPath + " has " + what);
}

// What each of the three network entries is, so that a deletion in the
// account says why it was made.
static const char* const kEntryPurposes[] = {
    "the root-enumerated network device of the generic infrared miniport, which the "
    "installation removes",
    "the network-class driver entry that carries the adapter's hardware identity, which the "
    "installation removes",
    "the network-transport entry of the infrared protocol driver, which the installation removes",
};

std::vector<std::string> PurposefulDeletions(const RunFacts& facts) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < sizeof kNetworkEntries / sizeof kNetworkEntries[0]; ++i) {
    const regfile::RegNode* before = FindKey(facts.registryBefore.get(), kNetworkEntries[i].keyPath);
    const regfile::RegNode* after = FindKey(facts.registryAfter.get(), kNetworkEntries[i].keyPath);
    if (!before) continue;
    for (const auto& subkey : before->subkeys)
      if (!after || !after->FindSubkey(subkey->name))
        lines.push_back(std::string(kNetworkEntries[i].keyPath) + "\\" + subkey->name +
                        " deleted on purpose: " + kEntryPurposes[i]);
  }
  return lines;
}

}  // namespace nl::findings
