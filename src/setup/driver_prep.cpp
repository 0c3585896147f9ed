#include "setup/driver_prep.h"

#include "setup/inf_replace.h"
#include "setup/setup_env.h"
#include "setup/text.h"

namespace nl {

namespace {

constexpr const char* kIrminiInf = "IRMINI.INF";
constexpr const char* kIrminiBak = "IRMINI.BAK";
constexpr const char* kInfraredInf = "INFRARED.INF";
constexpr const char* kInfraredBak = "INFRARED.BAK";
constexpr std::size_t kSourcePathCapacity = 512;

enum class EditGate { kAlways, kGerman };

struct InfEdit {
  const char* target;
  const char* backup;  // null: through the temporary file
  EditGate gate;
  const char* search;
  const char* replacement;
};

// Rows 1 to 9 run in phase 3; row 10 (kLateEdit) in phase 6.
const InfEdit kInfEdits[] = {
    {kIrminiInf, kIrminiBak, EditGate::kAlways, "irmini.sys", "nl-430.sys"},
    {kIrminiInf, nullptr, EditGate::kAlways,
     "InfraredTransceiverType,type,,enum",
     "InfraredTransceiverType,type,,%GenericInfraredPort%"},
    {kIrminiInf, nullptr, EditGate::kGerman, "DeviceID=IRMINI",
     "DeviceID=USB\\VID_1B4E&PID_0430"},
    {kIrminiInf, nullptr, EditGate::kGerman, "HKR,Ndi,DeviceID,,IRMINI",
     "HKR,Ndi,DeviceID,,USB\\VID_1B4E&PID_0430"},
    {kIrminiInf, nullptr, EditGate::kGerman, "HKR,,AdapterName,0,IRMINI",
     "HKR,,AdapterName,0,USB\\VID_1B4E&PID_0430"},
    {kIrminiInf, nullptr, EditGate::kGerman, "HKR,NDIS,LogDriverName,0,IRMINI",
     "HKR,NDIS,LogDriverName,0,USB\\VID_1B4E&PID_0430"},
    {kIrminiInf, nullptr, EditGate::kGerman, "HKR,Ndi\\Install,,0,IRMINI",
     "HKR,Ndi\\Install,,0,USB\\VID_1B4E&PID_0430"},
    {kIrminiInf, nullptr, EditGate::kGerman,
     "AddReg=IRMINI_AddReg, IRMINI_NonPnP_AddReg, IRMINI.reg",
     "AddReg=IRMINI_AddReg, IRMINI.reg"},
    {kInfraredInf, kInfraredBak, EditGate::kAlways, "irmini.sys",
     "nl-430.sys"},
};
const InfEdit kLateEdit = {kIrminiInf, nullptr, EditGate::kGerman,
                           "%StandardExpl%=IRMINI_Install,IRMINI",
                           "%StandardExpl%=IRMINI_Install,USB\\VID_1B4E&PID_0430"};

const char kStandardExplValue[] =
    "\"Norvik Lumens NL-470 USB Infrared Adapter\"";

bool FileExists(Platform& os, const char* path) {
  return os.GetFileAttributesA(path) != kInvalidFileAttributes;
}

// Edits through the temporary file rewrite the target in place. They may do
// so only while its original content is kept elsewhere: in the backup made by
// the file's first edit. A target that exists without its backup (the backup
// could not be made) is the only copy of the original and is left alone. In a
// normal run the backup is always there.
bool OriginalIsSafe(InstallRun& run, const InfEdit& edit) {
  if (edit.backup) return true;
  const char* backup = edit.target == kIrminiInf ? kIrminiBak : kInfraredBak;
  char targetPath[kMaxPath];
  char backupPath[kMaxPath];
  if (!GetSetupScratchPath(run, edit.target, targetPath, sizeof targetPath) ||
      !GetSetupScratchPath(run, backup, backupPath, sizeof backupPath)) {
    return true;  // nothing can be rewritten anyway
  }
  return FileExists(run.os, backupPath) || !FileExists(run.os, targetPath);
}

void ApplyEdit(InstallRun& run, const InfEdit& edit) {
  if (!OriginalIsSafe(run, edit)) return;
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

void WriteStandardExpl(InstallRun& run) {
  char path[kMaxPath];
  if (!GetSetupScratchPath(run, kIrminiInf, path, sizeof path)) return;
  // The display name replaces a line of the file in place, so it follows the
  // same rule as the edits through the temporary file.
  const InfEdit& rowTwo = kInfEdits[1];
  if (!OriginalIsSafe(run, rowTwo)) return;
  run.os.WritePrivateProfileStringA("Strings", "StandardExpl",
                                    kStandardExplValue, path);
}

}  // namespace

int RestoreInfBackups(InstallRun& run) {
  RestoreBackup(run, kIrminiBak, kIrminiInf);
  RestoreBackup(run, kInfraredBak, kInfraredInf);
  return 1;
}

int PatchInfFiles(InstallRun& run) {
  ApplyEdit(run, kInfEdits[0]);
  ApplyEdit(run, kInfEdits[1]);
  if (IsGermanLocale(run.os)) {
    for (int row = 2; row < 8; ++row) ApplyEdit(run, kInfEdits[row]);
  }
  WriteStandardExpl(run);
  ApplyEdit(run, kInfEdits[8]);
  return 1;
}

int CopyDriverToSource(InstallRun& run) {
  char sourceDir[kSourcePathCapacity];
  if (!ReadSetupValue(run.os, "SourcePath", sourceDir, sizeof sourceDir)) {
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
  run.os.CopyFileA(source, destination, 0);
  return 1;
}

int ApplyLateInfEdit(InstallRun& run) {
  ApplyEdit(run, kLateEdit);
  return 1;
}

}  // namespace nl

