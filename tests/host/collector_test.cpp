// What NLDIAG's collector writes of the system part and of value names, on
// the simulated system.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "diag/case_format.h"
#include "diag/collector.h"
#include "platform/sim/sim_system.h"
#include "../support/sim_diag_system.h"

namespace nl {
namespace {

constexpr const char* kSetupKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";

std::string Collected(const std::function<void(sim::SimSystem&)>& change,
                      std::uint32_t minorVersion = 10) {
  sim::SimSystem sim;
  sim.LoadImage(std::string(NL_SOURCE_DIR) + "/samples/de-win98");
  change(sim);
  testing::SimDiagSystem os(sim);
  os.minorVersion = minorVersion;
  EXPECT_EQ(diag::CollectorMain(os), 0u);
  return sim.Files().ReadFileText("C:\\NLSETUP\\NLCASE.TXT");
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct CollectorCase {
  const char* name;
  std::function<void(sim::SimSystem&)> change;
  std::vector<std::string> present, absent;
  std::uint32_t minorVersion = 10;
};

TEST(Collector, WritesWhatTheAnswerNeedsAndNothingPrivate) {
  const std::string longName(diag::kMaxValueName, 'N');
  const CollectorCase cases[] = {
      // Windows finds value names in any letter case, and so does the case.
      {"Setup values in other letter case",
       [](sim::SimSystem& s) {
         const std::string scratch = s.Registry().ValueText(kSetupKey, "SetupScratchDir");
         const std::string source = s.Registry().ValueText(kSetupKey, "SourcePath");
         sim::RegNode* setup = s.Registry().Root().FindSubkey("SOFTWARE")->FindSubkey("Microsoft")
                              ->FindSubkey("Windows")->FindSubkey("CurrentVersion")
                              ->FindSubkey("Setup");
         setup->RemoveValue("SetupScratchDir");
         setup->RemoveValue("SourcePath");
         s.Registry().SetText(kSetupKey, "setupscratchdir", scratch);
         s.Registry().SetText(kSetupKey, "SOURCEPATH", source);
       },
       {"scratch-folder = present", "folder = present"},
       {"no SetupScratchDir", "no SourcePath"}},
      // The version numbers tell 95, OSR2, 98 and 98 SE apart; the owner's
      // name beside them stays on the PC.
      {"version numbers",
       [](sim::SimSystem& s) {
         const char* key = diag::kCurrentVersionKey;
         s.Registry().SetText(key, "RegisteredOwner", "Erika Mustermann");
         s.Registry().SetText(key, "versionnumber", "4.10.2222");
         s.Registry().SetText(key, "SubVersionNumber", " A ");
       },
       {"windows-version-number = \"4.10.2222\"", "windows-subversion-number = \" A \"",
        "collected = 1999-06-01 12:00:00"},
       {"Erika"}},
      {"no version numbers",
       [](sim::SimSystem& s) {
         s.Registry().Root().FindSubkey("SOFTWARE")->FindSubkey("Microsoft")
             ->FindSubkey("Windows")->FindSubkey("CurrentVersion")->RemoveValue("VersionNumber");
       },
       {"windows-version-number = absent", "windows-subversion-number = absent"}, {}},
      // regedit writes a TAB and a long name inside the quotes.
      {"value names regedit can write",
       [longName](sim::SimSystem& s) {
         s.Registry().SetText(kSetupKey, "Tab\tName", "x");
         s.Registry().SetText(kSetupKey, longName, "y");
       },
       {"\"Tab\tName\"=\"x\"", "\"" + longName + "\"=\"y\""}, {"not written"}},
      // The PC's own driver file goes into the case byte for byte.
      {"the driver file's bytes",
       [](sim::SimSystem& s) { s.Files().WriteFileText("C:\\NLSETUP\\nl-430.sys", "AB"); },
       {"== driver beside the program\r\npath = C:\\NLSETUP\\nl-430.sys\r\nstate = present\r\n"
        "written = 0x01BEAC26463BA000\r\n4142\r\nsize = 2\r\n",
        "== driver in SourcePath\r\npath = C:\\WINDOWS\\OPTIONS\\CABS\\nl-430.sys\r\n"
        "state = absent (error 2)"},
       {}},
      // A port another device holds, beside the virtual COM4 and LPT3.
      {"ports in use",
       [](sim::SimSystem& s) {
         s.Registry().SetText("Enum\\BIOS\\*PNP0501\\0D", "Class", "Ports");
         s.Registry().SetText("Enum\\BIOS\\*PNP0501\\0D", "PortName", "COM4");
         s.Registry().SetText("Enum\\BIOS\\*PNP0400\\09", "Class", "Printer");
         s.Registry().SetText("Enum\\BIOS\\*PNP0400\\09", "PortName", "LPT3");
       },
       {"== ports\r\nCOM4 = Enum\\BIOS\\*PNP0501\\0D\r\nfound = 1\r\n"}, {"LPT3 ="}},
      {"the system tools' files",
       [](sim::SimSystem& s) { s.Files().WriteFileText("C:\\WINDOWS\\RUNDLL32.EXE", "MZ"); },
       {"RUNDLL32.EXE = present, 2 bytes", "SYSDM.CPL = absent (error"}, {}},
      // Without SetupScratchDir Windows keeps its INF files in the Windows
      // folder's INF, and the case takes them from there.
      {"INF files where Windows keeps them",
       [](sim::SimSystem& s) {
         s.Registry().Root().FindSubkey("SOFTWARE")->FindSubkey("Microsoft")
             ->FindSubkey("Windows")->FindSubkey("CurrentVersion")->FindSubkey("Setup")
             ->RemoveValue("SetupScratchDir");
       },
       {"== inf folder file IRMINI.INF\r\npath = C:\\WINDOWS\\INF\\IRMINI.INF\r\nstate = present"},
       {}},
      {"a scratch folder that is there", [](sim::SimSystem&) {}, {}, {"== inf folder file"}},
      // Windows 95 alone keeps its driver database.
      {"Windows 95's driver database",
       [](sim::SimSystem& s) { s.Files().WriteFileText("C:\\WINDOWS\\INF\\DRVDATA.BIN", "xyz"); },
       {"DRVDATA.BIN = present, 3 bytes, written 0x01BEAC26463BA000", "DRVIDX.BIN = absent"},
       {}, 0},
      {"no driver database on Windows 98", [](sim::SimSystem&) {}, {}, {"== driver database"}},
  };
  for (const CollectorCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = Collected(c.change, c.minorVersion);
    for (const std::string& part : c.present)
      EXPECT_TRUE(Has(text, part)) << part;
    for (const std::string& part : c.absent) EXPECT_FALSE(Has(text, part)) << part;
  }
}

// Another program adds a network adapter between the collector's two reads
// of Class\Net: the subtree is marked, the others stay present.
TEST(Collector, ASubtreeThatChangesWhileReadIsMarked) {
  sim::SimSystem sim;
  sim.LoadImage(std::string(NL_SOURCE_DIR) + "/samples/de-win98");
  testing::SimDiagSystem os(sim);
  const std::string net = "System\\CurrentControlSet\\Services\\Class\\Net";
  int opens = 0;
  os.beforeOpen = [&](const std::string& path) {
    if (path == net && ++opens == 2) sim.Registry().SetText(net + "\\0042", "DriverDesc", "new");
  };
  ASSERT_EQ(diag::CollectorMain(os), 0u);
  const std::string text = sim.Files().ReadFileText("C:\\NLSETUP\\NLCASE.TXT");
  EXPECT_TRUE(Has(text, net + " = changed while read")) << text.substr(0, 4000);
  EXPECT_TRUE(Has(text, "System\\CurrentControlSet\\Services\\Class\\NetTrans = present"));
}

}  // namespace
}  // namespace nl
