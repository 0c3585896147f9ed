#include "platform/sim/files/host_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace nl::sim {

bool StatPath(const std::string& host, struct stat* st) {
  return ::stat(host.c_str(), st) == 0;
}

bool IsReadOnlyMode(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

bool CopyHostFile(const std::string& from, const std::string& to, mode_t mode) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    ::close(in);
    return false;
  }
  std::vector<char> buf(kHostChunk);
  bool ok = true;
  while (ok) {
    const ssize_t n = ::read(in, buf.data(), buf.size());
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w =
          ::write(out, buf.data() + done, static_cast<std::size_t>(n - done));
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

bool ReadWholeFile(const std::string& host, std::string* bytes) {
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

bool WriteWholeFile(const std::string& host, const std::string& bytes) {
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

}  // namespace nl::sim
