// Simulated stand-ins for the three system tools the installer starts: the
// infrared class installer, the hardware wizard and the network control
// panel. They play the same dialogs, with the same control identifiers and
// timings, as the stand-in rundll32.exe of the Wine runs, on the simulator's
// virtual clock.
#pragma once

#include <memory>
#include <string>

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
//   window stays 4 s after it ended), failstart;
// wizard: normal, late, absent, exit, slowpage, no1580, failstart;
// panel: normal, stubborn (closes on the third OK), absent, notitle,
//   failstart.
// Several behaviours of one role are joined with '+', e.g. "late+twice".
struct StandInOptions {
  std::string installer = "normal";
  std::string wizard = "normal";
  std::string panel = "normal";
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
};

// "wizard=late,panel=stubborn,grow=800"; unknown roles and behaviours and a
// grow that is not a number are refused (false).
bool ParseStandInOptions(const std::string& text, StandInOptions* options);

// Scripts the three command lines on `system`; the record fills as they run.
std::shared_ptr<const StandInRecord> InstallStandInTools(
    SimSystem& system, const StandInOptions& options = StandInOptions());

}  // namespace nl::sim
