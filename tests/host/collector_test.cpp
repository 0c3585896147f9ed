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

std::string Collected(const std::function<void(sim::SimSystem&)>& change) {
  sim::SimSystem sim;
  sim.LoadImage(std::string(NL_SOURCE_DIR) + "/samples/de-win98");
  change(sim);
  testing::SimDiagSystem os(sim);
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
  };
  for (const CollectorCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = Collected(c.change);
    for (const std::string& part : c.present) EXPECT_TRUE(Has(text, part)) << part;
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
