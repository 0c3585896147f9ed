// The journal of Platform calls and fault injection.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim_system.h"

namespace nl::sim {
namespace {

TEST(SimJournal, RecordsEveryCallInOrderWithArgumentsAndResults) {
  SimSystem sim;
  sim.Registry().CreateKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup");
  RegKey key = 0;
  sim.RegOpenKeyExA(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup", 0, 0, &key);
  sim.Sleep(500);
  sim.RegCloseKey(key);
  const std::vector<std::string> calls = sim.Journal().Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0],
            "RegOpenKeyExA(HKLM, \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\", 0, 0x0) = 0 -> key#1");
  EXPECT_EQ(calls[1], "Sleep(500) = void");
  EXPECT_EQ(calls[2], "RegCloseKey(key#1) = 0");
  EXPECT_EQ(sim.Journal().Entries()[2].index, 3u);
  EXPECT_EQ(sim.Journal().Entries()[2].time, 500u);
  EXPECT_NE(sim.Journal().Text().find("    3      500ms  RegCloseKey(key#1) = 0\n"), std::string::npos);
  EXPECT_EQ(sim.Journal().CallCount(), 3u);
}

TEST(SimJournal, FailCallFailsExactlyThatCallTheWayWindowsDoes) {
  SimSystem sim;
  sim.Registry().CreateKey("A");
  sim.Files().WriteFileText("C:\\a.txt", "abc");
  sim.Journal().FailCall(2);
  sim.Journal().FailCall(4);
  RegKey key = 0;
  EXPECT_EQ(sim.RegOpenKeyExA(kHkeyLocalMachine, "A", 0, 0, &key), kErrorSuccess);  // call 1
  EXPECT_EQ(sim.RegOpenKeyExA(kHkeyLocalMachine, "A", 0, 0, &key), kErrorFileNotFound);  // call 2
  EXPECT_EQ(sim.RegCloseKey(key), kErrorSuccess);  // call 3
  EXPECT_EQ(sim.CreateFileA("C:\\a.txt", kGenericRead, 0, kOpenAlways, 0), kInvalidFileHandle);
  EXPECT_NE(sim.Journal().Entries()[3].result.find("[injected failure]"), std::string::npos);
  char buf[8];
  EXPECT_EQ(sim.GetPrivateProfileStringA("S", "K", "d", buf, 8, "C:\\a.txt"), 1u);  // call 5
  EXPECT_EQ(sim.Files().OpenFileCount(), 0u);
}

TEST(SimJournal, CallsThatCannotFailIgnoreInjectedFaults) {
  SimSystem sim;
  sim.Journal().FailCall(1);
  sim.Journal().ShortCall(2);
  sim.Sleep(100);
  EXPECT_EQ(sim.GetFileAttributesA("C:\\"), kFileAttributeDirectory);
  EXPECT_EQ(sim.Clock().Now(), 100u);
  EXPECT_EQ(sim.Journal().Calls(),
            (std::vector<std::string>{"Sleep(100) = void", "GetFileAttributesA(\"C:\\\") = 0x10"}));
}

TEST(SimJournal, FailOperationFailsEveryCallOfIt) {
  SimSystem sim;
  sim.Journal().FailOperation("WriteFile");
  FileHandle f = sim.CreateFileA("C:\\w.txt", kGenericWrite, 0, kOpenAlways, 0);
  std::uint32_t done = 7;
  EXPECT_EQ(sim.WriteFile(f, "ab", 2, &done), 0);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(sim.WriteFile(f, "ab", 2, &done), 0);
  sim.Journal().ClearFaults();
  EXPECT_EQ(sim.WriteFile(f, "ab", 2, &done), 1);
  sim.CloseHandle(f);
  EXPECT_EQ(sim.Files().ReadFileText("C:\\w.txt"), "ab");
}

TEST(SimJournal, ShortCallsMoveFewerBytes) {
  SimSystem sim;
  sim.Files().WriteFileText("C:\\r.txt", "abcdefgh");
  FileHandle r = sim.CreateFileA("C:\\r.txt", kGenericRead, 0, kOpenAlways, 0);  // call 1
  FileHandle w = sim.CreateFileA("C:\\w.txt", kGenericWrite, 0, kOpenAlways, 0);  // call 2
  sim.Journal().ShortCall(3);
  sim.Journal().ShortCall(4);
  char buf[8];
  std::uint32_t done = 0;
  EXPECT_EQ(sim.ReadFile(r, buf, 8, &done), 1);
  EXPECT_EQ(done, 4u);
  EXPECT_EQ(std::string(buf, 4), "abcd");
  EXPECT_EQ(sim.WriteFile(w, "123456", 6, &done), 1);
  EXPECT_EQ(done, 3u);
  sim.Journal().ShortCall(7);
  EXPECT_EQ(sim.ReadFile(r, buf, 3, &done), 1);  // call 5: not short
  EXPECT_EQ(std::string(buf, done), "efg");
  EXPECT_EQ(sim.SetFilePointer(r, 5, kFileBegin), 5u);
  EXPECT_EQ(sim.ReadFile(r, buf, 8, &done), 1);  // call 7: three bytes left, one comes
  EXPECT_EQ(std::string(buf, done), "f");
  EXPECT_EQ(sim.ReadFile(r, buf, 8, &done), 1);
  EXPECT_EQ(std::string(buf, done), "gh");
  sim.CloseHandle(r);
  sim.CloseHandle(w);
  EXPECT_EQ(sim.Files().ReadFileText("C:\\w.txt"), "123");
}

TEST(SimJournal, StopAfterCallClosesTheProgramsHandlesKeepingWhatWasWritten) {
  SimSystem sim;
  sim.Registry().CreateKey("A");
  sim.Journal().StopAfterCall(3);
  RegKey key = 0;
  sim.RegOpenKeyExA(kHkeyLocalMachine, "A", 0, 0, &key);
  FileHandle f = sim.CreateFileA("C:\\out.txt", kGenericWrite, 0, kOpenAlways, 0);
  std::uint32_t done = 0;
  EXPECT_THROW(sim.WriteFile(f, "partial", 7, &done), SimStopped);
  EXPECT_EQ(sim.Files().OpenFileCount(), 0u);
  EXPECT_EQ(sim.Registry().OpenKeyCount(), 0u);
  EXPECT_EQ(sim.Files().ReadFileText("C:\\out.txt"), "partial");
  EXPECT_EQ(sim.Journal().Entries().back().result, "1 -> 7 written");
}

TEST(SimJournal, WithTheJournalOffCallsAreStillCountedAndFaulted) {
  SimSystem sim;
  sim.Journal().SetEnabled(false);
  sim.Journal().FailCall(2);
  EXPECT_EQ(sim.GetFileAttributesA("C:\\"), kFileAttributeDirectory);
  EXPECT_EQ(sim.GetFileAttributesA("C:\\"), kInvalidFileAttributes);
  EXPECT_TRUE(sim.Journal().Entries().empty());
  EXPECT_EQ(sim.Journal().CallCount(), 2u);
}

}  // namespace
}  // namespace nl::sim
