#include "setup/driver_prep.h"

#include "setup/inf_edit_table.h"
#include "setup/inf_replace.h"
#include "setup/setup_env.h"
#include "setup/text.h"

namespace nl {

namespace {


bool FileExists(Platform& os, const char* path) {
  return os.GetFileAttributesA(path) != kInvalidFileAttributes;
}

// IRMINI.INF's edits after its first, and its display name, rewrite the
// file in place. They may do so only while its original content is kept
// elsewhere: in IRMINI.BAK, made by the first edit. A file that exists
// without that backup (the backup could not be made) is the only copy of the
// original and is left alone. In a normal run the backup is always there.
bool IrminiOriginalIsSafe(InstallRun& run) {
  char targetPath[kMaxPath];
  char backupPath[kMaxPath];
  if (!GetSetupScratchPath(run, kIrminiInf, targetPath, sizeof targetPath) ||
      !GetSetupScratchPath(run, kIrminiBak, backupPath, sizeof backupPath)) {
    return true;  // nothing can be rewritten anyway
  }
  return FileExists(run.os, backupPath) || !FileExists(run.os, targetPath);
}

void ApplyEdit(InstallRun& run, const InfEdit& edit) {
  ReplaceInInfFile(run, edit.target, edit.backup, edit.search,
                   edit.replacement);
}

void RestoreBackup(InstallRun& run, const char* backup, const char* target) {
  char backupPath[kMaxPath];
  char targetPath[kMaxPath];
  if (!GetSetupScratchPath(run, backup, backupPath, sizeof backupPath)) return;
  if (!FileExists(run.os, backupPath)) return;
  if (!GetSetupScratchPath(run, target, targetPath, sizeof targetPath)) return;
  run.os.DeleteFileA(targetPath);
  run.os.MoveFileA(backupPath, targetPath);
}

// Windows 95, 98 and Me keep the profile file last written in a cache and
// put a change on disk only when that cache is flushed; until then other
// processes and file calls see the old file. The class installer reads
// IRMINI.INF right after this, and the model-line edit later rewrites it
// byte by byte, which a late flush of the cached copy would undo. So the
// cache is flushed at once: section, key and value null is the flush, named
// with the file in the older Win32 documentation and with no file in that
// of Windows 95/98/Me; both calls are made, so either reading is honoured.
// (Systems that write through answer both with 0 and do nothing.)
//
// The profile writer creates a missing file. An IRMINI.INF holding only the
// display name would stand where Windows looks for the real one and install
// nothing, where a missing file makes Windows ask for its CD: so the name is
// written only into a file that is there.
void WriteStandardExpl(InstallRun& run) {
  char path[kMaxPath];
  if (!GetSetupScratchPath(run, kIrminiInf, path, sizeof path)) return;
  if (!FileExists(run.os, path)) return;
  run.os.WritePrivateProfileStringA(kDisplayNameSection, kDisplayNameKey,
                                    kStandardExplValue, path);
  run.os.WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);
  run.os.WritePrivateProfileStringA(nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

int RestoreInfBackups(InstallRun& run) {
  RestoreBackup(run, kIrminiBak, kIrminiInf);
  RestoreBackup(run, kInfraredBak, kInfraredInf);
  return 1;
}

int PatchInfFiles(InstallRun& run) {
  ApplyEdit(run, kInfEdits[0]);
  // Rows 2 to 8 and the display name all rewrite IRMINI.INF in place, none
  // of them touches its backup: one look at the backup serves them all.
  const bool irminiSafe = IrminiOriginalIsSafe(run);
  if (irminiSafe) ApplyEdit(run, kInfEdits[1]);
  if (IsGermanLocale(run.os) && irminiSafe) {
    for (int row = 2; row < 8; ++row) ApplyEdit(run, kInfEdits[row]);
  }
  if (irminiSafe) WriteStandardExpl(run);
  ApplyEdit(run, kInfEdits[8]);
  return 1;
}

int CopyDriverToSource(InstallRun& run) {
  char sourceDir[kSourcePathCapacity];
  if (!ReadSetupValue(run.os, kSourcePathValue, sourceDir, sizeof sourceDir)) {
    return 1;
  }
  char destination[kSourcePathCapacity];
  if (!JoinPath(destination, sizeof destination, sourceDir, kDriverFileName)) {
    return 1;
  }
  char source[kMaxPath];
  GetModuleDirectory(run.os, run.instance, source, sizeof source);
  // Without the program's own location there is no driver file to copy.
  if (source[0] == 0) return 1;
  if (!JoinPath(source, sizeof source, source, kDriverFileName)) return 1;
  // SourcePath is often a CD-ROM drive whose disc is out by now, and the
  // program's own folder may be a floppy or a CD. Without
  // SEM_FAILCRITICALERRORS Windows would ask for the medium in a box and the
  // copy would wait for a user nobody told; with it the copy just fails.
  // The flag is added to the mode in force (which only setting it tells)
  // and the mode is put back at once, before any system tool starts and
  // inherits it: the tools keep their own prompts.
  const std::uint32_t previous = run.os.SetErrorMode(kSemFailCriticalErrors);
  run.os.SetErrorMode(previous | kSemFailCriticalErrors);
  run.os.CopyFileA(source, destination, 0);
  run.os.SetErrorMode(previous);
  return 1;
}

int ApplyLateInfEdit(InstallRun& run) {
  if (IrminiOriginalIsSafe(run)) ApplyEdit(run, kLateEdit);
  return 1;
}

}  // namespace nl

