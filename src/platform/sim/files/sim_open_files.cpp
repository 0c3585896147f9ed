// The simulated files' open handles: paths resolved on the host, the
// sharing rules between opens, and the buffered reads and writes.
#include <unistd.h>

#include <cstring>
#include <stdexcept>

#include "platform/sim/files/host_io.h"
#include "platform/sim/files/sim_files.h"
#include "platform/sim/sim_text.h"

namespace nl::sim {

bool SimFiles::DriveAnswers(const char* path, bool write) {
  WinPath parsed;
  // A path that does not parse fails in Resolve; no drive is touched.
  if (!path || !ParseWinPath(path, currentDir_, &parsed)) return true;
  const DriveKind kind = DriveKindOf(parsed.drive);
  if (kind == DriveKind::kNone) return false;
  if (AsksForMedium(kind)) {
    if (!(errorMode_ & kSemFailCriticalErrors) && !mediumRequest_)
      mediumRequest_ = parsed.drive;
    return false;
  }
  return !(write && IsReadOnlyMedium(kind));
}

char SimFiles::TakeMediumRequest() {
  const char drive = mediumRequest_;
  mediumRequest_ = 0;
  return drive;
}

bool SimFiles::Resolve(const char* path, std::string* host, std::string* winPath) {
  if (!path) return false;
  WinPath parsed;
  if (!ParseWinPath(path, currentDir_, &parsed)) return false;
  if (winPath) *winPath = FormatWinPath(parsed);
  return ResolveOnHost(hostRoot_, parsed, host);
}

std::string SimFiles::ResolveOrThrow(const std::string& path) {
  std::string host;
  if (!Resolve(path.c_str(), &host, nullptr))
    throw std::runtime_error("cannot resolve " + path);
  return host;
}

std::vector<SimFiles::Opener> SimFiles::OpenersOf(const std::string& host) const {
  std::vector<Opener> openers;
  for (const auto& entry : files_)
    if (entry.second.host == host)
      openers.push_back(Opener{entry.second.canRead, entry.second.canWrite, entry.second.share});
  auto held = held_.find(host);
  if (held != held_.end()) openers.insert(openers.end(), held->second.begin(), held->second.end());
  return openers;
}

// Whether a new open with this access and sharing can coexist with the
// opens already there.
bool SimFiles::OpenAllows(const std::string& host, bool read, bool write,
                           std::uint32_t share) const {
  for (const Opener& other : OpenersOf(host)) {
    if (read && !(other.share & kFileShareRead)) return false;
    if (write && !(other.share & kFileShareWrite)) return false;
    if (other.reads && !(share & kFileShareRead)) return false;
    if (other.writes && !(share & kFileShareWrite)) return false;
  }
  return true;
}

bool SimFiles::IsOpenOrHeld(const std::string& host) const {
  if (held_.count(host)) return true;
  for (const auto& entry : files_)
    if (entry.second.host == host) return true;
  return false;
}

bool SimFiles::Flush(OpenFile& file) {
  bool ok = true;
  std::size_t done = 0;
  while (done < file.writeBuf.size()) {
    const ssize_t w = ::pwrite(file.fd, file.writeBuf.data() + done,
                               file.writeBuf.size() - done,
                               static_cast<off_t>(file.writeStart + done));
    if (w <= 0) {
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(w);
  }
  file.writeBuf.clear();
  return ok;
}

void SimFiles::FlushAll() {
  for (auto& entry : files_) Flush(entry.second);
}

void SimFiles::DropReadAhead(const std::string& host) {
  for (auto& entry : files_)
    if (entry.second.host == host) entry.second.readLen = 0;
}

std::size_t SimFiles::ReadAt(OpenFile& file, char* out, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    if (file.pos >= file.readStart && file.pos < file.readStart + file.readLen) {
      const std::size_t offset = static_cast<std::size_t>(file.pos - file.readStart);
      std::size_t n = file.readLen - offset;
      if (n > count - done) n = count - done;
      std::memcpy(out + done, file.readBuf.data() + offset, n);
      done += n;
      file.pos += n;
      continue;
    }
    // Writes still held back by any handle of this file must land first.
    for (auto& entry : files_)
      if (entry.second.host == file.host) Flush(entry.second);
    if (count - done >= kHostChunk) {
      // A large read goes straight into the caller's buffer.
      const ssize_t n = ::pread(file.fd, out + done, count - done,
                                static_cast<off_t>(file.pos));
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
      file.pos += static_cast<std::uint64_t>(n);
      continue;
    }
    file.readBuf.resize(kHostChunk);
    const ssize_t n = ::pread(file.fd, file.readBuf.data(), kHostChunk,
                              static_cast<off_t>(file.pos));
    file.readStart = file.pos;
    file.readLen = n > 0 ? static_cast<std::size_t>(n) : 0;
    if (n <= 0) break;
  }
  return done;
}

bool SimFiles::WriteAt(OpenFile& file, const char* in, std::size_t count) {
  if (count == 0) return true;
  if (file.share != 0)
    DropReadAhead(file.host);  // other handles may read this file too
  else if (file.pos < file.readStart + file.readLen && file.pos + count > file.readStart)
    file.readLen = 0;
  bool ok = true;
  if (!file.writeBuf.empty() && file.writeStart + file.writeBuf.size() != file.pos)
    ok = Flush(file);
  if (file.writeBuf.empty() && count >= kHostChunk) {
    // A large write goes straight to the file.
    for (std::size_t done = 0; ok && done < count;) {
      const ssize_t w = ::pwrite(file.fd, in + done, count - done,
                                 static_cast<off_t>(file.pos + done));
      if (w <= 0) ok = false;
      else done += static_cast<std::size_t>(w);
    }
    file.pos += count;
    return ok;
  }
  if (file.writeBuf.empty()) file.writeStart = file.pos;
  file.writeBuf.append(in, count);
  file.pos += count;
  if (file.writeBuf.size() >= kHostChunk) ok = Flush(file) && ok;
  return ok;
}

std::string SimFiles::FileName(FileHandle file) const {
  auto it = files_.find(file);
  if (it != files_.end()) return "file#" + std::to_string(it->second.serial);
  if (file == kInvalidFileHandle) return "INVALID_HANDLE_VALUE";
  return Hex(file);
}

void SimFiles::CloseProgramFiles() {
  for (auto& entry : files_) {
    Flush(entry.second);
    ::close(entry.second.fd);
  }
  files_.clear();
}

}  // namespace nl::sim
