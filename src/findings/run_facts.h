// The facts a run's findings are decided from: the system before the run,
// the system after it, and what happened in between (the calls the program
// made, the processes it started, how the run ended). A plain record: the
// goal checks are functions of it alone, and one function (RecordRunFacts)
// fills it from the simulated system.
#pragma once

#include <cstdint>
#include <optional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/files/sim_drives.h"
#include "regfile/reg_tree.h"

namespace nl::sim {
class SimSystem;
}

namespace nl::findings {

// One file: whether it exists and, when it does, its bytes.
struct FileFact {
  bool exists = false;
  std::string bytes;
};

// One call of the program, as the journal records it.
struct CallFact {
  std::uint64_t index = 0;
  std::string operation;
  std::string arguments;
  std::string result;
  std::string Text() const { return operation + "(" + arguments + ") = " + result; }
};

// One process the program asked to start.
struct ProcessFact {
  std::string commandLine;
  bool started = false;
  bool ended = false;  // had ended when the run was over
};

// The Setup key's folders as the program reads them: trailing backslashes
// dropped; `known` false when the value is missing; `tooLong` when the
// value does not fit the program's buffer for it (then it is known but
// unreadable, and `path` is empty).
struct SetupFolder {
  bool known = false;
  bool tooLong = false;
  std::string path;
};

// What the driver copy found on the way to the setup source directory,
// after the run.
struct SourceFolderFacts {
  bool driveExists = false;   // the drive of SourcePath (true without one)
  // The kind of that drive (fixed when SourcePath names none, network
  // for a UNC path such as \\SERVER\CDS).
  sim::DriveKind driveKind = sim::DriveKind::kFixed;
  bool folderExists = false;  // the SourcePath folder itself
  bool driverThere = false;   // nl-430.sys in it
};

struct RunFacts {
  bool german = false;  // the user locale was German
  // The facts of the image alone, before any run: the "after" parts hold
  // the system as the image has it, and no call was made.
  bool imageOnly = false;
  // What the customer's case does not hold (the image description's
  // "missing" lines): keys below HKEY_LOCAL_MACHINE and INF file names.
  std::set<std::string> missing;
  std::shared_ptr<regfile::RegNode> registryBefore;
  std::shared_ptr<regfile::RegNode> registryAfter;
  SetupFolder scratchDir;  // SetupScratchDir, before the run
  SetupFolder sourcePath;  // SourcePath, before the run
  bool scratchDirExists = false;  // the SetupScratchDir folder, after the run
  // The INF files, their backups and the temporary file in the setup
  // scratch directory, by upper-case file name ("IRMINI.BAK").
  std::map<std::string, FileFact> scratchBefore;
  std::map<std::string, FileFact> scratchAfter;
  SourceFolderFacts source;
  SourceFolderFacts sourceBefore;  // the same, before the run
  bool scratchDirExistedBefore = false;
  // The driver file the program copied from ("C:\NLSETUP\nl-430.sys") and
  // whether it was there; empty when no copy was attempted.
  std::string driverSource;
  bool driverSourceExists = false;
  std::vector<CallFact> calls;
  std::vector<ProcessFact> processes;
  // How the run was cut short from outside (a time limit, a stop); empty
  // when the program returned.
  std::string stopped;
  // The system tools were played by scripted stand-ins (always so in the
  // simulated system): a tool's goal the run reached is assumed for the PC.
  bool toolsPlayed = false;
  // The format of the customer's case the image was made from (0: made
  // from no case), and what the case found of the system tools' files, by
  // upper-case name ("RUNDLL32.EXE" -> "present, 34304 bytes, crc32 ...").
  int caseFormat = 0;
  std::map<std::string, std::string> tools;
  // The driver file as shipped (empty: not known), and the bytes of
  // nl-430.sys in SourcePath after the run (empty when it is not there).
  std::string shippedDriver;
  std::string driverInSource;
  // nl-430.sys was put into Windows' system folder during the run: the user
  // gave Windows its folder when asked for the file.
  bool driverGivenByUser = false;
  // The PC's own nl-430.sys beside the program, when the case showed it to
  // be another than the shipped one and the image holds the shipped one in
  // its place ("present, 4096 bytes, crc32 0x..."); empty otherwise.
  std::string otherPcDriver;
  // What the case told of the PC beyond what the run uses: Windows'
  // VersionNumber and SubVersionNumber ("4.10.2222 A"), the locale Windows
  // was installed with (0: not told), the ports in use ("COM1" -> the
  // device that has it) and Windows 95's driver database files.
  std::string windows;
  std::uint32_t systemLocale = 0;
  std::map<std::string, std::string> portsInUse;
  std::map<std::string, std::string> driverDatabase;
  // Why the program waits for the user where the run ended ("Windows asks
  // for the disc in drive D: and the run waits for an answer"); empty when
  // it does not. The waiting call is the run's last.
  std::string waiting;
};

// The file names RunFacts keeps of the setup scratch directory.
const std::vector<std::string>& ScratchFileNames();

enum class RunMoment { kBefore, kAfter };

// Fills the facts of `moment` from the simulated system: call it once with
// kBefore after the image is loaded and the locale set, and once with
// kAfter when the program has ended. The only code of the findings that
// looks at the simulated system.
void RecordRunFacts(sim::SimSystem& system, RunMoment moment, RunFacts* facts);

}  // namespace nl::findings
