// The case file from end to end on the simulated system: NLDIAG's collector
// on a PC, simrun's image made from its case, and the installation run on
// both must leave the same changes; a case damaged by hand gives an error
// naming its line; limits are recorded, not cut short in silence.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "case_file.h"
#include "case_image.h"
#include "diag/case_format.h"
#include "diag/collector.h"
#include "main/install_sequence.h"
#include "platform/sim/sim_system.h"
#include "regfile/reg_account.h"
#include "regfile/reg_file.h"
#include "standins/stand_in_tools.h"
#include "../support/sim_diag_system.h"

namespace nl {
namespace {

namespace fs = std::filesystem;
using sim::SimSystem;

const std::string kSample = std::string(NL_SOURCE_DIR) + "/samples/de-win98";
constexpr const char* kCasePath = "C:\\NLSETUP\\NLCASE.TXT";

struct Folder {
  fs::path path;
  Folder() {
    char name[] = "/tmp/nl-case-test-XXXXXX";
    path = ::mkdtemp(name);
  }
  ~Folder() { fs::remove_all(path); }
};

std::unique_ptr<SimSystem> Sample(std::uint32_t locale) {
  auto sim = std::make_unique<SimSystem>();
  sim->LoadImage(kSample);
  sim->Processes().SetUserDefaultLcid(locale);
  return sim;
}

// Runs the collector quietly; the case file's text.
std::string Collect(SimSystem& sim) {
  testing::SimDiagSystem os(sim);
  EXPECT_EQ(diag::CollectorMain(os), 0u);
  return sim.Files().ReadFileText(kCasePath);
}

// What one installation run changed: the registry account and the files.
std::string RunAndDescribe(SimSystem& sim) {
  const std::string before = regfile::ExportRegFile(sim.Registry().Root());
  sim::StandInOptions options;
  sim::InstallStandInTools(sim, options);
  EXPECT_EQ(InstallerMain(sim, 0x10000000), 0);
  sim.Files().ProgramEnded();
  regfile::RegNode beforeRoot;
  regfile::ImportRegFile(before, &beforeRoot);
  std::string described = regfile::RegistryAccount(beforeRoot, sim.Registry().Root());
  for (const char* path : {"C:\\WINDOWS\\INF\\IRMINI.INF", "C:\\WINDOWS\\INF\\IRMINI.BAK",
                           "C:\\WINDOWS\\INF\\INFRARED.INF", "C:\\WINDOWS\\INF\\INFRARED.BAK",
                           "C:\\WINDOWS\\INF\\NL-TEMP.INF", "C:\\WINDOWS\\OPTIONS\\CABS\\nl-430.sys"})
    described += std::string("\n") + path + ": " +
                 (sim.Files().FileExists(path) ? sim.Files().ReadFileText(path) : "(none)");
  return described;
}

std::string MakeImage(const std::string& caseText, const fs::path& work, int expectedExit = 0) {
  const fs::path casePath = work / "NLCASE.TXT";
  std::ofstream(casePath, std::ios::binary) << caseText;
  const fs::path image = work / "image";
  EXPECT_EQ(simrun::MakeImageFromCase(image.string(), casePath.string(), kSample), expectedExit);
  return image.string();
}

// The prediction equals the outcome: the image made from the case runs as
// the PC itself, German and English, and collecting changed nothing.
TEST(CaseFile, ImageFromTheCaseRunsAsThePc) {
  for (const std::uint32_t locale : {0x0407u, 0x0409u}) {
    SCOPED_TRACE(locale);
    Folder work;
    auto pc = Sample(locale);
    const std::string registryBefore = regfile::ExportRegFile(pc->Registry().Root());
    const std::string caseText = Collect(*pc);
    EXPECT_EQ(regfile::ExportRegFile(pc->Registry().Root()), registryBefore);
    for (const sim::JournalEntry& entry : pc->Journal().Entries()) {
      EXPECT_NE(entry.operation, "RegSetValueExA");
      EXPECT_NE(entry.operation, "RegCreateKeyExA");
      EXPECT_NE(entry.operation, "DeleteFileA") << entry.arguments;
      if (entry.operation == "CreateFileA" && entry.arguments.find("GENERIC_WRITE") != std::string::npos) {
        EXPECT_NE(entry.arguments.find("NLCASE.TXT"), std::string::npos) << entry.arguments;
      }
    }
    EXPECT_EQ(pc->Files().ErrorMode(), 0u) << "the error mode is put back";
    EXPECT_NE(caseText.find("\r\n== end\r\n"), std::string::npos);

    const std::string image = MakeImage(caseText, work.path);
    SimSystem fromCase;
    fromCase.LoadImage(image);
    EXPECT_EQ(fromCase.GetUserDefaultLCID(), locale);
    EXPECT_EQ(RunAndDescribe(fromCase), RunAndDescribe(*pc));
  }
}

// The number of the first line holding `text`, counted from 1.
std::size_t LineOf(const std::string& caseText, const std::string& text) {
  const std::size_t at = caseText.find(text);
  EXPECT_NE(at, std::string::npos) << text;
  return 1 + static_cast<std::size_t>(std::count(caseText.begin(), caseText.begin() + at, '\n'));
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

// A case damaged by hand: a clear error naming the line where the damage
// shows, and no image planned from it.
TEST(CaseFile, DamageNamesTheLine) {
  auto pc = Sample(0x0407);
  const std::string good = Collect(*pc);
  const std::size_t irminiAt = good.find("== file IRMINI.INF");
  const std::size_t firstBytes = good.find("\r\n5b", irminiAt) + 2;  // "[Version]..."
  const std::string bytesLine = good.substr(firstBytes, good.find("\r\n", firstBytes) - firstBytes);
  const std::string crcLine = good.substr(good.find("crc32 = ", irminiAt), 18);
  const std::string sizeLine = good.substr(good.find("size = ", irminiAt), 11);
  struct Damage {
    const char* what;
    std::string text;
    std::string line;     // the line the error must name, found in the damaged text
    const char* because;
  };
  const std::string flipped = Replaced(good, bytesLine, "5c" + bytesLine.substr(2));
  const Damage damages[] = {
      {"another first line", Replaced(good, "NLDIAG case file 1", "NLDIAG case file 2"),
       "NLDIAG case file 2", "not a case file"},
      {"saved again as UTF-8", "\xEF\xBB\xBF" + good, "NLDIAG", "saved again"},
      {"a byte changed", flipped, crcLine, "do not match their checksum"},
      {"a line of bytes lost", Replaced(good, bytesLine + "\r\n", ""), sizeLine,
       "the lines above hold"},
      {"not hexadecimal", Replaced(good, bytesLine, "zz" + bytesLine.substr(2)), "zz",
       "nor hexadecimal"},
      {"a part twice", Replaced(good, "== program folder", "== system"), "== system\r\nfolder",
       "a second time"},
      {"no REGEDIT4 header", Replaced(good, "REGEDIT4", "REGEDIT9"), "== registry\r\n",
       "registry"},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    try {
      simrun::ReadCaseFile(damage.text, "NLCASE.TXT");
      ADD_FAILURE() << "no error";
    } catch (const simrun::CaseError& error) {
      const std::string expected = "NLCASE.TXT line " + std::to_string(LineOf(damage.text, damage.line)) + ":";
      EXPECT_EQ(std::string(error.what()).rfind(expected, 0), 0u) << error.what() << " / " << expected;
      EXPECT_NE(std::string(error.what()).find(damage.because), std::string::npos) << error.what();
    }
  }
  // Lighter damage gives warnings naming the line, and what is missing is
  // said: a case cut short after its registry lacks the files and the end.
  const std::string strayLine = Replaced(good, "user-locale", "a stray line\r\nuser-locale");
  const simrun::CaseFile stray = simrun::ReadCaseFile(strayLine, "NLCASE.TXT");
  ASSERT_EQ(stray.warnings.size(), 1u);
  EXPECT_EQ(stray.warnings[0].rfind("NLCASE.TXT line " + std::to_string(LineOf(strayLine, "a stray")), 0), 0u)
      << stray.warnings[0];
  const simrun::CaseFile cut =
      simrun::ReadCaseFile(good.substr(0, good.find("== registry status")), "NLCASE.TXT");
  const simrun::CaseImagePlan plan = simrun::PlanCaseImage(cut, "driver");
  std::string lacked;
  for (const std::string& line : plan.lacked) lacked += line + "\n";
  EXPECT_NE(lacked.find("IRMINI.INF: the case says nothing of it"), std::string::npos) << lacked;
  EXPECT_NE(lacked.find("cut short"), std::string::npos) << lacked;
  EXPECT_NE(lacked.find("nothing said of nl-430.sys"), std::string::npos) << lacked;
  EXPECT_TRUE(plan.files.empty()) << plan.files[0].first;
}

// Beyond the limits: a value too large for the collector's buffer and a
// setup file larger than a case holds are recorded as such and said to be
// lacking; a CD-ROM drive without its disc asks for nothing (no box).
TEST(CaseFile, LimitsAndDrivesAreRecorded) {
  auto pc = Sample(0x0407);
  pc->Registry().SetValue("System\\CurrentControlSet\\Services\\Class\\Net\\0002", "Huge", kRegBinary,
                          std::string(diag::kMaxValueData + 1, 'x'));
  pc->Files().WriteFileText("C:\\WINDOWS\\INF\\IRMINI.BAK", std::string(diag::kMaxFileBytes + 1, ';'));
  pc->Registry().SetText("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup", "SourcePath", "D:\\WIN98\\");
  pc->Files().SetDriveKind('D', sim::DriveKind::kCdRomNoDisc);
  const std::string caseText = Collect(*pc);
  EXPECT_EQ(pc->Files().TakeMediumRequest(), 0) << "a box would have asked for the disc";
  EXPECT_NE(caseText.find("; not written: value too large, value 6 of this key"), std::string::npos);
  EXPECT_NE(caseText.find("Class\\Net = incomplete, 7 keys, 25 values, 1 left out"), std::string::npos) << caseText;
  EXPECT_NE(caseText.find("state = too large (1048577 bytes; the limit is 1048576)"), std::string::npos);
  EXPECT_NE(caseText.find("drive = D:\r\ntype = 5\r\nmedium = absent (error 21)"), std::string::npos);

  Folder work;
  const std::string image = MakeImage(caseText, work.path, 1);
  SimSystem fromCase;
  fromCase.LoadImage(image);
  EXPECT_EQ(fromCase.Files().DriveKindOf('D'), sim::DriveKind::kCdRomNoDisc);
  // What the case does not hold whole is missing, so that what rests on it
  // is unknown; a file too large that no goal reads is only said.
  EXPECT_EQ(fromCase.LoadedDescription().missing,
            std::set<std::string>{"System\\CurrentControlSet\\Services\\Class\\Net"});
  EXPECT_FALSE(fs::exists(fs::path(image) / "drive_c/WINDOWS/INF/IRMINI.BAK"));
  EXPECT_TRUE(fs::exists(fs::path(image) / "drive_c/WINDOWS/INF/IRMINI.INF"));
}

// Written where it can be: from a CD the case goes to the root folder of
// the system drive, and the message box says so, in German on German
// systems.
TEST(CaseFile, FromACdTheCaseGoesToTheSystemDrive) {
  for (const std::uint32_t locale : {0x0407u, 0x0409u}) {
    auto pc = Sample(locale);
    pc->Files().SetDriveKind('E', sim::DriveKind::kCdRom);
    testing::SimDiagSystem os(*pc);
    os.programPath = "E:\\NLDIAG.EXE";
    os.commandLine = "E:\\NLDIAG.EXE";
    EXPECT_EQ(diag::CollectorMain(os), 0u);
    EXPECT_TRUE(pc->Files().FileExists("C:\\NLCASE.TXT"));
    ASSERT_EQ(os.messages.size(), 1u);
    EXPECT_NE(os.messages[0].find("C:\\NLCASE.TXT"), std::string::npos);
    EXPECT_NE(os.messages[0].find(locale == 0x0407 ? "Stammordner" : "root folder"), std::string::npos)
        << os.messages[0];
  }
}

TEST(CaseFile, QuietCommandLine) {
  const struct {
    const char* line;
    bool quiet;
  } cases[] = {
      {"NLDIAG.EXE /quiet", true},    {"\"D:\\NL DIAG\\NLDIAG.EXE\" /QUIET", true},
      {"NLDIAG.EXE", false},          {"NLDIAG.EXE /quieter", false},
      {"C:\\quiet\\NLDIAG.EXE", false}, {"NLDIAG.EXE  x /Quiet ", true},
  };
  for (const auto& c : cases) EXPECT_EQ(diag::IsQuietCommandLine(c.line), c.quiet) << c.line;
}

}  // namespace
}  // namespace nl
