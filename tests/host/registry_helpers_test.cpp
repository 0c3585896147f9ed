// The registry helpers the installer's parts share: value texts read into
// fixed buffers, texts written with their zero, and deletion of a key tree.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/common/registry_text.h"
#include "platform/common/registry_tree.h"
#include "platform/sim/sim_system.h"

namespace nl {
namespace {

using sim::SimSystem;

constexpr char kJunk = '\x5A';

RegKey OpenKey(SimSystem& sim, const char* path) {
  RegKey key = 0;
  EXPECT_EQ(sim.RegOpenKeyExA(kHkeyLocalMachine, path, 0, 0, &key), kErrorSuccess) << path;
  return key;
}

// Reads value `name` of key "K" with ReadValueText into a junk-filled buffer
// that is larger than the helper may use, so writes past capacity + 1 show.
struct ReadResult {
  bool ok = false;
  std::vector<char> text;
};

ReadResult ReadFromK(SimSystem& sim, const char* name, std::size_t capacity) {
  ReadResult result;
  result.text.assign(kValueTextCapacity + 64, kJunk);
  RegKey key = OpenKey(sim, "K");
  result.ok = ReadValueText(sim, key, name, capacity, result.text.data());
  sim.RegCloseKey(key);
  return result;
}

bool UntouchedFrom(const std::vector<char>& text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i)
    if (text[i] != kJunk) return false;
  return true;
}

TEST(RegistryText, TextEndsAtTheFirstZeroWhateverTheValueType) {
  SimSystem sim;
  sim.Registry().SetText("K", "Sz", "irmini.sys");
  sim.Registry().SetValue("K", "Multi", kRegMultiSz, std::string("IRMINI\0*PNP0510\0\0", 17));
  sim.Registry().SetValue("K", "Binary", kRegBinary, std::string("1\0xyz", 5));
  sim.Registry().SetValue("K", "Dword", kRegDword, std::string("\x14\0\0\0", 4));
  sim.Registry().SetValue("K", "Unterminated", kRegSz, "COM4");
  sim.Registry().SetValue("K", "Empty", kRegSz, "");

  const struct {
    const char* name;
    const char* text;
  } cases[] = {{"Sz", "irmini.sys"}, {"Multi", "IRMINI"}, {"Binary", "1"},
               {"Dword", "\x14"},    {"Unterminated", "COM4"}, {"Empty", ""}};
  for (const auto& c : cases) {
    ReadResult read = ReadFromK(sim, c.name, kValueTextCapacity);
    ASSERT_TRUE(read.ok) << c.name;
    EXPECT_STREQ(read.text.data(), c.text) << c.name;
  }
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u);
}

TEST(RegistryText, ValueFillingTheWholeBufferWithoutZeroIsTextOfThatLength) {
  SimSystem sim;
  const std::string full(kValueTextCapacity, 'a');
  sim.Registry().SetValue("K", "Full", kRegBinary, full);
  sim.Registry().SetValue("K", "Eight", kRegSz, "ABCDEFGH");

  ReadResult read = ReadFromK(sim, "Full", kValueTextCapacity);
  ASSERT_TRUE(read.ok);
  EXPECT_EQ(std::string(read.text.data()), full);
  // The terminating zero goes right after the text and nothing beyond it.
  EXPECT_EQ(read.text[kValueTextCapacity], 0);
  EXPECT_TRUE(UntouchedFrom(read.text, kValueTextCapacity + 1));

  read = ReadFromK(sim, "Eight", 8);
  ASSERT_TRUE(read.ok);
  EXPECT_STREQ(read.text.data(), "ABCDEFGH");
  EXPECT_TRUE(UntouchedFrom(read.text, 9));
}

TEST(RegistryText, ValueLargerThanTheBufferIsUnreadableAndLeavesTheTextAlone) {
  SimSystem sim;
  sim.Registry().SetValue("K", "Long", kRegSz, std::string(kValueTextCapacity + 1, 'b'));
  sim.Registry().SetText("K", "Nine", "ABCDEFGH");  // eight letters and the zero

  ReadResult read = ReadFromK(sim, "Long", kValueTextCapacity);
  EXPECT_FALSE(read.ok);
  EXPECT_TRUE(UntouchedFrom(read.text, 0));

  read = ReadFromK(sim, "Nine", 8);
  EXPECT_FALSE(read.ok);
  EXPECT_TRUE(UntouchedFrom(read.text, 0));
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u);
}

TEST(RegistryText, MissingOrFailingReadLeavesTheTextAlone) {
  SimSystem sim;
  sim.Registry().SetText("K", "Present", "x");

  ReadResult read = ReadFromK(sim, "Absent", kValueTextCapacity);
  EXPECT_FALSE(read.ok);
  EXPECT_TRUE(UntouchedFrom(read.text, 0));

  sim.Journal().FailOperation("RegQueryValueExA");
  read = ReadFromK(sim, "Present", kValueTextCapacity);
  EXPECT_FALSE(read.ok);
  EXPECT_TRUE(UntouchedFrom(read.text, 0));
}

TEST(RegistryText, AsksWithExactlyTheGivenCapacityAndRefusesLargerOnes) {
  SimSystem sim;
  sim.Registry().SetText("K", "V", "x");
  RegKey key = OpenKey(sim, "K");
  char text[kValueTextCapacity + 2];
  std::memset(text, kJunk, sizeof text);
  EXPECT_TRUE(ReadValueText(sim, key, "V", 260, text));
  // A capacity the helper cannot hold is refused without asking the system.
  EXPECT_FALSE(ReadValueText(sim, key, "V", kValueTextCapacity + 1, text));
  EXPECT_STREQ(text, "x");
  sim.RegCloseKey(key);

  const std::vector<std::string> calls = sim.Journal().Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1].rfind("RegQueryValueExA(key#1, \"V\", buffer, 260) = 0", 0), 0u)
      << calls[1];
  EXPECT_EQ(calls[2], "RegCloseKey(key#1) = 0");
}

TEST(RegistryText, SetTextValueStoresTheTextWithItsZeroVerbatim) {
  SimSystem sim;
  sim.Registry().CreateKey("K");
  RegKey key = OpenKey(sim, "K");
  const std::string translated = "Infrarotger\xE4te 100% %s%n";
  EXPECT_EQ(SetTextValue(sim, key, "", translated.c_str()), kErrorSuccess);
  EXPECT_EQ(SetTextValue(sim, key, "Empty", ""), kErrorSuccess);
  EXPECT_EQ(SetTextValue(sim, key, "Port", "0"), kErrorSuccess);
  sim.RegCloseKey(key);

  const sim::RegNode* node = sim.Registry().Root().FindSubkey("K");
  ASSERT_NE(node, nullptr);
  ASSERT_EQ(node->values.size(), 3u);
  EXPECT_EQ(node->values[0].name, "");
  EXPECT_EQ(node->values[0].type, kRegSz);
  EXPECT_EQ(node->values[0].data, translated + '\0');
  EXPECT_EQ(node->values[1].data, std::string(1, '\0'));
  EXPECT_EQ(node->values[2].type, kRegSz);
  EXPECT_EQ(node->values[2].data, std::string("0\0", 2));
}

// A key with a two-level subtree and values at every level, beside a sibling
// that must survive.
void BuildTree(SimSystem& sim) {
  sim.Registry().SetText("Net\\0001", "AdapterName", "IRMINI");
  sim.Registry().SetText("Net\\0001\\Ndi", "DeviceID", "IRMINI");
  sim.Registry().SetText("Net\\0001\\Ndi\\Params\\Port", "", "1");
  sim.Registry().SetText("Net\\0001\\Ndi\\Params\\Speed", "", "115200");
  sim.Registry().CreateKey("Net\\0001\\Ndi\\Interfaces");
  sim.Registry().CreateKey("Net\\0001\\Bindings");
  sim.Registry().SetText("Net\\0002", "AdapterName", "NDISWAN");
  sim.Registry().SetText("Net\\0002\\Ndi", "DeviceID", "NDISWAN");
}

// The number of the first call of `operation` when the tree of "Net\0001"
// is deleted on a system built by BuildTree.
std::uint64_t FirstCallOf(const std::string& operation, bool ntDeletion) {
  SimSystem dry;
  dry.Registry().SetNtKeyDeletion(ntDeletion);
  BuildTree(dry);
  RegDeleteKeyTree(dry, kHkeyLocalMachine, "Net\\0001");
  for (const sim::JournalEntry& entry : dry.Journal().Entries())
    if (entry.operation == operation) return entry.index;
  ADD_FAILURE() << "no " << operation;
  return 0;
}

TEST(RegistryTreeWalk, OnNtAFailingSubkeyDeletionLeavesTheKeyAndIsReported) {
  SimSystem sim;
  sim.Registry().SetNtKeyDeletion(true);
  BuildTree(sim);
  // The walk's first deletion removes a leaf; once that is refused the key
  // still has subkeys, and NT refuses the key itself.
  sim.Journal().FailCall(FirstCallOf("RegDeleteKeyA", true));
  EXPECT_NE(RegDeleteKeyTree(sim, kHkeyLocalMachine, "Net\\0001"), kErrorSuccess);
  EXPECT_TRUE(sim.Registry().KeyExists("Net\\0001"));
  EXPECT_EQ(sim.Registry().ValueText("Net\\0001", "AdapterName"), "IRMINI");
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u);
}

TEST(RegistryTreeWalk, On9xAFailingSubkeyDeletionStillEndsWithTheWholeKeyGone) {
  SimSystem sim;
  BuildTree(sim);
  sim.Journal().FailCall(FirstCallOf("RegDeleteKeyA", false));
  EXPECT_EQ(RegDeleteKeyTree(sim, kHkeyLocalMachine, "Net\\0001"), kErrorSuccess);
  EXPECT_FALSE(sim.Registry().KeyExists("Net\\0001"));
  EXPECT_EQ(sim.Registry().SubkeyNames("Net"), std::vector<std::string>{"0002"});
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u);
}

TEST(RegistryTreeWalk, OnNtASubkeyWhoseNameDoesNotFitIsNotLoopedOn) {
  SimSystem sim;
  sim.Registry().SetNtKeyDeletion(true);
  sim.Registry().CreateKey("Net\\0001\\" + std::string(600, 'n'));
  EXPECT_NE(RegDeleteKeyTree(sim, kHkeyLocalMachine, "Net\\0001"), kErrorSuccess);
  EXPECT_TRUE(sim.Registry().KeyExists("Net\\0001"));
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u);
  EXPECT_LT(sim.Journal().CallCount(), 10u);
}

}  // namespace
}  // namespace nl
