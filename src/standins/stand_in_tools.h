// Simulated stand-ins for the three system tools the installer starts: the
// infrared class installer, the hardware wizard and the network control
// panel. They play the same dialogs, with the same control identifiers and
// timings, as the stand-in rundll32.exe of the Wine runs, on the simulator's
// virtual clock.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/sim/sim_system.h"

namespace nl::sim {

constexpr const char* kClassInstallerCommandLine =
    "rundll32 sysdm.cpl,InstallDevice_Rundll Infrared";
constexpr const char* kHardwareWizardCommandLine =
    "rundll32 sysdm.cpl,InstallDevice_Rundll";
constexpr const char* kNetworkPanelCommandLine =
    "rundll32.exe shell32.dll,Control_RunDLL Netcpl.cpl";

// Behaviours by role, named as in the Wine stand-in's NL_STANDIN option:
// installer: normal, late, absent, noforward, twice, linger (its RunDll
//   window stays 4 s after it ended), file (asks for nl-430.sys when it
//   installs the adapter: also played, unasked, when the file is not in
//   SourcePath or its drive lacks its medium), olddb (reads the INF files as
//   they were before the run, as Windows 95's driver database keeps them),
//   failstart;
// wizard: normal, late, absent, exit, slowpage, no1580, restart (asks to
//   restart Windows after its finish), newhw (a "New Hardware Found" box of
//   another process stands on top of it), failstart;
// panel: normal, stubborn (closes on the third OK), absent, notitle, disc
//   (asks for the Windows CD after its OK: also played, unasked, when
//   SourcePath's drive lacks its medium), failstart.
// Several behaviours of one role are joined with '+', e.g. "late+twice".
// No tool ends by itself while its dialog waits for a click: the program or
// the user (stand_in_user.h) ends it. user: clicks (default), finish, away;
// answer: what the user answers a prompt, "yes" (default), "no" (restart
// prompt) or "skip" (the prompt for nl-430.sys).
struct StandInOptions {
  std::string installer = "normal";
  std::string wizard = "normal";
  std::string panel = "normal";
  std::string user = "clicks";
  std::string answer = "yes";
  // The folder the user types into Windows' "Copying Files" box when asked
  // for nl-430.sys ("from=C:\NLSETUP"); empty: the user knows none.
  std::string from;
  int growMs = 1500;  // how long the wizard's model list keeps growing
};

// What the stand-ins saw of the system while they ran.
struct StandInRecord {
  // The class installer's start: the display name ("StandardExpl" of
  // section "Strings") it found in IRMINI.INF of the setup scratch
  // directory. Another process, it reads the file from disk and sees
  // nothing of the program's profile cache.
  int installerStarts = 0;
  bool installerFoundDisplayName = false;
  std::string installerDisplayName;
  // The prompts the tools showed, by title, in order.
  std::vector<std::string> prompts;
};

// "wizard=late,panel=stubborn,grow=800,user=away,from=C:\NLSETUP"; unknown roles
// and behaviours, a grow that is not a number and a from that is no folder
// path with a drive are refused (false).
bool ParseStandInOptions(const std::string& text, StandInOptions* options);

// Scripts the three command lines on `system`; the record fills as they run.
std::shared_ptr<const StandInRecord> InstallStandInTools(
    SimSystem& system, const StandInOptions& options = StandInOptions());

}  // namespace nl::sim
