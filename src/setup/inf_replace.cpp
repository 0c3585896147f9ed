#include "setup/inf_replace.h"

#include <cstdint>
#include <cstring>

#include "setup/setup_env.h"
#include "setup/text_substitution.h"

namespace nl {

namespace {

// The longest search or replacement text the rewrite accepts.
constexpr std::size_t kMaxEditText = 511;
constexpr std::size_t kChunk = 64 * 1024;

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

// Puts the old content back under the target's name after a failed rewrite.
// The side file is left where it is when that cannot be done.
bool PutBackSideFile(Platform& os, const char* targetPath,
                     const char* sidePath) {
  os.DeleteFileA(targetPath);
  return os.MoveFileA(sidePath, targetPath) != 0;
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
  char sidePath[kMaxPath];
  if (!GetSetupScratchPath(run, target, targetPath, sizeof targetPath)) return 0;
  if (!GetSetupScratchPath(run, backup ? backup : kTempInfName, sidePath,
                           sizeof sidePath)) {
    return 0;
  }

  if (!os.MoveFileA(targetPath, sidePath)) {
    // Target missing or side file present. A temporary file left behind by
    // an interrupted run is removed so the next edit can proceed.
    if (!backup) os.DeleteFileA(sidePath);
    return 0;
  }

  FileHandle output = os.CreateFileA(targetPath, kGenericWrite, 0, kOpenAlways,
                                     kFileAttributeNormal);
  if (output == kInvalidFileHandle) {
    // The old content is only in the side file: move it back.
    os.MoveFileA(sidePath, targetPath);
    return 0;
  }
  FileHandle input = os.CreateFileA(sidePath, kGenericRead, 0, kOpenAlways,
                                    kFileAttributeNormal);
  if (input == kInvalidFileHandle) {
    os.CloseHandle(output);
    PutBackSideFile(os, targetPath, sidePath);
    return 0;
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

  if (!complete) {
    // Never leave a cut-short file: the old content goes back in place, and
    // the side file survives when even that fails.
    PutBackSideFile(os, targetPath, sidePath);
    return 0;
  }
  if (!backup) os.DeleteFileA(sidePath);
  return scan.replaced;
}

}  // namespace nl
