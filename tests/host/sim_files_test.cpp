// The simulated file system: names ignoring case, sharing, read-only files,
// moves, copies, seeks and missing drives.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <utility>

#include "platform/sim/sim_system.h"

namespace nl::sim {
namespace {

FileHandle OpenFor(SimSystem& sim, const char* path, std::uint32_t access) {
  return sim.CreateFileA(path, access, 0, kOpenAlways, kFileAttributeNormal);
}

std::string ReadAll(SimSystem& sim, FileHandle f) {
  std::string out;
  char c;
  std::uint32_t done = 0;
  while (sim.ReadFile(f, &c, 1, &done) && done == 1) out += c;
  return out;
}

TEST(SimFiles, PathsResolveIgnoringCaseAndNewFilesKeepTheirCase) {
  SimSystem sim;
  sim.Files().WriteFileText("C:\\WINDOWS\\INF\\IRMINI.INF", "abc");
  FileHandle f = OpenFor(sim, "c:\\windows\\inf\\irmini.inf", kGenericRead);
  ASSERT_NE(f, kInvalidFileHandle);
  EXPECT_EQ(ReadAll(sim, f), "abc");
  sim.CloseHandle(f);

  f = OpenFor(sim, "C:\\Windows\\Inf\\New.Inf", kGenericWrite);
  ASSERT_NE(f, kInvalidFileHandle);
  sim.CloseHandle(f);
  struct stat st;
  EXPECT_EQ(::stat((sim.Files().HostRoot() + "/drive_c/WINDOWS/INF/New.Inf").c_str(), &st), 0);
  EXPECT_EQ(sim.Files().HostPath("c:\\WINDOWS\\inf\\NEW.INF"), sim.Files().HostRoot() + "/drive_c/WINDOWS/INF/New.Inf");
}

TEST(SimFiles, RelativeAndRootedPathsStartFromTheCurrentDirectory) {
  SimSystem sim;
  sim.Files().WriteFileText("C:\\NLSETUP\\nl-430.sys", "MZ");
  sim.Files().WriteFileText("C:\\nl-430.sys", "root");
  sim.Files().SetCurrentDirectory("C:\\NLSETUP");
  EXPECT_EQ(sim.GetFileAttributesA("nl-430.sys"), kFileAttributeNormal);
  EXPECT_EQ(sim.Files().ReadFileText("nl-430.sys"), "MZ");
  EXPECT_EQ(sim.Files().ReadFileText("\\nl-430.sys"), "root");
  EXPECT_EQ(sim.Files().ReadFileText("..\\NLSETUP\\.\\nl-430.sys"), "MZ");
}

// Windows 95/98 drop the dots and blanks each name of a path ends in; a name
// of dots and blanks only (but "." and ".."), a device name, a reserved
// character or a control byte is refused ("").
TEST(SimFiles, NamesLoseTrailingDotsAndBlanksOrAreRefused) {
  const std::pair<const char*, const char*> table[] = {
      {"C:\\WINDOWS\\OPTIONS\\CABS.", "C:\\WINDOWS\\OPTIONS\\CABS"},
      {"C:\\WINDOWS\\OPTIONS\\CABS ", "C:\\WINDOWS\\OPTIONS\\CABS"},
      {"C:\\WINDOWS\\INF \\IRMINI.INF", "C:\\WINDOWS\\INF\\IRMINI.INF"},
      {"C:\\X..\\Y", "C:\\X\\Y"},          {"C:\\X . .\\Y", "C:\\X\\Y"},
      {"C:\\X.", "C:\\X"},                  {"C:\\X.Y .", "C:\\X.Y"},
      {"C:\\A\\...\\B", ""},               {"C:\\A\\ \\B", ""},
      {"C:\\A\\. \\B", ""},                {"C:\\A\\.. ", ""},
      {"C:\\PRN.", ""},                     {"C:\\CON \\X", ""},
      {"C:\\LPT1.TXT.", ""},                {"C:\\a?.inf.", ""},
      {"C:\\tab\there.", ""},
  };
  for (const auto& [path, windowsName] : table) {
    WinPath parsed;
    const bool accepted = ParseWinPath(path, WinPath{}, &parsed);
    EXPECT_EQ(accepted ? FormatWinPath(parsed) : "", windowsName) << path;
  }
  // The file calls resolve names so: a copy into "C:\WIN98." lands in C:\WIN98.
  SimSystem sim;
  sim.Files().WriteFileText("C:\\NLSETUP\\nl-430.sys", "driver");
  sim.Files().MakeDirectory("C:\\WIN98");
  EXPECT_EQ(sim.CopyFileA("C:\\NLSETUP\\nl-430.sys", "C:\\WIN98.\\nl-430.sys ", 0), 1);
  EXPECT_EQ(sim.Files().ReadFileText("C:\\WIN98\\nl-430.sys"), "driver");
}

TEST(SimFiles, OpenAlwaysCreatesAndKeepsContent) {
  SimSystem sim;
  FileHandle f = OpenFor(sim, "C:\\a.txt", kGenericWrite);
  ASSERT_NE(f, kInvalidFileHandle);
  std::uint32_t done = 0;
  EXPECT_TRUE(sim.WriteFile(f, "hello", 5, &done));
  EXPECT_EQ(done, 5u);
  sim.CloseHandle(f);
  f = OpenFor(sim, "C:\\a.txt", kGenericWrite);
  EXPECT_TRUE(sim.WriteFile(f, "J", 1, &done));
  sim.CloseHandle(f);
  EXPECT_EQ(sim.Files().ReadFileText("C:\\a.txt"), "Jello");
}

// Windows 95/98 delete a file that is open (NT refuses); the open handle
// keeps what it had.
TEST(SimFiles, AFileOpenWithoutSharingCannotBeOpenedOrMovedButIsDeleted) {
  SimSystem sim;
  sim.Files().WriteFileText("C:\\x.inf", "x");
  FileHandle f = OpenFor(sim, "C:\\x.inf", kGenericRead);
  ASSERT_NE(f, kInvalidFileHandle);
  EXPECT_EQ(OpenFor(sim, "C:\\X.INF", kGenericRead), kInvalidFileHandle);
  EXPECT_EQ(sim.MoveFileA("C:\\x.inf", "C:\\y.inf"), 0);
  EXPECT_EQ(sim.Files().OpenFileCount(), 1u);
  EXPECT_EQ(sim.Files().OpenFilePaths(), std::vector<std::string>{"C:\\x.inf"});
  EXPECT_EQ(sim.DeleteFileA("C:\\x.inf"), 1);
  EXPECT_EQ(sim.GetFileAttributesA("C:\\x.inf"), kInvalidFileAttributes);
  char byte = 0;
  std::uint32_t done = 0;
  EXPECT_EQ(sim.ReadFile(f, &byte, 1, &done), 1);
  EXPECT_EQ(byte, 'x');
  EXPECT_EQ(sim.CloseHandle(f), 1);
  EXPECT_EQ(sim.CloseHandle(f), 0);
  EXPECT_EQ(sim.Files().OpenFileCount(), 0u);
}

TEST(SimFiles, AFileHeldByAnotherProgramBlocksEverythingUntilReleased) {
  SimSystem sim;
  sim.Files().WriteFileText("C:\\WINDOWS\\INF\\IRMINI.INF", "[Strings]\r\n");
  sim.Files().HoldOpen("C:\\WINDOWS\\INF\\IRMINI.INF");
  EXPECT_EQ(OpenFor(sim, "C:\\WINDOWS\\INF\\IRMINI.INF", kGenericRead), kInvalidFileHandle);
  EXPECT_EQ(sim.MoveFileA("C:\\WINDOWS\\INF\\IRMINI.INF", "C:\\WINDOWS\\INF\\IRMINI.BAK"), 0);
  EXPECT_EQ(sim.CopyFileA("C:\\WINDOWS\\INF\\IRMINI.INF", "C:\\copy.inf", 0), 0);
  EXPECT_EQ(sim.WritePrivateProfileStringA("Strings", "K", "v", "C:\\WINDOWS\\INF\\IRMINI.INF"), 0);
  sim.Files().Release("C:\\WINDOWS\\INF\\IRMINI.INF");
  EXPECT_EQ(sim.MoveFileA("C:\\WINDOWS\\INF\\IRMINI.INF", "C:\\WINDOWS\\INF\\IRMINI.BAK"), 1);
}

TEST(SimFiles, ReadOnlyFilesCannotBeWrittenOrDeletedButCanBeMoved) {
  SimSystem sim;
  sim.Files().WriteFileText("C:\\ro.inf", "keep");
  sim.Files().SetReadOnly("C:\\ro.inf");
  EXPECT_EQ(sim.GetFileAttributesA("C:\\ro.inf"), kFileAttributeReadOnly);
  EXPECT_EQ(OpenFor(sim, "C:\\ro.inf", kGenericWrite), kInvalidFileHandle);
  EXPECT_EQ(sim.DeleteFileA("C:\\ro.inf"), 0);
  EXPECT_EQ(sim.WritePrivateProfileStringA("S", "K", "v", "C:\\ro.inf"), 0);
  FileHandle f = OpenFor(sim, "C:\\ro.inf", kGenericRead);
  EXPECT_NE(f, kInvalidFileHandle);
  sim.CloseHandle(f);
  EXPECT_EQ(sim.MoveFileA("C:\\ro.inf", "C:\\moved.inf"), 1);
  EXPECT_EQ(sim.GetFileAttributesA("C:\\moved.inf"), kFileAttributeReadOnly);
  EXPECT_EQ(sim.Files().ReadFileText("C:\\moved.inf"), "keep");
}

TEST(SimFiles, MoveFailsOnAnExistingTargetOrAMissingSource) {
  SimSystem sim;
  sim.Files().WriteFileText("C:\\a.inf", "a");
  sim.Files().WriteFileText("C:\\b.bak", "b");
  EXPECT_EQ(sim.MoveFileA("C:\\a.inf", "C:\\B.BAK"), 0);
  EXPECT_EQ(sim.MoveFileA("C:\\missing.inf", "C:\\c.bak"), 0);
  EXPECT_EQ(sim.MoveFileA("C:\\a.inf", "C:\\c.bak"), 1);
  EXPECT_EQ(sim.GetFileAttributesA("C:\\a.inf"), kInvalidFileAttributes);
  EXPECT_EQ(sim.Files().ReadFileText("C:\\c.bak"), "a");
  EXPECT_EQ(sim.Files().ReadFileText("C:\\b.bak"), "b");
  EXPECT_EQ(sim.MoveFileA("C:\\c.bak", "C:\\C.BAK"), 1);  // a change of case only
  EXPECT_EQ(sim.Files().HostPath("C:\\c.bak"), sim.Files().HostRoot() + "/drive_c/C.BAK");
}

TEST(SimFiles, CopyOverwritesUnlessAskedNotTo) {
  SimSystem sim;
  sim.Files().WriteFileText("C:\\NLSETUP\\nl-430.sys", "new");
  sim.Files().WriteFileText("C:\\WINDOWS\\OPTIONS\\CABS\\nl-430.sys", "old");
  EXPECT_EQ(sim.CopyFileA("C:\\NLSETUP\\nl-430.sys", "C:\\WINDOWS\\OPTIONS\\CABS\\nl-430.sys", 1), 0);
  EXPECT_EQ(sim.Files().ReadFileText("C:\\WINDOWS\\OPTIONS\\CABS\\nl-430.sys"), "old");
  EXPECT_EQ(sim.CopyFileA("C:\\NLSETUP\\nl-430.sys", "C:\\WINDOWS\\OPTIONS\\CABS\\nl-430.sys", 0), 1);
  EXPECT_EQ(sim.Files().ReadFileText("C:\\WINDOWS\\OPTIONS\\CABS\\nl-430.sys"), "new");
  EXPECT_EQ(sim.CopyFileA("C:\\NLSETUP\\missing.sys", "C:\\x.sys", 0), 0);
  EXPECT_EQ(sim.CopyFileA("C:\\NLSETUP\\nl-430.sys", "C:\\NOFOLDER\\x.sys", 0), 0);
}

TEST(SimFiles, SeekingBackRereadsTheSameBytes) {
  SimSystem sim;
  sim.Files().WriteFileText("C:\\s.txt", "abcdef");
  FileHandle f = OpenFor(sim, "C:\\s.txt", kGenericRead);
  char buf[4] = {};
  std::uint32_t done = 0;
  ASSERT_TRUE(sim.ReadFile(f, buf, 4, &done));
  EXPECT_EQ(std::string(buf, done), "abcd");
  EXPECT_EQ(sim.SetFilePointer(f, -3, kFileCurrent), 1u);
  ASSERT_TRUE(sim.ReadFile(f, buf, 4, &done));
  EXPECT_EQ(std::string(buf, done), "bcde");
  EXPECT_EQ(sim.SetFilePointer(f, -6, kFileCurrent), kInvalidSetFilePointer);
  EXPECT_EQ(sim.SetFilePointer(f, 0, kFileBegin), 0u);
  ASSERT_TRUE(sim.ReadFile(f, buf, 1, &done));
  EXPECT_EQ(buf[0], 'a');
  EXPECT_EQ(sim.SetFilePointer(f, 5, kFileBegin), 5u);
  ASSERT_TRUE(sim.ReadFile(f, buf, 4, &done));
  EXPECT_EQ(done, 1u);
  ASSERT_TRUE(sim.ReadFile(f, buf, 4, &done));
  EXPECT_EQ(done, 0u);  // end of file
  sim.CloseHandle(f);
}

TEST(SimFiles, WritesAndReadsThroughOneHandleStayConsistent) {
  SimSystem sim;
  FileHandle f = sim.CreateFileA("C:\\rw.bin", kGenericRead | kGenericWrite, 0, kOpenAlways, 0);
  std::uint32_t done = 0;
  sim.WriteFile(f, "0123456789", 10, &done);
  sim.SetFilePointer(f, 2, kFileBegin);
  char buf[3];
  sim.ReadFile(f, buf, 3, &done);
  EXPECT_EQ(std::string(buf, 3), "234");
  sim.WriteFile(f, "X", 1, &done);
  sim.SetFilePointer(f, 4, kFileBegin);
  sim.ReadFile(f, buf, 3, &done);
  EXPECT_EQ(std::string(buf, 3), "4X6");
  EXPECT_EQ(sim.Files().ReadFileText("C:\\rw.bin"), "01234X6789");  // pending writes are visible
  sim.CloseHandle(f);
}

TEST(SimFiles, HandlesThatShareAFileSeeEachOthersWrites) {
  SimSystem sim;
  sim.Files().WriteFileText("C:\\shared.txt", "aaaa");
  const std::uint32_t share = kFileShareRead | kFileShareWrite;
  FileHandle reader = sim.CreateFileA("C:\\shared.txt", kGenericRead, share, kOpenExisting, 0);
  FileHandle writer = sim.CreateFileA("C:\\shared.txt", kGenericWrite, share, kOpenExisting, 0);
  ASSERT_NE(writer, kInvalidFileHandle);
  char buf[4];
  std::uint32_t done = 0;
  sim.ReadFile(reader, buf, 1, &done);  // fills the reader's read-ahead
  sim.WriteFile(writer, "bbbb", 4, &done);
  sim.ReadFile(reader, buf, 3, &done);
  EXPECT_EQ(std::string(buf, done), "bbb");
  // A handle that does not share blocks a second one either way round.
  EXPECT_EQ(sim.CreateFileA("C:\\shared.txt", kGenericRead, 0, kOpenExisting, 0), kInvalidFileHandle);
  sim.CloseHandle(reader);
  sim.CloseHandle(writer);
}

TEST(SimFiles, AccessIsCheckedPerHandle) {
  SimSystem sim;
  sim.Files().WriteFileText("C:\\a.txt", "a");
  FileHandle f = OpenFor(sim, "C:\\a.txt", kGenericRead);
  std::uint32_t done = 9;
  EXPECT_EQ(sim.WriteFile(f, "b", 1, &done), 0);
  EXPECT_EQ(done, 0u);
  sim.CloseHandle(f);
  EXPECT_EQ(sim.ReadFile(f, nullptr, 0, &done), 0);  // closed
}

TEST(SimFiles, AMissingDriveFailsEveryOperation) {
  SimSystem sim;
  EXPECT_EQ(OpenFor(sim, "D:\\x.txt", kGenericWrite), kInvalidFileHandle);
  EXPECT_EQ(sim.GetFileAttributesA("D:\\"), kInvalidFileAttributes);
  EXPECT_EQ(sim.CopyFileA("C:\\nothing", "D:\\x", 0), 0);
  EXPECT_EQ(sim.WritePrivateProfileStringA("S", "K", "V", "D:\\x.ini"), 0);
  sim.Files().AddDrive('d');
  EXPECT_EQ(sim.GetFileAttributesA("D:\\"), kFileAttributeDirectory);
  EXPECT_EQ(sim.WritePrivateProfileStringA("S", "K", "V", "D:\\x.ini"), 1);
}

TEST(SimFiles, ModuleFileNameIsCutToFitLikeWindows) {
  SimSystem sim;
  char buf[260];
  EXPECT_EQ(sim.GetModuleFileNameA(0x400000, buf, sizeof buf), 22u);
  EXPECT_STREQ(buf, "C:\\NLSETUP\\NLSETUP.EXE");
  char small[8];
  EXPECT_EQ(sim.GetModuleFileNameA(0x400000, small, sizeof small), 8u);
  EXPECT_STREQ(small, "C:\\NLSE");
}

}  // namespace
}  // namespace nl::sim
