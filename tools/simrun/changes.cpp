#include "changes.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace simrun {

namespace {

bool IsDriveFolder(const fs::path& p) {
  const std::string name = p.filename().string();
  return name.size() == 7 && name.compare(0, 6, "drive_") == 0;
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool LooksLikeText(const std::string& bytes) {
  return bytes.find('\0') == std::string::npos;
}

std::string Latin1ToUtf8(const std::string& bytes) {
  std::string out;
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

// Every file below the drive folders, by path relative to `root`.
std::map<std::string, fs::path> ListFiles(const fs::path& root) {
  std::map<std::string, fs::path> files;
  if (!fs::is_directory(root)) return files;
  for (const auto& drive : fs::directory_iterator(root)) {
    if (!drive.is_directory() || !IsDriveFolder(drive.path())) continue;
    for (const auto& entry : fs::recursive_directory_iterator(drive.path()))
      if (entry.is_regular_file())
        files[fs::relative(entry.path(), root).generic_string()] = entry.path();
  }
  return files;
}

std::string WindowsPath(const std::string& relative) {
  // drive_c/WINDOWS/INF/IRMINI.INF -> C:\WINDOWS\INF\IRMINI.INF
  std::string out(1, static_cast<char>(relative[6] - 'a' + 'A'));
  out += ":";
  std::string rest = relative.substr(7);
  for (char& c : rest)
    if (c == '/') c = '\\';
  return out + (rest.empty() ? "\\" : rest);
}

}  // namespace

std::string TextDiff(const std::string& before, const std::string& after,
                     const std::string& beforeLabel, const std::string& afterLabel) {
  if (before == after) return std::string();
  char folder[] = "/tmp/simrun-diff-XXXXXX";
  if (!::mkdtemp(folder)) throw std::runtime_error("cannot create a temporary folder");
  const fs::path a = fs::path(folder) / "a", b = fs::path(folder) / "b";
  WriteBytes(a, before);
  WriteBytes(b, after);
  const std::string command = "diff -u --label " + Quote(beforeLabel) + " --label " +
                              Quote(afterLabel) + " " + Quote(a.string()) + " " +
                              Quote(b.string());
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    ::pclose(pipe);
  }
  fs::remove_all(folder);
  return Latin1ToUtf8(out);
}

std::string DriveChanges(const std::string& beforeRoot, const std::string& afterRoot) {
  const auto before = ListFiles(beforeRoot);
  const auto after = ListFiles(afterRoot);
  std::map<std::string, std::string> originals;  // content -> first path, for copies
  for (const auto& [rel, path] : before) originals.emplace(ReadHostFile(path), rel);
  std::ostringstream out;
  std::map<std::string, int> all;
  for (const auto& entry : before) all[entry.first] |= 1;
  for (const auto& entry : after) all[entry.first] |= 2;
  for (const auto& [rel, where] : all) {
    const std::string name = WindowsPath(rel);
    const std::string old = where & 1 ? ReadHostFile(before.at(rel)) : std::string();
    const std::string now = where & 2 ? ReadHostFile(after.at(rel)) : std::string();
    if (where == 3 && old == now) continue;
    const char* what = where == 1 ? "removed" : where == 2 ? "added" : "changed";
    out << what << ": " << name << " (" << (where & 2 ? now.size() : old.size()) << " bytes)";
    bool copy = false;
    if (where == 2) {
      auto same = originals.find(now);
      copy = same != originals.end() && same->second != rel;
      if (copy) out << ", a copy of " << WindowsPath(same->second);
    }
    out << "\n";
    if (!copy && LooksLikeText(old) && LooksLikeText(now))
      out << TextDiff(old, now, where & 1 ? "before/" + rel : "/dev/null",
                      where & 2 ? "after/" + rel : "/dev/null");
  }
  return out.str();
}

void CopyDrives(const std::string& from, const std::string& to) {
  fs::create_directories(to);
  for (const auto& drive : fs::directory_iterator(from))
    if (drive.is_directory() && IsDriveFolder(drive.path()))
      fs::copy(drive.path(), fs::path(to) / drive.path().filename(),
               fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace simrun
