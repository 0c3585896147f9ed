// The findings of whole runs on the German sample image, one change of the
// image per cause: which goal is reached or not, and a word of the cause.
// And the JSON report stays valid whatever bytes its texts hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <map>
#include <set>
#include <string>

#include "../support/hostile_run.h"
#include "findings/findings.h"
#include "findings/report_json.h"
#include "findings/run_facts.h"
#include "main/install_sequence.h"
#include "platform/sim/sim_system.h"
#include "standins/stand_in_tools.h"
#include "regfile/reg_decode.h"
#include "regfile/reg_file.h"

namespace nl::findings {
namespace {

using sim::SimSystem;

constexpr const char* kSetupKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
constexpr const char* kNetClass = "System\\CurrentControlSet\\Services\\Class\\Net";
constexpr const char* kNetTrans = "System\\CurrentControlSet\\Services\\Class\\NetTrans";

void Import(SimSystem& sim, const std::string& regText) {
  regfile::ImportRegFile("REGEDIT4\r\n\r\n" + regText, &sim.Registry().Root());
}

void RemoveKey(SimSystem& sim, const std::string& parent, const std::string& name) {
  std::vector<std::string> names;
  regfile::SplitKeyPath(parent.c_str(), &names);
  regfile::RemoveSubkey(regfile::WalkKeys(&sim.Registry().Root(), names), name);
}

regfile::RegNode* SetupKey(SimSystem& sim) {
  std::vector<std::string> names;
  regfile::SplitKeyPath(kSetupKey, &names);
  return regfile::WalkKeys(&sim.Registry().Root(), names);
}

// The IrDA protocol removed and added again: its new key is listed after
// NetTrans\0011, as regedit exports the keys in the order Windows keeps them.
void ReinstallProtocolLast(SimSystem& sim, const std::string& number) {
  RemoveKey(sim, kNetTrans, "0001");
  std::string text;
  for (const char* other : {"0001", "0002", "0004", "0005", "0006", "0007", "0008", "0009",
                            "0010", "0011"})
    text += "[HKEY_LOCAL_MACHINE\\" + std::string(kNetTrans) + "\\" + other +
            "]\r\n\"DeviceVxDs\"=\"vnetbeui.386\"\r\n\r\n";
  text += "[HKEY_LOCAL_MACHINE\\" + std::string(kNetTrans) + "\\" + number +
          "]\r\n\"DeviceVxDs\"=\"IRDA.SYS\"\r\n";
  Import(sim, text);
}

struct Case {
  const char* name;
  std::uint32_t locale;
  const char* standIns;
  std::function<void(SimSystem&)> change;
  const char* goal;
  Status status;
  const char* causeWord;
  std::set<std::string> missing = {};  // what the customer's case does not hold
};

const Case kCases[] = {
    // One cause said once for the edits it stops.
    {"no IRMINI.INF", 0x407, "",
     [](SimSystem& s) { s.DeleteFileA("C:\\WINDOWS\\INF\\IRMINI.INF"); },
     "inf-edits", Status::kNotReached, "edits 1 to 8: IRMINI.INF is not in C:\\WINDOWS\\INF"},
    // The shipped file is not what the run copies: the copy is not the driver.
    {"a driver cut short", 0x409, "",
     [](SimSystem& s) { s.Files().WriteFileText("C:\\NLSETUP\\nl-430.sys", "MZ"); },
     "driver-copy", Status::kNotReached, "not the one shipped (2 bytes"},
    {"INFRARED.INF without its class install", 0x409, "",
     [](SimSystem& s) { s.Files().WriteFileText("C:\\WINDOWS\\INF\\INFRARED.INF", "[Strings]\r\n"); },
     "class-installer", Status::kNotReached, "no [ClassInstall] section"},
    {"customer INF lacks a search text", 0x407, "",
     [](SimSystem& s) {
       std::string inf = s.Files().ReadFileText("C:\\WINDOWS\\INF\\IRMINI.INF");
       inf.replace(inf.find("DeviceID=IRMINI"), 15, "DeviceID=OTHER");
       s.Files().WriteFileText("C:\\WINDOWS\\INF\\IRMINI.INF", inf);
     },
     "inf-edits", Status::kNotReached, "does not hold \"DeviceID=IRMINI\""},
    {"no scratch dir", 0x407, "",
     [](SimSystem& s) { SetupKey(s)->RemoveValue("SetupScratchDir"); },
     "display-name", Status::kNotReached, "SetupScratchDir"},
    {"no SourcePath", 0x409, "",
     [](SimSystem& s) { SetupKey(s)->RemoveValue("SourcePath"); },
     "driver-copy", Status::kNotReached, "no SourcePath"},
    {"SourcePath on a CD-ROM drive without disc", 0x409, "",
     [](SimSystem& s) {
       s.Registry().SetText(kSetupKey, "SourcePath", "D:\\WIN98\\");
       s.Files().SetDriveKind('D', sim::DriveKind::kCdRomNoDisc);
     },
     "driver-copy", Status::kNotReached, "a CD-ROM drive without its disc"},
    {"SourcePath on a CD-ROM drive with its disc", 0x409, "",
     [](SimSystem& s) {
       s.Registry().SetText(kSetupKey, "SourcePath", "D:\\WIN98\\");
       s.Files().SetDriveKind('D', sim::DriveKind::kCdRom);
     },
     "driver-copy", Status::kNotReached, "read-only"},
    {"SourcePath on a drive that is not there", 0x409, "",
     [](SimSystem& s) { s.Registry().SetText(kSetupKey, "SourcePath", "D:\\WIN98\\"); },
     "driver-copy", Status::kNotReached, "there is no drive D:"},
    {"SourcePath through device names", 0x409, "",
     [](SimSystem& s) { s.Registry().SetText(kSetupKey, "SourcePath", "C:\\LPT1\\COM1"); },
     "driver-copy", Status::kNotReached, "a name Windows refuses"},
    {"SourcePath folder missing", 0x409, "",
     [](SimSystem& s) { s.Registry().SetText(kSetupKey, "SourcePath", "C:\\CABS"); },
     "driver-copy", Status::kNotReached, "does not exist"},
    {"driver file not beside the program", 0x409, "",
     [](SimSystem& s) { s.Processes().SetProgramPath("C:\\ELSEWHERE\\NLSETUP.EXE"); },
     "driver-copy", Status::kNotReached, "not beside the program"},
    {"class installer cannot start", 0x409, "installer=failstart", nullptr,
     "class-installer", Status::kNotReached, "could not be started"},
    {"wizard cannot start: later goals undone", 0x407, "wizard=failstart", nullptr,
     "net-trans", Status::kNotReached, "ended early"},
    {"wizard lacks its manufacturer list", 0x407, "wizard=no1580", nullptr,
     "hardware-wizard", Status::kNotReached, "1580"},
    {"English: German-only goals", 0x409, "", nullptr,
     "virtual-ports", Status::kNotApplicable, "locale is not German"},
    {"panel dialog without title", 0x409, "panel=notitle", nullptr,
     "network-panel", Status::kNotReached, "no title"},
    {"no IRMINI adapter among Net\\0000-0009", 0x407, "",
     [](SimSystem& s) {
       s.Registry().SetText("System\\CurrentControlSet\\Services\\Class\\Net\\0001", "AdapterName", "OTHER");
       s.Registry().SetText("System\\CurrentControlSet\\Services\\Class\\Net\\0012", "AdapterName", "IRMINI");
     },
     "adapter-port", Status::kNotReached, "Net\\0012"},
    {"no matching subkey: nothing to delete", 0x409, "",
     [](SimSystem& s) { RemoveKey(s, "Enum\\Root\\Net", "0000"); },
     "net-root", Status::kReached, "nothing to delete: no subkey"},
    // No key opens, SourcePath neither: the user skips the prompt for the
    // driver that was not copied.
    {"key cannot be opened", 0x409, "answer=skip",
     [](SimSystem& s) { s.Journal().FailOperation("RegOpenKeyExA"); },
     "net-class", Status::kNotReached, "could not be opened"},
    {"deletion fails", 0x409, "",
     [](SimSystem& s) { s.Journal().FailOperation("RegDeleteKeyA"); },
     "net-trans", Status::kNotReached, "deletion failed"},
    {"match beyond the first ten by name", 0x409, "",
     [](SimSystem& s) { ReinstallProtocolLast(s, "0012"); },
     "net-trans", Status::kNotReached, "number 12 in enumeration order"},
    // What the case does not hold is unknown, not guessed; a second
    // instance is named.
    {"export of the Setup key alone", 0x407, "", nullptr,
     "net-trans", Status::kUnknown, "Class\\NetTrans (not in the registry export)",
     {"Enum\\Root\\Net", kNetClass, kNetTrans}},
    {"the same export: the network adapters", 0x407, "", nullptr,
     "adapter-port", Status::kUnknown, "Class\\Net ", {kNetClass}},
    {"INFRARED.INF not given", 0x407, "", nullptr,
     "inf-edits", Status::kUnknown, "INFRARED.INF (the INF file was not given)",
     {"INFRARED.INF"}},
    {"INFRARED.INF not given: the display name is IRMINI.INF's", 0x407, "", nullptr,
     "display-name", Status::kReached, "", {"INFRARED.INF"}},
    {"SourcePath on a network share", 0x407, "",
     [](SimSystem& s) { s.Registry().SetText(kSetupKey, "SourcePath", "\\\\SERVER\\CDS\\WIN98"); },
     "driver-copy", Status::kUnknown, "network share"},
    {"a second IRMINI adapter", 0x407, "",
     [](SimSystem& s) {
       s.Registry().SetText(std::string(kNetClass) + "\\0005", "AdapterName", "IRMINI");
       s.Registry().SetText(std::string(kNetClass) + "\\0005", "DriverDesc", "Built-in IrDA");
     },
     "adapter-port", Status::kReached, "Net\\0005 (DriverDesc \"Built-in IrDA\") is an IRMINI"},
    {"a second matching protocol", 0x407, "",
     [](SimSystem& s) { s.Registry().SetText("Enum\\Root\\Net\\0007", "CompatibleIDs", "IRMINI"); },
     "net-root", Status::kReached, "Net\\0007 (CompatibleIDs \"IRMINI\") matches too and stays"},
};

RunFacts FactsOf(const Case& c) {
  SimSystem sim;
  sim.LoadImage(std::string(NL_SOURCE_DIR) + "/samples/de-win98");
  sim.Processes().SetUserDefaultLcid(c.locale);
  sim::StandInOptions options;
  EXPECT_TRUE(sim::ParseStandInOptions(c.standIns, &options));
  sim::InstallStandInTools(sim, options);
  if (c.change) c.change(sim);
  RunFacts facts;
  RecordRunFacts(sim, RunMoment::kBefore, &facts);
  std::ifstream shipped(std::string(NL_SOURCE_DIR) + "/samples/de-win98/drive_c/NLSETUP/nl-430.sys",
                        std::ios::binary);
  facts.shippedDriver.assign(std::istreambuf_iterator<char>(shipped), {});
  try {
    InstallerMain(sim, 0x400000);
  } catch (const sim::SimWaitsForUser& waiting) {
    facts.waiting = waiting.what();
  } catch (const sim::SimStopped& stopped) {
    facts.stopped = stopped.what();
  }
  sim.Files().ProgramEnded();
  RecordRunFacts(sim, RunMoment::kAfter, &facts);
  facts.missing = c.missing;
  return facts;
}

std::vector<Finding> RunCase(const Case& c) { return DecideFindings(FactsOf(c)); }

// A tool played by a stand-in is assumed only when the case shows what the
// real tool needs; what it cannot show leaves the goal unknown.
TEST(Findings, ToolGoalsRestOnWhatTheCaseShowsOfTheTools) {
  const RunFacts sample = FactsOf({"sample", 0x409, "", nullptr, "", {}, ""});
  const std::map<std::string, std::string> allThere = {
      {"RUNDLL32.EXE", "present, 1 bytes"}, {"SYSDM.CPL", "present, 1 bytes"},
      {"NETCPL.CPL", "present, 1 bytes"}, {"SHELL32.DLL", "present, 1 bytes"}};
  struct ToolCase {
    const char* name;
    int caseFormat;
    const char* absent;  // a tool file the case shows absent; "-" leaves it out
    Status installer, panel;
    const char* causeWord;
  } cases[] = {
      {"an image from no case", 0, nullptr, Status::kAssumed, Status::kAssumed, "stand-in"},
      {"every file there", 2, nullptr, Status::kAssumed, Status::kAssumed, "stand-in"},
      {"a case of format 1", 1, nullptr, Status::kUnknown, Status::kUnknown, "older NLDIAG"},
      {"SYSDM.CPL absent", 2, "SYSDM.CPL", Status::kUnknown, Status::kAssumed, "most likely cannot start"},
      {"NETCPL.CPL not listed", 2, "-NETCPL.CPL", Status::kAssumed, Status::kUnknown, "does not show NETCPL.CPL"},
  };
  for (const ToolCase& c : cases) {
    SCOPED_TRACE(c.name);
    RunFacts facts = sample;
    facts.caseFormat = c.caseFormat;
    if (c.caseFormat == 2) facts.tools = allThere;
    if (c.absent && c.absent[0] == '-') facts.tools.erase(c.absent + 1);
    else if (c.absent) facts.tools[c.absent] = "absent (error 2)";
    const std::vector<Finding> found = DecideFindings(facts);
    EXPECT_EQ(FindingFor(found, "class-installer")->status, c.installer);
    EXPECT_EQ(FindingFor(found, "network-panel")->status, c.panel);
    const Finding* open = c.installer != Status::kAssumed ? FindingFor(found, "class-installer")
                                                          : FindingFor(found, "network-panel");
    EXPECT_NE(open->cause.find(c.causeWord), std::string::npos) << open->cause;
  }
}

TEST(Findings, EachCauseNamesWhatWentWrong) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::vector<Finding> findings = RunCase(c);
    const Finding* finding = FindingFor(findings, c.goal);
    ASSERT_NE(finding, nullptr);
    EXPECT_EQ(StatusName(finding->status), std::string(StatusName(c.status)));
    EXPECT_NE(finding->cause.find(c.causeWord), std::string::npos) << finding->cause;
  }
}

// KNOWN TO FAIL while the simulated registry enumerates subkeys sorted by
// name: there 0003 is the fourth subkey and is deleted. Windows enumerates
// them in the order it keeps them, the order the export lists them, and so
// never looks at the re-added protocol; this test holds once the simulated
// registry keeps that order.
TEST(Findings, ReinstalledProtocolListedLastIsBeyondTheFirstTen) {
  const Case reinstalled = {"reinstalled protocol listed last", 0x409, "",
                            [](SimSystem& s) { ReinstallProtocolLast(s, "0003"); },
                            "net-trans", Status::kNotReached, "NetTrans\\0003, is number 12"};
  const std::vector<Finding> findings = RunCase(reinstalled);
  const Finding* finding = FindingFor(findings, reinstalled.goal);
  ASSERT_NE(finding, nullptr);
  EXPECT_EQ(finding->status, Status::kNotReached);
  EXPECT_NE(finding->cause.find(reinstalled.causeWord), std::string::npos) << finding->cause;
}

// A run that ends behind Windows' request for the disc of SourcePath's
// drive (what the copy would meet without SEM_FAILCRITICALERRORS): the copy
// and every later goal are not reached for that cause.
TEST(Findings, ARunWaitingForTheDiscSaysSoFromTheCopyOn) {
  const std::string wait = "Windows asks for the disc in drive D: and the run waits for an answer";
  for (const bool atCopy : {true, false}) {
    SimSystem sim;
    sim.LoadImage(std::string(NL_SOURCE_DIR) + "/samples/de-win98");
    sim::InstallStandInTools(sim, {});
    sim.Registry().SetText(kSetupKey, "SourcePath", "D:\\WIN98");
    sim.Files().SetDriveKind('D', sim::DriveKind::kCdRomNoDisc);
    RunFacts facts;
    RecordRunFacts(sim, RunMoment::kBefore, &facts);
    // Cut at the copy, as the wait would, or at a call of the first phase.
    sim.Journal().StopAfterCall(
        atCopy ? testing::CallNumberInUntouchedRun(0x407, "CopyFileA", ", 0") : 3);
    EXPECT_THROW(InstallerMain(sim, 0x400000), sim::SimStopped);
    RecordRunFacts(sim, RunMoment::kAfter, &facts);
    facts.waiting = wait;
    const std::vector<Finding> findings = DecideFindings(facts);
    EXPECT_EQ(FindingFor(findings, "infrared-class")->status,
              atCopy ? Status::kReached : Status::kNotReached);
    for (const char* goal : {"driver-copy", "class-installer", "net-trans"}) {
      const Finding* finding = FindingFor(findings, goal);
      EXPECT_EQ(finding->status, Status::kNotReached) << goal;
      if (atCopy)
        EXPECT_EQ(finding->cause, wait) << goal;
      else
        EXPECT_NE(finding->cause.find("; then the run waits: " + wait), std::string::npos)
            << goal << ": " << finding->cause;
    }
  }
}

// A retail PC whose SourcePath is the CD-ROM drive, its disc out: the copy
// fails quietly and the run goes on to reach everything else.
// The copy fails quietly; then the class installer needs the file it
// could not copy and asks for it, and the run waits for the user there.
TEST(Findings, WithoutTheDiscWindowsAsksForTheDriverAndTheRunWaits) {
  const Case noDisc = {"no disc", 0x407, "",
                       [](SimSystem& s) {
                         s.Registry().SetText(kSetupKey, "SourcePath", "D:\\WIN98");
                         s.Files().SetDriveKind('D', sim::DriveKind::kCdRomNoDisc);
                       },
                       "", {}, ""};
  bool waited = false;
  for (const Finding& finding : RunCase(noDisc)) {
    SCOPED_TRACE(finding.goal + ": " + finding.cause);
    if (finding.goal == "driver-copy") {
      EXPECT_EQ(finding.status, Status::kNotReached);
    } else if (finding.goal == "class-installer" || waited) {
      waited = true;
      EXPECT_EQ(finding.status, Status::kNotReached);
      EXPECT_NE(finding.cause.find("asks for nl-430.sys"), std::string::npos);
    } else {
      EXPECT_EQ(finding.status, nl::testing::ReachedStatus(finding.goal));
    }
  }
  EXPECT_TRUE(waited);
}

TEST(Findings, TheSampleRunReachesEveryGoal) {
  const RunFacts facts = FactsOf({"sample", 0x407, "", nullptr, "", {}, ""});
  for (const Finding& finding : DecideFindings(facts))
    EXPECT_EQ(finding.status, nl::testing::ReachedStatus(finding.goal)) << finding.goal << ": " << finding.cause;
  // The three network entries, each deleted on purpose and said so.
  const std::vector<std::string> deleted = PurposefulDeletions(facts);
  ASSERT_EQ(deleted.size(), 3u);
  EXPECT_NE(deleted[1].find("Class\\Net\\0000 deleted on purpose: the network-class driver entry"),
            std::string::npos) << deleted[1];
}

TEST(Findings, JsonStaysValidForAnyBytes) {
  std::string bytes;
  for (int c = 1; c < 256; ++c) bytes += static_cast<char>(c);
  bytes += "\"\\\\\"";
  RunReport report;
  report.findings.push_back({bytes, Status::kNotReached, bytes});
  report.processes.push_back({0, bytes, true, 1});
  report.files.push_back({bytes, "changed", 1, 2});  // not UTF-8: replaced, still valid
  report.image = bytes;
  report.pcFacts.push_back(bytes);
  auto after = std::make_shared<regfile::RegNode>();
  after->AddSubkey(bytes)->SetValue(bytes, 1, bytes);
  report.registryAfter = after;
  const nlohmann::json parsed = nlohmann::json::parse(ReportJson(report));
  EXPECT_EQ(parsed["findings"][0]["cause"], regfile::Cp1252ToUtf8(bytes));
  EXPECT_EQ(parsed["registryChanges"]["keysAdded"][0]["values"][0]["name"],
            regfile::Cp1252ToUtf8(bytes));
  EXPECT_EQ(parsed["findings"][0]["status"], "not reached");
  EXPECT_EQ(parsed["pcFacts"][0], regfile::Cp1252ToUtf8(bytes));
  EXPECT_EQ(parsed["verdict"]["phases"].size(), 11u);
  EXPECT_NE(parsed["verdict"]["summary"].get<std::string>().find("The installation"),
            std::string::npos);
  EXPECT_NE(parsed["systemTools"].get<std::string>().find("scripted stand-ins"),
            std::string::npos);
}

}  // namespace
}  // namespace nl::findings
