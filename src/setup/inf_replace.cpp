#include "setup/inf_replace.h"

#include <cstdint>
#include <cstring>

#include "setup/setup_env.h"
#include "setup/text_substitution.h"

namespace nl {

namespace {

// The longest search or replacement text the rewrite accepts.
constexpr std::size_t kMaxEditText = 511;
// Files are read and written in pieces of this size: large enough that the
// cost of each call is lost in the copying, small enough to stay in the
// processor's cache, and the same for a file of any size.
constexpr std::size_t kChunk = 256 * 1024;

// Output collected in a buffer and written in large pieces. Any failed or
// short write marks the whole rewrite as failed.
struct OutputFile {
  Platform* os;
  FileHandle file;
  unsigned char buffer[kChunk];
  std::size_t used;
  bool failed;
};

bool WriteAll(OutputFile& out, const unsigned char* bytes, std::size_t count) {
  if (out.failed) return false;
  std::uint32_t written = 0;
  if (!out.os->WriteFile(out.file, bytes, static_cast<std::uint32_t>(count),
                         &written) ||
      written != count) {
    out.failed = true;
  }
  return !out.failed;
}

bool Flush(OutputFile& out) {
  if (out.used == 0 || out.failed) return !out.failed;
  bool ok = WriteAll(out, out.buffer, out.used);
  out.used = 0;
  return ok;
}

void AppendOutput(void* context, const unsigned char* bytes,
                  std::size_t count) {
  OutputFile& out = *static_cast<OutputFile*>(context);
  while (count > 0 && !out.failed) {
    if (out.used == kChunk) Flush(out);
    std::size_t room = kChunk - out.used;
    std::size_t piece = count < room ? count : room;
    std::memcpy(out.buffer + out.used, bytes, piece);
    out.used += piece;
    bytes += piece;
    count -= piece;
  }
}

// Streams the input through the substitution into the output. True when
// every byte was read and written; a failed read counts as a failure, since
// stopping there would leave the file cut short.
bool RewriteStream(Platform& os, FileHandle input, OutputFile& out,
                   SubstitutionScan& scan) {
  static unsigned char window[kChunk + kMaxEditText];
  std::size_t pending = 0;  // undecided bytes kept from the previous chunk
  for (;;) {
    std::uint32_t got = 0;
    if (!os.ReadFile(input, window + pending, kChunk, &got)) return false;
    bool atEnd = got == 0;
    std::size_t size = pending + got;
    std::size_t consumed = ScanChunk(scan, window, size, atEnd);
    if (out.failed) return false;
    if (atEnd) break;
    pending = size - consumed;
    std::memmove(window, window + consumed, pending);
  }
  return Flush(out);
}

// Writes the substituted content of `sourcePath` into a new file at
// `outputPath`. True when every byte was read and written.
bool RewriteFile(Platform& os, const char* sourcePath, const char* outputPath,
                 const char* search, const char* replacement, int* replaced) {
  FileHandle output = os.CreateFileA(outputPath, kGenericWrite, 0, kOpenAlways,
                                     kFileAttributeNormal);
  if (output == kInvalidFileHandle) return false;
  FileHandle input = os.CreateFileA(sourcePath, kGenericRead, 0, kOpenAlways,
                                    kFileAttributeNormal);
  if (input == kInvalidFileHandle) {
    os.CloseHandle(output);
    return false;
  }
  static OutputFile out;
  out.os = &os;
  out.file = output;
  out.used = 0;
  out.failed = false;
  SubstitutionScan scan =
      MakeSubstitutionScan(search, replacement, AppendOutput, &out);
  bool complete =
      os.SetFilePointer(input, 0, kFileBegin) != kInvalidSetFilePointer &&
      RewriteStream(os, input, out, scan);
  os.CloseHandle(input);
  os.CloseHandle(output);
  *replaced = scan.replaced;
  return complete;
}

}  // namespace

int ReplaceInInfFile(InstallRun& run, const char* target, const char* backup,
                     const char* search, const char* replacement) {
  std::size_t searchLength = std::strlen(search);
  if (searchLength == 0 || searchLength > kMaxEditText ||
      std::strlen(replacement) > kMaxEditText) {
    return 0;
  }
  Platform& os = run.os;
  char targetPath[kMaxPath];
  char tempPath[kMaxPath];
  char backupPath[kMaxPath];
  if (!GetSetupScratchPath(run, target, targetPath, sizeof targetPath) ||
      !GetSetupScratchPath(run, kTempInfName, tempPath, sizeof tempPath) ||
      (backup &&
       !GetSetupScratchPath(run, backup, backupPath, sizeof backupPath))) {
    return 0;
  }

  // The new content is written under the temporary name and only then put
  // in place, so the target's name never holds a partly written file, even
  // when the program is stopped half-way. A temporary file found here was
  // left by an interrupted run and holds no more than part of a rewrite.
  if (os.GetFileAttributesA(tempPath) != kInvalidFileAttributes) {
    os.DeleteFileA(tempPath);
    // An edit without a backup then does not happen in this run; one with a
    // backup goes on once the leftover is gone.
    if (!backup || os.GetFileAttributesA(tempPath) != kInvalidFileAttributes) {
      return 0;
    }
  }

  // With a backup name the old content moves to the backup first; the move
  // fails, and nothing happens, when the target is missing or a backup is
  // already there.
  const char* sourcePath = targetPath;
  if (backup) {
    if (!os.MoveFileA(targetPath, backupPath)) return 0;
    sourcePath = backupPath;
  } else if (os.GetFileAttributesA(targetPath) == kInvalidFileAttributes) {
    return 0;
  }

  int replaced = 0;
  bool rewritten = RewriteFile(os, sourcePath, tempPath, search, replacement,
                               &replaced);
  bool inPlace = rewritten && (backup || os.DeleteFileA(targetPath)) &&
                 os.MoveFileA(tempPath, targetPath);
  if (inPlace) return replaced;

  // The target keeps, or gets back, its old content. Only when the old
  // target is already gone (the original is then in the backup made by the
  // file's first edit) does the finished rewrite stay under the temporary
  // name.
  bool targetGone = !backup && rewritten &&
                    os.GetFileAttributesA(targetPath) == kInvalidFileAttributes;
  if (!targetGone) os.DeleteFileA(tempPath);
  if (backup) os.MoveFileA(backupPath, targetPath);
  return 0;
}

}  // namespace nl
