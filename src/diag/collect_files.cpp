#include "diag/collect_files.h"

#include <cstring>

#include "diag/case_format.h"

namespace nl::diag {
namespace {

std::uint8_t g_chunk[4096];

// A file or part not looked for: the folder it is in could not be learned.
constexpr const char* kFolderUnknown = "not looked for (the folder is unknown)";

FileHandle OpenForReading(DiagSystem& os, const char* path) {
  return os.CreateFileA(path, kGenericRead, kFileShareRead | kFileShareWrite,
                        kOpenExisting);
}

// "absent (error 2)" when the file is not there, "unreadable (error N)"
// otherwise.
void OpenFailure(CaseOutput& out, std::uint32_t error) {
  const bool absent = error == 2 || error == 3;  // not found, path not found
  out.Failure(absent ? "absent" : "unreadable", error);
}

// Reads the whole file; each piece goes to `piece` (may be null). False
// when a read failed (the error in *error).
template <typename Piece>
bool ReadAll(DiagSystem& os, FileHandle file, std::uint32_t* total,
             std::uint32_t* crc, std::uint32_t limit, std::uint32_t* error,
             Piece piece) {
  *total = 0;
  *crc = 0;
  for (;;) {
    std::uint32_t done = 0;
    if (!os.ReadFile(file, g_chunk, sizeof g_chunk, &done)) {
      *error = os.GetLastError();
      return false;
    }
    if (done == 0) return true;
    if (done > limit - *total) {
      *error = 0;  // grew past the limit while read
      return false;
    }
    piece(g_chunk, done);
    *crc = Crc32(*crc, g_chunk, done);
    *total += done;
  }
}

void SizeAndCrc(CaseOutput& out, std::uint32_t size, std::uint32_t crc) {
  out.Field("size");
  out.Decimal(size);
  out.EndLine();
  out.Field("crc32");
  out.Hex(crc, 8);
  out.EndLine();
}

// A FILETIME as the case gives it: 0x and sixteen hexadecimal digits.
__attribute__((noinline)) void WriteFileTime(CaseOutput& out, std::uint64_t written) {
  out.Text("0x");
  out.HexDigits(static_cast<std::uint32_t>(written >> 32), 8);
  out.HexDigits(static_cast<std::uint32_t>(written), 8);
}

// "== <part>" and the file's path, state, time of last write and bytes. `folder` null: not
// looked for, `unknownFolder` says why.
void WriteFilePart(DiagSystem& os, CaseOutput& out, const char* partPrefix, const char* part,
                   const char* folder, const char* name, const char* unknownFolder) {
  out.Text("== ");
  out.Text(partPrefix);
  out.Text(part);
  out.EndLine();
  char path[kMaxPath];
  if (folder == nullptr || !JoinPath(folder, name, path)) {
    out.Field("state");
    out.Text(folder == nullptr ? unknownFolder : "not looked for (the path is too long)");
    out.EndLine();
    return;
  }
  out.Field("path");
  out.LineText(path, std::strlen(path));
  out.EndLine();
  out.Field("state");
  const FileHandle file = OpenForReading(os, path);
  if (file == kInvalidFileHandle) {
    OpenFailure(out, os.GetLastError());
    out.EndLine();
    return;
  }
  const std::uint32_t size = os.GetFileSize(file);
  if (size == kInvalidFileSize || size > kMaxFileBytes) {
    out.Text("too large (");
    out.Decimal(size);
    out.Text(" bytes; the limit is ");
    out.Decimal(kMaxFileBytes);
    out.Text(")");
    out.EndLine();
    os.CloseHandle(file);
    return;
  }
  out.Text("present");
  out.EndLine();
  // When the file was written: an earlier run's backups date that run.
  std::uint64_t written = 0;
  if (os.GetFileTime(file, &written) != 0) {
    out.Field("written");
    WriteFileTime(out, written);
    out.EndLine();
  }
  std::uint32_t column = 0;
  std::uint32_t total = 0, crc = 0, error = 0;
  const bool read = ReadAll(os, file, &total, &crc, kMaxFileBytes, &error,
                            [&](const std::uint8_t* bytes, std::uint32_t count) {
                              for (std::uint32_t i = 0; i < count; ++i) {
                                out.HexByte(bytes[i]);
                                if (++column == kHexBytesPerLine) {
                                  out.EndLine();
                                  column = 0;
                                }
                              }
                            });
  os.CloseHandle(file);
  if (column != 0) out.EndLine();
  if (!read) {
    out.Field("read");
    if (error == 0) {
      out.Text("grew past the limit while read");
    } else {
      out.Failure("failed", error);
    }
    out.Text(" after ");
    out.Decimal(total);
    out.Text(" bytes");
    out.EndLine();
    return;
  }
  SizeAndCrc(out, total, crc);
}

void WriteFolderFile(DiagSystem& os, CaseOutput& out, const char* folder,
                     const char* name) {
  out.Field(name);
  char path[kMaxPath];
  if (!JoinPath(folder, name, path)) {
    out.Text("not looked for (the path is too long)");
    out.EndLine();
    return;
  }
  const FileHandle file = OpenForReading(os, path);
  if (file == kInvalidFileHandle) {
    OpenFailure(out, os.GetLastError());
    out.EndLine();
    return;
  }
  std::uint32_t total = 0, crc = 0, error = 0;
  const bool read = ReadAll(os, file, &total, &crc, kMaxChecksummedBytes, &error,
                            [](const std::uint8_t*, std::uint32_t) {});
  os.CloseHandle(file);
  if (!read) {
    if (error == 0) {
      out.Text("too large (more than ");
      out.Decimal(kMaxChecksummedBytes);
      out.Text(" bytes)");
    } else {
      out.Failure("unreadable", error);
    }
  } else {
    out.Text("present, ");
    out.Decimal(total);
    out.Text(" bytes, crc32 ");
    out.Hex(crc, 8);
  }
  out.EndLine();
}

}  // namespace

bool JoinPath(const char* folder, const char* name, char* out) {
  const std::size_t folderLength = std::strlen(folder);
  const std::size_t nameLength = std::strlen(name);
  if (folderLength + 1 + nameLength >= kMaxPath) return false;
  std::memcpy(out, folder, folderLength);
  out[folderLength] = '\\';
  std::memcpy(out + folderLength + 1, name, nameLength + 1);
  return true;
}

void WriteSetupFiles(DiagSystem& os, CaseOutput& out, const SetupPaths& setup) {
  for (const char* name : kCaseSetupFiles)
    WriteFilePart(os, out, kPartFilePrefix, name, setup.scratchKnown ? setup.scratchDir : nullptr,
                  name, "not looked for (no SetupScratchDir)");
}

void WriteDriverFiles(DiagSystem& os, CaseOutput& out, const char* programFolder,
                      const SetupPaths& setup) {
  WriteFilePart(os, out, "", kPartDriverBesideProgram, programFolder, kDriverFileName,
                kFolderUnknown);
  WriteFilePart(os, out, "", kPartDriverInSource, setup.sourceKnown ? setup.sourcePath : nullptr,
                kDriverFileName, "not looked for (no SourcePath)");
}

void WriteInfFolderFiles(DiagSystem& os, CaseOutput& out, const char* windowsFolder) {
  char infFolder[kMaxPath];
  const bool known = windowsFolder != nullptr && JoinPath(windowsFolder, "INF", infFolder);
  const char* const infFiles[] = {kIrminiInf, kInfraredInf};
  for (const char* name : infFiles)
    WriteFilePart(os, out, kPartInfFolderFilePrefix, name, known ? infFolder : nullptr, name,
                  kFolderUnknown);
}

void WriteSystemTools(DiagSystem& os, CaseOutput& out, const char* windowsFolder,
                      const char* systemFolder) {
  out.Text("== ");
  out.Text(kPartSystemTools);
  out.EndLine();
  // The three command lines run rundll32 from the Windows folder and the
  // control panel files from the system folder.
  const char* const names[] = {"RUNDLL32.EXE", "SYSDM.CPL", "NETCPL.CPL", "SHELL32.DLL"};
  for (int i = 0; i < 4; ++i) {
    const char* folder = i == 0 ? windowsFolder : systemFolder;
    if (folder == nullptr) {
      out.Field(names[i]);
      out.Text(kFolderUnknown);
      out.EndLine();
    } else {
      WriteFolderFile(os, out, folder, names[i]);
    }
  }
}

void WriteDriverDatabase(DiagSystem& os, CaseOutput& out, const char* windowsFolder) {
  out.Text("== ");
  out.Text(kPartDriverDatabase);
  out.EndLine();
  char infFolder[kMaxPath];
  const bool known = windowsFolder != nullptr && JoinPath(windowsFolder, "INF", infFolder);
  const char* const databaseFiles[] = {"DRVDATA.BIN", "DRVIDX.BIN"};
  for (const char* name : databaseFiles) {
    out.Field(name);
    char path[kMaxPath];
    if (!known || !JoinPath(infFolder, name, path)) {
      out.Text(kFolderUnknown);
      out.EndLine();
      continue;
    }
    const FileHandle file = OpenForReading(os, path);
    if (file == kInvalidFileHandle) {
      OpenFailure(out, os.GetLastError());
      out.EndLine();
      continue;
    }
    std::uint64_t written = 0;
    const std::uint32_t size = os.GetFileSize(file);
    const bool dated = os.GetFileTime(file, &written) != 0;
    os.CloseHandle(file);
    out.Text("present, ");
    out.Decimal(size);
    out.Text(" bytes");
    if (dated) {
      out.Text(", written ");
      WriteFileTime(out, written);
    }
    out.EndLine();
  }
}

void WriteProgramFolder(DiagSystem& os, CaseOutput& out, const char* folder) {
  out.Text("== ");
  out.Text(kPartProgramFolder);
  out.EndLine();
  out.Field("folder");
  out.LineText(folder, std::strlen(folder));
  out.EndLine();
  WriteFolderFile(os, out, folder, kDriverFileName);
  WriteFolderFile(os, out, folder, kInstallerFileName);
}

void WriteSourceDrive(DiagSystem& os, CaseOutput& out, const SetupPaths& setup) {
  out.Text("== ");
  out.Text(kPartSourceDrive);
  out.EndLine();
  const char letter = setup.sourceKnown ? setup.sourcePath[0] : '\0';
  const bool isDrive = ((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')) &&
                       setup.sourcePath[1] == ':';
  out.Field("drive");
  if (!isDrive) {
    out.Text(setup.sourceKnown ? "unknown (SourcePath names no drive letter)"
                               : "unknown (no SourcePath)");
    out.EndLine();
    return;
  }
  const char upper = static_cast<char>(letter >= 'a' ? letter - 'a' + 'A' : letter);
  const char root[4] = {upper, ':', '\\', '\0'};
  out.Char(upper);
  out.Char(':');
  out.EndLine();
  out.Field("type");
  out.Decimal(os.GetDriveTypeA(root));
  out.EndLine();
  out.Field("medium");
  if (os.GetVolumeInformationA(root)) {
    out.Text("present");
  } else {
    out.Failure("absent", os.GetLastError());
  }
  out.EndLine();
  out.Field("folder");
  const bool folder = WriteFolderState(os, out, setup.sourcePath);
  out.EndLine();
  // The driver copy of an earlier run.
  if (folder) WriteFolderFile(os, out, setup.sourcePath, kDriverFileName);
}

bool WriteFolderState(DiagSystem& os, CaseOutput& out, const char* path) {
  const std::uint32_t attributes = os.GetFileAttributesA(path);
  if (attributes == kInvalidFileAttributes) {
    out.Failure("absent", os.GetLastError());
    return false;
  }
  const bool folder = (attributes & kFileAttributeDirectory) != 0;
  out.Text(folder ? "present" : "not a folder");
  return folder;
}

}  // namespace nl::diag
