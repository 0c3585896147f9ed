// What the case's facts of the PC mean for the adapter: the Windows release
// and its USB support, the adapter's USB node, the locales and the ports.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../support/hostile_system.h"
#include "case_dates.h"
#include "case_file.h"
#include "compare_cases.h"
#include "findings/pc_facts.h"
#include "regfile/reg_file.h"

namespace nl::findings {
namespace {

// KB Q158238's table of VersionNumber values, and Q253756's USB column.
TEST(PcFacts, TheReleaseAndItsUsbSupportFollowTheVersionNumber) {
  const struct {
    const char* windows;
    UsbSupport usb;
    bool windows95;
  } cases[] = {
      {"4.00.950", UsbSupport::kNone, true},          {"4.00.950 A", UsbSupport::kNone, true},
      {"4.00.1111 B", UsbSupport::kWithSupplement, true}, {"4.03.1214 C", UsbSupport::kPresent, true},
      {"4.10.1998", UsbSupport::kPresent, false},     {"4.10.2222 A", UsbSupport::kPresent, false},
      {"4.90.3000", UsbSupport::kPresent, false},     {"", UsbSupport::kUnknown, false},
      {"5.00.2195", UsbSupport::kUnknown, false},
  };
  for (const auto& c : cases) {
    const WindowsRelease release = ReleaseOf(c.windows);
    EXPECT_EQ(release.usb, c.usb) << c.windows;
    EXPECT_EQ(release.windows95, c.windows95) << c.windows;
  }
}

RunFacts WithRegistry(const std::string& regText) {
  RunFacts facts;
  facts.caseFormat = 2;
  facts.registryBefore = std::make_shared<regfile::RegNode>();
  regfile::ImportRegFile("REGEDIT4\r\n\r\n" + regText, facts.registryBefore.get());
  return facts;
}

TEST(PcFacts, TheAdaptersNodeTellsWhetherItWasPluggedInAndInstalled) {
  const std::string node = "[HKEY_LOCAL_MACHINE\\Enum\\USB\\VID_1B4E&PID_0430\\5&1]\r\n";
  const struct {
    const char* name;
    std::string reg;
    const char* says;
  } cases[] = {
      {"never plugged in", "", "not been plugged in yet"},
      {"a failed install", node + "\"ConfigFlags\"=hex:40,00,00,00\r\n", "installation failed"},
      {"disabled", node + "\"ConfigFlags\"=hex:01,00,00,00\r\n", "disabled"},
      {"installed", node + "\"Driver\"=\"Infrared\\\\0000\"\r\n", "installed already"},
      {"seen, no driver", node + "\"DeviceDesc\"=\"NL-470\"\r\n", "installed no driver"},
  };
  for (const auto& c : cases)
    EXPECT_NE(AdapterNodeState(WithRegistry(c.reg)).find(c.says), std::string::npos) << c.name;
}

bool Says(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& line : lines)
    if (line.find(text) != std::string::npos) return true;
  return false;
}

TEST(PcFacts, LocalesAndPortsThatChangeTheRun) {
  RunFacts facts = WithRegistry("");
  facts.systemLocale = 0x407;
  facts.german = false;
  EXPECT_TRUE(Says(PcFactLines(facts), "skips the hardware wizard"));
  facts.german = true;
  EXPECT_FALSE(Says(PcFactLines(facts), "skips the hardware wizard"));
  // An earlier run's own virtual port is no clash; another device's is.
  facts.portsInUse["COM4"] = "Enum\\INFRARED\\COM\\ROOT&INFRARED&0000";
  EXPECT_FALSE(Says(PcFactLines(facts), "clashes"));
  facts.portsInUse["LPT3"] = "Enum\\BIOS\\*PNP0400\\0C";
  EXPECT_TRUE(Says(PcFactLines(facts), "LPT3 is in use by Enum\\BIOS"));
}

// Two states of a PC side by side: what differs, and nothing else.
TEST(CompareCases, TwoImagesShowWhatDiffersBetweenThem) {
  const std::string work = ::testing::TempDir() + "/compare-cases";
  std::filesystem::remove_all(work);
  const auto save = [&](const std::string& name, bool change) {
    sim::SimSystem sim(work + "/sim-" + name);
    sim.LoadImage(testing::SampleImage());
    if (change) {
      sim.Registry().SetText(testing::kSetupKey, "SourcePath", "D:\\WIN98");
      sim.DeleteFileA("C:\\WINDOWS\\INF\\IRMINI.INF");
    }
    sim.SaveImage(work + "/" + name);
  };
  save("before", false);
  save("after", true);
  const auto compare = [&](const std::string& second) {
    ::testing::internal::CaptureStdout();
    const int status = simrun::CompareCasesOrImages(work + "/before", second,
                                                    testing::SampleImage(), true, work + "/made");
    const std::string text = ::testing::internal::GetCapturedStdout();
    return std::make_pair(status, text);
  };
  const auto same = compare(work + "/before");
  EXPECT_EQ(same.first, 0);
  EXPECT_NE(same.second.find("(no changes)"), std::string::npos) << same.second;
  EXPECT_NE(same.second.find("== File changes ==\n(none)"), std::string::npos) << same.second;
  const auto changed = compare(work + "/after");
  EXPECT_NE(changed.second.find("\"SourcePath\"=\"D:\\\\WIN98\""), std::string::npos) << changed.second;
  EXPECT_NE(changed.second.find("removed: C:\\WINDOWS\\INF\\IRMINI.INF"), std::string::npos)
      << changed.second;
  EXPECT_EQ(compare(work + "/nothing-here").first, 2);
  std::filesystem::remove_all(work);
}

}  // namespace
}  // namespace nl::findings

namespace simrun {
namespace {

// An earlier run's traces date it; one written after the case says it was
// taken makes a case whose date cannot be trusted.
TEST(CaseDates, TheRunsTracesDateItAndCheckTheCasesClock) {
  EXPECT_EQ(DateText(*FileTimeSeconds("0x01BEAC26463BA000")), "1999-06-01 12:00");
  EXPECT_EQ(DateText(*CollectedSeconds("1999-06-01 12:00:00")), "1999-06-01 12:00");
  EXPECT_FALSE(FileTimeSeconds("0x0000000000000000"));  // before 1980: no date
  EXPECT_FALSE(CollectedSeconds("1999-13-01 12:00:00"));
  const struct {
    const char* collected;
    bool untrusted;
  } cases[] = {{"1999-06-02 09:00:00", false},  // the day after the run
               {"1999-06-01 03:00:00", false},  // within a time zone's reach
               {"1999-05-20 12:00:00", true}};  // taken before the run, by its clock
  for (const auto& c : cases) {
    SCOPED_TRACE(c.collected);
    CaseFile caseFile;
    caseFile.system["collected"] = {c.collected, 3};
    CaseSetupFile backup;
    backup.name = "IRMINI.BAK";
    backup.state.value = "present";
    backup.written.value = "0x01BEAC26463BA000";
    caseFile.files.push_back(backup);
    CaseImagePlan plan;
    PlanCaseDates(caseFile, &plan);
    ASSERT_EQ(plan.held.size(), 1u);
    EXPECT_NE(plan.held[0].find("IRMINI.BAK on 1999-06-01 12:00"), std::string::npos);
    EXPECT_EQ(plan.lacked.size(), c.untrusted ? 1u : 0u);
  }
}

}  // namespace
}  // namespace simrun
