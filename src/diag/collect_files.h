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
// "== driver beside the program" and "== driver in SourcePath": the bytes of
// nl-430.sys in the collector's folder and in SourcePath, as a setup file's.
void WriteDriverFiles(DiagSystem& os, CaseOutput& out, const char* programFolder,
                      const SetupPaths& setup);
// "== inf folder file NAME" for IRMINI.INF and INFRARED.INF in the Windows
// folder's INF, for a PC whose SetupScratchDir names no folder that is
// there (the caller's test). `windowsFolder` null: unknown.
void WriteInfFolderFiles(DiagSystem& os, CaseOutput& out, const char* windowsFolder);
// "== system tools": rundll32.exe in the Windows folder, sysdm.cpl,
// netcpl.cpl and shell32.dll in the system folder (size and checksum).
void WriteSystemTools(DiagSystem& os, CaseOutput& out, const char* windowsFolder,
                      const char* systemFolder);
// "== driver database": Windows 95's DRVDATA.BIN and DRVIDX.BIN in the INF
// folder, their size and last write.
void WriteDriverDatabase(DiagSystem& os, CaseOutput& out, const char* windowsFolder);
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
