// Deleting a key with everything beneath it, on a system whose key deletion
// takes the whole subtree (9x) and on one that refuses keys with subkeys (NT).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/common/registry_tree.h"
#include "platform/sim/sim_system.h"

namespace nl {
namespace {

// A tree with several siblings on each level, so that the walk must delete
// more than the first subkey of a key, and a neighbour that must stay.
void BuildTree(sim::SimSystem& sim) {
  sim.Registry().CreateKey("Class\\Net\\0000\\Ndi\\Params\\Port");
  sim.Registry().CreateKey("Class\\Net\\0000\\Ndi\\Params\\Speed");
  sim.Registry().CreateKey("Class\\Net\\0000\\Ndi\\Install");
  sim.Registry().CreateKey("Class\\Net\\0000\\Bindings");
  sim.Registry().SetText("Class\\Net\\0000\\Ndi\\Params\\Port", "", "1");
  sim.Registry().SetText("Class\\Net\\0000", "AdapterName", "USB\\VID_1B4E&PID_0430");
  sim.Registry().CreateKey("Class\\Net\\0001\\Ndi");
  sim.Registry().SetText("Class\\Net\\0001", "AdapterName", "IRMINI");
}

RegKey OpenNet(sim::SimSystem& sim) {
  RegKey key = 0;
  EXPECT_EQ(sim.RegOpenKeyExA(kHkeyLocalMachine, "Class\\Net", 0, kKeyAllAccess, &key),
            kErrorSuccess);
  return key;
}

class RegistryTreeDeletion : public ::testing::TestWithParam<bool> {};

TEST_P(RegistryTreeDeletion, RemovesTheWholeSubtreeAndNothingElse) {
  sim::SimSystem sim;
  sim.Registry().SetNtKeyDeletion(GetParam());
  BuildTree(sim);
  RegKey net = OpenNet(sim);

  EXPECT_EQ(RegDeleteKeyTree(sim, net, "0000"), kErrorSuccess);
  sim.RegCloseKey(net);

  EXPECT_FALSE(sim.Registry().KeyExists("Class\\Net\\0000"));
  EXPECT_EQ(sim.Registry().SubkeyNames("Class\\Net"), std::vector<std::string>{"0001"});
  EXPECT_TRUE(sim.Registry().KeyExists("Class\\Net\\0001\\Ndi"));
  EXPECT_EQ(sim.Registry().ValueText("Class\\Net\\0001", "AdapterName"), "IRMINI");
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u) << "every key the walk opened is closed again";
}

TEST_P(RegistryTreeDeletion, AKeyWithoutSubkeysIsDeletedAtOnce) {
  sim::SimSystem sim;
  sim.Registry().SetNtKeyDeletion(GetParam());
  BuildTree(sim);
  RegKey net = OpenNet(sim);
  EXPECT_EQ(RegDeleteKeyTree(sim, net, "0001\\Ndi"), kErrorSuccess);
  sim.RegCloseKey(net);
  EXPECT_TRUE(sim.Registry().KeyExists("Class\\Net\\0001"));
  EXPECT_FALSE(sim.Registry().KeyExists("Class\\Net\\0001\\Ndi"));
}

TEST_P(RegistryTreeDeletion, AMissingKeyGivesTheDeletionsError) {
  sim::SimSystem sim;
  sim.Registry().SetNtKeyDeletion(GetParam());
  BuildTree(sim);
  RegKey net = OpenNet(sim);
  EXPECT_EQ(RegDeleteKeyTree(sim, net, "0009"), kErrorFileNotFound);
  sim.RegCloseKey(net);
  EXPECT_EQ(sim.Registry().SubkeyNames("Class\\Net"), (std::vector<std::string>{"0000", "0001"}));
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u);
}

TEST_P(RegistryTreeDeletion, RefusedDeletionsEndTheWalkAndAreReported) {
  sim::SimSystem sim;
  sim.Registry().SetNtKeyDeletion(GetParam());
  BuildTree(sim);
  RegKey net = OpenNet(sim);
  sim.Journal().FailOperation("RegDeleteKeyA");

  // Every deletion is refused: the walk must not retry the same subkey for
  // ever, and the failure of the last deletion comes back.
  EXPECT_NE(RegDeleteKeyTree(sim, net, "0000"), kErrorSuccess);
  sim.Journal().ClearFaults();
  sim.RegCloseKey(net);
  EXPECT_TRUE(sim.Registry().KeyExists("Class\\Net\\0000\\Ndi\\Params\\Port"));
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(NineXAndNt, RegistryTreeDeletion, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("NtRefusesKeysWithSubkeys")
                                             : std::string("NineXDeletesSubtrees");
                         });

TEST(RegistryTreeDeletionOnNt, DeletesDepthFirstBeforeTheKeyItself) {
  sim::SimSystem sim;
  sim.Registry().SetNtKeyDeletion(true);
  sim.Registry().CreateKey("Net\\0000\\Ndi\\Params");
  RegKey net = 0;
  ASSERT_EQ(sim.RegOpenKeyExA(kHkeyLocalMachine, "Net", 0, kKeyAllAccess, &net), kErrorSuccess);
  const std::uint64_t before = sim.Journal().CallCount();
  ASSERT_EQ(RegDeleteKeyTree(sim, net, "0000"), kErrorSuccess);
  sim.RegCloseKey(net);

  std::vector<std::string> deletions;
  for (const sim::JournalEntry& entry : sim.Journal().Entries()) {
    if (entry.index > before && entry.operation == "RegDeleteKeyA") {
      deletions.push_back(entry.arguments + " = " + entry.result);
    }
  }
  ASSERT_EQ(deletions.size(), 3u);
  EXPECT_NE(deletions[0].find("\"Params\""), std::string::npos) << deletions[0];
  EXPECT_NE(deletions[1].find("\"Ndi\""), std::string::npos) << deletions[1];
  EXPECT_NE(deletions[2].find("\"0000\""), std::string::npos) << deletions[2];
  for (const std::string& d : deletions) EXPECT_NE(d.find("= 0"), std::string::npos) << d;
}

}  // namespace
}  // namespace nl
