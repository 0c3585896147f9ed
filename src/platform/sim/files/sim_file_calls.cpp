// The file calls of the simulated system: real host files, one host file
// descriptor per open handle, Windows sharing and read-only rules.
// CloseHandle of a file is CloseFile; the face tries the processes' handles
// when the handle is no file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/sim/files/host_io.h"
#include "platform/sim/files/sim_files.h"
#include "platform/sim/sim_text.h"

namespace nl::sim {

namespace {

constexpr FileHandle kFileHandleBase = 0x30000;

std::string AccessText(std::uint32_t access) {
  std::string out;
  if (access & kGenericRead) out = "GENERIC_READ";
  if (access & kGenericWrite) out += out.empty() ? "GENERIC_WRITE" : "|GENERIC_WRITE";
  const std::uint32_t rest = access & ~(kGenericRead | kGenericWrite);
  if (rest || out.empty()) out += (out.empty() ? "" : "|") + Hex(rest);
  return out;
}

std::string CreationText(std::uint32_t creation) {
  switch (creation) {
    case kCreateNew: return "CREATE_NEW";
    case kCreateAlways: return "CREATE_ALWAYS";
    case kOpenExisting: return "OPEN_EXISTING";
    case kOpenAlways: return "OPEN_ALWAYS";
    case kTruncateExisting: return "TRUNCATE_EXISTING";
    default: return std::to_string(creation);
  }
}

}  // namespace

// ---- Platform calls ----

FileHandle SimFiles::CreateFileA(Fault fault, const char* path, std::uint32_t access,
                                 std::uint32_t shareMode, std::uint32_t creation,
                                 std::uint32_t attributes, Described* out) {
  FlushAll();
  FileHandle handle = kInvalidFileHandle;
  std::string host, winPath;
  const bool read = access & kGenericRead;
  const bool write = access & kGenericWrite;
  struct stat st;
  if (fault != Fault::kFail && DriveAnswers(path, false) && Resolve(path, &host, &winPath)) {
    const bool exists = StatPath(host, &st);
    const bool truncate = creation == kCreateAlways || creation == kTruncateExisting;
    bool ok = true;
    // A read-only medium takes neither a write nor a new file.
    if ((write || truncate || !exists) && !DriveAnswers(path, true)) ok = false;
    if (exists && S_ISDIR(st.st_mode)) ok = false;
    if (exists && creation == kCreateNew) ok = false;
    if (!exists && (creation == kOpenExisting || creation == kTruncateExisting))
      ok = false;
    if (creation < kCreateNew || creation > kTruncateExisting) ok = false;
    if (exists && IsReadOnlyMode(st) && (write || truncate)) ok = false;
    if (exists && !OpenAllows(host, read, write || truncate, shareMode)) ok = false;
    if (ok) {
      int flags = O_CLOEXEC | (write || truncate ? O_RDWR : O_RDONLY);
      if (!exists) flags |= O_CREAT;
      if (truncate) flags |= O_TRUNC;
      const int fd = ::open(host.c_str(), flags, 0644);
      if (fd >= 0) {
        if (!exists && (attributes & kFileAttributeReadOnly)) ::fchmod(fd, 0444);
        OpenFile file;
        file.fd = fd;
        file.host = host;
        file.winPath = winPath;
        file.serial = ++fileSerial_;
        file.canRead = read;
        file.canWrite = write;
        file.share = shareMode;
        handle = kFileHandleBase + 4 * file.serial;
        DropReadAhead(host);
        files_.emplace(handle, std::move(file));
      }
    }
  }
  DescribeTo(out, [&] {
    return Described{QuotedOrNull(path) + ", " + AccessText(access) + ", " +
                         Hex(shareMode) + ", " + CreationText(creation) + ", " +
                         Hex(attributes),
                     handle == kInvalidFileHandle ? "INVALID_HANDLE_VALUE"
                                                  : FileName(handle)};
  });
  return handle;
}

int SimFiles::ReadFile(Fault fault, FileHandle file, void* buffer, std::uint32_t count,
                       std::uint32_t* done, Described* out) {
  int r = 0;
  std::uint32_t moved = 0;
  auto it = files_.find(file);
  if (fault != Fault::kFail && it != files_.end() && it->second.canRead &&
      (buffer || count == 0)) {
    OpenFile& f = it->second;
    if (fault == Fault::kShort) {
      // Half of what a full read would have brought, so the read is short
      // also near the end of the file.
      std::vector<char> full(count);
      const std::size_t got = ReadAt(f, full.data(), count);
      moved = static_cast<std::uint32_t>(got / 2);
      f.pos -= got - moved;
      if (moved) std::memcpy(buffer, full.data(), moved);
    } else {
      moved = static_cast<std::uint32_t>(ReadAt(f, static_cast<char*>(buffer), count));
    }
    r = 1;
  }
  if (done) *done = moved;
  DescribeTo(out, [&] {
    return Described{
        FileName(file) + ", buffer, " + std::to_string(count),
        std::to_string(r) + (r ? " -> " + std::to_string(moved) + " read" : "")};
  });
  return r;
}

int SimFiles::WriteFile(Fault fault, FileHandle file, const void* buffer,
                        std::uint32_t count, std::uint32_t* done, Described* out) {
  int r = 0;
  std::uint32_t moved = 0;
  auto it = files_.find(file);
  if (fault != Fault::kFail && it != files_.end() && it->second.canWrite &&
      (buffer || count == 0)) {
    std::uint32_t want = count;
    if (fault == Fault::kShort) want = count / 2;
    if (WriteAt(it->second, static_cast<const char*>(buffer), want)) {
      moved = want;
      r = 1;
    }
  }
  if (done) *done = moved;
  DescribeTo(out, [&] {
    return Described{
        FileName(file) + ", buffer, " + std::to_string(count),
        std::to_string(r) + (r ? " -> " + std::to_string(moved) + " written" : "")};
  });
  return r;
}

bool SimFiles::CloseFile(FileHandle file) {
  auto it = files_.find(file);
  if (it == files_.end()) return false;
  Flush(it->second);
  ::close(it->second.fd);
  files_.erase(it);
  return true;
}

std::uint32_t SimFiles::SetFilePointer(Fault fault, FileHandle file,
                                       std::int32_t distance, std::uint32_t method,
                                       Described* out) {
  std::uint32_t r = kInvalidSetFilePointer;
  auto it = files_.find(file);
  if (fault != Fault::kFail && it != files_.end()) {
    OpenFile& f = it->second;
    std::int64_t base = -1;
    if (method == kFileBegin) base = 0;
    if (method == kFileCurrent) base = static_cast<std::int64_t>(f.pos);
    if (method == kFileEnd) {
      struct stat st;
      if (::fstat(f.fd, &st) == 0) base = st.st_size;
      if (!f.writeBuf.empty())
        base = std::max<std::int64_t>(
            base, static_cast<std::int64_t>(f.writeStart + f.writeBuf.size()));
    }
    const std::int64_t target = base + distance;
    if (base >= 0 && target >= 0 && target < 0xFFFFFFFFll) {
      f.pos = static_cast<std::uint64_t>(target);
      r = static_cast<std::uint32_t>(target);
    }
  }
  DescribeTo(out, [&] {
    const char* how = method == kFileBegin ? "FILE_BEGIN"
                      : method == kFileCurrent ? "FILE_CURRENT"
                      : method == kFileEnd ? "FILE_END" : "?";
    return Described{FileName(file) + ", " + std::to_string(distance) + ", " + how,
                     r == kInvalidSetFilePointer ? "INVALID_SET_FILE_POINTER"
                                                 : std::to_string(r)};
  });
  return r;
}

int SimFiles::MoveFileA(Fault fault, const char* existingPath, const char* newPath,
                        Described* out) {
  FlushAll();
  int r = 0;
  std::string from, to, toWin;
  struct stat st;
  if (fault != Fault::kFail && DriveAnswers(existingPath, true) &&
      DriveAnswers(newPath, true) && Resolve(existingPath, &from, nullptr) &&
      Resolve(newPath, &to, &toWin) && StatPath(from, &st) && !IsOpenOrHeld(from)) {
    struct stat dest;
    const bool taken = StatPath(to, &dest);
    // Renaming a file to another spelling of its name only changes its case.
    const bool sameFile = taken && dest.st_ino == st.st_ino && dest.st_dev == st.st_dev;
    if (sameFile)
      to = to.substr(0, to.rfind('/') + 1) + toWin.substr(toWin.rfind('\\') + 1);
    if ((sameFile || !taken) && ::rename(from.c_str(), to.c_str()) == 0) r = 1;
  }
  DescribeTo(out, [&] {
    return Described{QuotedOrNull(existingPath) + ", " + QuotedOrNull(newPath),
                     std::to_string(r)};
  });
  return r;
}

int SimFiles::DeleteFileA(Fault fault, const char* path, Described* out) {
  FlushAll();
  int r = 0;
  std::string host;
  struct stat st;
  // Windows 95/98 delete a file that is open, by the program or by another
  // one (NT refuses): the open handles keep what they had, the name is gone.
  if (fault != Fault::kFail && DriveAnswers(path, true) && Resolve(path, &host, nullptr) &&
      StatPath(host, &st) && S_ISREG(st.st_mode) && !IsReadOnlyMode(st) &&
      ::unlink(host.c_str()) == 0) {
    held_.erase(host);
    DropReadAhead(host);
    r = 1;
  }
  DescribeTo(out, [&] { return Described{QuotedOrNull(path), std::to_string(r)}; });
  return r;
}

int SimFiles::CopyFileA(Fault fault, const char* source, const char* destination,
                        int failIfExists, Described* out) {
  FlushAll();
  int r = 0;
  std::string from, to;
  struct stat st, dest;
  if (fault != Fault::kFail && DriveAnswers(source, false) &&
      DriveAnswers(destination, true) && Resolve(source, &from, nullptr) &&
      Resolve(destination, &to, nullptr) && StatPath(from, &st) &&
      S_ISREG(st.st_mode) && OpenAllows(from, true, false, kFileShareRead)) {
    bool ok = true;
    if (StatPath(to, &dest)) {
      ok = !failIfExists && S_ISREG(dest.st_mode) && !IsReadOnlyMode(dest) &&
           !IsOpenOrHeld(to) && !(dest.st_ino == st.st_ino && dest.st_dev == st.st_dev);
    }
    if (ok && CopyHostFile(from, to, st.st_mode)) r = 1;
  }
  DescribeTo(out, [&] {
    return Described{QuotedOrNull(source) + ", " + QuotedOrNull(destination) + ", " +
                         std::to_string(failIfExists),
                     std::to_string(r)};
  });
  return r;
}

std::uint32_t SimFiles::GetFileAttributesA(Fault fault, const char* path,
                                           Described* out) {
  FlushAll();
  std::uint32_t r = kInvalidFileAttributes;
  std::string host;
  struct stat st;
  if (fault != Fault::kFail && DriveAnswers(path, false) && Resolve(path, &host, nullptr) &&
      StatPath(host, &st)) {
    if (S_ISDIR(st.st_mode))
      r = kFileAttributeDirectory;
    else
      r = IsReadOnlyMode(st) ? kFileAttributeReadOnly : kFileAttributeNormal;
  }
  DescribeTo(out, [&] {
    return Described{QuotedOrNull(path),
                     r == kInvalidFileAttributes ? "INVALID_FILE_ATTRIBUTES" : Hex(r)};
  });
  return r;
}

std::uint32_t SimFiles::SetErrorMode(std::uint32_t mode, Described* out) {
  const std::uint32_t previous = errorMode_;
  errorMode_ = mode;
  DescribeTo(out, [&] { return Described{Hex(mode), Hex(previous)}; });
  return previous;
}

}  // namespace nl::sim
