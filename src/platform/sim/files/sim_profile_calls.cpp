// GetPrivateProfileStringA and WritePrivateProfileStringA of the simulated
// system, with the profile cache of the 9x family (see sim_files.h). A
// write opens the file the way Windows opens it (sharing reads and writes),
// so a file another handle holds without sharing cannot be written; a read
// follows the stricter rule of Windows 95/98 (ProfileReadShared).
#include <sys/stat.h>

#include <cstring>

#include "platform/sim/files/host_io.h"
#include "platform/sim/files/sim_files.h"
#include "platform/sim/files/sim_profile_text.h"
#include "platform/sim/sim_text.h"

namespace nl::sim {

namespace {

// Whether the host file may be written whole: absent, or a regular file that
// is not read-only. `onDisk` tells which.
bool WritableOrAbsent(const std::string& host, bool* onDisk) {
  struct stat st;
  *onDisk = ::stat(host.c_str(), &st) == 0;
  return !*onDisk || (S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR));
}

}  // namespace

std::uint32_t SimFiles::GetPrivateProfileStringA(Fault fault, const char* section,
                                                 const char* key, const char* defaultText,
                                                 char* buffer, std::uint32_t size,
                                                 const char* path, Described* out) {
  FlushAll();
  // The default loses its trailing blanks, as Windows does.
  std::string text = defaultText ? defaultText : "";
  while (!text.empty() && text.back() == ' ') text.pop_back();
  bool fromFile = false;
  std::string host, bytes, value;
  if (fault != Fault::kFail && section && key && DriveAnswers(path, false) &&
      Resolve(path, &host, nullptr)) {
    WriteBackOtherProfile(host);
    // A changed copy answers for the file whoever has the file open; the
    // file itself is read only when its openers let a profile read share it.
    const bool cached = profileCopy_.has_value();
    if (cached) {
      bytes = profileCopy_->bytes;
    }
    if ((cached || (ProfileReadShared(host) && ReadWholeFile(host, &bytes))) &&
        FindProfileValue(bytes, section, key, &value)) {
      text = value;
      fromFile = true;
    }
  }
  std::uint32_t r = 0;
  if (buffer && size > 0) {
    r = static_cast<std::uint32_t>(text.size() < size ? text.size() : size - 1);
    std::memcpy(buffer, text.data(), r);
    buffer[r] = '\0';
  }
  DescribeTo(out, [&] {
    return Described{QuotedOrNull(section) + ", " + QuotedOrNull(key) + ", " +
                         QuotedOrNull(defaultText) + ", buffer, " + std::to_string(size) +
                         ", " + QuotedOrNull(path),
                     std::to_string(r) + " -> " +
                         Quoted(std::string(buffer ? buffer : "", r)) +
                         (fromFile ? "" : " (default)")};
  });
  return r;
}

int SimFiles::WritePrivateProfileStringA(Fault fault, const char* section,
                                         const char* key, const char* value,
                                         const char* path, Described* out) {
  FlushAll();
  int r = 0;
  std::string host, bytes;
  if (!section && !key && !value) {
    // The flush: the cached copy goes to disk; the call answers 0.
    if (fault != Fault::kFail) WriteBackProfile();
  } else if (fault != Fault::kFail && section && DriveAnswers(path, true) &&
             Resolve(path, &host, nullptr)) {
    WriteBackOtherProfile(host);
    const bool cached = profileCopy_.has_value();
    bool onDisk = false;
    // A file on disk must be one the program may write, whether or not its
    // copy is cached already.
    bool ok = WritableOrAbsent(host, &onDisk) &&
              (!onDisk || OpenAllows(host, true, true, kFileShareRead | kFileShareWrite));
    if (ok && cached) {
      bytes = profileCopy_->bytes;
    } else if (ok && onDisk) {
      ok = ReadWholeFile(host, &bytes);
    }
    if (ok) {
      if (!cached && !onDisk && !(key && value)) {
        r = 1;  // nothing to remove from a file that is not there
      } else {
        profileCopy_ = ProfileCopy{host, (key && value)
                                             ? SetProfileValue(bytes, section, key, value)
                                             : RemoveProfileEntry(bytes, section, key)};
        r = 1;
      }
    }
  }
  DescribeTo(out, [&] {
    return Described{QuotedOrNull(section) + ", " + QuotedOrNull(key) + ", " +
                         QuotedOrNull(value) + ", " + QuotedOrNull(path),
                     std::to_string(r)};
  });
  return r;
}

// Windows 95/98 give the default, with no error, when the file is open
// elsewhere unless every opener only reads and shares reading alone; a
// reader that also shares writing is refused too.
bool SimFiles::ProfileReadShared(const std::string& host) const {
  for (const Opener& other : OpenersOf(host))
    if (other.writes || !(other.share & kFileShareRead) || (other.share & kFileShareWrite))
      return false;
  return true;
}

void SimFiles::WriteBackOtherProfile(const std::string& host) {
  if (profileCopy_ && profileCopy_->host != host) WriteBackProfile();
}

bool SimFiles::WriteBackProfile() {
  if (!profileCopy_) return true;
  const ProfileCopy copy = std::move(*profileCopy_);
  profileCopy_.reset();
  bool onDisk = false;
  if (!WritableOrAbsent(copy.host, &onDisk) ||
      !OpenAllows(copy.host, false, true, kFileShareRead | kFileShareWrite) ||
      !WriteWholeFile(copy.host, copy.bytes)) {
    return false;
  }
  DropReadAhead(copy.host);
  return true;
}

void SimFiles::ProgramEnded() {
  FlushAll();
  WriteBackProfile();
}

}  // namespace nl::sim
