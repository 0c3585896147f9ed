#include "diag/collector.h"

#include <cstring>

#include "diag/case_format.h"
#include "diag/collect_files.h"
#include "diag/collect_ports.h"
#include "diag/collect_registry.h"

namespace nl::diag {
namespace {

void Part(CaseOutput& out, const char* name) {
  out.EndLine();
  out.Text("== ");
  out.Text(name);
  out.EndLine();
}

void Comment(CaseOutput& out, const char* text) {
  out.Text("; ");
  out.Text(text);
  out.EndLine();
}

// Returns whether Windows is 95 (4.0); the Windows folder goes to `windows`
// (kMaxPath bytes), empty when it cannot be learned.
bool WriteSystem(DiagSystem& os, CaseOutput& out, const char* programPath, char* windows) {
  Part(out, kPartSystem);
  VersionRecord version;
  std::memset(&version, 0, sizeof version);
  version.size = sizeof version;
  const bool known = os.GetVersionExA(&version) != 0;
  if (known) {
    out.Field("windows-version");
    out.Decimal(version.majorVersion);
    out.Char('.');
    out.Decimal(version.minorVersion);
    out.EndLine();
    out.Field("windows-build");
    out.Hex(version.buildNumber, 8);
    out.EndLine();
    out.Field("windows-platform");
    out.Decimal(version.platformId);
    out.EndLine();
    out.Field("windows-extra");
    out.Char('"');
    version.extra[sizeof version.extra - 1] = '\0';
    out.LineText(version.extra, std::strlen(version.extra));
    out.Char('"');
    out.EndLine();
  } else {
    out.Field("windows-version");
    out.Failure("unreadable", os.GetLastError());
    out.EndLine();
  }
  WriteWindowsVersionNumbers(os, out);
  // When the case was taken, by the PC's clock: an old NLCASE.TXT shows as
  // such beside a fresh one.
  TimeRecord now;
  std::memset(&now, 0, sizeof now);
  os.GetLocalTime(&now);
  out.Field("collected");
  out.Decimal(now.year);
  const std::uint32_t parts[] = {now.month, now.day, now.hour, now.minute, now.second};
  const char separators[] = "-- ::";
  for (int i = 0; i < 5; ++i) {
    out.Char(separators[i]);
    if (parts[i] < 10) out.Char('0');
    out.Decimal(parts[i]);
  }
  out.EndLine();
  out.Field("user-locale");
  out.Hex(os.GetUserDefaultLCID(), 4);
  out.EndLine();
  out.Field("system-locale");
  out.Hex(os.GetSystemDefaultLCID(), 4);
  out.EndLine();
  const std::uint32_t length = os.GetWindowsDirectoryA(windows, kMaxPath);
  out.Field("windows-folder");
  if (length == 0 || length >= kMaxPath) {
    windows[0] = '\0';
    out.Text("unknown");
  } else {
    out.LineText(windows, length);
  }
  out.EndLine();
  out.Field("program");
  out.LineText(programPath, std::strlen(programPath));
  out.EndLine();
  return known && version.majorVersion == 4 && version.minorVersion == 0;
}

// Returns whether SetupScratchDir names a folder that is there.
bool WriteScratchFolder(DiagSystem& os, CaseOutput& out, const SetupPaths& setup) {
  out.Field("scratch-folder");
  bool folder = false;
  if (!setup.scratchKnown) {
    out.Text("unknown (no SetupScratchDir)");
  } else {
    folder = WriteFolderState(os, out, setup.scratchDir);
  }
  out.EndLine();
  return folder;
}

// The root folder of the system drive ("C:"), from the Windows folder.
bool SystemDriveRoot(DiagSystem& os, char* out) {
  char windows[kMaxPath];
  const std::uint32_t length = os.GetWindowsDirectoryA(windows, sizeof windows);
  if (length < 2 || length >= sizeof windows || windows[1] != ':') return false;
  out[0] = windows[0];
  out[1] = ':';
  out[2] = '\0';
  return true;
}

// Writes the case into `path`; a file cut short is removed again.
bool WriteCaseFile(DiagSystem& os, const char* path, const char* programPath,
                   const char* programFolder) {
  const FileHandle file = os.CreateFileA(path, kGenericWrite, 0, kCreateAlways);
  if (file == kInvalidFileHandle) return false;
  CaseOutput out(os, file);
  WriteCase(os, out, programPath, programFolder);
  const bool written = out.Flush();
  const bool closed = os.CloseHandle(file) != 0;
  if (written && closed) return true;
  os.DeleteFileA(path);
  return false;
}

// The message box's text, in German on German systems (the same test as the
// installer's: the low byte of the user default locale is 7).
void ShowResult(DiagSystem& os, bool written, bool inOwnFolder, const char* path) {
  const bool german = IsGermanLocaleId(os.GetUserDefaultLCID());
  char text[3 * kMaxPath];
  text[0] = '\0';
  auto add = [&](const char* piece) {
    if (std::strlen(text) + std::strlen(piece) < sizeof text) std::strcat(text, piece);
  };
  if (!written) {
    add(german ? "Die Datei NLCASE.TXT f\xFCr den Support konnte nicht geschrieben werden, "
                 "weder im Ordner des Programms noch im Stammordner des Systemlaufwerks."
               : "The file NLCASE.TXT for support could not be written, neither in the "
                 "program's folder nor in the root folder of the system drive.");
  } else {
    if (!inOwnFolder)
      add(german ? "Der Ordner des Programms ist schreibgesch\xFCtzt; die Datei steht daher im "
                   "Stammordner des Systemlaufwerks.\r\n\r\n"
                 : "The program's folder cannot be written, so the file is in the root "
                   "folder of the system drive.\r\n\r\n");
    add(german ? "Die Angaben f\xFCr den Support stehen in der Datei\r\n\r\n"
               : "The information for support is in the file\r\n\r\n");
    add(path);
    add(german ? "\r\n\r\nBitte senden Sie diese Datei an den Support."
               : "\r\n\r\nPlease send this file to support.");
  }
  os.MessageBoxA(text, german ? "NL-430 Diagnose" : "NL-430 diagnostics",
                 written ? kMbIconInformation : kMbIconExclamation);
}

}  // namespace

void WriteCase(DiagSystem& os, CaseOutput& out, const char* programPath,
               const char* programFolder) {
  out.Text(kCaseFirstLine);
  out.EndLine();
  Comment(out, "NL-430 support case, written by NLDIAG.EXE: please send this file to");
  Comment(out, "support as it is. It holds the registry keys, setup files and drive");
  Comment(out, "facts the NL-470 installation reads, and nothing else. Nothing was");
  Comment(out, "changed on this PC.");
  char windows[kMaxPath];
  const bool windows95 = WriteSystem(os, out, programPath, windows);
  SetupPaths setup;
  std::memset(&setup, 0, sizeof setup);
  SubtreeResult results[sizeof kCaseSubtrees / sizeof kCaseSubtrees[0]];
  Part(out, kPartRegistry);
  WriteRegistryPart(os, out, results, &setup);
  Part(out, kPartRegistryStatus);
  WriteRegistryStatus(out, results);
  const bool scratchFolder = WriteScratchFolder(os, out, setup);
  out.EndLine();
  WriteSetupFiles(os, out, setup);
  out.EndLine();
  WriteProgramFolder(os, out, programFolder);
  out.EndLine();
  WriteSourceDrive(os, out, setup);
  out.EndLine();
  WriteDriverFiles(os, out, programFolder, setup);
  out.EndLine();
  char system[kMaxPath];
  const std::uint32_t systemLength = os.GetSystemDirectoryA(system, sizeof system);
  const char* windowsFolder = windows[0] != '\0' ? windows : nullptr;
  if (!scratchFolder) WriteInfFolderFiles(os, out, windowsFolder);
  out.EndLine();
  WriteSystemTools(os, out, windowsFolder,
                   systemLength != 0 && systemLength < sizeof system ? system : nullptr);
  out.EndLine();
  WritePorts(os, out);
  // Windows 95 keeps what it read of the INF files in its driver database,
  // which may hide an INF file's new content.
  if (windows95) {
    out.EndLine();
    WriteDriverDatabase(os, out, windowsFolder);
  }
  Part(out, kPartEnd);
}

bool IsQuietCommandLine(const char* commandLine) {
  if (commandLine == nullptr) return false;
  const char* at = commandLine;
  // The program's name first, perhaps in quotes.
  if (*at == '"') {
    ++at;
    while (*at != '\0' && *at != '"') ++at;
    if (*at == '"') ++at;
  } else {
    while (*at != '\0' && *at != ' ' && *at != '\t') ++at;
  }
  for (;;) {
    while (*at == ' ' || *at == '\t') ++at;
    if (*at == '\0') return false;
    const char* word = at;
    while (*at != '\0' && *at != ' ' && *at != '\t') ++at;
    static const char kQuiet[] = "/quiet";
    if (at - word == 6) {
      bool same = true;
      for (int i = 0; i < 6; ++i) {
        char c = word[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kQuiet[i]) same = false;
      }
      if (same) return true;
    }
  }
}

std::uint32_t CollectorMain(DiagSystem& os) {
  const bool quiet = IsQuietCommandLine(os.GetCommandLineA());
  // No critical-error box for a drive without its medium or a
  // write-protected disk: those calls fail and the case says so. The
  // collector starts no other process, so the mode stays for the whole run.
  const std::uint32_t previousMode = os.SetErrorMode(kSemFailCriticalErrors);
  char programPath[kMaxPath];
  std::uint32_t length = os.GetModuleFileNameA(programPath, sizeof programPath);
  if (length >= sizeof programPath) length = 0;
  programPath[length] = '\0';
  char folder[kMaxPath];
  std::memcpy(folder, programPath, length + 1);
  char* lastSlash = nullptr;
  for (char* at = folder; *at != '\0'; ++at)
    if (*at == '\\') lastSlash = at;
  if (lastSlash != nullptr) *lastSlash = '\0';

  char casePath[kMaxPath];
  bool inOwnFolder = true;
  bool written = lastSlash != nullptr && JoinPath(folder, kCaseFileName, casePath) &&
                 WriteCaseFile(os, casePath, programPath, folder);
  if (!written) {
    inOwnFolder = false;
    char root[4];
    written = SystemDriveRoot(os, root) && JoinPath(root, kCaseFileName, casePath) &&
              WriteCaseFile(os, casePath, programPath, folder);
  }
  if (!quiet) ShowResult(os, written, inOwnFolder, casePath);
  os.SetErrorMode(previousMode);
  return written ? 0 : 1;
}

}  // namespace nl::diag
