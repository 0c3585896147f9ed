// Whole runs on the German sample system with its setup directories or INF
// files broken: directories too long or missing, INF files that are empty,
// binary, read-only or held open by another program, a missing driver file
// or drive (hostile_run.h has the checks every run must pass).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "../support/hostile_run.h"

namespace nl {
namespace {

using namespace nl::testing;

// Random bytes of every value, with the texts the edits look for mixed in.
std::string BinaryInf(unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  const std::vector<std::string> texts = {
      "irmini.sys", "IRMINI.SYS", "IrMiNi.SyS", "DeviceID=IRMINI",
      "InfraredTransceiverType,type,,enum", "HKR,Ndi\\Install,,0,irmini",
      "%StandardExpl%=IRMINI_Install,IRMINI", std::string("\0\0\0\0", 4)};
  std::string out;
  for (int piece = 0; piece < 64; ++piece) {
    int run = byte(random);
    for (int i = 0; i < run; ++i) out += static_cast<char>(byte(random));
    out += texts[static_cast<std::size_t>(byte(random)) % texts.size()];
  }
  return out + "irmini.sy";  // an occurrence cut off by the end of the file
}


// IRMINI.INF left alone, as the only copy of the customer's file.
void MissIrmini(Effects& effects) { MissInfFiles(effects, "only copy"); }

std::vector<HostileCase> FilesCatalogue() {
  std::vector<HostileCase> cases;

  // Setup directories.
  {
    HostileCase c;
    c.name = "ScratchDirNotOnDisk";
    c.change = [](HostileRun& run) {
      run.sim.Registry().SetText(kSetupKey, "SetupScratchDir", "C:\\NOWHERE\\INF");
    };
    c.effects.infs = InfResult::kUntouched;
    c.effects.description = kDefaultClassDescription;
    MissInfFiles(c.effects, "SetupScratchDir folder");
    c.extraCheck = [](HostileRun& run) {
      EXPECT_FALSE(run.sim.Files().FileExists("C:\\NOWHERE"));
    };
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.name = "SourcePathOnMissingDrive";
    c.change = [](HostileRun& run) {
      run.sim.Registry().SetText(kSetupKey, "SourcePath", "E:\\WIN98\\CABS\\");
    };
    c.effects.driverCopy = "";
    c.effects.Miss("driver-copy", "drive E:");
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.name = "DriverFileMissing";
    c.change = [](HostileRun& run) {
      std::filesystem::remove(run.sim.Files().HostPath(kProgramDriver));
    };
    c.effects.driverCopy = "";
    c.effects.Miss("driver-copy", "beside the program");
    cases.push_back(c);
  }
  // The program's own directory near the path limit: at 248 characters the
  // driver's path just fits, at 249 it does not; a file name longer than
  // the program's buffer gives no directory at all.
  for (std::size_t length : {248u, 249u, 300u}) {
    HostileCase c;
    c.name = "ProgramDirOf" + std::to_string(length) + "Characters";
    c.change = [length](HostileRun& run) {
      const std::string dir = LongDirectory(length);
      run.sim.Files().MakeDirectory(dir);
      run.programDriver = InDir(dir, "nl-430.sys");
      run.sim.Files().WriteFileText(run.programDriver, "driver beside a long path");
      // A short program name, so the driver's path is what runs out.
      run.sim.Processes().SetProgramPath(InDir(dir, "N.EXE"));
    };
    if (length != 248) {
      c.effects.driverCopy = "";
      c.effects.Miss("driver-copy", length == 249 ? "too long" : "cut off");
    }
    cases.push_back(c);
  }
  // Scratch directories near the path limit: no composed path fits at 259
  // and 250 characters; at 248 only "IRMINI.INF" and "IRMINI.BAK" fit, and
  // since every rewrite goes through "NL-TEMP.INF" nothing is edited; at
  // 247 "NL-TEMP.INF" fits as well, but not "INFRARED.INF".
  for (std::size_t length : {259u, 250u}) {
    HostileCase c;
    c.name = "ScratchDirOf" + std::to_string(length) + "Characters";
    c.change = [length](HostileRun& run) {
      CopyInfsTo(run, LongDirectory(length));
    };
    c.effects.infs = InfResult::kUntouched;
    c.effects.description = kDefaultClassDescription;
    MissInfFiles(c.effects, "too long");
    c.extraCheck = ExpectSampleInfsUntouched;
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.name = "ScratchDirOf248Characters";
    c.change = [](HostileRun& run) { CopyInfsTo(run, LongDirectory(248)); };
    c.effects.infs = InfResult::kOwnCheck;
    c.effects.description = kDefaultClassDescription;
    MissInfFiles(c.effects, "too long");
    c.extraCheck = [](HostileRun& run) {
      // The rewrite's temporary file does not fit, so no backup is made,
      // and without one the display name is not written either.
      ExpectInfUntouched(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal);
      ExpectInfUntouched(run, "INFRARED.INF", "INFRARED.BAK",
                         run.infraredOriginal);
      ExpectSampleInfsUntouched(run);
    };
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.name = "ScratchDirOf247Characters";
    c.change = [](HostileRun& run) { CopyInfsTo(run, LongDirectory(247)); };
    c.effects.infs = InfResult::kOwnCheck;
    c.effects.description = kDefaultClassDescription;
    c.effects.Miss("inf-edits", "INFRARED.INF\" is too long");
    c.extraCheck = [](HostileRun& run) {
      ExpectInfEdited(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal,
                      IrminiAfterRun(run.irminiOriginal, run.German()));
      ExpectInfUntouched(run, "INFRARED.INF", "INFRARED.BAK",
                         run.infraredOriginal);
      EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
      ExpectSampleInfsUntouched(run);
    };
    cases.push_back(c);
  }

  // INF files.
  {
    HostileCase c;
    c.name = "InfFilesEmpty";
    c.change = [](HostileRun& run) {
      run.sim.Files().WriteFileText(run.Inf("IRMINI.INF"), "");
      run.sim.Files().WriteFileText(run.Inf("INFRARED.INF"), "");
    };
    c.effects.Miss("inf-edits", "does not hold").Miss("model-line", "does not hold");
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.name = "InfFilesBinary";
    c.change = [](HostileRun& run) {
      run.sim.Files().WriteFileText(run.Inf("IRMINI.INF"), BinaryInf(7));
      run.sim.Files().WriteFileText(run.Inf("INFRARED.INF"), BinaryInf(8));
    };
    // Some texts of the German edits are not among the bytes.
    c.effects.Miss("inf-edits", "does not hold", kGermanRunsOnly)
        .Miss("class-installer", "[ClassInstall]");
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.name = "ClassNameOverlong";
    // A class name longer than the 511 characters the program reads.
    c.change = [](HostileRun& run) {
      run.sim.Files().WriteFileText(
          run.Inf("INFRARED.INF"),
          "[Strings]\r\nClass.Desc=\"" + std::string(600, 'K') +
              "\"\r\n[Infrared.CopyFiles]\r\nirmini.sys\r\n");
    };
    c.effects.description = std::string(511, 'K');
    c.effects.Miss("class-installer", "[ClassInstall]");  // none in this INFRARED.INF
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.name = "InfFilesReadOnly";
    c.change = [](HostileRun& run) {
      run.sim.Files().SetReadOnly(run.Inf("IRMINI.INF"));
      run.sim.Files().SetReadOnly(run.Inf("INFRARED.INF"));
    };
    cases.push_back(c);
  }
  {
    // The backup cannot be made, so the file is the only copy of its
    // original: no edit and no display name may rewrite it.
    HostileCase c;
    c.name = "IrminiHeldOpen";
    c.change = [](HostileRun& run) { run.sim.Files().HoldOpen(run.Inf("IRMINI.INF")); };
    c.effects.infs = InfResult::kOwnCheck;
    MissIrmini(c.effects);
    c.extraCheck = [](HostileRun& run) {
      ExpectInfUntouched(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal);
      ExpectInfEdited(run, "INFRARED.INF", "INFRARED.BAK",
                      run.infraredOriginal,
                      InfraredAfterRun(run.infraredOriginal));
      EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
    };
    cases.push_back(c);
  }
  {
    // The move that makes the backup fails once, with the file in place and
    // free afterwards: the later edits must still leave the only copy alone.
    HostileCase c;
    c.name = "IrminiBackupMoveFails";
    c.change = [](HostileRun& run) {
      run.sim.Journal().FailCall(CallNumberInUntouchedRun(
          run.lcid, "MoveFileA", "\"C:\\WINDOWS\\INF\\IRMINI.BAK\""));
    };
    c.effects.infs = InfResult::kOwnCheck;
    MissIrmini(c.effects);
    c.extraCheck = [](HostileRun& run) {
      ExpectInfUntouched(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal);
      ExpectInfEdited(run, "INFRARED.INF", "INFRARED.BAK",
                      run.infraredOriginal,
                      InfraredAfterRun(run.infraredOriginal));
      EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
    };
    cases.push_back(c);
  }
  {
    // Released while the class installer runs: the late edit must still
    // leave the only copy alone.
    HostileCase c;
    c.name = "IrminiHeldOpenUntilInstallerRuns";
    c.change = [](HostileRun& run) {
      std::string path = run.Inf("IRMINI.INF");
      run.sim.Files().HoldOpen(path);
      run.sim.Clock().At(500, [path](sim::SimSystem& s) { s.Files().Release(path); });
    };
    c.effects.infs = InfResult::kOwnCheck;
    MissIrmini(c.effects);
    c.extraCheck = [](HostileRun& run) {
      ExpectInfUntouched(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal);
      EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
    };
    cases.push_back(c);
  }
  {
    // An earlier run's backup exists and another program holds the edited
    // file open. Windows 95/98 delete it all the same (NT would refuse), so
    // the backup is put back and edited anew: the result is the same file,
    // and the original stays in the backup.
    HostileCase c;
    c.name = "IrminiHeldOpenAfterEarlierRun";
    c.change = [](HostileRun& run) {
      LeaveEarlierRunEdit(run, "IRMINI");
      run.sim.Files().HoldOpen(run.Inf("IRMINI.INF"));
      GiveSampleOriginals(run);
    };
    c.effects.infs = InfResult::kOwnCheck;
    c.extraCheck = [](HostileRun& run) {
      EXPECT_EQ(run.File(run.Inf("IRMINI.INF")),
                IrminiAfterRun(run.irminiOriginal, run.German()));
      EXPECT_EQ(run.File(run.Inf("IRMINI.BAK")), run.irminiOriginal);
      EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
      bool restored = false;
      for (const sim::JournalEntry& e : run.sim.Journal().Entries())
        restored = restored || (e.operation == "DeleteFileA" && e.result == "1" &&
                                e.arguments == "\"" + run.Inf("IRMINI.INF") + "\"");
      EXPECT_TRUE(restored) << "the held file was not deleted as Windows 9x deletes it";
    };
    cases.push_back(c);
  }
  {
    // The backup of an earlier run cannot be put back after the edited file
    // was deleted: the backup keeps the original, and no IRMINI.INF holding
    // only the display name takes its place.
    HostileCase c;
    c.name = "IrminiBackupHeldOpen";
    c.change = [](HostileRun& run) {
      LeaveEarlierRunEdit(run, "IRMINI");
      run.sim.Files().HoldOpen(run.Inf("IRMINI.BAK"));
      GiveSampleOriginals(run);
    };
    c.effects.infs = InfResult::kOwnCheck;
    c.effects.Miss("inf-edits", "MoveFileA").Miss("model-line", "MoveFileA");
    c.effects.Miss("display-name", "missing");
    c.extraCheck = [](HostileRun& run) {
      EXPECT_EQ(run.File(run.Inf("IRMINI.BAK")), run.irminiOriginal);
      EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("IRMINI.INF")));
      EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
    };
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.name = "InfraredHeldOpen";
    c.change = [](HostileRun& run) {
      run.sim.Files().HoldOpen(run.Inf("INFRARED.INF"));
    };
    c.effects.infs = InfResult::kOwnCheck;
    // The class name cannot be read from a file another program holds.
    c.effects.description = kDefaultClassDescription;
    c.effects.Miss("inf-edits", "edit 9");
    c.extraCheck = [](HostileRun& run) {
      ExpectInfEdited(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal,
                      IrminiAfterRun(run.irminiOriginal, run.German()));
      ExpectInfUntouched(run, "INFRARED.INF", "INFRARED.BAK",
                         run.infraredOriginal);
    };
    cases.push_back(c);
  }
  // Windows 95/98 read the class name from a file another program holds
  // only when that program reads it and shares reading alone: one that
  // holds it for writing leaves the default, even sharing reads.
  for (const bool writes : {false, true}) {
    HostileCase c;
    c.name = writes ? "InfraredHeldForWritingSharingReads" : "InfraredHeldForReadingSharingReads";
    c.change = [writes](HostileRun& run) {
      run.sim.Files().HoldOpen(run.Inf("INFRARED.INF"), writes ? kGenericWrite : kGenericRead,
                               sim::kFileShareRead);
    };
    c.effects.infs = InfResult::kOwnCheck;
    if (writes) c.effects.description = kDefaultClassDescription;
    c.effects.Miss("inf-edits", "edit 9");
    c.extraCheck = [](HostileRun& run) {
      ExpectInfUntouched(run, "INFRARED.INF", "INFRARED.BAK", run.infraredOriginal);
    };
    cases.push_back(c);
  }
  return cases;
}

class HostileFiles : public ::testing::TestWithParam<HostileParam> {};

TEST_P(HostileFiles, RunEndsSoundlyKeepsOriginalsAndDoesTheRest) { RunHostileCase(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Catalogue, HostileFiles,
                         ::testing::Combine(::testing::ValuesIn(FilesCatalogue()),
                                            ::testing::Values(kGermanLcid,
                                                              kEnglishLcid)),
                         CaseName);

// Read-only originals are moved aside like any other file, so a second run
// puts them back and edits them again the same way.
TEST(HostileStateReadOnly, SecondRunOnReadOnlyOriginalsGivesTheSameFiles) {
  for (std::uint32_t lcid : {kGermanLcid, kEnglishLcid}) {
    HostileRun run(lcid);
    run.sim.Files().SetReadOnly(run.Inf("IRMINI.INF"));
    run.sim.Files().SetReadOnly(run.Inf("INFRARED.INF"));
    run.Run();
    ExpectSoundEnd(run);
    ExpectInfsEdited(run);
    const std::string irmini = run.irminiOriginal;
    const std::string infrared = run.infraredOriginal;

    run.outcome = RunWholeProgram(run.sim);
    ExpectSoundEnd(run);
    ExpectInfsEdited(run);  // against the first run's originals
    EXPECT_EQ(run.sim.GetFileAttributesA(run.Inf("IRMINI.BAK").c_str()),
              sim::kFileAttributeReadOnly);
  }
}

// An INF file made read-only after an earlier run cannot be deleted when its
// backup is put back, so this run edits it in place through the temporary
// file. The move hands the read-only attribute on to the temporary file,
// which then cannot be deleted: it is left behind, and from then on every
// edit through the temporary file fails at its first step, in this run and
// in every later one.
TEST(HostileStateReadOnly, EditedFileMadeReadOnlyLeavesNoTemporaryFileBehind) {
  for (std::uint32_t lcid : {kGermanLcid, kEnglishLcid}) {
    SCOPED_TRACE(lcid == kGermanLcid ? "German" : "English");
    HostileRun run(lcid);
    GiveSampleOriginals(run);
    for (const char* name : {"IRMINI", "INFRARED"}) {
      LeaveEarlierRunEdit(run, name);
      run.sim.Files().SetReadOnly(run.Inf((std::string(name) + ".INF").c_str()));
    }
    run.Run();
    ExpectSoundEnd(run);
    ExpectOriginalsKept(run);
    EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")))
        << "FAULT (temporary INF rewrite): NL-TEMP.INF took over the "
           "read-only attribute of the file it was moved from and was left "
           "behind";

    // The next run puts the backups back and must edit as a first run does.
    run.outcome = RunWholeProgram(run.sim);
    ExpectSoundEnd(run);
    ExpectOriginalsKept(run);
    EXPECT_EQ(run.File(run.Inf("IRMINI.INF")),
              IrminiAfterRun(run.irminiOriginal, run.German()))
        << "FAULT (temporary INF rewrite): a left-behind read-only "
           "NL-TEMP.INF blocks every edit through the temporary file";
  }
}

}  // namespace
}  // namespace nl
