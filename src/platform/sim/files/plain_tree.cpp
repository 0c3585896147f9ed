#include "platform/sim/files/plain_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/sim/sim_text.h"

namespace nl::sim {

namespace {

constexpr std::size_t kCopyChunk = 256 * 1024;

[[noreturn]] void Refuse(const std::string& path, const std::string& why) {
  throw CaseFileError(Quoted(path) + " " + why);
}

// Rounded up, so that a size just over a limit does not read as the limit.
std::string Megabytes(std::uint64_t bytes) {
  return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB";
}

// Opens a customer's file without following a link and without waiting on
// a FIFO, and checks that it is a plain file of bounded size.
int OpenPlainFile(const std::string& path, std::uint64_t limit, struct stat* st) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    struct stat link;
    if (::lstat(path.c_str(), &link) == 0 && !OddEntryKind(link.st_mode).empty())
      Refuse(path, "is " + OddEntryKind(link.st_mode) + ", not a plain file");
    Refuse(path, std::string("cannot be read: ") + std::strerror(errno));
  }
  std::string why;
  if (::fstat(fd, st) != 0) why = "cannot be read";
  else if (S_ISDIR(st->st_mode)) why = "is a folder, not a file";
  else if (!OddEntryKind(st->st_mode).empty()) why = "is " + OddEntryKind(st->st_mode) + ", not a plain file";
  else if (st->st_nlink > 1) why = "has other hard links (it may be a file outside the case)";
  else if (static_cast<std::uint64_t>(st->st_size) > limit)
    why = "is " + Megabytes(static_cast<std::uint64_t>(st->st_size)) + ", over the limit of " +
          Megabytes(limit) + " for a file of a case";
  if (!why.empty()) {
    ::close(fd);
    Refuse(path, why);
  }
  return fd;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t w = ::write(fd, data + done, size - done);
    if (w <= 0) return false;
    done += static_cast<std::size_t>(w);
  }
  return true;
}

// The names in a folder, sorted; the folder itself must not be a link.
std::vector<std::string> FolderNames(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
      Refuse(path, OddEntryKind(st.st_mode).empty() ? "is not a folder"
                                                    : "is " + OddEntryKind(st.st_mode) + ", not a folder");
    Refuse(path, std::string("cannot be read: ") + std::strerror(errno));
  }
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    Refuse(path, "cannot be read");
  }
  std::vector<std::string> names;
  while (dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// Two names that differ only in letter case are one name on Windows: which
// file the program would meet would depend on the host's folder order.
void RefuseCaseTwins(const std::string& folder, const std::vector<std::string>& names) {
  std::vector<const std::string*> sorted;
  for (const std::string& name : names) sorted.push_back(&name);
  std::sort(sorted.begin(), sorted.end(),
            [](const std::string* a, const std::string* b) { return CompareIgnoreCase(*a, *b) < 0; });
  for (std::size_t i = 1; i < sorted.size(); ++i)
    if (EqualsIgnoreCase(*sorted[i - 1], *sorted[i]))
      throw CaseFileError(Quoted(folder + "/" + *sorted[i - 1]) + " and " + Quoted(*sorted[i]) +
                          " differ only in letter case: Windows holds one of them");
}

// A folder to write into: made when missing, used when it is a real folder.
void MakeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) == 0) return;
  struct stat st;
  if (errno == EEXIST && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
  Refuse(path, errno == EEXIST ? "is already there and is not a folder"
                               : std::string("cannot be created: ") + std::strerror(errno));
}

void CopyFile(const std::string& from, const std::string& to, std::uint64_t size) {
  struct stat st;
  const int in = OpenPlainFile(from, size, &st);
  // A plain file already there is replaced; a link or anything else is not
  // written through.
  struct stat there;
  if (::lstat(to.c_str(), &there) == 0 && !S_ISREG(there.st_mode)) {
    ::close(in);
    Refuse(to, "is already there and is not a plain file");
  }
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (out < 0) {
    ::close(in);
    Refuse(to, std::string("cannot be written: ") + std::strerror(errno));
  }
  std::vector<char> buf(kCopyChunk);
  bool ok = true;
  for (std::uint64_t left = size; ok && left > 0;) {
    const ssize_t n = ::read(in, buf.data(), std::min<std::uint64_t>(left, buf.size()));
    ok = n > 0 && WriteAll(out, buf.data(), static_cast<std::size_t>(n));
    if (ok) left -= static_cast<std::uint64_t>(n);
  }
  ::fchmod(out, st.st_mode & 0777);
  ::close(in);
  ::close(out);
  if (!ok) Refuse(from, "could not be copied whole");
}

}  // namespace

std::string OddEntryKind(unsigned mode) {
  if (S_ISREG(mode) || S_ISDIR(mode)) return std::string();
  if (S_ISLNK(mode)) return "a symbolic link";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  return "not a plain file or folder";
}

std::vector<PlainEntry> ListPlainFolder(const std::string& folder) {
  std::vector<PlainEntry> out;
  for (const std::string& name : FolderNames(folder)) {
    const std::string path = folder + "/" + name;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) Refuse(path, "cannot be read");
    if (!OddEntryKind(st.st_mode).empty()) Refuse(path, "is " + OddEntryKind(st.st_mode) + " in the case");
    out.push_back({name, S_ISDIR(st.st_mode), S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0});
  }
  return out;
}

std::vector<PlainEntry> ListPlainTree(const std::string& root, TreeBudget* budget) {
  std::vector<PlainEntry> out;
  std::vector<std::string> pending = {std::string()};  // folders, relative
  while (!pending.empty()) {
    const std::string folder = std::move(pending.back());
    pending.pop_back();
    const std::string base = folder.empty() ? root : root + "/" + folder;
    const std::vector<std::string> names = FolderNames(base);
    RefuseCaseTwins(base, names);
    std::vector<std::string> subfolders;
    for (const std::string& name : names) {
      const std::string path = base + "/" + name;
      struct stat st;
      if (::lstat(path.c_str(), &st) != 0) Refuse(path, "cannot be read");
      if (!OddEntryKind(st.st_mode).empty()) Refuse(path, "is " + OddEntryKind(st.st_mode) + " in the case");
      if (S_ISREG(st.st_mode) && st.st_nlink > 1)
        Refuse(path, "has other hard links (it may be a file outside the case)");
      const std::uint64_t size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
      if (size > kMaxCaseFileBytes)
        Refuse(path, "is " + Megabytes(size) + ", over the limit of " + Megabytes(kMaxCaseFileBytes) +
                         " for a file of a case");
      budget->bytes += size;
      if (budget->bytes > kMaxImageBytes)
        throw CaseFileError("the image's files come to more than the limit of " +
                            Megabytes(kMaxImageBytes) + " (at " + Quoted(path) + ")");
      if (++budget->entries > kMaxImageEntries)
        throw CaseFileError("the image holds more than the limit of " +
                            std::to_string(kMaxImageEntries) + " files and folders");
      PlainEntry entry;
      entry.relative = folder.empty() ? name : folder + "/" + name;
      entry.folder = S_ISDIR(st.st_mode);
      entry.size = size;
      if (entry.folder) subfolders.push_back(entry.relative);
      out.push_back(std::move(entry));
    }
    // Depth first, in name order.
    for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) pending.push_back(*it);
  }
  return out;
}

void CopyPlainTree(const std::string& from, const std::string& to, TreeBudget* budget) {
  // Everything is checked before anything is copied.
  const std::vector<PlainEntry> entries = ListPlainTree(from, budget);
  MakeFolder(to);
  for (const PlainEntry& entry : entries) {
    const std::string target = to + "/" + entry.relative;
    if (entry.folder) MakeFolder(target);
    else CopyFile(from + "/" + entry.relative, target, entry.size);
  }
}

void PrepareEmptyFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) == 0) return;
  if (errno != EEXIST) Refuse(path, std::string("cannot be created: ") + std::strerror(errno));
  if (!FolderNames(path).empty())
    Refuse(path, "is not empty: an image is written into a new or empty folder only");
}

std::string ReadPlainFile(const std::string& path, std::uint64_t limit) {
  struct stat st;
  const int fd = OpenPlainFile(path, limit, &st);
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(st.st_size));
  std::vector<char> buf(kCopyChunk);
  bool ok = true;
  while (ok) {
    const ssize_t n = ::read(fd, buf.data(), buf.size());
    if (n < 0) ok = false;
    if (n <= 0) break;
    bytes.append(buf.data(), static_cast<std::size_t>(n));
    ok = bytes.size() <= limit;  // grown while being read
  }
  ::close(fd);
  if (!ok) Refuse(path, "could not be read whole");
  return bytes;
}

void WriteNewFile(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0)
    Refuse(path, errno == EEXIST ? "is already there" : std::string("cannot be written: ") + std::strerror(errno));
  const bool ok = WriteAll(fd, bytes.data(), bytes.size());
  ::close(fd);
  if (!ok) Refuse(path, "could not be written whole");
}

}  // namespace nl::sim
