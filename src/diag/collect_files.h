// The file parts of the case: the setup files with their exact bytes, the
// collector's own folder (is the driver there, is the installer, their
// sizes and checksums), and the SourcePath drive.
#pragma once

#include "diag/case_output.h"
#include "diag/collect_registry.h"
#include "diag/diag_system.h"

namespace nl::diag {

// "== file NAME" for each setup file of the scratch directory.
void WriteSetupFiles(DiagSystem& os, CaseOutput& out, const SetupPaths& setup);
// "== program folder": `folder` is the collector's folder, no trailing
// backslash ("D:" for the root of D:).
void WriteProgramFolder(DiagSystem& os, CaseOutput& out, const char* folder);
// "== source drive": the kind of the SourcePath drive, whether it holds its
// medium, whether the folder is there and holds the driver file (an earlier
// run's copy: its size and checksum). The process's error mode holds
// SEM_FAILCRITICALERRORS, so that a drive without its medium fails quietly.
void WriteSourceDrive(DiagSystem& os, CaseOutput& out, const SetupPaths& setup);

// The rest of a "name = " line on a folder: "present", "not a folder" or
// "absent (error N)". Returns whether it is a folder.
bool WriteFolderState(DiagSystem& os, CaseOutput& out, const char* path);

// "<folder>\<name>" into `out` (capacity kMaxPath); false when too long.
bool JoinPath(const char* folder, const char* name, char* out);

}  // namespace nl::diag
