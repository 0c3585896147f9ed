// The simulated registry: names ignoring case, value reads, enumeration
// order, deletion on 9x and NT, and handle tracking.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/sim/sim_system.h"

namespace nl::sim {
namespace {

RegKey Open(SimSystem& sim, const char* path, std::uint32_t access = 0) {
  RegKey key = 0;
  EXPECT_EQ(sim.RegOpenKeyExA(kHkeyLocalMachine, path, 0, access, &key), kErrorSuccess) << path;
  return key;
}

TEST(SimRegistry, NamesAreFoundIgnoringCaseAndKeepTheirSpelling) {
  SimSystem sim;
  RegKey key = 0;
  ASSERT_EQ(sim.RegCreateKeyExA(kHkeyLocalMachine, "Enum\\INFRARED\\KnownDevices", 0,
                                kKeyAllAccess, &key),
            kErrorSuccess);
  const char text[] = "IRMINI";
  ASSERT_EQ(sim.RegSetValueExA(key, "IrMini", kRegSz,
                               reinterpret_cast<const std::uint8_t*>(text), sizeof text),
            kErrorSuccess);
  sim.RegCloseKey(key);

  RegKey again = Open(sim, "ENUM\\infrared\\knowndevices");
  char buf[16];
  std::uint32_t size = sizeof buf;
  std::uint32_t type = 0;
  ASSERT_EQ(sim.RegQueryValueExA(again, "IRMINI", &type,
                                 reinterpret_cast<std::uint8_t*>(buf), &size),
            kErrorSuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(size, sizeof text);
  EXPECT_STREQ(buf, "IRMINI");
  sim.RegCloseKey(again);

  // Creating with another spelling opens the same key; the first spelling stays.
  ASSERT_EQ(sim.RegCreateKeyExA(kHkeyLocalMachine, "enum\\Infrared", 0, kKeyAllAccess, &key),
            kErrorSuccess);
  sim.RegCloseKey(key);
  EXPECT_EQ(sim.Registry().SubkeyNames("Enum"), std::vector<std::string>{"INFRARED"});
  EXPECT_EQ(sim.Registry().Root().FindSubkey("ENUM")->FindSubkey("infrared")->values.size(), 0u);
  EXPECT_EQ(sim.Registry().FindValue("Enum\\INFRARED\\KnownDevices", "irmini")->name, "IrMini");
}

TEST(SimRegistry, QueryOfATooSmallBufferLeavesItUntouchedAndNamesTheSize) {
  SimSystem sim;
  sim.Registry().SetText("SOFTWARE\\Setup", "SourcePath", "C:\\WINDOWS\\OPTIONS\\CABS\\");
  RegKey key = Open(sim, "SOFTWARE\\Setup");
  const std::uint32_t needed = sizeof("C:\\WINDOWS\\OPTIONS\\CABS\\");
  std::uint8_t buf[8];
  std::memset(buf, 0xCC, sizeof buf);
  std::uint32_t size = sizeof buf;
  EXPECT_EQ(sim.RegQueryValueExA(key, "SourcePath", nullptr, buf, &size), kErrorMoreData);
  EXPECT_EQ(size, needed);
  for (std::uint8_t b : buf) EXPECT_EQ(b, 0xCC);

  // A size query with no buffer, and a missing value.
  size = 0;
  std::uint32_t type = 0;
  EXPECT_EQ(sim.RegQueryValueExA(key, "SourcePath", &type, nullptr, &size), kErrorSuccess);
  EXPECT_EQ(size, needed);
  EXPECT_EQ(type, kRegSz);
  size = sizeof buf;
  EXPECT_EQ(sim.RegQueryValueExA(key, "Missing", nullptr, buf, &size), kErrorFileNotFound);
  sim.RegCloseKey(key);
}

TEST(SimRegistry, ValuesKeepTypeAndRawBytes) {
  SimSystem sim;
  RegKey key = 0;
  ASSERT_EQ(sim.RegCreateKeyExA(kHkeyLocalMachine, "K", 0, kKeyAllAccess, &key), 0);
  const std::uint8_t bytes[] = {0x00, 0xFF, 0x31};
  sim.RegSetValueExA(key, "", kRegBinary, bytes, sizeof bytes);
  sim.RegCloseKey(key);
  const RegValue* v = sim.Registry().FindValue("K", "");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->type, kRegBinary);
  EXPECT_EQ(v->data, std::string("\x00\xFF\x31", 3));
}

TEST(SimRegistry, SubkeysEnumerateInCaseFoldedOrderUntilNoMoreItems) {
  SimSystem sim;
  for (const char* name : {"b", "_x", "A", "0001", "C"}) sim.Registry().CreateKey(std::string("Net\\") + name);
  RegKey key = Open(sim, "Net");
  std::vector<std::string> seen;
  for (std::uint32_t i = 0;; ++i) {
    char name[512];
    std::uint32_t size = sizeof name;
    const RegResult r = sim.RegEnumKeyExA(key, i, name, &size);
    if (r != kErrorSuccess) {
      EXPECT_EQ(r, kErrorNoMoreItems);
      break;
    }
    EXPECT_EQ(size, std::strlen(name));
    seen.push_back(name);
  }
  // '_' (0x5F) sorts after the upper-case letters, as when folded to upper case.
  EXPECT_EQ(seen, (std::vector<std::string>{"0001", "A", "b", "C", "_x"}));
  char tiny[2];
  std::uint32_t size = sizeof tiny;
  EXPECT_EQ(sim.RegEnumKeyExA(key, 0, tiny, &size), kErrorMoreData);
  sim.RegCloseKey(key);
}

TEST(SimRegistry, DeleteRemovesTheWholeSubtreeOn9x) {
  SimSystem sim;
  sim.Registry().SetText("Class\\NetTrans\\0001\\Ndi", "HelpText", "x");
  sim.Registry().SetText("Class\\NetTrans\\0000", "DeviceVxDs", "vtdi.386");
  RegKey key = Open(sim, "Class\\NetTrans");
  EXPECT_EQ(sim.RegDeleteKeyA(key, "0001"), kErrorSuccess);
  EXPECT_EQ(sim.RegDeleteKeyA(key, "0001"), kErrorFileNotFound);
  sim.RegCloseKey(key);
  EXPECT_FALSE(sim.Registry().KeyExists("Class\\NetTrans\\0001"));
  EXPECT_TRUE(sim.Registry().KeyExists("Class\\NetTrans\\0000"));
}

TEST(SimRegistry, NtModeRefusesAKeyWithSubkeys) {
  SimSystem sim;
  sim.Registry().SetNtKeyDeletion(true);
  sim.Registry().CreateKey("Net\\0001\\Ndi");
  RegKey key = Open(sim, "Net");
  EXPECT_EQ(sim.RegDeleteKeyA(key, "0001"), kErrorAccessDenied);
  EXPECT_TRUE(sim.Registry().KeyExists("Net\\0001\\Ndi"));
  EXPECT_EQ(sim.RegDeleteKeyA(key, "0001\\Ndi"), kErrorSuccess);
  EXPECT_EQ(sim.RegDeleteKeyA(key, "0001"), kErrorSuccess);
  EXPECT_FALSE(sim.Registry().KeyExists("Net\\0001"));
  sim.RegCloseKey(key);
}

TEST(SimRegistry, HandlesAreTrackedAndDeletedKeysStopWorking) {
  SimSystem sim;
  sim.Registry().CreateKey("A\\B");
  RegKey a = Open(sim, "A");
  RegKey b = Open(sim, "a\\b");
  RegKey again = 0;
  EXPECT_EQ(sim.RegOpenKeyExA(a, "", 0, 0, &again), kErrorSuccess);  // the same key anew
  EXPECT_NE(again, a);
  RegKey created = 0;
  EXPECT_EQ(sim.RegCreateKeyExA(b, "", 0, kKeyAllAccess, &created), kErrorSuccess);
  EXPECT_EQ(sim.RegCloseKey(created), kErrorSuccess);
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 3u);
  const std::vector<OpenKeyInfo> open = sim.Registry().OpenKeys();
  ASSERT_EQ(open.size(), 3u);
  EXPECT_EQ(open[1].path, "A\\B");

  EXPECT_EQ(sim.RegDeleteKeyA(a, "B"), kErrorSuccess);
  const char one[] = "1";
  EXPECT_EQ(sim.RegSetValueExA(b, "x", kRegSz, reinterpret_cast<const std::uint8_t*>(one), 2),
            kErrorInvalidHandle);
  EXPECT_EQ(sim.RegCloseKey(b), kErrorSuccess);
  EXPECT_EQ(sim.RegCloseKey(b), kErrorInvalidHandle);
  EXPECT_EQ(sim.RegCloseKey(0x1234), kErrorInvalidHandle);
  sim.RegCloseKey(a);
  sim.RegCloseKey(again);
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u);
}

TEST(SimRegistry, MissingKeysAndBadPathsFailToOpen) {
  SimSystem sim;
  sim.Registry().CreateKey("A");
  RegKey key = 77;
  EXPECT_EQ(sim.RegOpenKeyExA(kHkeyLocalMachine, "A\\Missing", 0, 0, &key), kErrorFileNotFound);
  EXPECT_EQ(sim.RegOpenKeyExA(kHkeyLocalMachine, "A\\\\B", 0, 0, &key), kErrorBadPathname);
  EXPECT_EQ(key, 77u);
  EXPECT_EQ(sim.RegOpenKeyExA(0x4242, "A", 0, 0, &key), kErrorInvalidHandle);
}

}  // namespace
}  // namespace nl::sim
