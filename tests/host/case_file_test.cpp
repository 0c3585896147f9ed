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
#include <iterator>
#include <memory>
#include <optional>
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
  // The third PC's driver file is not the one shipped (a download cut
  // short): the image holds the PC's, so the copy predicted is the one made.
  const struct {
    std::uint32_t locale;
    const char* driver;
  } pcs[] = {{0x0407u, nullptr}, {0x0409u, nullptr}, {0x0407u, "MZ, cut short"}};
  for (const auto& c : pcs) {
    const std::uint32_t locale = c.locale;
    SCOPED_TRACE(std::to_string(locale) + (c.driver ? " another driver" : ""));
    Folder work;
    auto pc = Sample(locale);
    if (c.driver) pc->Files().WriteFileText("C:\\NLSETUP\\nl-430.sys", c.driver);
    // Values in the PC's order, not by name: a 9x program enumerating them
    // sees this order, and so must the image's.
    const std::string netKey = "System\\CurrentControlSet\\Services\\Class\\Net\\0001";
    pc->Registry().SetText(netKey, "Zeta", "z");
    pc->Registry().SetText(netKey, "Alpha", "a");
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

    EXPECT_EQ(simrun::ReadCaseFile(caseText, "NLCASE.TXT").warnings, std::vector<std::string>{});
    const std::string image = MakeImage(caseText, work.path);
    SimSystem fromCase;
    fromCase.LoadImage(image);
    EXPECT_EQ(fromCase.GetUserDefaultLCID(), locale);
    // What the run does not use is there for the answer: the version, when
    // the case was taken, the system tools' files.
    const sim::ImageDescription& told = fromCase.LoadedDescription();
    EXPECT_EQ(told.windows, "4.10.2222");
    EXPECT_EQ(told.collected, "1999-06-01 12:00:00");
    EXPECT_EQ(told.tools.at("RUNDLL32.EXE").rfind("absent", 0), 0u);
    EXPECT_EQ(told.systemLocale, std::optional<std::uint32_t>(locale));
    std::vector<std::string> order;
    std::vector<std::string> names;
    regfile::SplitKeyPath(netKey.c_str(), &names);
    for (const regfile::RegValue& value : regfile::WalkKeys(&fromCase.Registry().Root(), names)->values)
      order.push_back(value.name);
    EXPECT_LT(std::find(order.begin(), order.end(), "Zeta"), std::find(order.begin(), order.end(), "Alpha"));
    EXPECT_EQ(RunAndDescribe(fromCase), RunAndDescribe(*pc));
  }
}

// A case from the first NLDIAG.EXE still makes an image, saying what it
// cannot hold.
TEST(CaseFile, AFirstVersionCaseSaysWhatItLacks) {
  std::ifstream in(std::string(NL_SOURCE_DIR) + "/tests/fuzz/case_corpus/small_german",
                   std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(text.rfind(diag::kCaseFirstLineVersion1, 0), 0u);
  const simrun::CaseFile read = simrun::ReadCaseFile(text, "NLCASE.TXT");
  EXPECT_EQ(read.version, 1);
  const simrun::CaseImagePlan plan = simrun::PlanCaseImage(read, "MZ");
  bool said = false;
  for (const std::string& line : plan.lacked) said = said || line.find("format 1") != std::string::npos;
  EXPECT_TRUE(said);
  EXPECT_TRUE(plan.description.windows.empty());
}

// The number of the first line holding `text`, counted from 1 as an
// editor counts them: CRLF, LF and a lone CR each end a line.
std::size_t LineOf(const std::string& caseText, const std::string& text) {
  const std::size_t at = caseText.find(text);
  EXPECT_NE(at, std::string::npos) << text;
  std::size_t line = 1;
  for (std::size_t i = 0; i < at && i < caseText.size(); ++i)
    if (caseText[i] == '\n' || (caseText[i] == '\r' && caseText.compare(i, 2, "\r\n") != 0)) ++line;
  return line;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::string ReplacedAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// The text without the lines from the one holding `from` up to the one
// holding `to`.
std::string Without(const std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  return text.substr(0, at) + text.substr(text.find(to, at));
}

// As a mail program sends it that wraps lines at `width` characters: at
// the last blank within them, or inside a word without one.
std::string Wrapped(const std::string& text, std::size_t width) {
  std::string out;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (line.size() > width) {
      const std::size_t blank = line.rfind(' ', width);
      const std::size_t cut = blank == std::string::npos || blank == 0 ? width : blank;
      out += line.substr(0, cut) + "\r\n";
      line = line.substr(cut + (cut == blank ? 1 : 0));
    }
    out += line + "\r\n";
    start = end + 2;
  }
  return out;
}

std::string SetupLine(const char* value, const std::string& text) {
  return "\"" + std::string(value) + "\"=\"" + ReplacedAll(text, "\\", "\\\\") + "\"";
}

// A case damaged on the way or made by hand: an error naming the line where
// the damage shows and no image; lighter damage a warning naming the line;
// what the case does not hold is "missing" in the image's description, so
// that the goals resting on it are unknown.
TEST(CaseFile, DamagedAndHostileCases) {
  auto pc = Sample(0x0407);
  const std::string good = Collect(*pc);
  // A customer's paths in their own letter case.
  auto lowerPc = Sample(0x0407);
  lowerPc->Registry().SetText(kSetupKeyPath, "SetupScratchDir", "c:\\windows\\inf");
  lowerPc->Registry().SetText(kSetupKeyPath, "SourcePath", "C:\\nlsetup\\");
  const std::string lower = Collect(*lowerPc);

  const std::size_t irminiAt = good.find("== file IRMINI.INF");
  const std::size_t firstBytes = good.find("\r\n5b", irminiAt) + 2;  // "[Version]..."
  const std::string bytesLine = good.substr(firstBytes, good.find("\r\n", firstBytes) - firstBytes);
  const std::string crcLine = good.substr(good.find("crc32 = ", irminiAt), 18);
  const std::string sizeLine = good.substr(good.find("size = ", irminiAt), 11);
  const std::string scratch = SetupLine("SetupScratchDir", "C:\\WINDOWS\\INF");
  const std::string source = SetupLine("SourcePath", "C:\\WINDOWS\\OPTIONS\\CABS\\");
  const std::string rootNet = "[HKEY_LOCAL_MACHINE\\Enum\\Root\\Net\\0000]";
  const std::string cut = good.substr(0, good.find("== program folder") + 32);
  const std::string crLines = ReplacedAll(good.substr(0, good.find("== system")), "\r\n", "\r") +
                              good.substr(good.find("== system"));
  std::string flood = good;
  for (int i = 0; i < 150; ++i) flood = Replaced(flood, "\r\n== system", "\r\nx\r\n== system");
  std::set<std::string> none, everything = {"IRMINI.INF", "INFRARED.INF"};
  for (const diag::CaseSubtree& subtree : diag::kCaseSubtrees) everything.insert(subtree.path);

  struct Row {
    const char* what;
    std::string text;
    int exit;             // of --make-image: 2 refused, 1 lacking, 0 whole
    std::size_t line;     // named in the error or a warning (0: none)
    std::string because;  // in the error, a warning or a lacked line
    std::set<std::string> missing;  // in the image's description, when laid out
  };
  const std::string flipped = Replaced(good, bytesLine, "5c" + bytesLine.substr(2));
  const std::string twice = Replaced(good, rootNet, rootNet + "\r\n\r\n" + rootNet);
  const std::string noError = Replaced(good, "Enum\\INFRARED = absent (error 2)", "Enum\\INFRARED = absent");
  const std::string broken = Replaced(good, bytesLine, bytesLine.substr(0, 40) + "\r\n" + bytesLine.substr(40));
  const std::string fewer = Replaced(good, "\"Mfg\"=\"Microsoft\"\r\n", "");
  const std::string wrapped = Wrapped(good, 76);
  const std::string longLine = good.substr(good.find("[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\Net\\0001\\Ndi\\Params"), 76);
  const std::string badValue = Replaced(crLines, "\"Class\"=\"Net\"", "Class=Net");
  const Row rows[] = {
      {"another first line", Replaced(good, diag::kCaseFirstLine, "NLDIAG case file 9"), 2, 1,
       "not a case file", {}},
      {"saved again as UTF-8", "\xEF\xBB\xBF" + good, 2, 1, "saved again", {}},
      {"a byte changed", flipped, 2, LineOf(flipped, crcLine), "do not match their checksum", {}},
      {"a line of bytes lost", Replaced(good, bytesLine + "\r\n", ""), 2,
       LineOf(Replaced(good, bytesLine + "\r\n", ""), sizeLine), "the lines above hold", {}},
      {"not hexadecimal", Replaced(good, bytesLine, "zz" + bytesLine.substr(2)), 2,
       LineOf(good, bytesLine), "nor hexadecimal", {}},
      {"a part twice", Replaced(good, "== program folder", "== system"), 2,
       LineOf(Replaced(good, "== program folder", "== system"), "== system\r\nfolder"), "a second time", {}},
      {"no REGEDIT4 header", Replaced(good, "REGEDIT4", "REGEDIT9"), 2, LineOf(good, "REGEDIT4"),
       "registry part", {}},
      {"wrapped at 76 by a mail program", wrapped, 2, LineOf(wrapped, longLine), "registry part", {}},
      {"cut short", cut, 2, LineOf(cut, "== program folder") + 1, "cut short", {}},
      {"a value lost: the counts disagree", fewer, 2, LineOf(fewer, "Enum\\Root\\Net = present"),
       "a damaged case", {}},
      {"a line of bytes wrapped", broken, 2, LineOf(broken, bytesLine.substr(0, 40)),
       "shorter than 32 bytes before its last", {}},
      {"a status without (error N)", noError, 2, LineOf(noError, "Enum\\INFRARED = absent"),
       "not a status NLDIAG.EXE writes", {}},
      {"lines ended by CR alone", badValue, 2, LineOf(badValue, "Class=Net"), "registry part", {}},
      {"a stray line", Replaced(good, "user-locale", "a stray line\r\nuser-locale"), 0,
       LineOf(good, "user-locale"), "not a \"name = value\" line", none},
      {"a flood of stray lines", flood, 0, 0, "NLCASE.TXT: and 50 more lines outside every part", none},
      {"a key section twice", twice, 0, LineOf(good, rootNet) + 2,
       "given again (first at line " + std::to_string(LineOf(good, rootNet)) + ")", none},
      {"no registry part", Without(good, "== registry\r\n", "== registry status"), 1, 0,
       "no registry part", everything},
      {"keys under another root", ReplacedAll(good, "[HKEY_LOCAL_MACHINE\\Enum\\Root\\Net", "[HKEY_CURRENT_USER\\Enum\\Root\\Net"),
       1, 0, "yet the registry part does not hold it (it holds keys under other roots)",
       {"Enum\\Root\\Net"}},
      {"setup files lost, the end kept", Without(good, "== file IRMINI.INF", "== end"), 1, 0,
       "IRMINI.INF: the case says nothing of it", {"IRMINI.INF", "INFRARED.INF"}},
      {"paths in the customer's letter case", lower, 0, 0, "SourcePath C:\\nlsetup", none},
      {"SetupScratchDir naming the driver file", Replaced(good, scratch, SetupLine("SetupScratchDir", "C:\\NLSETUP\\nl-430.sys")),
       2, 0, "take one place, C:\\NLSETUP\\nl-430.sys, one as a file", {}},
      {"SourcePath naming a setup file", Replaced(good, source, SetupLine("SourcePath", "C:\\windows\\inf\\irmini.inf")),
       2, 0, "take one place, C:\\WINDOWS\\INF\\irmini.inf, one as a file", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::string said;
    try {
      const simrun::CaseFile read = simrun::ReadCaseFile(row.text, "NLCASE.TXT");
      for (const std::string& warning : read.warnings) said += warning + "\n";
      const simrun::CaseImagePlan plan = simrun::PlanCaseImage(read, "driver");
      for (const std::string& line : plan.held) said += line + "\n";
      for (const std::string& line : plan.lacked) said += line + "\n";
    } catch (const simrun::CaseError& error) {
      said = std::string("refused: ") + error.what();
    }
    EXPECT_EQ(said.rfind("refused: ", 0) == 0, row.exit == 2) << said;
    EXPECT_NE(said.find(row.because), std::string::npos) << said;
    if (row.line != 0) {
      EXPECT_NE(said.find("NLCASE.TXT line " + std::to_string(row.line) + ":"), std::string::npos) << said;
    }
    Folder work;
    const std::string image = MakeImage(row.text, work.path, row.exit);
    if (row.exit == 2) {
      EXPECT_FALSE(fs::exists(image)) << "nothing of the image is written";
      continue;
    }
    SimSystem fromCase;
    fromCase.LoadImage(image);  // one folder for each name, in whatever letter case
    EXPECT_EQ(fromCase.LoadedDescription().missing, row.missing);
  }
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
