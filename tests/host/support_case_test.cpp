// The support answer for the customer's PC as it is: the goals before the
// run (a PC before its first run, one after a complete run), what the case
// does not hold and which instance a goal was reached on (in the findings'
// table of findings_test.cpp), the image's description, and the changes as
// JSON data.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "findings/findings.h"
#include "findings/report_json.h"
#include "findings/run_facts.h"
#include "main/install_sequence.h"
#include "platform/sim/image_description.h"
#include "platform/sim/sim_system.h"
#include "regfile/reg_file.h"
#include "standins/stand_in_tools.h"

namespace nl::findings {
namespace {

using sim::SimSystem;


std::string SampleImage() { return std::string(NL_SOURCE_DIR) + "/samples/de-win98"; }

// One run on a loaded system, its facts recorded around it.
RunFacts RunOnce(SimSystem& sim, const std::function<void(SimSystem&)>& change = nullptr) {
  sim::InstallStandInTools(sim, {});
  if (change) change(sim);
  RunFacts facts;
  RecordRunFacts(sim, RunMoment::kBefore, &facts);
  InstallerMain(sim, 0x400000);
  sim.Files().ProgramEnded();
  RecordRunFacts(sim, RunMoment::kAfter, &facts);
  return facts;
}

TEST(BeforeRun, APcBeforeItsFirstRunHasNoGoalWithTheNetworkEntriesStillThere) {
  SimSystem sim;
  sim.LoadImage(SampleImage());
  const RunFacts facts = RunOnce(sim);
  const std::vector<Finding> before = DecideBeforeRun(facts);
  EXPECT_EQ(before.size(), 11u);  // the 14 goals but the three tools' runs
  EXPECT_EQ(FindingFor(before, "network-panel"), nullptr);
  for (const Finding& finding : before) {
    EXPECT_EQ(finding.status, Status::kNotReached) << finding.goal;
    EXPECT_FALSE(finding.cause.empty()) << finding.goal;
  }
  for (const char* goal : {"net-root", "net-class", "net-trans"})
    EXPECT_NE(FindingFor(before, goal)->cause.find("is still there"), std::string::npos) << goal;
  EXPECT_TRUE(EarlierRunTraces(facts).empty());
}

TEST(BeforeRun, AnImageKeptAfterACompleteRunHoldsEveryGoal) {
  const std::string kept = testing::TempDir() + "/kept-after-run";
  std::filesystem::remove_all(kept);
  {
    SimSystem first;
    first.LoadImage(SampleImage());
    RunOnce(first);
    first.SaveImage(kept);
  }
  SimSystem again;
  again.LoadImage(kept);
  EXPECT_EQ(again.LoadedDescription().locale, 0x407u);
  const RunFacts facts = RunOnce(again);
  for (const Finding& finding : DecideBeforeRun(facts))
    EXPECT_EQ(finding.status, Status::kReached) << finding.goal << ": " << finding.cause;
  const std::vector<Finding> run = DecideFindings(facts);
  for (const char* goal : {"net-root", "net-class", "net-trans"}) {
    EXPECT_EQ(FindingFor(run, goal)->status, Status::kReached) << goal;
    EXPECT_NE(FindingFor(run, goal)->cause.find("nothing to delete"), std::string::npos);
  }
  // Both backups and the display name.
  EXPECT_EQ(EarlierRunTraces(facts).size(), 3u);
  std::filesystem::remove_all(kept);
}

// Edited INF files whose backups a clean-up tool deleted: the edits are
// there, and the originals are lost.
TEST(BeforeRun, EditedInfFilesWithoutBackupsHoldTheEditsAndLoseTheOriginals) {
  const std::string kept = testing::TempDir() + "/kept-without-backups";
  std::filesystem::remove_all(kept);
  {
    SimSystem first;
    first.LoadImage(SampleImage());
    RunOnce(first);
    first.SaveImage(kept);
  }
  SimSystem sim;
  sim.LoadImage(kept);
  std::filesystem::remove_all(kept);
  for (const char* backup : {"C:\\WINDOWS\\INF\\IRMINI.BAK", "C:\\WINDOWS\\INF\\INFRARED.BAK"})
    ASSERT_EQ(sim.DeleteFileA(backup), 1);
  const RunFacts facts = RunOnce(sim);
  EXPECT_EQ(FindingFor(DecideBeforeRun(facts), "inf-edits")->status, Status::kReached);
  EXPECT_EQ(FindingFor(DecideFindings(facts), "inf-edits")->status, Status::kReached);
  int lost = 0;
  for (const std::string& trace : EarlierRunTraces(facts))
    lost += trace.find("original") != std::string::npos && trace.find("is lost") != std::string::npos;
  EXPECT_EQ(lost, 2);
}

TEST(ImageDescription, KeepsWhatTheCaseLacksThroughItsText) {
  sim::ImageDescription description;
  description.locale = 0x409;
  description.drives['D'] = sim::DriveKind::kCdRomNoDisc;
  description.missing = {"Enum\\Root\\Net", "IRMINI.INF"};
  description.caseFormat = 2;
  description.pcDriver = "present, 4096 bytes, crc32 0x89ABCDEF";
  description.ports["COM4"] = "Enum\\BIOS\\*PNP0501\\0E";
  description.driverDatabase["DRVDATA.BIN"] = "present, 81920 bytes";
  description.lacked = {"Windows' VersionNumber: 95, OSR2, 98 and 98 SE cannot be told apart"};
  const sim::ImageDescription read =
      sim::ParseImageDescription(sim::FormatImageDescription(description), "image.txt");
  EXPECT_EQ(read.locale, description.locale);
  EXPECT_EQ(read.drives, description.drives);
  EXPECT_EQ(read.missing, description.missing);
  EXPECT_EQ(read.caseFormat, 2);
  EXPECT_EQ(read.pcDriver, description.pcDriver);
  EXPECT_EQ(read.ports, description.ports);
  EXPECT_EQ(read.driverDatabase, description.driverDatabase);
  EXPECT_EQ(read.lacked, description.lacked);
  EXPECT_THROW(sim::ParseImageDescription("missing =\n", "image.txt"), std::runtime_error);
}

TEST(ReportJson, GivesTheChangesAsData) {
  RunReport report;
  report.locale = 0x409;
  report.localeSource = "image";
  auto before = std::make_shared<regfile::RegNode>();
  auto after = std::make_shared<regfile::RegNode>();
  regfile::ImportRegFile("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"V\"=\"old\"\r\n"
                         "\"Gone\"=dword:00000001\r\n\r\n[HKEY_LOCAL_MACHINE\\A\\Sub]\r\n",
                         before.get());
  regfile::ImportRegFile("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\a]\r\n\"v\"=\"new\"\r\n\r\n"
                         "[HKEY_LOCAL_MACHINE\\B\\C]\r\n\"X\"=hex:01,02\r\n",
                         after.get());
  report.registryBefore = before;
  report.registryAfter = after;
  report.files.push_back({"C:\\WINDOWS\\INF\\IRMINI.BAK", "added", 0, 12});
  const nlohmann::json parsed = nlohmann::json::parse(ReportJson(report));
  EXPECT_EQ(parsed["locale"], "0x409");
  EXPECT_EQ(parsed["localeSource"], "image");
  const nlohmann::json& changes = parsed["registryChanges"];
  EXPECT_EQ(changes["valuesChanged"][0]["old"]["text"], "old");
  EXPECT_EQ(changes["valuesChanged"][0]["new"]["text"], "new");
  EXPECT_EQ(changes["valuesDeleted"][0]["dword"], 1);
  EXPECT_EQ(changes["keysDeleted"][0]["key"], "HKEY_LOCAL_MACHINE\\A\\Sub");
  ASSERT_EQ(changes["keysAdded"].size(), 2u);  // B and B\C
  EXPECT_EQ(changes["keysAdded"][1]["values"][0]["hex"], "01 02");
  EXPECT_EQ(parsed["fileChanges"]["added"][0]["path"], "C:\\WINDOWS\\INF\\IRMINI.BAK");
}

}  // namespace
}  // namespace nl::findings
