// The setup environment queries on the simulated system: Setup key values,
// the cached scratch directory, the program's own directory, the locale.
#include "setup/setup_env.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/sim/sim_system.h"

namespace nl {
namespace {

using sim::SimSystem;

constexpr char kSetupKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";

std::size_t CountCalls(const SimSystem& sim, const std::string& operation) {
  std::size_t count = 0;
  for (const auto& entry : sim.Journal().Entries()) count += entry.operation == operation;
  return count;
}

// ---- ReadSetupValue ----

TEST(SetupEnv, ReadSetupValueDropsTrailingBackslashesAndClosesTheKey) {
  SimSystem sim;
  sim.Registry().SetText(kSetupKey, "SourcePath", "D:\\WIN98\\\\");
  char buffer[512] = "keep";
  EXPECT_TRUE(ReadSetupValue(sim, "SourcePath", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "D:\\WIN98");
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u);
  // Opened with no specific rights.
  EXPECT_EQ(sim.Journal().Calls().front(),
            "RegOpenKeyExA(HKLM, \"" + std::string(kSetupKey) + "\", 0, 0x0) = 0 -> key#1");
}

TEST(SetupEnv, ReadSetupValueTakesAnyValueTypeAsText) {
  SimSystem sim;
  sim.Registry().SetValue(kSetupKey, "SourcePath", kRegBinary, "D:\\CABS\\");  // no zero byte
  sim.Registry().SetValue(kSetupKey, "SetupScratchDir", kRegExpandSz, std::string("C:\\INF\0", 7));
  char buffer[512] = "";
  EXPECT_TRUE(ReadSetupValue(sim, "SourcePath", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "D:\\CABS");
  EXPECT_TRUE(ReadSetupValue(sim, "SetupScratchDir", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "C:\\INF");
}

TEST(SetupEnv, AValueLongerThanItsBufferIsUnreadable) {
  SimSystem sim;
  char buffer[kMaxPath] = "keep";
  sim.Registry().SetText(kSetupKey, "SetupScratchDir", "C:\\" + std::string(256, 'D'));  // 259
  EXPECT_TRUE(ReadSetupValue(sim, "SetupScratchDir", buffer, sizeof buffer));
  EXPECT_EQ(std::strlen(buffer), 259u);

  std::strcpy(buffer, "keep");
  sim.Registry().SetText(kSetupKey, "SetupScratchDir", "C:\\" + std::string(257, 'D'));  // 260
  EXPECT_FALSE(ReadSetupValue(sim, "SetupScratchDir", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "keep");
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u);
}

TEST(SetupEnv, AMissingKeyOrValueIsUnreadable) {
  SimSystem sim;
  char buffer[512] = "keep";
  EXPECT_FALSE(ReadSetupValue(sim, "SourcePath", buffer, sizeof buffer));
  sim.Registry().SetText(kSetupKey, "SetupScratchDir", "C:\\INF");
  EXPECT_FALSE(ReadSetupValue(sim, "SourcePath", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "keep");
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u);
}

// ---- GetSetupScratchPath ----

TEST(SetupEnv, TwoTrailingBackslashesGiveOneBeforeTheFileName) {
  SimSystem sim;
  sim.Registry().SetText(kSetupKey, "SetupScratchDir", "C:\\WINDOWS\\INF\\\\");
  InstallRun run = MakeInstallRun(sim, 0);
  char path[kMaxPath] = "";
  EXPECT_TRUE(GetSetupScratchPath(run, "IRMINI.INF", path, sizeof path));
  EXPECT_STREQ(path, "C:\\WINDOWS\\INF\\IRMINI.INF");
}

TEST(SetupEnv, WithoutTheSetupKeyEveryRequestFailsAndAsksAgain) {
  SimSystem sim;
  InstallRun run = MakeInstallRun(sim, 0);
  char path[kMaxPath] = "keep";
  for (int i = 0; i < 3; ++i)
    EXPECT_FALSE(GetSetupScratchPath(run, "IRMINI.INF", path, sizeof path));
  EXPECT_STREQ(path, "keep");
  EXPECT_EQ(CountCalls(sim, "RegOpenKeyExA"), 3u);
  // A failed lookup is not remembered.
  sim.Registry().SetText(kSetupKey, "SetupScratchDir", "C:\\WINDOWS\\INF");
  EXPECT_TRUE(GetSetupScratchPath(run, "IRMINI.INF", path, sizeof path));
  EXPECT_STREQ(path, "C:\\WINDOWS\\INF\\IRMINI.INF");
}

TEST(SetupEnv, AnEmptyOrBackslashOnlyValueLeavesTheCacheEmpty) {
  for (const char* value : {"", "\\", "\\\\\\"}) {
    SimSystem sim;
    sim.Registry().SetText(kSetupKey, "SetupScratchDir", value);
    InstallRun run = MakeInstallRun(sim, 0);
    char path[kMaxPath] = "keep";
    EXPECT_FALSE(GetSetupScratchPath(run, "IRMINI.INF", path, sizeof path)) << value;
    EXPECT_FALSE(GetSetupScratchPath(run, "INFRARED.INF", path, sizeof path));
    EXPECT_STREQ(path, "keep");
    EXPECT_EQ(CountCalls(sim, "RegQueryValueExA"), 2u);
  }
}

TEST(SetupEnv, TheFirstFoundDirectoryIsKeptForTheRun) {
  SimSystem sim;
  sim.Registry().SetText(kSetupKey, "SetupScratchDir", "C:\\WINDOWS\\INF");
  InstallRun run = MakeInstallRun(sim, 0);
  char path[kMaxPath];
  EXPECT_TRUE(GetSetupScratchPath(run, "IRMINI.INF", path, sizeof path));
  std::size_t callsAfterLookup = sim.Journal().Entries().size();
  sim.Registry().SetText(kSetupKey, "SetupScratchDir", "D:\\ELSEWHERE");
  EXPECT_TRUE(GetSetupScratchPath(run, "INFRARED.INF", path, sizeof path));
  EXPECT_STREQ(path, "C:\\WINDOWS\\INF\\INFRARED.INF");
  EXPECT_EQ(sim.Journal().Entries().size(), callsAfterLookup);
  // Even with the key gone.
  sim.Registry().Root().subkeys.clear();
  EXPECT_TRUE(GetSetupScratchPath(run, "IRMINI.BAK", path, sizeof path));
  EXPECT_STREQ(path, "C:\\WINDOWS\\INF\\IRMINI.BAK");
}

TEST(SetupEnv, AComposedPathThatDoesNotFitIsRefusedWithoutWriting) {
  SimSystem sim;
  sim.Registry().SetText(kSetupKey, "SetupScratchDir", "C:\\WINDOWS\\INF");
  InstallRun run = MakeInstallRun(sim, 0);
  // "C:\WINDOWS\INF\IRMINI.INF" is 25 characters: it needs 26 bytes.
  char path[40];
  std::memset(path, 'x', sizeof path);
  EXPECT_FALSE(GetSetupScratchPath(run, "IRMINI.INF", path, 25));
  for (char c : path) EXPECT_EQ(c, 'x');
  EXPECT_TRUE(GetSetupScratchPath(run, "IRMINI.INF", path, 26));
  EXPECT_STREQ(path, "C:\\WINDOWS\\INF\\IRMINI.INF");
  EXPECT_EQ(path[26], 'x');
}

// ---- GetModuleDirectory ----

TEST(SetupEnv, ModuleDirectoryIsTheProgramsFolderWithoutTrailingBackslash) {
  struct Case {
    const char* program;
    const char* directory;
  } cases[] = {
      {"C:\\SETUP\\DRV\\FIX.EXE", "C:\\SETUP\\DRV"},
      {"C:\\FIX.EXE", "C:"},
      {"\\\\SERVER\\SHARE\\FIX.EXE", "\\\\SERVER\\SHARE"},  // no drive part
      {"D:\\NLSETUP.EXE", "D:"},
  };
  for (const Case& c : cases) {
    SimSystem sim;
    sim.Processes().SetProgramPath(c.program);
    char directory[kMaxPath] = "keep";
    GetModuleDirectory(sim, 0x00400000, directory, sizeof directory);
    EXPECT_STREQ(directory, c.directory) << c.program;
  }
}

TEST(SetupEnv, ModuleDirectoryIsEmptyWhenTheNameCannotBeHadWhole) {
  SimSystem failing;
  failing.Journal().FailOperation("GetModuleFileNameA");
  char directory[kMaxPath] = "keep";
  GetModuleDirectory(failing, 0x00400000, directory, sizeof directory);
  EXPECT_STREQ(directory, "");

  // A name cut to 259 characters would give a wrong folder.
  SimSystem cut;
  cut.Processes().SetProgramPath("C:\\" + std::string(250, 'P') + "\\NLSETUP.EXE");
  std::strcpy(directory, "keep");
  GetModuleDirectory(cut, 0x00400000, directory, sizeof directory);
  EXPECT_STREQ(directory, "");

  // A folder that does not fit the caller's buffer.
  SimSystem small;
  small.Processes().SetProgramPath("C:\\SETUP\\DRV\\FIX.EXE");
  char tiny[12];
  std::memset(tiny, 'x', sizeof tiny);
  GetModuleDirectory(small, 0x00400000, tiny, 8);
  EXPECT_STREQ(tiny, "");
  EXPECT_EQ(tiny[8], 'x');
}

// ---- IsGermanLocale ----

TEST(SetupEnv, EveryGermanSublanguageCountsAsGermanAndIsAskedAfresh) {
  SimSystem sim;
  for (std::uint32_t lcid : {0x407u, 0x807u, 0xC07u, 0x1007u, 0x1407u}) {
    sim.Processes().SetUserDefaultLcid(lcid);
    EXPECT_TRUE(IsGermanLocale(sim)) << std::hex << lcid;
  }
  for (std::uint32_t lcid : {0x409u, 0x40Cu, 0x413u, 0x0u, 0x7u << 8}) {
    sim.Processes().SetUserDefaultLcid(lcid);
    EXPECT_FALSE(IsGermanLocale(sim)) << std::hex << lcid;
  }
  EXPECT_EQ(CountCalls(sim, "GetUserDefaultLCID"), 10u);
}

}  // namespace
}  // namespace nl
