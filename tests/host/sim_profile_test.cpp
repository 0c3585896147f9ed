// The simulated private-profile reader and writer.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/files/sim_profile_text.h"
#include "platform/sim/sim_system.h"

namespace nl::sim {
namespace {

constexpr const char* kInf = "C:\\WINDOWS\\INF\\IRMINI.INF";

// Flushes the profile cache, so the writer's change is on disk.
void Flush(SimSystem& sim) {
  EXPECT_EQ(sim.WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr), 0);
}

std::string Get(SimSystem& sim, const char* section, const char* key,
                const char* def = "", std::uint32_t size = 512) {
  char buf[512];
  const std::uint32_t n = sim.GetPrivateProfileStringA(section, key, def, buf, size, kInf);
  EXPECT_EQ(n, std::string(buf).size());
  return buf;
}

TEST(SimProfile, ReaderFindsSectionsAndKeysIgnoringCaseAndBlanks) {
  SimSystem sim;
  sim.Files().WriteFileText(kInf,
                    "[Version]\r\nClass=Net\r\n  [ strings ]  \r\n"
                    "  Class.Desc  =  Infrarotger\xE4te  \r\n"
                    "Quoted=\"Norvik NL-470\"\r\nHalf=\"open\r\nEmpty=\r\n");
  EXPECT_EQ(Get(sim, "Strings", "CLASS.DESC"), "Infrarotger\xE4te");
  EXPECT_EQ(Get(sim, "STRINGS", "quoted"), "Norvik NL-470");
  EXPECT_EQ(Get(sim, "Strings", "Half"), "\"open");
  EXPECT_EQ(Get(sim, "Strings", "Empty", "dflt"), "");
  EXPECT_EQ(Get(sim, "Strings", "Class", "dflt"), "dflt");  // not in this section
  EXPECT_EQ(Get(sim, "Nowhere", "Class", "dflt"), "dflt");
}

TEST(SimProfile, ReaderCutsToTheBufferAndFallsBackOnUnreadableFiles) {
  SimSystem sim;
  sim.Files().WriteFileText(kInf, "[Strings]\r\nK=abcdef\r\n");
  EXPECT_EQ(Get(sim, "Strings", "K", "", 4), "abc");
  sim.Files().HoldOpen(kInf);
  EXPECT_EQ(Get(sim, "Strings", "K", "dflt"), "dflt");
  sim.Files().Release(kInf);
  char buf[16];
  EXPECT_EQ(sim.GetPrivateProfileStringA("Strings", "K", "d", buf, sizeof buf, "C:\\none.inf"), 1u);
  EXPECT_STREQ(buf, "d");
}

TEST(SimProfile, WriterReplacesTheKeyLineAndKeepsEveryOtherByte) {
  SimSystem sim;
  const std::string before =
      "; comment  \r\n[Strings]\r\nA = 1 \r\n  standardexpl =  old  \r\nB=2\r\n\r\n[Other]\r\nC=3";
  sim.Files().WriteFileText(kInf, before);
  ASSERT_EQ(sim.WritePrivateProfileStringA("Strings", "StandardExpl", "\"Norvik\"", kInf), 1);
  Flush(sim);
  EXPECT_EQ(sim.Files().ReadFileText(kInf),
            "; comment  \r\n[Strings]\r\nA = 1 \r\nstandardexpl=\"Norvik\"\r\nB=2\r\n\r\n[Other]\r\nC=3");
  EXPECT_EQ(Get(sim, "strings", "STANDARDEXPL"), "Norvik");
}

// The layout Windows 95/98 give a file: a key after its section's last
// line, a section at the end after a blank line, and a file that ended
// without a line end still does.
TEST(SimProfile, WriterAddsKeysAndSectionsAsWindows9xLaysThemOut) {
  struct Row {
    std::string before, section, key, after;
  };
  const Row rows[] = {
      {"[Strings]\r\nA=1\r\n\r\n[Other]\r\nC=3\r\n", "Strings", "New",
       "[Strings]\r\nA=1\r\nNew=v\r\n\r\n[Other]\r\nC=3\r\n"},
      {"[Strings]\r\nA=1", "Strings", "New", "[Strings]\r\nA=1\r\nNew=v"},
      {"[Version]\r\nClass=Net\r\n", "Strings", "K",
       "[Version]\r\nClass=Net\r\n\r\n[Strings]\r\nK=v\r\n"},
      {"[Version]\nClass=Net\n", "Strings", "K", "[Version]\nClass=Net\n\n[Strings]\nK=v\n"},
      {std::string("Data \0 before \0 first \0 section", 31), "section1", "key1",
       std::string("Data \0 before \0 first \0 section\r\n\r\n[section1]\r\nkey1=v", 53)},
      {"", "Strings", "K", "[Strings]\r\nK=v\r\n"},
  };
  SimSystem sim;
  for (const Row& row : rows) {
    sim.Files().WriteFileText(kInf, row.before);
    ASSERT_EQ(sim.WritePrivateProfileStringA(row.section.c_str(), row.key.c_str(), "v", kInf), 1);
    Flush(sim);
    EXPECT_EQ(sim.Files().ReadFileText(kInf), row.after) << row.before;
  }
  ASSERT_EQ(sim.WritePrivateProfileStringA("Strings", "K", "v", "C:\\WINDOWS\\INF\\NEW.INF"), 1);
  Flush(sim);
  EXPECT_EQ(sim.Files().ReadFileText("C:\\WINDOWS\\INF\\NEW.INF"), "[Strings]\r\nK=v\r\n");
  EXPECT_EQ(sim.WritePrivateProfileStringA("Strings", "K", "v", "C:\\NOFOLDER\\NEW.INF"), 0);
}

// Windows 95/98 read a file another handle has open only when that handle
// reads and shares reading alone; else the read gives the default.
TEST(SimProfile, ReadOfAFileOpenElsewhereNeedsAReaderSharingReadingAlone) {
  struct Row {
    const char* holder;
    bool otherProgram;
    std::uint32_t access, share;
    const char* read;
  };
  const Row rows[] = {
      {"reads, shares reading", false, kGenericRead, kFileShareRead, "abcdef"},
      {"reads, shares nothing", false, kGenericRead, 0, "dflt"},
      {"reads, shares reading and writing", false, kGenericRead,
       kFileShareRead | kFileShareWrite, "dflt"},
      {"writes, shares reading", false, kGenericWrite, kFileShareRead, "dflt"},
      {"another program reads, shares reading", true, kGenericRead, kFileShareRead, "abcdef"},
      {"another program writes, shares reading", true, kGenericWrite, kFileShareRead, "dflt"},
  };
  SimSystem sim;
  sim.Files().WriteFileText(kInf, "[Strings]\r\nK=abcdef\r\n");
  for (const Row& row : rows) {
    FileHandle f = kInvalidFileHandle;
    if (row.otherProgram) {
      sim.Files().HoldOpen(kInf, row.access, row.share);
    } else {
      f = sim.CreateFileA(kInf, row.access, row.share, kOpenExisting, kFileAttributeNormal);
      ASSERT_NE(f, kInvalidFileHandle) << row.holder;
    }
    EXPECT_EQ(Get(sim, "Strings", "K", "dflt  "), row.read) << row.holder;
    if (row.otherProgram) sim.Files().Release(kInf);
    else sim.CloseHandle(f);
  }
}

// Windows 95/98/Me: a write changes a cached copy; file calls see the disk
// until a flush, a profile call on another file, or the program's end.
TEST(SimProfile, WritesWaitInTheCacheUntilFlushedOrAnotherFileIsUsed) {
  constexpr const char* kOther = "C:\\WINDOWS\\INF\\OTHER.INF";
  SimSystem sim;
  sim.Files().WriteFileText(kInf, "[Strings]\r\n");
  sim.Files().WriteFileText(kOther, "[Strings]\r\nO=1\r\n");
  ASSERT_EQ(sim.WritePrivateProfileStringA("Strings", "K", "v", kInf), 1);
  EXPECT_EQ(sim.Files().ReadFileText(kInf), "[Strings]\r\n");
  EXPECT_EQ(Get(sim, "Strings", "K"), "v");  // the program's own reads see the copy
  EXPECT_EQ(sim.WritePrivateProfileStringA(nullptr, nullptr, nullptr, kInf), 0);
  EXPECT_EQ(sim.Files().ReadFileText(kInf), "[Strings]\r\nK=v\r\n");

  ASSERT_EQ(sim.WritePrivateProfileStringA("Strings", "L", "w", kInf), 1);
  char buf[16];
  sim.GetPrivateProfileStringA("Strings", "O", "", buf, sizeof buf, kOther);
  EXPECT_EQ(sim.Files().ReadFileText(kInf), "[Strings]\r\nK=v\r\nL=w\r\n");
  EXPECT_FALSE(sim.Files().HasUnwrittenProfile());

  // Left unflushed, the copy goes back over the file at the program's end,
  // undoing what file calls wrote meanwhile; a copy that cannot be written
  // back is lost.
  ASSERT_EQ(sim.WritePrivateProfileStringA("Strings", "M", "x", kInf), 1);
  sim.Files().WriteFileText(kInf, "rewritten by file calls\r\n");
  sim.Files().ProgramEnded();
  EXPECT_EQ(sim.Files().ReadFileText(kInf), "[Strings]\r\nK=v\r\nL=w\r\nM=x\r\n");
  ASSERT_EQ(sim.WritePrivateProfileStringA("Strings", "N", "y", kInf), 1);
  sim.Files().SetReadOnly(kInf);
  sim.Files().ProgramEnded();
  EXPECT_EQ(sim.Files().ReadFileText(kInf), "[Strings]\r\nK=v\r\nL=w\r\nM=x\r\n");
  EXPECT_FALSE(sim.Files().HasUnwrittenProfile());
}

TEST(SimProfile, NullValueRemovesTheKeyAndNullKeyTheSection) {
  const std::string text = "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n";
  EXPECT_EQ(RemoveProfileEntry(text, "a", "X"), "[A]\r\ny=2\r\n[B]\r\nz=3\r\n");
  EXPECT_EQ(RemoveProfileEntry(text, "A", nullptr), "[B]\r\nz=3\r\n");
  EXPECT_EQ(RemoveProfileEntry(text, "C", nullptr), text);
}

}  // namespace
}  // namespace nl::sim
