// The in-place INF rewrite on the simulated system: what it writes, the side
// file it leaves, its result, and that no failure loses the old content.
#include "setup/inf_replace.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "../support/substitution_model.h"
#include "platform/sim/sim_system.h"
#include "setup/setup_env.h"

namespace nl {
namespace {

using sim::SimSystem;

constexpr char kSetupKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
constexpr char kInfDir[] = "C:\\WINDOWS\\INF";
// The size of the pieces the rewrite reads and writes.
constexpr std::size_t kChunk = 256 * 1024;

std::string InfPath(const std::string& name) {
  return std::string(kInfDir) + "\\" + name;
}

// A system whose scratch directory holds the given IRMINI.INF, with the
// scratch directory already looked up, so the rewrite's own calls start at
// CallCount() + 1.
struct InfSystem {
  SimSystem sim;
  InstallRun run = MakeInstallRun(sim, 0x00400000);

  explicit InfSystem(const std::string* irmini = nullptr) {
    sim.Registry().SetText(kSetupKey, "SetupScratchDir", kInfDir);
    sim.Files().MakeDirectory(kInfDir);
    if (irmini) sim.Files().WriteFileText(InfPath("IRMINI.INF"), *irmini);
    char path[kMaxPath];
    GetSetupScratchPath(run, "IRMINI.INF", path, sizeof path);
  }
  int Replace(const char* backup, const char* search, const char* replacement) {
    return ReplaceInInfFile(run, "IRMINI.INF", backup, search, replacement);
  }
  bool Exists(const std::string& name) { return sim.Files().FileExists(InfPath(name)); }
  std::string Read(const std::string& name) {
    return sim.Files().ReadFileText(InfPath(name));
  }
  // Names of the calls made since call number `after`.
  std::vector<std::string> OperationsSince(std::uint64_t after) const {
    std::vector<std::string> out;
    for (const auto& entry : sim.Journal().Entries())
      if (entry.index > after) out.push_back(entry.operation);
    return out;
  }
  std::vector<std::string> InjectedFaults() const {
    std::vector<std::string> out;
    for (const auto& entry : sim.Journal().Entries())
      if (entry.result.find("[injected") != std::string::npos)
        out.push_back(entry.Text());
    return out;
  }
};

// Where in a fault-free rewrite of `content` the `nth` call of `operation`
// comes, counted from the rewrite's first call. Found on a twin system.
std::uint64_t CallOffset(const std::string& content, const char* backup,
                         const std::string& operation, int nth) {
  InfSystem twin(&content);
  std::uint64_t start = twin.sim.Journal().CallCount();
  twin.Replace(backup, "irmini.sys", "nl-430.sys");
  int seen = 0;
  for (const auto& entry : twin.sim.Journal().Entries()) {
    if (entry.index > start && entry.operation == operation && ++seen == nth)
      return entry.index - start;
  }
  ADD_FAILURE() << "no call " << nth << " of " << operation;
  return 0;
}

// INF-like text of about `size` bytes with "irmini.sys" in changing letter
// case every few hundred bytes.
std::string InfText(std::size_t size) {
  const char* const lines[] = {"[IRMINI_Install]\r\n", "CopyFiles=IRMINI.CopyFiles\r\n",
                               "HKR,Ndi,DeviceID,,IRMINI\r\n", "IRMINI.SYS,,,2\r\n",
                               "DeviceVxDs=irmini.sys\r\n", "; Irmini.Sy\r\n"};
  std::string text;
  for (std::size_t i = 0; text.size() < size; ++i) text += lines[i % 6];
  text.resize(size);
  return text;
}

// ---- what is written ----

TEST(InfReplace, EveryLetterCaseBecomesTheCallersTextAndTheBackupKeepsTheOld) {
  const std::string old = "a=IRMINI.SYS\r\nb=irmini.sys\r\nc=IrMiNi.SyS";
  InfSystem s(&old);
  EXPECT_EQ(s.Replace("IRMINI.BAK", "irmini.sys", "nl-430.sys"), 1);
  EXPECT_EQ(s.Read("IRMINI.INF"), "a=nl-430.sys\r\nb=nl-430.sys\r\nc=nl-430.sys");
  EXPECT_EQ(s.Read("IRMINI.BAK"), old);
  EXPECT_EQ(s.sim.Files().OpenFileCount(), 0u);
}

TEST(InfReplace, ByteRulesHoldThroughTheFile) {
  struct Case {
    std::string content, search, replacement, expected;
    int result;
  } cases[] = {
      {"x irmini.sys", "irmini.sys", "nl-430.sys", "x nl-430.sys", 1},  // at the very end
      {"x irmini.sy", "irmini.sys", "nl-430.sys", "x irmini.sy", 0},    // cut off by the end
      {"aaab", "aab", "X", "aX", 1},                // a failed candidate retried a byte later
      {"ab|ab", "ab", "abab", "abab|abab", 1},      // the replacement is not scanned again
      {"x\r\ny", "\r\ny", "Z", "xZ", 1},           // across a line end
      {"", "irmini.sys", "nl-430.sys", "", 0},     // empty file
  };
  for (const Case& c : cases) {
    InfSystem s(&c.content);
    EXPECT_EQ(s.Replace(nullptr, c.search.c_str(), c.replacement.c_str()), c.result)
        << c.content;
    EXPECT_EQ(s.Read("IRMINI.INF"), c.expected);
    EXPECT_FALSE(s.Exists("NL-TEMP.INF")) << "the temporary file stays behind";
  }
}

TEST(InfReplace, AFileWithoutOccurrenceIsRewrittenUnchanged) {
  const std::string old = "[Version]\r\nSignature=\"$CHICAGO$\"\r\n";
  InfSystem withBackup(&old);
  EXPECT_EQ(withBackup.Replace("IRMINI.BAK", "irmini.sys", "nl-430.sys"), 0);
  EXPECT_EQ(withBackup.Read("IRMINI.INF"), old);
  EXPECT_EQ(withBackup.Read("IRMINI.BAK"), old);

  InfSystem withoutBackup(&old);
  EXPECT_EQ(withoutBackup.Replace(nullptr, "irmini.sys", "nl-430.sys"), 0);
  EXPECT_EQ(withoutBackup.Read("IRMINI.INF"), old);
  EXPECT_FALSE(withoutBackup.Exists("NL-TEMP.INF"));
}

// The file is read in chunks; occurrences are put across chunk borders at
// several offsets, and reads that come back short must not change the output.
TEST(InfReplace, FilesLargerThanAChunkMatchThePlainModel) {
  const std::string search = "irmini.sys";
  std::string content = InfText(5 * kChunk + 123);
  for (std::size_t border = 1; border <= 4; ++border) {
    std::size_t at = border * kChunk - border * 2;  // offsets 2, 4, 6, 8 into it
    content.replace(at, search.size(), border % 2 ? "IRMINI.SYS" : "irmini.sys");
  }
  content.replace(content.size() - 5, 5, "irmin");  // cut off at the end
  for (const char* replacement : {"nl-430.sys", "X", "USB\\VID_1B4E&PID_0430"}) {
    const std::string expected =
        testing::ModelSubstitute(content, search, replacement);
    InfSystem s(&content);
    EXPECT_EQ(s.Replace("IRMINI.BAK", search.c_str(), replacement), 1);
    EXPECT_TRUE(s.Read("IRMINI.INF") == expected) << replacement;
    EXPECT_TRUE(s.Read("IRMINI.BAK") == content);

    // The first two reads come back half full, one after the other.
    InfSystem shortReads(&content);
    std::uint64_t first =
        shortReads.sim.Journal().CallCount() + CallOffset(content, nullptr, "ReadFile", 1);
    shortReads.sim.Journal().ShortCall(first);
    shortReads.sim.Journal().ShortCall(first + 1);
    EXPECT_EQ(shortReads.Replace(nullptr, search.c_str(), replacement), 1);
    ASSERT_EQ(shortReads.InjectedFaults().size(), 2u);
    EXPECT_EQ(shortReads.InjectedFaults()[1].rfind("ReadFile", 0), 0u);
    EXPECT_TRUE(shortReads.Read("IRMINI.INF") == expected) << replacement;
  }
}

// ---- the side file ----

TEST(InfReplace, AnAbsentTargetTouchesNothingButAStaleTemporaryFile) {
  InfSystem withBackup;
  EXPECT_EQ(withBackup.Replace("IRMINI.BAK", "irmini.sys", "nl-430.sys"), 0);
  EXPECT_FALSE(withBackup.Exists("IRMINI.INF"));
  EXPECT_FALSE(withBackup.Exists("IRMINI.BAK"));

  InfSystem stale;
  stale.sim.Files().WriteFileText(InfPath("NL-TEMP.INF"), "left by an interrupted run");
  EXPECT_EQ(stale.Replace(nullptr, "irmini.sys", "nl-430.sys"), 0);
  EXPECT_FALSE(stale.Exists("NL-TEMP.INF"));
  EXPECT_FALSE(stale.Exists("IRMINI.INF"));
}

TEST(InfReplace, APresentSideFileBlocksTheRewrite) {
  const std::string old = "DeviceVxDs=irmini.sys\r\n";
  InfSystem backup(&old);
  backup.sim.Files().WriteFileText(InfPath("IRMINI.BAK"), "an earlier backup");
  EXPECT_EQ(backup.Replace("IRMINI.BAK", "irmini.sys", "nl-430.sys"), 0);
  EXPECT_EQ(backup.Read("IRMINI.INF"), old);
  EXPECT_EQ(backup.Read("IRMINI.BAK"), "an earlier backup");

  // A stale temporary file is removed, so the next edit can go ahead.
  InfSystem stale(&old);
  stale.sim.Files().WriteFileText(InfPath("NL-TEMP.INF"), "left by an interrupted run");
  EXPECT_EQ(stale.Replace(nullptr, "irmini.sys", "nl-430.sys"), 0);
  EXPECT_EQ(stale.Read("IRMINI.INF"), old);
  EXPECT_FALSE(stale.Exists("NL-TEMP.INF"));
  EXPECT_EQ(stale.Replace(nullptr, "irmini.sys", "nl-430.sys"), 1);
  EXPECT_EQ(stale.Read("IRMINI.INF"), "DeviceVxDs=nl-430.sys\r\n");
}

TEST(InfReplace, WithoutAScratchDirectoryNothingIsTouched) {
  SimSystem sim;
  InstallRun run = MakeInstallRun(sim, 0);
  sim.Files().WriteFileText("C:\\IRMINI.INF", "irmini.sys");
  EXPECT_EQ(ReplaceInInfFile(run, "IRMINI.INF", nullptr, "irmini.sys", "x"), 0);
  EXPECT_FALSE(sim.Journal().Entries().empty());
  for (const auto& entry : sim.Journal().Entries()) {
    EXPECT_EQ(entry.operation.rfind("Reg", 0), 0u) << entry.Text();
  }
  EXPECT_EQ(sim.Files().ReadFileText("C:\\IRMINI.INF"), "irmini.sys");
}

// A scratch directory of 248 characters: "IRMINI.INF" and "IRMINI.BAK" still
// fit the 260-byte path buffer, "NL-TEMP.INF" does not. Every rewrite is
// written under that name first, so no edit touches anything.
TEST(InfReplace, ATemporaryPathThatDoesNotFitTouchesNothing) {
  const std::string dir = "C:\\" + std::string(120, 'A') + "\\" + std::string(124, 'B');
  ASSERT_EQ(dir.size(), 248u);
  SimSystem sim;
  sim.Registry().SetText(kSetupKey, "SetupScratchDir", dir);
  sim.Files().MakeDirectory(dir);
  sim.Files().WriteFileText(dir + "\\IRMINI.INF", "irmini.sys");
  InstallRun run = MakeInstallRun(sim, 0);
  EXPECT_EQ(ReplaceInInfFile(run, "IRMINI.INF", nullptr, "irmini.sys", "x"), 0);
  EXPECT_EQ(ReplaceInInfFile(run, "IRMINI.INF", "IRMINI.BAK", "irmini.sys", "x"), 0);
  for (const auto& entry : sim.Journal().Entries()) {
    EXPECT_EQ(entry.operation.rfind("Reg", 0), 0u) << entry.Text();
  }
  EXPECT_EQ(sim.Files().ReadFileText(dir + "\\IRMINI.INF"), "irmini.sys");
  EXPECT_FALSE(sim.Files().FileExists(dir + "\\IRMINI.BAK"));
}

// ---- failures never lose the old content ----

struct FaultCase {
  const char* name;
  const char* operation;
  int nth;
  bool shortTransfer;
};

void PrintTo(const FaultCase& fault, std::ostream* out) { *out << fault.name; }

class InfReplaceFault : public ::testing::TestWithParam<FaultCase> {};

// A failed or short write, a failed read or seek, or an output or input that
// cannot be opened after the rename: result 0, the target holds its old
// content byte for byte, no side file is left and nothing stays open.
TEST_P(InfReplaceFault, TheOldContentIsBackUnderTheTargetsName) {
  const FaultCase& fault = GetParam();
  const std::string old = InfText(3 * kChunk + 77);
  for (const char* backup : {"IRMINI.BAK", static_cast<const char*>(nullptr)}) {
    InfSystem s(&old);
    std::uint64_t at = s.sim.Journal().CallCount() +
                       CallOffset(old, backup, fault.operation, fault.nth);
    if (fault.shortTransfer)
      s.sim.Journal().ShortCall(at);
    else
      s.sim.Journal().FailCall(at);
    EXPECT_EQ(s.Replace(backup, "irmini.sys", "nl-430.sys"), 0);
    ASSERT_EQ(s.InjectedFaults().size(), 1u);
    EXPECT_EQ(s.InjectedFaults()[0].rfind(fault.operation, 0), 0u);
    EXPECT_TRUE(s.Read("IRMINI.INF") == old) << (backup ? backup : "temporary");
    EXPECT_FALSE(s.Exists("IRMINI.BAK"));
    EXPECT_FALSE(s.Exists("NL-TEMP.INF"));
    EXPECT_EQ(s.sim.Files().OpenFileCount(), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    InfReplace, InfReplaceFault,
    ::testing::Values(FaultCase{"FirstWriteFails", "WriteFile", 1, false},
                      FaultCase{"LaterWriteFails", "WriteFile", 3, false},
                      FaultCase{"LastWriteRunsShort", "WriteFile", 4, true},
                      FaultCase{"FirstWriteRunsShort", "WriteFile", 1, true},
                      FaultCase{"OutputCannotBeCreated", "CreateFileA", 1, false},
                      FaultCase{"InputCannotBeOpened", "CreateFileA", 2, false},
                      FaultCase{"SeekFails", "SetFilePointer", 1, false},
                      FaultCase{"ReadFails", "ReadFile", 2, false}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

// When even putting the backup back fails, the backup keeps the old
// content; without a backup the target was never touched.
TEST(InfReplace, ABackupThatCannotBeMovedBackKeepsTheOldContent) {
  const std::string old = InfText(100 * 1024);
  for (const char* backup : {"IRMINI.BAK", static_cast<const char*>(nullptr)}) {
    const std::string keeper = backup ? backup : "IRMINI.INF";
    InfSystem s(&old);
    std::uint64_t start = s.sim.Journal().CallCount();
    std::uint64_t write = CallOffset(old, backup, "WriteFile", 1);
    s.sim.Journal().FailCall(start + write);
    // Every call after the failed write that would move the backup back.
    for (std::uint64_t n = start + write + 1; n < start + write + 10; ++n)
      s.sim.Journal().FailCall(n);
    EXPECT_EQ(s.Replace(backup, "irmini.sys", "nl-430.sys"), 0);
    EXPECT_TRUE(s.Read(keeper) == old) << keeper;
    EXPECT_EQ(s.sim.Files().OpenFileCount(), 0u);
  }
}

TEST(InfReplace, AnOutputThatCannotBeCreatedLeavesTheTargetAlone) {
  const std::string old = "DeviceVxDs=irmini.sys\r\n";
  InfSystem s(&old);
  std::uint64_t start = s.sim.Journal().CallCount();
  s.sim.Journal().FailCall(start + CallOffset(old, nullptr, "CreateFileA", 1));
  EXPECT_EQ(s.Replace(nullptr, "irmini.sys", "nl-430.sys"), 0);
  // The look for a leftover and for the target, the failed create, and the
  // clean-up of whatever the create may have left.
  EXPECT_EQ(s.OperationsSince(start),
            (std::vector<std::string>{"GetFileAttributesA", "GetFileAttributesA",
                                      "CreateFileA", "DeleteFileA"}));
  EXPECT_EQ(s.Read("IRMINI.INF"), old);
  EXPECT_FALSE(s.Exists("NL-TEMP.INF"));
}

// The program stopped after any call of a rewrite: the target holds its old
// or its new content, never part of either. Where the target is briefly
// absent, the old content is in the backup, and without a backup the new
// content is complete under the temporary name.
TEST(InfReplace, AStopAtAnyCallNeverLeavesAPartlyWrittenTarget) {
  const std::string old = InfText(3 * kChunk + 77);
  for (const char* backup : {"IRMINI.BAK", static_cast<const char*>(nullptr)}) {
    InfSystem twin(&old);
    std::uint64_t first = twin.sim.Journal().CallCount();
    ASSERT_EQ(twin.Replace(backup, "irmini.sys", "nl-430.sys"), 1);
    const std::string edited = twin.Read("IRMINI.INF");
    const std::uint64_t calls = twin.sim.Journal().CallCount() - first;
    for (std::uint64_t n = 1; n <= calls; ++n) {
      InfSystem s(&old);
      s.sim.Journal().StopAfterCall(s.sim.Journal().CallCount() + n);
      EXPECT_THROW(s.Replace(backup, "irmini.sys", "nl-430.sys"), sim::SimStopped);
      const char* label = backup ? backup : "temporary";
      if (s.Exists("IRMINI.INF")) {
        std::string now = s.Read("IRMINI.INF");
        EXPECT_TRUE(now == old || now == edited) << label << " stop after " << n;
      } else if (backup) {
        EXPECT_TRUE(s.Read("IRMINI.BAK") == old) << label << " stop after " << n;
      } else {
        EXPECT_TRUE(s.Read("NL-TEMP.INF") == edited) << label << " stop after " << n;
      }
    }
  }
}

}  // namespace
}  // namespace nl
