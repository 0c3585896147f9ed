// Removal of the three network entries at the end of a run: at most ten
// subkeys looked at, the first match deleted with everything beneath it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/sim/sim_system.h"
#include "registry/network_removal.h"

namespace nl {
namespace {

using sim::SimSystem;

constexpr const char* kRootNet = "Enum\\Root\\Net";
constexpr const char* kClassNet = "System\\CurrentControlSet\\Services\\Class\\Net";
constexpr const char* kNetTrans = "System\\CurrentControlSet\\Services\\Class\\NetTrans";

std::string Sub(const std::string& key, const std::string& name) { return key + "\\" + name; }

std::string MultiSz(const std::vector<std::string>& texts) {
  std::string data;
  for (const std::string& text : texts) data += text + '\0';
  return data + '\0';
}

// Removes `path` from `model`, as the expected state of a system.
void RemoveFromModel(SimSystem& model, const std::string& path) {
  std::vector<std::string> names;
  ASSERT_TRUE(regfile::SplitKeyPath(path.c_str(), &names));
  const std::string last = names.back();
  names.pop_back();
  sim::RegNode* parent = regfile::WalkKeys(&model.Registry().Root(), names);
  ASSERT_NE(parent, nullptr) << path;
  ASSERT_NE(parent->FindSubkey(last), nullptr) << path;
  regfile::RemoveSubkey(parent, last);
}

// DeleteMatchingSubkey under HKLM; every key it opened must be closed again.
bool DeleteMatching(SimSystem& sim, const std::string& keyPath, const std::string& valueName,
                    const std::string& wanted) {
  const bool deleted = DeleteMatchingSubkey(sim, kHkeyLocalMachine, keyPath.c_str(),
                                            valueName.c_str(), wanted.c_str());
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u) << "a key was left open";
  for (const sim::JournalEntry& entry : sim.Journal().Entries()) {
    if ((entry.operation == "RegCloseKey" || entry.operation == "RegSetValueExA") &&
        entry.result.find("[injected") == std::string::npos) {
      EXPECT_EQ(entry.result, "0") << "a handle used after it was closed: " << entry.Text();
    }
  }
  return deleted;
}

// Journal entries of one operation, as "arguments = result".
std::vector<std::string> CallsOf(SimSystem& sim, const std::string& operation) {
  std::vector<std::string> calls;
  for (const sim::JournalEntry& entry : sim.Journal().Entries())
    if (entry.operation == operation) calls.push_back(entry.arguments + " = " + entry.result);
  return calls;
}

// The number of the first journal entry whose text starts with `prefix`, in
// a run of `run` on a system that `setUp` prepares.
template <class SetUp, class Run>
std::uint64_t CallNumber(SetUp setUp, Run run, const std::string& prefix) {
  SimSystem dry;
  setUp(dry);
  run(dry);
  for (const sim::JournalEntry& entry : dry.Journal().Entries())
    if (entry.Text().rfind(prefix, 0) == 0) return entry.index;
  ADD_FAILURE() << "no call " << prefix;
  return 0;
}

// A Windows 98 network setup with the infrared miniport installed, its class
// driver entry carrying the adapter's hardware identity, the infrared
// protocol, and neighbours that must stay.
void BuildNetworkSetup(SimSystem& sim) {
  sim.Registry().SetValue(Sub(kRootNet, "0000"), "CompatibleIDs", kRegMultiSz, MultiSz({"*PNP8387"}));
  sim.Registry().SetText(Sub(kRootNet, "0000"), "DeviceDesc", "DF\xDC-Adapter");
  sim.Registry().SetValue(Sub(kRootNet, "0001"), "CompatibleIDs", kRegMultiSz, MultiSz({"IRMINI"}));
  sim.Registry().SetText(Sub(kRootNet, "0001"), "DeviceDesc", "Generischer Infrarot-Miniport");
  sim.Registry().SetText(Sub(kRootNet, "0001\\LogConfig"), "", "x");

  sim.Registry().SetText(Sub(kClassNet, "0000"), "AdapterName", "MSDUN");
  sim.Registry().SetText(Sub(kClassNet, "0001"), "AdapterName", "IRMINI");
  sim.Registry().SetText(Sub(kClassNet, "0001\\Ndi\\Params\\Port"), "", "0");
  sim.Registry().SetText(Sub(kClassNet, "0002"), "AdapterName", "USB\\VID_1B4E&PID_0430");
  sim.Registry().SetText(Sub(kClassNet, "0002\\Ndi\\Params\\Port"), "", "1");
  sim.Registry().SetText(Sub(kClassNet, "0002\\Ndi\\Interfaces"), "DefUpper", "ndis3");
  sim.Registry().SetText(Sub(kClassNet, "0002\\Bindings"), "MSTCP\\0000", "");

  sim.Registry().SetText(Sub(kNetTrans, "0000"), "DeviceVxDs", "vtdi.386,vip.386,vtcp.386");
  sim.Registry().SetText(Sub(kNetTrans, "0001"), "DeviceVxDs", "irda.sys");
  sim.Registry().SetText(Sub(kNetTrans, "0001\\Ndi\\Interfaces"), "LowerRange", "ndisir");
}

class NetworkRemoval : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { sim_.Registry().SetNtKeyDeletion(GetParam()); }
  SimSystem sim_;
};

TEST_P(NetworkRemoval, TheThreeEntriesGoWithEverythingBeneathThemAndNothingElse) {
  BuildNetworkSetup(sim_);
  SimSystem expected;
  BuildNetworkSetup(expected);
  RemoveFromModel(expected, Sub(kRootNet, "0001"));
  RemoveFromModel(expected, Sub(kClassNet, "0002"));
  RemoveFromModel(expected, Sub(kNetTrans, "0001"));

  InstallRun run = MakeInstallRun(sim_, 0x400000);
  RemoveNetworkEntries(run);

  EXPECT_EQ(sim_.ExportRegistry(), expected.ExportRegistry());
  EXPECT_EQ(sim_.Registry().OpenKeyCount(), 0u);
  // In this order, each key opened with no particular rights, values read
  // into 512 bytes.
  std::vector<std::string> opened;
  for (const std::string& call : CallsOf(sim_, "RegOpenKeyExA"))
    if (call.rfind("HKLM, ", 0) == 0) opened.push_back(call.substr(0, call.find(" = ")));
  EXPECT_EQ(opened, (std::vector<std::string>{
                        "HKLM, \"Enum\\Root\\Net\", 0, 0x0",
                        "HKLM, \"System\\CurrentControlSet\\Services\\Class\\Net\", 0, 0x0",
                        "HKLM, \"System\\CurrentControlSet\\Services\\Class\\NetTrans\", 0, 0x0"}));
  for (const std::string& call : CallsOf(sim_, "RegQueryValueExA"))
    EXPECT_NE(call.find(", buffer, 512 = "), std::string::npos) << call;
  std::vector<std::string> deletions = CallsOf(sim_, "RegDeleteKeyA");
  ASSERT_FALSE(deletions.empty());
  EXPECT_NE(deletions.back().find("\"0001\" = 0"), std::string::npos) << deletions.back();
}

TEST_P(NetworkRemoval, AMatchingKeyWithSubkeysIsDeletedWholeAndItsSiblingsStay) {
  BuildNetworkSetup(sim_);
  EXPECT_TRUE(DeleteMatching(sim_, kClassNet, "AdapterName", "USB\\VID_1B4E&PID_0430"));
  EXPECT_FALSE(sim_.Registry().KeyExists(Sub(kClassNet, "0002")));
  EXPECT_EQ(sim_.Registry().SubkeyNames(kClassNet), (std::vector<std::string>{"0000", "0001"}));
  EXPECT_EQ(sim_.Registry().ValueText(Sub(kClassNet, "0001\\Ndi\\Params\\Port"), ""), "0");
}

TEST_P(NetworkRemoval, OnlyTheFirstTenSubkeysAreLookedAt) {
  for (int i = 0; i <= 10; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "%04d", i);
    sim_.Registry().SetText(Sub(kNetTrans, name), "DeviceVxDs", i == 10 ? "IRDA.SYS" : "other.vxd");
  }
  EXPECT_FALSE(DeleteMatching(sim_, kNetTrans, "DeviceVxDs", "IRDA.SYS"));
  EXPECT_EQ(sim_.Registry().SubkeyNames(kNetTrans).size(), 11u);
  const std::vector<std::string> enumerations = CallsOf(sim_, "RegEnumKeyExA");
  ASSERT_EQ(enumerations.size(), 10u);
  EXPECT_EQ(enumerations.back(), "key#1, 9, buffer, 512 = 0 -> \"0009\"");

  // The tenth is still looked at.
  sim_.Registry().SetText(Sub(kNetTrans, "0009"), "DeviceVxDs", "IRDA.SYS");
  EXPECT_TRUE(DeleteMatching(sim_, kNetTrans, "DeviceVxDs", "IRDA.SYS"));
  EXPECT_FALSE(sim_.Registry().KeyExists(Sub(kNetTrans, "0009")));
  EXPECT_TRUE(sim_.Registry().KeyExists(Sub(kNetTrans, "0010")));
}

TEST_P(NetworkRemoval, OfTwoMatchesOnlyTheFirstInEnumerationOrderIsDeleted) {
  // Enumeration order folds case: "alpha" comes before "Beta" and "GAMMA".
  sim_.Registry().SetText(Sub(kNetTrans, "GAMMA"), "DeviceVxDs", "IRDA.SYS");
  sim_.Registry().SetText(Sub(kNetTrans, "Beta"), "DeviceVxDs", "IRDA.SYS");
  sim_.Registry().SetText(Sub(kNetTrans, "Beta\\Ndi"), "x", "y");
  sim_.Registry().SetText(Sub(kNetTrans, "alpha"), "DeviceVxDs", "vnetbios.vxd");
  EXPECT_TRUE(DeleteMatching(sim_, kNetTrans, "DeviceVxDs", "IRDA.SYS"));
  EXPECT_EQ(sim_.Registry().SubkeyNames(kNetTrans), (std::vector<std::string>{"alpha", "GAMMA"}));
}

TEST_P(NetworkRemoval, TheComparisonIgnoresAsciiLetterCaseOnly) {
  sim_.Registry().SetText(Sub(kNetTrans, "0000"), "DeviceVxDs", "irda.sys");
  EXPECT_TRUE(DeleteMatching(sim_, kNetTrans, "DeviceVxDs", "IRDA.SYS"));
  EXPECT_FALSE(sim_.Registry().KeyExists(Sub(kNetTrans, "0000")));

  // Beyond ASCII letters the bytes must be equal: a-umlaut is not A-umlaut.
  sim_.Registry().SetText(Sub(kNetTrans, "0001"), "DeviceVxDs", "\xE4.sys");
  EXPECT_FALSE(DeleteMatching(sim_, kNetTrans, "DeviceVxDs", "\xC4.SYS"));
  EXPECT_TRUE(sim_.Registry().KeyExists(Sub(kNetTrans, "0001")));
}

TEST_P(NetworkRemoval, AListOfTextsMatchesOnItsFirstTextOnly) {
  sim_.Registry().SetValue(Sub(kRootNet, "0000"), "CompatibleIDs", kRegMultiSz,
                MultiSz({"*PNP0510", "IRMINI"}));
  sim_.Registry().SetValue(Sub(kRootNet, "0001"), "CompatibleIDs", kRegMultiSz,
                MultiSz({"irmini", "*PNP0510"}));
  EXPECT_TRUE(DeleteMatching(sim_, kRootNet, "CompatibleIDs", "IRMINI"));
  EXPECT_EQ(sim_.Registry().SubkeyNames(kRootNet), std::vector<std::string>{"0000"});
}

TEST_P(NetworkRemoval, ValueTextIsLimitedToItsBufferWithoutReadingPastIt) {
  const std::string full(512, 'a');
  // Exactly the buffer's size without a zero: all 512 bytes are the text.
  sim_.Registry().SetValue(Sub(kNetTrans, "0000"), "DeviceVxDs", kRegBinary, full);
  // One byte more: unreadable, so no match even for its first 512 bytes.
  sim_.Registry().SetValue(Sub(kNetTrans, "0001"), "DeviceVxDs", kRegBinary, full + "a");
  // The start of an over-long value is no match either.
  sim_.Registry().SetValue(Sub(kNetTrans, "0002"), "DeviceVxDs", kRegSz, "IRDA.SYS" + std::string(600, ' '));

  EXPECT_FALSE(DeleteMatching(sim_, kNetTrans, "DeviceVxDs", "IRDA.SYS"));
  EXPECT_FALSE(DeleteMatching(sim_, kNetTrans, "DeviceVxDs", full + "a"));
  EXPECT_EQ(sim_.Registry().SubkeyNames(kNetTrans).size(), 3u);
  EXPECT_TRUE(DeleteMatching(sim_, kNetTrans, "DeviceVxDs", std::string(512, 'A')));
  EXPECT_EQ(sim_.Registry().SubkeyNames(kNetTrans), (std::vector<std::string>{"0001", "0002"}));
}

TEST_P(NetworkRemoval, AMissingKeyOrValueMeansNoMatch) {
  EXPECT_FALSE(DeleteMatching(sim_, kNetTrans, "DeviceVxDs", "IRDA.SYS"));
  EXPECT_EQ(sim_.Journal().Calls().size(), 1u);  // only the failed open

  sim_.Registry().CreateKey(Sub(kNetTrans, "0000"));
  sim_.Registry().SetText(Sub(kNetTrans, "0001"), "Other", "IRDA.SYS");
  sim_.Registry().SetText(Sub(kNetTrans, "0002"), "DeviceVxDs", "");
  EXPECT_FALSE(DeleteMatching(sim_, kNetTrans, "DeviceVxDs", "IRDA.SYS"));
  EXPECT_EQ(sim_.Registry().SubkeyNames(kNetTrans).size(), 3u);
}

TEST_P(NetworkRemoval, AFailedDeletionEndsTheSearchWithoutTouchingAnythingElse) {
  BuildNetworkSetup(sim_);
  sim_.Registry().SetText(Sub(kClassNet, "0003"), "AdapterName", "USB\\VID_1B4E&PID_0430");
  const std::string before = sim_.ExportRegistry();
  sim_.Journal().FailOperation("RegDeleteKeyA");
  EXPECT_FALSE(DeleteMatching(sim_, kClassNet, "AdapterName", "USB\\VID_1B4E&PID_0430"));
  EXPECT_EQ(sim_.ExportRegistry(), before);
  // The second match is not even looked at.
  for (const std::string& call : CallsOf(sim_, "RegOpenKeyExA"))
    EXPECT_EQ(call.find("\"0003\""), std::string::npos) << call;
}

TEST_P(NetworkRemoval, AnUnopenableSubkeyOrUnreadableValueCountsAsNoMatch) {
  auto setUp = [this](SimSystem& sim) {
    sim.Registry().SetNtKeyDeletion(GetParam());
    sim.Registry().SetText(Sub(kNetTrans, "0000"), "DeviceVxDs", "IRDA.SYS");
    sim.Registry().SetText(Sub(kNetTrans, "0001"), "DeviceVxDs", "IRDA.SYS");
    sim.Registry().SetText(Sub(kNetTrans, "0002"), "DeviceVxDs", "IRDA.SYS");
  };
  auto run = [](SimSystem& sim) { DeleteMatching(sim, kNetTrans, "DeviceVxDs", "IRDA.SYS"); };
  for (const char* failing : {"RegOpenKeyExA(key#1, \"0000\"", "RegQueryValueExA(key#2"}) {
    SimSystem sim;
    setUp(sim);
    sim.Journal().FailCall(CallNumber(setUp, run, failing));
    EXPECT_TRUE(DeleteMatching(sim, kNetTrans, "DeviceVxDs", "IRDA.SYS")) << failing;
    EXPECT_EQ(sim.Registry().SubkeyNames(kNetTrans), (std::vector<std::string>{"0000", "0002"})) << failing;
  }
}

TEST_P(NetworkRemoval, AFailedEnumerationEndsTheSearch) {
  auto setUp = [this](SimSystem& sim) {
    sim.Registry().SetNtKeyDeletion(GetParam());
    sim.Registry().SetText(Sub(kNetTrans, "0000"), "DeviceVxDs", "vnetbios.vxd");
    sim.Registry().SetText(Sub(kNetTrans, "0001"), "DeviceVxDs", "IRDA.SYS");
  };
  auto run = [](SimSystem& sim) { DeleteMatching(sim, kNetTrans, "DeviceVxDs", "IRDA.SYS"); };
  SimSystem sim;
  setUp(sim);
  sim.Journal().FailCall(CallNumber(setUp, run, "RegEnumKeyExA(key#1, 1,"));
  EXPECT_FALSE(DeleteMatching(sim, kNetTrans, "DeviceVxDs", "IRDA.SYS"));
  EXPECT_TRUE(sim.Registry().KeyExists(Sub(kNetTrans, "0001")));
  EXPECT_EQ(CallsOf(sim, "RegEnumKeyExA").size(), 2u);
}

TEST_P(NetworkRemoval, EachRemovalRunsEvenWhenAnEarlierOneFindsNothing) {
  BuildNetworkSetup(sim_);
  RemoveFromModel(sim_, kRootNet);
  sim_.Registry().SetText(Sub(kClassNet, "0002"), "AdapterName", "something else");
  InstallRun run = MakeInstallRun(sim_, 0x400000);
  RemoveNetworkEntries(run);
  EXPECT_TRUE(sim_.Registry().KeyExists(Sub(kClassNet, "0002")));
  EXPECT_FALSE(sim_.Registry().KeyExists(Sub(kNetTrans, "0001")));
  EXPECT_EQ(sim_.Registry().OpenKeyCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(NineXAndNt, NetworkRemoval, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("NtDeletion")
                                             : std::string("NineXDeletion");
                         });

}  // namespace
}  // namespace nl
