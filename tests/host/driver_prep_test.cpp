// Preparation of the INF files and the driver file on the simulated system:
// backups put back, the edit table on German and English systems, first and
// second runs, leftovers of earlier runs, and the driver copy.
#include "setup/driver_prep.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/substitution_model.h"
#include "platform/sim/files/sim_profile_text.h"
#include "platform/sim/sim_system.h"
#include "setup/setup_env.h"

namespace nl {
namespace {

using sim::SimSystem;
using testing::ModelSubstitute;

constexpr char kSetupKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
constexpr char kInfDir[] = "C:\\WINDOWS\\INF";
constexpr char kIdentity[] = "USB\\VID_1B4E&PID_0430";
constexpr char kDisplayName[] = "\"Norvik Lumens NL-470 USB Infrared Adapter\"";

// Synthetic miniport INF holding every text the edit table searches for.
const std::string kIrmini =
    "[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=Net\r\n"
    "[Generic]\r\n%StandardExpl%=IRMINI_Install,IRMINI\r\n"
    "[IRMINI_Install]\r\n"
    "AddReg=IRMINI_AddReg, IRMINI_NonPnP_AddReg, IRMINI.reg\r\n"
    "CopyFiles=IRMINI.CopyFiles\r\nDeviceID=IRMINI\r\n"
    "[IRMINI_AddReg]\r\nHKR,Ndi,DeviceID,,IRMINI\r\n"
    "HKR,,AdapterName,0,IRMINI\r\nHKR,NDIS,LogDriverName,0,IRMINI\r\n"
    "HKR,Ndi\\Install,,0,IRMINI\r\n"
    "HKR,Ndi\\params\\InfraredTransceiverType,type,,enum\r\n"
    "[IRMINI.CopyFiles]\r\nIRMINI.SYS\r\n"
    "[Strings]\r\nStandardExpl=\"Generic infrared port\"\r\n";
const std::string kInfrared =
    "[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=Infrared\r\n"
    "[Infrared.Files]\r\nirmini.sys\r\nIrMini.Sys,,,2\r\n"
    "[Strings]\r\nClass.Desc=\"Infrarotger\xE4te\"\r\n";

struct Row {
  const char* search;
  std::string replacement;
};
const Row kRowOne = {"irmini.sys", "nl-430.sys"};
const Row kRowTwo = {"InfraredTransceiverType,type,,enum",
                     "InfraredTransceiverType,type,,%GenericInfraredPort%"};
const Row kGermanRows[] = {
    {"DeviceID=IRMINI", std::string("DeviceID=") + kIdentity},
    {"HKR,Ndi,DeviceID,,IRMINI", std::string("HKR,Ndi,DeviceID,,") + kIdentity},
    {"HKR,,AdapterName,0,IRMINI", std::string("HKR,,AdapterName,0,") + kIdentity},
    {"HKR,NDIS,LogDriverName,0,IRMINI",
     std::string("HKR,NDIS,LogDriverName,0,") + kIdentity},
    {"HKR,Ndi\\Install,,0,IRMINI", std::string("HKR,Ndi\\Install,,0,") + kIdentity},
    {"AddReg=IRMINI_AddReg, IRMINI_NonPnP_AddReg, IRMINI.reg",
     "AddReg=IRMINI_AddReg, IRMINI.reg"},
};
const Row kLateRow = {"%StandardExpl%=IRMINI_Install,IRMINI",
                      std::string("%StandardExpl%=IRMINI_Install,") + kIdentity};

std::string Apply(std::string text, const Row& row) {
  return ModelSubstitute(text, row.search, row.replacement);
}

std::string InfPath(const std::string& name) {
  return std::string(kInfDir) + "\\" + name;
}

// A Windows 98 system with the two INF files, a setup source directory and
// the program with its driver file in C:\NLSETUP.
struct PrepSystem {
  SimSystem sim;
  InstallRun run = MakeInstallRun(sim, 0x00400000);

  explicit PrepSystem(std::uint32_t lcid = 0x407) {
    sim.Processes().SetUserDefaultLcid(lcid);
    sim.Registry().SetText(kSetupKey, "SetupScratchDir", kInfDir);
    sim.Registry().SetText(kSetupKey, "SourcePath", "C:\\WINDOWS\\OPTIONS\\CABS");
    sim.Files().MakeDirectory("C:\\WINDOWS\\OPTIONS\\CABS");
    sim.Files().WriteFileText(InfPath("IRMINI.INF"), kIrmini);
    sim.Files().WriteFileText(InfPath("INFRARED.INF"), kInfrared);
    sim.Files().WriteFileText("C:\\NLSETUP\\nl-430.sys", "driver bytes");
  }
  // Phases 2 and 3 of a run.
  void PrepareInfFiles() {
    RestoreInfBackups(run);
    PatchInfFiles(run);
  }
  // A later run of the program on the same system.
  void StartNewRun() {
    run.scratchDir[0] = 0;
    run.forwardPressed = 0;
  }
  std::string Read(const std::string& name) {
    return sim.Files().ReadFileText(InfPath(name));
  }
  bool Exists(const std::string& name) { return sim.Files().FileExists(InfPath(name)); }
  // What the system's profile writer makes of `text` with the display name
  // written into it (`text` null: a file that did not exist).
  std::string WithDisplayName(const std::string* text) {
    return sim::SetProfileValue(text ? *text : "", "Strings", "StandardExpl",
                                kDisplayName);
  }
  // Calls that touch or look at files.
  std::vector<std::string> FileCalls() const {
    const std::string fileOperations[] = {
        "CreateFileA",       "MoveFileA",  "DeleteFileA",
        "CopyFileA",         "GetFileAttributesA",
        "GetPrivateProfileStringA", "WritePrivateProfileStringA"};
    std::vector<std::string> out;
    for (const auto& entry : sim.Journal().Entries()) {
      for (const std::string& operation : fileOperations)
        if (entry.operation == operation) out.push_back(entry.Text());
    }
    return out;
  }
  std::vector<std::string> CallsOf(const std::string& operation) const {
    std::vector<std::string> out;
    for (const auto& entry : sim.Journal().Entries())
      if (entry.operation == operation) out.push_back(entry.arguments);
    return out;
  }
};

std::string GermanIrmini() {
  std::string text = Apply(Apply(kIrmini, kRowOne), kRowTwo);
  for (const Row& row : kGermanRows) text = Apply(text, row);
  return text;
}

// ---- the edit table ----

TEST(DriverPrep, FirstGermanRunEditsBothFilesAndKeepsTheOriginals) {
  PrepSystem s;
  s.PrepareInfFiles();
  // Rows 1 to 8 on IRMINI.INF, the display name and at once the two
  // flushes of the profile cache (the file named, then none), then row 9:
  // each rewrite ends with its new content moved from the temporary file
  // into place.
  const std::string fromTemp = "\"" + InfPath("NL-TEMP.INF") + "\", ";
  const std::string irmini = "\"" + InfPath("IRMINI.INF") + "\"";
  const std::string infrared = "\"" + InfPath("INFRARED.INF") + "\"";
  std::vector<std::string> steps;
  for (const auto& entry : s.sim.Journal().Entries()) {
    if (entry.operation == "MoveFileA" &&
        entry.arguments.compare(0, fromTemp.size(), fromTemp) == 0)
      steps.push_back(entry.arguments.substr(fromTemp.size()));
    if (entry.operation == "WritePrivateProfileStringA")
      steps.push_back(entry.arguments == "NULL, NULL, NULL, " + irmini ? "flush " + irmini
                      : entry.arguments == "NULL, NULL, NULL, NULL"    ? "flush"
                                                                       : "name");
  }
  EXPECT_EQ(steps, (std::vector<std::string>{irmini, irmini, irmini, irmini, irmini,
                                             irmini, irmini, irmini, "name",
                                             "flush " + irmini, "flush", infrared}));

  std::string edited = GermanIrmini();
  ASSERT_NE(edited.find(std::string("DeviceID=") + kIdentity), std::string::npos);
  EXPECT_EQ(s.Read("IRMINI.INF"), s.WithDisplayName(&edited));
  EXPECT_EQ(s.Read("INFRARED.INF"), Apply(kInfrared, kRowOne));
  EXPECT_EQ(s.Read("IRMINI.BAK"), kIrmini);
  EXPECT_EQ(s.Read("INFRARED.BAK"), kInfrared);
  EXPECT_FALSE(s.Exists("NL-TEMP.INF"));
  EXPECT_EQ(s.sim.Files().OpenFileCount(), 0u);
}

TEST(DriverPrep, EnglishRunMakesOnlyRowsOneTwoNineAndTheDisplayName) {
  PrepSystem s(0x409);
  s.PrepareInfFiles();
  std::string edited = Apply(Apply(kIrmini, kRowOne), kRowTwo);
  EXPECT_EQ(s.Read("IRMINI.INF"), s.WithDisplayName(&edited));
  EXPECT_NE(s.Read("IRMINI.INF").find("DeviceID=IRMINI"), std::string::npos);
  EXPECT_EQ(s.Read("INFRARED.INF"), Apply(kInfrared, kRowOne));
  EXPECT_EQ(s.Read("IRMINI.BAK"), kIrmini);
  // Rows 1, 2 and 9 only: two moves for each edit with a backup, one for
  // the edit through the temporary file.
  EXPECT_EQ(s.CallsOf("MoveFileA").size(), 5u);
}

TEST(DriverPrep, SecondRunPutsTheBackupsBackAndComesOutTheSame) {
  for (std::uint32_t lcid : {0x407u, 0x409u}) {
    PrepSystem s(lcid);
    s.PrepareInfFiles();
    const std::string irmini = s.Read("IRMINI.INF");
    const std::string infrared = s.Read("INFRARED.INF");
    s.StartNewRun();
    s.PrepareInfFiles();
    EXPECT_EQ(s.Read("IRMINI.INF"), irmini) << lcid;
    EXPECT_EQ(s.Read("INFRARED.INF"), infrared);
    EXPECT_EQ(s.Read("IRMINI.BAK"), kIrmini);
    EXPECT_EQ(s.Read("INFRARED.BAK"), kInfrared);
  }
}

TEST(DriverPrep, RestoreReplacesTheTargetWithTheBackup) {
  PrepSystem s;
  s.sim.Files().WriteFileText(InfPath("IRMINI.BAK"), "the original");
  RestoreInfBackups(s.run);
  EXPECT_EQ(s.Read("IRMINI.INF"), "the original");
  EXPECT_FALSE(s.Exists("IRMINI.BAK"));
  // Without a backup the target is left alone.
  EXPECT_EQ(s.Read("INFRARED.INF"), kInfrared);
}

// A temporary file left by an interrupted run holds at most part of a
// rewrite: the first edit, which has a backup to make, removes it and goes
// on, so every later edit applies as well.
TEST(DriverPrep, AStaleTemporaryFileIsRemovedByTheFirstEdit) {
  PrepSystem s;
  s.sim.Files().WriteFileText(InfPath("NL-TEMP.INF"), "left by an interrupted run");
  s.PrepareInfFiles();
  std::string edited = GermanIrmini();
  EXPECT_EQ(s.Read("IRMINI.INF"), s.WithDisplayName(&edited));
  EXPECT_EQ(s.Read("IRMINI.BAK"), kIrmini);
  EXPECT_FALSE(s.Exists("NL-TEMP.INF"));
}

// The backup is held open by another program, so it cannot be renamed after
// its target was deleted: every edit of that file fails and the display name
// makes a file of its own, while the backup keeps the original.
TEST(DriverPrep, ABackupThatCannotBeMovedBackKeepsTheOriginal) {
  PrepSystem s;
  s.PrepareInfFiles();
  s.StartNewRun();
  s.sim.Files().HoldOpen(InfPath("IRMINI.BAK"));
  s.PrepareInfFiles();
  s.sim.Files().Release(InfPath("IRMINI.BAK"));
  EXPECT_EQ(s.Read("IRMINI.BAK"), kIrmini);
  // No IRMINI.INF holding only the display name takes the original's place.
  EXPECT_FALSE(s.Exists("IRMINI.INF"));
  EXPECT_EQ(s.Read("INFRARED.INF"), Apply(kInfrared, kRowOne));
  EXPECT_EQ(s.Read("INFRARED.BAK"), kInfrared);
}

// The display name is not written into a file that is not there: a stub
// IRMINI.INF would install nothing where Windows would ask for the real one.
TEST(DriverPrep, AMissingMiniportInfIsNotCreated) {
  PrepSystem s;
  s.sim.DeleteFileA(InfPath("IRMINI.INF").c_str());
  s.PrepareInfFiles();
  EXPECT_FALSE(s.Exists("IRMINI.INF"));
  EXPECT_FALSE(s.Exists("IRMINI.BAK"));
  EXPECT_EQ(s.Read("INFRARED.INF"), Apply(kInfrared, kRowOne));
}

TEST(DriverPrep, LateEditGivesTheModelLineTheHardwareIdentity) {
  PrepSystem s;
  s.PrepareInfFiles();
  const std::string before = s.Read("IRMINI.INF");
  ApplyLateInfEdit(s.run);
  EXPECT_EQ(s.Read("IRMINI.INF"), Apply(before, kLateRow));
  EXPECT_NE(s.Read("IRMINI.INF").find(kLateRow.replacement), std::string::npos);
  EXPECT_EQ(s.Read("IRMINI.BAK"), kIrmini);
  EXPECT_FALSE(s.Exists("NL-TEMP.INF"));
}

// When the first edit of IRMINI.INF cannot make the backup, the file is the
// only copy of the original: the edits through the temporary file, the
// display name and the late edit leave it alone. INFRARED.INF is edited as
// usual.
TEST(DriverPrep, WithoutItsBackupTheOriginalIsNotEdited) {
  PrepSystem s;
  char path[kMaxPath];
  GetSetupScratchPath(s.run, "IRMINI.INF", path, sizeof path);
  RestoreInfBackups(s.run);
  // Row 1 looks for a leftover temporary file, then moves the original to
  // its backup: that move fails.
  const std::uint64_t backupMove = s.sim.Journal().CallCount() + 2;
  s.sim.Journal().FailCall(backupMove);
  PatchInfFiles(s.run);
  ApplyLateInfEdit(s.run);
  ASSERT_EQ(s.sim.Journal().Entries()[backupMove - 1].operation, "MoveFileA");
  EXPECT_EQ(s.Read("IRMINI.INF"), kIrmini);
  EXPECT_FALSE(s.Exists("IRMINI.BAK"));
  EXPECT_TRUE(s.CallsOf("WritePrivateProfileStringA").empty());
  EXPECT_EQ(s.Read("INFRARED.INF"), Apply(kInfrared, kRowOne));
  EXPECT_EQ(s.Read("INFRARED.BAK"), kInfrared);
}

TEST(DriverPrep, AFailedWriteInTheFirstEditLeavesTheOriginalWhole) {
  PrepSystem s(0x409);
  s.sim.Journal().FailOperation("WriteFile");
  s.PrepareInfFiles();
  ApplyLateInfEdit(s.run);
  EXPECT_EQ(s.Read("IRMINI.INF"), kIrmini);
  EXPECT_EQ(s.Read("INFRARED.INF"), kInfrared);
  EXPECT_FALSE(s.Exists("IRMINI.BAK"));
  EXPECT_FALSE(s.Exists("INFRARED.BAK"));
  EXPECT_FALSE(s.Exists("NL-TEMP.INF"));
  EXPECT_TRUE(s.CallsOf("WritePrivateProfileStringA").empty());
}

// ---- without a usable scratch directory ----

TEST(DriverPrep, WithoutTheSetupKeyNothingIsTouchedAndTheLookupRepeats) {
  PrepSystem s;
  s.sim.Registry().Root().subkeys.clear();
  s.sim.Files().WriteFileText(InfPath("IRMINI.BAK"), "backup");
  s.PrepareInfFiles();
  ApplyLateInfEdit(s.run);
  EXPECT_TRUE(s.FileCalls().empty()) << s.sim.Journal().Text();
  EXPECT_GE(s.CallsOf("RegOpenKeyExA").size(), 5u);
  EXPECT_EQ(s.Read("IRMINI.INF"), kIrmini);
  EXPECT_EQ(s.Read("IRMINI.BAK"), "backup");
}

// A scratch directory of 259 characters fills its 260-byte buffer: no file
// name fits behind it, so nothing is touched.
TEST(DriverPrep, AScratchDirectoryFillingItsBufferTouchesNothing) {
  PrepSystem s;
  const std::string dir = "C:\\" + std::string(128, 'A') + "\\" + std::string(127, 'B');
  ASSERT_EQ(dir.size(), 259u);
  s.sim.Registry().SetText(kSetupKey, "SetupScratchDir", dir);
  s.PrepareInfFiles();
  ApplyLateInfEdit(s.run);
  EXPECT_TRUE(s.FileCalls().empty()) << s.sim.Journal().Text();
  EXPECT_EQ(std::string(s.run.scratchDir), dir);
}

// ---- the driver copy ----

TEST(DriverPrep, TheDriverIsCopiedToTheSourceDirectoryOverAnOldCopy) {
  PrepSystem s;
  s.sim.Files().WriteFileText("C:\\WINDOWS\\OPTIONS\\CABS\\nl-430.sys", "old");
  CopyDriverToSource(s.run);
  EXPECT_EQ(s.sim.Files().ReadFileText("C:\\WINDOWS\\OPTIONS\\CABS\\nl-430.sys"),
            "driver bytes");
  EXPECT_EQ(s.CallsOf("CopyFileA"),
            (std::vector<std::string>{"\"C:\\NLSETUP\\nl-430.sys\", "
                                      "\"C:\\WINDOWS\\OPTIONS\\CABS\\nl-430.sys\", 0"}));
}

TEST(DriverPrep, SourcePathFormsGiveOneBackslashBeforeTheFileName) {
  struct Case {
    const char* sourcePath;
    const char* destination;
  } cases[] = {
      {"C:\\WINDOWS\\OPTIONS\\CABS\\", "C:\\WINDOWS\\OPTIONS\\CABS\\nl-430.sys"},
      {"C:\\WINDOWS\\OPTIONS\\CABS\\\\", "C:\\WINDOWS\\OPTIONS\\CABS\\nl-430.sys"},
      {"", "\\nl-430.sys"},       // the root of the current drive
      {"\\\\\\", "\\nl-430.sys"},
  };
  for (const Case& c : cases) {
    PrepSystem s;
    s.sim.Registry().SetText(kSetupKey, "SourcePath", c.sourcePath);
    CopyDriverToSource(s.run);
    std::vector<std::string> copies = s.CallsOf("CopyFileA");
    ASSERT_EQ(copies.size(), 1u) << c.sourcePath;
    EXPECT_EQ(copies[0], std::string("\"C:\\NLSETUP\\nl-430.sys\", \"") +
                             c.destination + "\", 0");
    EXPECT_EQ(s.sim.Files().ReadFileText(c.destination), "driver bytes");
  }
}

TEST(DriverPrep, AProgramInTheRootTakesTheDriverFromTheRoot) {
  PrepSystem s;
  s.sim.Processes().SetProgramPath("C:\\NLSETUP.EXE");
  s.sim.Files().WriteFileText("C:\\nl-430.sys", "root driver");
  CopyDriverToSource(s.run);
  EXPECT_EQ(s.sim.Files().ReadFileText("C:\\WINDOWS\\OPTIONS\\CABS\\nl-430.sys"),
            "root driver");
}

// SourcePath on drive D: of each kind. The copy runs with
// SEM_FAILCRITICALERRORS added to the error mode the program had, which is
// put back right after it, so that a drive without its medium fails the copy
// quietly instead of leaving the program behind Windows' request for the
// disc; a CD with its disc is read-only.
TEST(DriverPrep, TheCopyFailsQuietlyOnADriveWithoutItsMediumOrOnACd) {
  struct Case {
    sim::DriveKind kind;
    bool copied;
  } cases[] = {
      {sim::DriveKind::kFixed, true},          {sim::DriveKind::kRemovable, true},
      {sim::DriveKind::kCdRom, false},         {sim::DriveKind::kCdRomNoDisc, false},
      {sim::DriveKind::kRemovableNoDisk, false}, {sim::DriveKind::kNone, false},
  };
  for (const Case& c : cases) {
    PrepSystem s;
    s.sim.Files().SetDriveKind('D', c.kind);
    if (c.kind == sim::DriveKind::kFixed || c.kind == sim::DriveKind::kRemovable)
      s.sim.Files().MakeDirectory("D:\\WIN98");
    s.sim.Registry().SetText(kSetupKey, "SourcePath", "D:\\WIN98");
    s.sim.SetErrorMode(0x8000);  // SEM_NOOPENFILEERRORBOX, the program's own
    CopyDriverToSource(s.run);  // does not wait for the user
    EXPECT_EQ(s.CallsOf("SetErrorMode"),
              (std::vector<std::string>{"0x8000", "0x1", "0x8001", "0x8000"}))
        << sim::DriveKindName(c.kind);
    EXPECT_EQ(s.sim.Files().ErrorMode(), 0x8000u);
    EXPECT_EQ(s.sim.Files().DriveKindOf('D') == c.kind &&
                  s.sim.Files().FileExists("D:\\WIN98\\nl-430.sys"),
              c.copied)
        << sim::DriveKindName(c.kind);
  }
}

// Without the error mode, the same copy onto a drive without its disc makes
// Windows ask for it, and the call waits for the user's answer.
TEST(DriverPrep, WithoutTheErrorModeACopyOntoADriveWithoutItsDiscWaits) {
  PrepSystem s;
  s.sim.Files().SetDriveKind('D', sim::DriveKind::kCdRomNoDisc);
  EXPECT_THROW(s.sim.CopyFileA("C:\\NLSETUP\\nl-430.sys", "D:\\WIN98\\nl-430.sys", 0),
               sim::SimWaitsForUser);
  EXPECT_EQ(s.sim.Journal().Entries().back().result,
            "0 (waiting: Windows asks for the disc in drive D: and the run waits for an answer)");
  // A letter with no drive at all fails quietly either way.
  EXPECT_EQ(s.sim.CopyFileA("C:\\NLSETUP\\nl-430.sys", "E:\\nl-430.sys", 0), 0);
}

TEST(DriverPrep, NoCopyWithoutASourcePathOrWhenAPathDoesNotFit) {
  PrepSystem absent;
  absent.sim.Registry().Root().subkeys.clear();
  absent.sim.Registry().SetText(kSetupKey, "SetupScratchDir", kInfDir);
  CopyDriverToSource(absent.run);
  EXPECT_TRUE(absent.CallsOf("CopyFileA").empty());
  // The rest of the preparation does not depend on it.
  absent.PrepareInfFiles();
  EXPECT_EQ(absent.Read("IRMINI.BAK"), kIrmini);

  // A source path of 501 characters reads, but the destination needs 513
  // bytes.
  PrepSystem longSource;
  longSource.sim.Registry().SetText(kSetupKey, "SourcePath", "C:\\" + std::string(498, 'S'));
  CopyDriverToSource(longSource.run);
  EXPECT_TRUE(longSource.CallsOf("CopyFileA").empty());
  EXPECT_EQ(longSource.CallsOf("RegQueryValueExA").size(), 1u);

  // A program directory of 250 characters: its file name fits 260 bytes,
  // the driver's path beside it does not.
  PrepSystem longProgram;
  longProgram.sim.Processes().SetProgramPath("C:\\" + std::string(247, 'P') + "\\N.EXE");
  CopyDriverToSource(longProgram.run);
  EXPECT_TRUE(longProgram.CallsOf("CopyFileA").empty());
  EXPECT_EQ(longProgram.CallsOf("GetModuleFileNameA").size(), 1u);
}

}  // namespace
}  // namespace nl
