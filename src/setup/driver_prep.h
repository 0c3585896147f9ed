// Preparing the files the system's device installer reads: the infrared INF
// files and the adapter's driver file.
#pragma once

#include <cstddef>

#include "setup/install_run.h"

namespace nl {

constexpr const char* kDriverFileName = "nl-430.sys";
// The node Windows makes below HKEY_LOCAL_MACHINE for the adapter once it is
// plugged in (its USB vendor and product), whose instances carry the
// installed driver and ConfigFlags. The installer does not touch it; the
// support kit reads it.
constexpr const char* kAdapterEnumPath = "Enum\\USB\\VID_1B4E&PID_0430";
constexpr const char* kAdapterHardwareId = "USB\\VID_1B4E&PID_0430";
// The setup source directory is read into this many bytes.
constexpr std::size_t kSourcePathCapacity = 512;

// Phase 2: puts back IRMINI.INF and INFRARED.INF from an earlier run's .BAK.
int RestoreInfBackups(InstallRun& run);
// Phase 3: the INF edits (German-only rows on German systems) and the adapter's
// display name in IRMINI.INF.
int PatchInfFiles(InstallRun& run);
// Phase 4: copies nl-430.sys from the program's directory to the setup source
// directory.
int CopyDriverToSource(InstallRun& run);
// Phase 6: gives the "%StandardExpl%" model line the adapter's identity.
int ApplyLateInfEdit(InstallRun& run);

}  // namespace nl
