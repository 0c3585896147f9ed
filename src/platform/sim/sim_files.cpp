// The file calls of the simulated system: real host files, one host file
// descriptor per open handle, Windows sharing and read-only rules.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/sim/sim_system.h"

namespace nl::sim {

namespace {

constexpr FileHandle kFileHandleBase = 0x30000;
constexpr std::size_t kChunk = 64 * 1024;

bool StatPath(const std::string& host, struct stat* st) {
  return ::stat(host.c_str(), st) == 0;
}

bool IsReadOnlyMode(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

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

bool CopyHostFile(const std::string& from, const std::string& to, mode_t mode) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    ::close(in);
    return false;
  }
  std::vector<char> buf(kChunk);
  bool ok = true;
  while (ok) {
    const ssize_t n = ::read(in, buf.data(), buf.size());
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(out, buf.data() + done, static_cast<std::size_t>(n - done));
      if (w <= 0) {
        ok = false;
        break;
      }
      done += w;
    }
    if (n == 0) break;
  }
  ::close(in);
  ::close(out);
  ::chmod(to.c_str(), mode & 0777);
  return ok;
}

}  // namespace

// ---- helpers ----

bool SimSystem::Resolve(const char* path, std::string* host, std::string* winPath) {
  if (!path) return false;
  WinPath parsed;
  if (!ParseWinPath(path, currentDir_, &parsed)) return false;
  if (winPath) *winPath = FormatWinPath(parsed);
  return ResolveOnHost(hostRoot_, parsed, host);
}

std::string SimSystem::ResolveOrThrow(const std::string& path) {
  std::string host;
  if (!Resolve(path.c_str(), &host, nullptr))
    throw std::runtime_error("cannot resolve " + path);
  return host;
}

// Whether a new open with this access and sharing can coexist with the
// opens already there (files held by another program share nothing).
bool SimSystem::OpenAllows(const std::string& host, bool read, bool write,
                           std::uint32_t share) const {
  if (held_.count(host)) return false;
  for (const auto& entry : files_) {
    const OpenFile& other = entry.second;
    if (other.host != host) continue;
    if (read && !(other.share & kFileShareRead)) return false;
    if (write && !(other.share & kFileShareWrite)) return false;
    if (other.canRead && !(share & kFileShareRead)) return false;
    if (other.canWrite && !(share & kFileShareWrite)) return false;
  }
  return true;
}

bool SimSystem::IsOpenOrHeld(const std::string& host) const {
  if (held_.count(host)) return true;
  for (const auto& entry : files_)
    if (entry.second.host == host) return true;
  return false;
}

bool SimSystem::Flush(OpenFile& file) {
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

void SimSystem::FlushAll() {
  for (auto& entry : files_) Flush(entry.second);
}

void SimSystem::DropReadAhead(const std::string& host) {
  for (auto& entry : files_)
    if (entry.second.host == host) entry.second.readLen = 0;
}

std::size_t SimSystem::ReadAt(OpenFile& file, char* out, std::size_t count) {
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
    if (count - done >= kChunk) {
      // A large read goes straight into the caller's buffer.
      const ssize_t n = ::pread(file.fd, out + done, count - done,
                                static_cast<off_t>(file.pos));
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
      file.pos += static_cast<std::uint64_t>(n);
      continue;
    }
    file.readBuf.resize(kChunk);
    const ssize_t n = ::pread(file.fd, file.readBuf.data(), kChunk,
                              static_cast<off_t>(file.pos));
    file.readStart = file.pos;
    file.readLen = n > 0 ? static_cast<std::size_t>(n) : 0;
    if (n <= 0) break;
  }
  return done;
}

bool SimSystem::WriteAt(OpenFile& file, const char* in, std::size_t count) {
  if (count == 0) return true;
  if (file.share != 0)
    DropReadAhead(file.host);  // other handles may read this file too
  else if (file.pos < file.readStart + file.readLen && file.pos + count > file.readStart)
    file.readLen = 0;
  bool ok = true;
  if (!file.writeBuf.empty() && file.writeStart + file.writeBuf.size() != file.pos)
    ok = Flush(file);
  if (file.writeBuf.empty() && count >= kChunk) {
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
  if (file.writeBuf.size() >= kChunk) ok = Flush(file) && ok;
  return ok;
}

bool SimSystem::ReadWholeFile(const std::string& host, std::string* bytes) const {
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  bytes->clear();
  char buf[8192];
  while (ok) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) ok = false;
    if (n <= 0) break;
    bytes->append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return ok;
}

bool SimSystem::WriteWholeFile(const std::string& host, const std::string& bytes) const {
  const int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (w <= 0) {
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(w);
  }
  ::close(fd);
  return ok;
}

// ---- Platform calls ----

FileHandle SimSystem::CreateFileA(const char* path, std::uint32_t access,
                                  std::uint32_t shareMode, std::uint32_t creation,
                                  std::uint32_t attributes) {
  const Call call = BeginCall("CreateFileA");
  FlushAll();
  FileHandle handle = kInvalidFileHandle;
  std::string host, winPath;
  const bool read = access & kGenericRead;
  const bool write = access & kGenericWrite;
  struct stat st;
  if (call.fault != Fault::kFail && Resolve(path, &host, &winPath)) {
    const bool exists = StatPath(host, &st);
    const bool truncate = creation == kCreateAlways || creation == kTruncateExisting;
    bool ok = true;
    if (exists && S_ISDIR(st.st_mode)) ok = false;
    if (exists && creation == kCreateNew) ok = false;
    if (!exists && (creation == kOpenExisting || creation == kTruncateExisting)) ok = false;
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
  EndCall(call, [&] {
    return Described{QuotedOrNull(path) + ", " + AccessText(access) + ", " +
                         Hex(shareMode) + ", " + CreationText(creation) + ", " +
                         Hex(attributes),
                     handle == kInvalidFileHandle ? "INVALID_HANDLE_VALUE"
                                                  : FileName(handle)};
  });
  return handle;
}

int SimSystem::ReadFile(FileHandle file, void* buffer, std::uint32_t count,
                        std::uint32_t* done) {
  const Call call = BeginCall("ReadFile", FaultUse::kFailOrShort);
  int r = 0;
  std::uint32_t moved = 0;
  auto it = files_.find(file);
  if (call.fault != Fault::kFail && it != files_.end() && it->second.canRead &&
      (buffer || count == 0)) {
    OpenFile& f = it->second;
    if (call.fault == Fault::kShort) {
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
  EndCall(call, [&] {
    return Described{FileName(file) + ", buffer, " + std::to_string(count),
                     std::to_string(r) + (r ? " -> " + std::to_string(moved) + " read" : "")};
  });
  return r;
}

int SimSystem::WriteFile(FileHandle file, const void* buffer, std::uint32_t count,
                         std::uint32_t* done) {
  const Call call = BeginCall("WriteFile", FaultUse::kFailOrShort);
  int r = 0;
  std::uint32_t moved = 0;
  auto it = files_.find(file);
  if (call.fault != Fault::kFail && it != files_.end() && it->second.canWrite &&
      (buffer || count == 0)) {
    std::uint32_t want = count;
    if (call.fault == Fault::kShort) want = count / 2;
    if (WriteAt(it->second, static_cast<const char*>(buffer), want)) {
      moved = want;
      r = 1;
    }
  }
  if (done) *done = moved;
  EndCall(call, [&] {
    return Described{FileName(file) + ", buffer, " + std::to_string(count),
                     std::to_string(r) + (r ? " -> " + std::to_string(moved) + " written" : "")};
  });
  return r;
}

int SimSystem::CloseHandle(FileHandle file) {
  const Call call = BeginCall("CloseHandle", FaultUse::kNone);
  const std::string name = FileName(file);
  int r = 0;
  auto it = files_.find(file);
  if (it != files_.end()) {
    Flush(it->second);
    ::close(it->second.fd);
    files_.erase(it);
    r = 1;
  } else if (processHandles_.erase(file)) {
    r = 1;
  }
  EndCall(call, [&] { return Described{name, std::to_string(r)}; });
  return r;
}

std::uint32_t SimSystem::SetFilePointer(FileHandle file, std::int32_t distance,
                                        std::uint32_t method) {
  const Call call = BeginCall("SetFilePointer");
  std::uint32_t r = kInvalidSetFilePointer;
  auto it = files_.find(file);
  if (call.fault != Fault::kFail && it != files_.end()) {
    OpenFile& f = it->second;
    std::int64_t base = -1;
    if (method == kFileBegin) base = 0;
    if (method == kFileCurrent) base = static_cast<std::int64_t>(f.pos);
    if (method == kFileEnd) {
      struct stat st;
      if (::fstat(f.fd, &st) == 0) base = st.st_size;
      if (!f.writeBuf.empty())
        base = std::max<std::int64_t>(base, static_cast<std::int64_t>(f.writeStart + f.writeBuf.size()));
    }
    const std::int64_t target = base + distance;
    if (base >= 0 && target >= 0 && target < 0xFFFFFFFFll) {
      f.pos = static_cast<std::uint64_t>(target);
      r = static_cast<std::uint32_t>(target);
    }
  }
  EndCall(call, [&] {
    const char* how = method == kFileBegin ? "FILE_BEGIN"
                      : method == kFileCurrent ? "FILE_CURRENT"
                      : method == kFileEnd ? "FILE_END" : "?";
    return Described{FileName(file) + ", " + std::to_string(distance) + ", " + how,
                     r == kInvalidSetFilePointer ? "INVALID_SET_FILE_POINTER"
                                                 : std::to_string(r)};
  });
  return r;
}

int SimSystem::MoveFileA(const char* existingPath, const char* newPath) {
  const Call call = BeginCall("MoveFileA");
  FlushAll();
  int r = 0;
  std::string from, to, toWin;
  struct stat st;
  if (call.fault != Fault::kFail && Resolve(existingPath, &from, nullptr) &&
      Resolve(newPath, &to, &toWin) && StatPath(from, &st) && !IsOpenOrHeld(from)) {
    struct stat dest;
    const bool taken = StatPath(to, &dest);
    // Renaming a file to another spelling of its name only changes its case.
    const bool sameFile = taken && dest.st_ino == st.st_ino && dest.st_dev == st.st_dev;
    if (sameFile)
      to = to.substr(0, to.rfind('/') + 1) + toWin.substr(toWin.rfind('\\') + 1);
    if ((sameFile || !taken) && ::rename(from.c_str(), to.c_str()) == 0) r = 1;
  }
  EndCall(call, [&] {
    return Described{QuotedOrNull(existingPath) + ", " + QuotedOrNull(newPath),
                     std::to_string(r)};
  });
  return r;
}

int SimSystem::DeleteFileA(const char* path) {
  const Call call = BeginCall("DeleteFileA");
  FlushAll();
  int r = 0;
  std::string host;
  struct stat st;
  if (call.fault != Fault::kFail && Resolve(path, &host, nullptr) &&
      StatPath(host, &st) && S_ISREG(st.st_mode) && !IsReadOnlyMode(st) &&
      !IsOpenOrHeld(host) && ::unlink(host.c_str()) == 0)
    r = 1;
  EndCall(call, [&] { return Described{QuotedOrNull(path), std::to_string(r)}; });
  return r;
}

int SimSystem::CopyFileA(const char* source, const char* destination,
                         int failIfExists) {
  const Call call = BeginCall("CopyFileA");
  FlushAll();
  int r = 0;
  std::string from, to;
  struct stat st, dest;
  if (call.fault != Fault::kFail && Resolve(source, &from, nullptr) &&
      Resolve(destination, &to, nullptr) && StatPath(from, &st) &&
      S_ISREG(st.st_mode) && OpenAllows(from, true, false, kFileShareRead)) {
    bool ok = true;
    if (StatPath(to, &dest)) {
      ok = !failIfExists && S_ISREG(dest.st_mode) && !IsReadOnlyMode(dest) &&
           !IsOpenOrHeld(to) && !(dest.st_ino == st.st_ino && dest.st_dev == st.st_dev);
    }
    if (ok && CopyHostFile(from, to, st.st_mode)) r = 1;
  }
  EndCall(call, [&] {
    return Described{QuotedOrNull(source) + ", " + QuotedOrNull(destination) + ", " +
                         std::to_string(failIfExists),
                     std::to_string(r)};
  });
  return r;
}

std::uint32_t SimSystem::GetFileAttributesA(const char* path) {
  const Call call = BeginCall("GetFileAttributesA");
  FlushAll();
  std::uint32_t r = kInvalidFileAttributes;
  std::string host;
  struct stat st;
  if (call.fault != Fault::kFail && Resolve(path, &host, nullptr) && StatPath(host, &st)) {
    if (S_ISDIR(st.st_mode))
      r = kFileAttributeDirectory;
    else
      r = IsReadOnlyMode(st) ? kFileAttributeReadOnly : kFileAttributeNormal;
  }
  EndCall(call, [&] {
    return Described{QuotedOrNull(path),
                     r == kInvalidFileAttributes ? "INVALID_FILE_ATTRIBUTES" : Hex(r)};
  });
  return r;
}

std::uint32_t SimSystem::GetModuleFileNameA(ProgramInstance instance, char* buffer,
                                            std::uint32_t size) {
  const Call call = BeginCall("GetModuleFileNameA");
  std::uint32_t r = 0;
  if (call.fault != Fault::kFail && buffer && size > 0) {
    const std::size_t length = programPath_.size();
    if (length < size) {
      std::memcpy(buffer, programPath_.c_str(), length + 1);
      r = static_cast<std::uint32_t>(length);
    } else {
      std::memcpy(buffer, programPath_.data(), size - 1);
      buffer[size - 1] = '\0';
      r = size;  // cut: Windows answers with the buffer size
    }
  }
  EndCall(call, [&] {
    return Described{Hex(instance) + ", buffer, " + std::to_string(size),
                     std::to_string(r) + (r ? " -> " + Quoted(buffer) : "")};
  });
  return r;
}

// ---- setup and inspection ----

void SimSystem::AddDrive(char letter) {
  std::filesystem::create_directories(DriveFolder(hostRoot_, FoldUpper(letter)));
}

void SimSystem::SetCurrentDirectory(const std::string& path) {
  WinPath parsed;
  if (!ParseWinPath(path, currentDir_, &parsed))
    throw std::invalid_argument("bad path: " + path);
  currentDir_ = parsed;
}

void SimSystem::MakeDirectory(const std::string& path) {
  WinPath parsed;
  if (!ParseWinPath(path, currentDir_, &parsed))
    throw std::invalid_argument("bad path: " + path);
  WinPath walk;
  walk.drive = parsed.drive;
  for (const std::string& name : parsed.names) {
    walk.names.push_back(name);
    std::string host;
    if (!ResolveOnHost(hostRoot_, walk, &host))
      throw std::runtime_error("cannot resolve " + FormatWinPath(walk));
    struct stat st;
    if (!StatPath(host, &st) && ::mkdir(host.c_str(), 0755) != 0)
      throw std::runtime_error("cannot create " + FormatWinPath(walk));
  }
}

void SimSystem::WriteFileText(const std::string& path, const std::string& bytes) {
  WinPath parsed;
  if (!ParseWinPath(path, currentDir_, &parsed) || parsed.names.empty())
    throw std::invalid_argument("bad file path: " + path);
  WinPath folder = parsed;
  folder.names.pop_back();
  MakeDirectory(FormatWinPath(folder));
  FlushAll();
  const std::string host = ResolveOrThrow(path);
  DropReadAhead(host);
  if (!WriteWholeFile(host, bytes)) throw std::runtime_error("cannot write " + path);
}

std::string SimSystem::ReadFileText(const std::string& path) {
  FlushAll();
  std::string bytes;
  if (!ReadWholeFile(ResolveOrThrow(path), &bytes))
    throw std::runtime_error("cannot read " + path);
  return bytes;
}

bool SimSystem::FileExists(const std::string& path) {
  std::string host;
  struct stat st;
  return Resolve(path.c_str(), &host, nullptr) && StatPath(host, &st);
}

std::string SimSystem::HostPath(const std::string& path) {
  FlushAll();
  std::string host;
  return Resolve(path.c_str(), &host, nullptr) ? host : std::string();
}

void SimSystem::SetReadOnly(const std::string& path, bool readOnly) {
  const std::string host = ResolveOrThrow(path);
  struct stat st;
  if (!StatPath(host, &st)) throw std::runtime_error("no such file: " + path);
  const mode_t mode = readOnly ? (st.st_mode & 0555) : (st.st_mode | S_IWUSR);
  ::chmod(host.c_str(), mode & 0777);
}

void SimSystem::HoldOpen(const std::string& path) {
  const std::string host = ResolveOrThrow(path);
  struct stat st;
  if (!StatPath(host, &st)) throw std::runtime_error("no such file: " + path);
  ++held_[host];
}

void SimSystem::Release(const std::string& path) {
  const std::string host = ResolveOrThrow(path);
  auto it = held_.find(host);
  if (it != held_.end() && --it->second <= 0) held_.erase(it);
}

std::vector<std::string> SimSystem::OpenFilePaths() const {
  std::vector<std::string> out;
  for (const auto& entry : files_) out.push_back(entry.second.winPath);
  return out;
}

}  // namespace nl::sim
