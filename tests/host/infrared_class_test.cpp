// Registration of the infrared device class and of the generic miniport as a
// known device (the first thing a run does).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/install_sequence.h"
#include "../support/registry_expect.h"
#include "platform/sim/sim_system.h"
#include "standins/stand_in_tools.h"
#include "registry/infrared_class.h"

namespace nl {
namespace {

using sim::SimSystem;

constexpr const char* kClassKey = "System\\CurrentControlSet\\Services\\Class\\Infrared";
constexpr const char* kSetupKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
constexpr const char* kInfraredInf = "C:\\WINDOWS\\INF\\INFRARED.INF";

using testing::ExpectedValue;
using testing::ExpectValues;
using testing::Node;
using testing::Sz;

// The class key's values in the order they are written.
std::vector<ExpectedValue> ClassValues(const std::string& description) {
  return {
      {"", kRegSz, Sz(description)},
      {"Installer", kRegSz, Sz("infrared.dll")},
      {"Icon", kRegSz, Sz("0")},
      {"SilentInstall", kRegSz, Sz("1")},
      {"DevLoader", kRegSz, Sz("*configmg")},
      {"Enumerator", kRegSz, Sz("irenum.vxd")},
      {"PortDriver", kRegSz, Sz("ircomm.vxd")},
      {"Link", kRegSz, Sz("{6bdd1fc5-810f-11d0-bec7-08002be2092f}")},
      {"PortSubClass", kRegBinary, std::string(1, '\0')},
  };
}

void GiveScratchDir(SimSystem& sim) {
  sim.Registry().SetText(kSetupKey, "SetupScratchDir", "C:\\WINDOWS\\INF");
  sim.Files().MakeDirectory("C:\\WINDOWS\\INF");
}

void WriteInfraredInf(SimSystem& sim, const std::string& classDescLine) {
  sim.Files().WriteFileText(kInfraredInf,
                    "[Version]\r\nClass=Infrared\r\n[Strings]\r\nMS=\"Microsoft\"\r\n" +
                        classDescLine + "\r\nGenericIr=\"Generic\"\r\n");
}

std::string Register(SimSystem& sim) {
  InstallRun run = MakeInstallRun(sim, 0x400000);
  RegisterInfraredClass(run);
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u) << "a key was left open";
  for (const sim::JournalEntry& entry : sim.Journal().Entries()) {
    if ((entry.operation == "RegCloseKey" || entry.operation == "RegSetValueExA") &&
        entry.result.find("[injected") == std::string::npos) {
      EXPECT_EQ(entry.result, "0") << "a handle used after it was closed: " << entry.Text();
    }
  }
  return std::string(run.scratchDir);
}

// The number of the first journal entry whose text starts with `prefix`,
// found by a run on a system that `setUp` prepares.
template <class SetUp>
std::uint64_t CallNumber(SetUp setUp, const std::string& prefix) {
  SimSystem dry;
  setUp(dry);
  Register(dry);
  for (const sim::JournalEntry& entry : dry.Journal().Entries())
    if (entry.Text().rfind(prefix, 0) == 0) return entry.index;
  ADD_FAILURE() << "no call " << prefix;
  return 0;
}

TEST(InfraredClass, FreshSystemGetsEveryEntryWithExactTypesAndSizes) {
  SimSystem sim;
  Register(sim);

  ASSERT_TRUE(sim.Registry().KeyExists("Enum\\INFRARED"));
  EXPECT_TRUE(Node(sim, "Enum\\INFRARED")->values.empty());
  ExpectValues(sim, "Enum\\INFRARED\\KnownDevices", {{"IRMINI", kRegSz, Sz("IRMINI")}});
  // Without a known setup scratch directory the description is the default.
  ExpectValues(sim, kClassKey, ClassValues("Infrared devices"));
}

TEST(InfraredClass, CallsAreMadeInOrderWithTheirExactArguments) {
  SimSystem sim;
  GiveScratchDir(sim);
  WriteInfraredInf(sim, "Class.Desc=\"Infrarotger\xE4te\"");
  Register(sim);

  const std::vector<std::string> expected = {
      "RegCreateKeyExA(HKLM, \"Enum\\INFRARED\", 0, 0xf003f) = 0 -> key#1",
      "RegCloseKey(key#1) = 0",
      "RegCreateKeyExA(HKLM, \"Enum\\INFRARED\\KnownDevices\", 0, 0xf003f) = 0 -> key#2",
      "RegSetValueExA(key#2, \"IRMINI\", REG_SZ \"IRMINI\" (7 bytes)) = 0",
      "RegCloseKey(key#2) = 0",
      "RegCreateKeyExA(HKLM, \"System\\CurrentControlSet\\Services\\Class\\Infrared\", 0, "
      "0xf003f) = 0 -> key#3",
      "RegOpenKeyExA(HKLM, \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\", 0, 0x0) = 0 "
      "-> key#4",
      "RegQueryValueExA(key#4, \"SetupScratchDir\", buffer, 260) = 0 -> REG_SZ "
      "\"C:\\WINDOWS\\INF\" (15 bytes)",
      "RegCloseKey(key#4) = 0",
      "GetFileAttributesA(\"C:\\WINDOWS\\INF\\INFRARED.INF\") = 0x80",
      "GetPrivateProfileStringA(\"Strings\", \"Class.Desc\", \"\", buffer, 512, "
      "\"C:\\WINDOWS\\INF\\INFRARED.INF\") = 14 -> \"Infrarotger\\xE4te\"",
      "RegSetValueExA(key#3, \"\", REG_SZ \"Infrarotger\\xE4te\" (15 bytes)) = 0",
      "RegSetValueExA(key#3, \"Installer\", REG_SZ \"infrared.dll\" (13 bytes)) = 0",
      "RegSetValueExA(key#3, \"Icon\", REG_SZ \"0\" (2 bytes)) = 0",
      "RegSetValueExA(key#3, \"SilentInstall\", REG_SZ \"1\" (2 bytes)) = 0",
      "RegSetValueExA(key#3, \"DevLoader\", REG_SZ \"*configmg\" (10 bytes)) = 0",
      "RegSetValueExA(key#3, \"Enumerator\", REG_SZ \"irenum.vxd\" (11 bytes)) = 0",
      "RegSetValueExA(key#3, \"PortDriver\", REG_SZ \"ircomm.vxd\" (11 bytes)) = 0",
      "RegSetValueExA(key#3, \"Link\", REG_SZ \"{6bdd1fc5-810f-11d0-bec7-08002be2092f}\" "
      "(39 bytes)) = 0",
      "RegSetValueExA(key#3, \"PortSubClass\", REG_BINARY [00]) = 0",
      "RegCloseKey(key#3) = 0",
  };
  EXPECT_EQ(sim.Journal().Calls(), expected) << sim.Journal().Text();
}

TEST(InfraredClass, TranslatedDescriptionIsStoredVerbatim) {
  SimSystem sim;
  GiveScratchDir(sim);
  // Code page 1252 letters and percent signs that a formatting call would eat.
  const std::string translated = "P\xE9riph\xE9riques infrarouges 100% %s %d%%";
  WriteInfraredInf(sim, "Class.Desc=\"" + translated + "\"");
  EXPECT_EQ(Register(sim), "C:\\WINDOWS\\INF");
  ExpectValues(sim, kClassKey, ClassValues(translated));
}

TEST(InfraredClass, DescriptionFallsBackToTheDefaultWhenTheInfGivesNone) {
  const struct {
    const char* what;
    bool scratchDir;
    const char* inf;  // null: no file
  } cases[] = {
      {"no scratch directory", false, "Class.Desc=\"Infrarotger\xE4te\""},
      {"no INFRARED.INF", true, nullptr},
      {"empty Class.Desc", true, "Class.Desc="},
      {"quoted empty Class.Desc", true, "Class.Desc=\"\""},
      {"no Class.Desc", true, "Other=\"x\""},
  };
  for (const auto& c : cases) {
    SimSystem sim;
    if (c.scratchDir) GiveScratchDir(sim);
    else sim.Files().MakeDirectory("C:\\WINDOWS\\INF");
    if (c.inf) WriteInfraredInf(sim, c.inf);
    Register(sim);
    EXPECT_EQ(sim.Registry().ValueText(kClassKey, ""), "Infrared devices") << c.what;
    EXPECT_EQ(sim.Registry().FindValue(kClassKey, "")->data, Sz("Infrared devices")) << c.what;
  }
}

// A run stopped between moving INFRARED.INF to its backup and putting the
// edited file in place leaves only INFRARED.BAK: the description comes from
// there, as the next run would find it once the backup is back.
TEST(InfraredClass, DescriptionComesFromTheBackupWhenOnlyTheBackupIsThere) {
  SimSystem sim;
  GiveScratchDir(sim);
  sim.Files().WriteFileText("C:\\WINDOWS\\INF\\INFRARED.BAK",
                    "[Strings]\r\nClass.Desc=\"Infrarotger\xE4te\"\r\n");
  Register(sim);
  EXPECT_EQ(sim.Registry().ValueText(kClassKey, ""), "Infrarotger\xE4te");
  // With INFRARED.INF present the backup is not consulted.
  SimSystem both;
  GiveScratchDir(both);
  WriteInfraredInf(both, "Class.Desc=\"Aktuell\"");
  both.Files().WriteFileText("C:\\WINDOWS\\INF\\INFRARED.BAK",
                     "[Strings]\r\nClass.Desc=\"Alt\"\r\n");
  Register(both);
  EXPECT_EQ(both.Registry().ValueText(kClassKey, ""), "Aktuell");
  EXPECT_EQ(both.Registry().OpenKeyCount(), 0u);
}

TEST(InfraredClass, ExistingClassKeyKeepsItsOtherValuesAndSubkeys) {
  SimSystem sim;
  sim.Registry().SetText(kClassKey, "", "Old description");
  sim.Registry().SetText(kClassKey, "Installer", "old.dll");
  sim.Registry().SetText(kClassKey, "NoUseNotify", "1");
  sim.Registry().SetValue(kClassKey, "PortSubClass", kRegDword, std::string("\x01\0\0\0", 4));
  sim.Registry().SetText(std::string(kClassKey) + "\\0000", "DriverDesc", "Kept");
  sim.Registry().SetText("Enum\\INFRARED\\KnownDevices", "OTHER", "OTHER");
  Register(sim);

  const sim::RegNode* node = Node(sim, kClassKey);
  ASSERT_NE(node, nullptr);
  for (const ExpectedValue& value : ClassValues("Infrared devices")) {
    const sim::RegValue* stored = node->FindValue(value.name);
    ASSERT_NE(stored, nullptr) << value.name;
    EXPECT_EQ(stored->type, value.type) << value.name;
    EXPECT_EQ(stored->data, value.data) << value.name;
  }
  EXPECT_EQ(node->values.size(), ClassValues("").size() + 1);
  EXPECT_EQ(sim.Registry().ValueText(kClassKey, "NoUseNotify"), "1");
  EXPECT_EQ(sim.Registry().ValueText(std::string(kClassKey) + "\\0000", "DriverDesc"), "Kept");
  EXPECT_EQ(sim.Registry().ValueText("Enum\\INFRARED\\KnownDevices", "OTHER"), "OTHER");
  EXPECT_EQ(sim.Registry().ValueText("Enum\\INFRARED\\KnownDevices", "IRMINI"), "IRMINI");
}

TEST(InfraredClass, ClassKeyThatCannotBeCreatedEndsThePhaseAfterTheKnownDevice) {
  auto setUp = [](SimSystem& sim) {
    GiveScratchDir(sim);
    WriteInfraredInf(sim, "Class.Desc=\"Infrarotger\xE4te\"");
  };
  SimSystem sim;
  setUp(sim);
  sim.Journal().FailCall(CallNumber(setUp, "RegCreateKeyExA(HKLM, \"System\\"));
  Register(sim);

  EXPECT_EQ(sim.Registry().ValueText("Enum\\INFRARED\\KnownDevices", "IRMINI"), "IRMINI");
  EXPECT_FALSE(sim.Registry().KeyExists(kClassKey));
  // Nothing more is asked once the key is missing: not even the INF file.
  int writes = 0;
  for (const sim::JournalEntry& entry : sim.Journal().Entries()) {
    EXPECT_NE(entry.operation, "GetPrivateProfileStringA");
    EXPECT_NE(entry.operation, "RegOpenKeyExA") << entry.Text();
    if (entry.operation == "RegSetValueExA") ++writes;
  }
  EXPECT_EQ(writes, 1);  // the known device's own value
}

TEST(InfraredClass, FailuresBeforeTheClassKeyOnlySkipTheirOwnEntry) {
  auto setUp = [](SimSystem&) {};
  {
    SimSystem sim;
    sim.Journal().FailCall(CallNumber(setUp, "RegCreateKeyExA(HKLM, \"Enum\\INFRARED\\KnownDevices\""));
    Register(sim);
    EXPECT_FALSE(sim.Registry().KeyExists("Enum\\INFRARED\\KnownDevices"));
    EXPECT_TRUE(sim.Registry().KeyExists("Enum\\INFRARED"));
    ExpectValues(sim, kClassKey, ClassValues("Infrared devices"));
  }
  {
    SimSystem sim;
    sim.Journal().FailCall(CallNumber(setUp, "RegCreateKeyExA(HKLM, \"Enum\\INFRARED\""));
    Register(sim);
    ExpectValues(sim, "Enum\\INFRARED\\KnownDevices", {{"IRMINI", kRegSz, Sz("IRMINI")}});
    ExpectValues(sim, kClassKey, ClassValues("Infrared devices"));
  }
}

TEST(InfraredClass, AValueThatCannotBeWrittenIsSkippedAndTheRestFollow) {
  auto setUp = [](SimSystem&) {};
  SimSystem sim;
  sim.Journal().FailCall(CallNumber(setUp, "RegSetValueExA(key#3, \"Icon\""));
  Register(sim);
  std::vector<ExpectedValue> expected = ClassValues("Infrared devices");
  expected.erase(expected.begin() + 2);  // "Icon"
  ExpectValues(sim, kClassKey, expected);
}

TEST(InfraredClass, AnUnreadableScratchDirectoryKeepsTheDefault) {
  SimSystem sim;
  sim.Files().MakeDirectory("C:\\WINDOWS\\INF");
  WriteInfraredInf(sim, "Class.Desc=\"Infrarotger\xE4te\"");
  // Longer than any path buffer: cannot be read, so no INF is consulted.
  sim.Registry().SetText(kSetupKey, "SetupScratchDir", "C:\\" + std::string(600, 'x'));
  EXPECT_EQ(Register(sim), "");
  EXPECT_EQ(sim.Registry().ValueText(kClassKey, ""), "Infrared devices");
}

// The whole run on the sample system: the description comes from the INF
// file as it stands before a backup of an earlier run is put back.
TEST(InfraredClass, DescriptionIsReadBeforeTheInfBackupIsRestored) {
  SimSystem sim;
  sim.LoadImage(std::string(NL_SOURCE_DIR) + "/samples/de-win98");
  sim.Processes().SetProgramPath("C:\\NLSETUP\\NLSETUP.EXE");
  sim::InstallStandInTools(sim);
  const std::string current = sim.Files().ReadFileText(kInfraredInf);
  std::string backup = current;
  const std::string currentDesc = "Class.Desc=\"Infrarotger\xE4te\"";
  const std::size_t at = backup.find(currentDesc);
  ASSERT_NE(at, std::string::npos);
  backup.replace(at, currentDesc.size(), "Class.Desc=\"Aus der Sicherung\"");
  sim.Files().WriteFileText("C:\\WINDOWS\\INF\\INFRARED.BAK", backup);

  EXPECT_EQ(InstallerMain(sim, 0x400000), 0);
  EXPECT_EQ(sim.Registry().FindValue(kClassKey, "")->data, Sz("Infrarotger\xE4te"));
  // The backup was put back afterwards, so the run did restore it.
  EXPECT_NE(sim.Files().ReadFileText(kInfraredInf).find("Aus der Sicherung"), std::string::npos);
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u);
}

}  // namespace
}  // namespace nl
