// The stand-in system tools on the simulated system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/install_sequence.h"
#include "platform/sim/sim_system.h"
#include "standins/stand_in_tools.h"

namespace nl::sim {
namespace {

TEST(StandInOptions, KnownBehavioursParseAndEverythingElseIsRefused) {
  StandInOptions options;
  EXPECT_TRUE(ParseStandInOptions("wizard=late,panel=stubborn,grow=800,installer=twice", &options));
  EXPECT_EQ(options.wizard, "late");
  EXPECT_EQ(options.panel, "stubborn");
  EXPECT_EQ(options.installer, "twice");
  EXPECT_EQ(options.growMs, 800);
  EXPECT_TRUE(ParseStandInOptions("installer=late+twice,wizard=late+slowpage", &options));
  EXPECT_EQ(options.installer, "late+twice");
  EXPECT_EQ(options.wizard, "late+slowpage");
  for (const char* bad : {"wizard=bogus", "panel=late", "grow=abc", "grow=", "sound=on",
                          "wizard", "grow=99999999999", "wizard=late+bogus", "panel=+"}) {
    StandInOptions untouched;
    EXPECT_FALSE(ParseStandInOptions(bad, &untouched)) << bad;
  }
}

// The tools wait for a click as the real ones do: the run ends as the
// program, the tools and the user at the PC let it.
struct ToolCase {
  const char* standIns;
  std::uint32_t locale;
  const char* ending;      // "returned", or a word of the wait or restart
  bool portsWritten;       // the phases after the wizard ran
  const char* prompt;      // a prompt the tools showed, or ""
};

const ToolCase kToolCases[] = {
    {"", 0x407, "returned", true, ""},
    // Nobody presses the English installer's page but the user.
    {"", 0x409, "returned", false, ""},
    {"user=away", 0x409, "waits for the user at its page", false, ""},
    // Stepping stops, the wizard is shown again; only the user can finish it.
    {"wizard=no1580", 0x407, "shown again by the program", false, ""},
    {"wizard=no1580,user=finish", 0x407, "returned", true, ""},
    {"wizard=no1580,user=away", 0x407, "shown again by the program", false, ""},
    // The wizard is found beside Windows' own box and stepped.
    {"wizard=newhw", 0x407, "returned", true, ""},
    {"wizard=restart", 0x407, "Windows restarts", false, "Ge\xE4nderte Systemeinstellungen"},
    {"wizard=restart,answer=no", 0x407, "returned", true, "Ge\xE4nderte Systemeinstellungen"},
    {"wizard=restart,user=away", 0x407, "asks to restart", false, "Ge\xE4nderte Systemeinstellungen"},
    {"installer=file", 0x407, "asks for nl-430.sys", false, "Datentr\xE4ger einlegen"},
    {"installer=file,answer=skip", 0x407, "returned", true, "Datentr\xE4ger einlegen"},
    {"panel=disc", 0x409, "returned", false, "Datentr\xE4ger einlegen"},
};

TEST(StandInTools, TheRunEndsAsTheToolsAndTheUserLetIt) {
  for (const ToolCase& c : kToolCases) {
    SCOPED_TRACE(std::string(c.standIns) + " locale " + std::to_string(c.locale));
    SimSystem sim;
    sim.LoadImage(std::string(NL_SOURCE_DIR) + "/samples/de-win98");
    sim.Processes().SetUserDefaultLcid(c.locale);
    StandInOptions options;
    ASSERT_TRUE(ParseStandInOptions(c.standIns, &options));
    auto record = InstallStandInTools(sim, options);
    std::string ending = "returned";
    try {
      InstallerMain(sim, 0x400000);
    } catch (const SimStopped& stopped) {
      ending = stopped.what();
    }
    EXPECT_NE(ending.find(c.ending), std::string::npos) << ending;
    EXPECT_EQ(sim.Registry().KeyExists("Enum\\INFRARED\\COM"), c.portsWritten);
    const bool prompted = !record->prompts.empty() && record->prompts.front() == c.prompt;
    EXPECT_EQ(prompted, *c.prompt != 0);
  }
}

// Windows 95's driver database keeps the INF files as they were: the
// installer does not see the display name the run wrote.
TEST(StandInTools, TheOldDriverDatabaseShowsTheInfFilesAsBeforeTheRun) {
  for (const char* installer : {"installer=normal", "installer=olddb"}) {
    SCOPED_TRACE(installer);
    SimSystem sim;
    sim.LoadImage(std::string(NL_SOURCE_DIR) + "/samples/de-win98");
    StandInOptions options;
    ASSERT_TRUE(ParseStandInOptions(installer, &options));
    auto record = InstallStandInTools(sim, options);
    InstallerMain(sim, 0x400000);
    ASSERT_TRUE(record->installerFoundDisplayName);
    EXPECT_EQ(record->installerDisplayName == "Norvik Lumens NL-470 USB Infrared Adapter",
              std::string(installer) == "installer=normal")
        << record->installerDisplayName;
  }
}

}  // namespace
}  // namespace nl::sim
