#include "file_change_list.h"

#include "changes.h"

#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace simrun {

namespace {

// drive_c/WINDOWS/INF/IRMINI.INF -> C:\WINDOWS\INF\IRMINI.INF
std::string WindowsPathOf(const std::string& relative) {
  std::string out(1, static_cast<char>(relative[6] - 'a' + 'A'));
  out += ':';
  for (char c : relative.substr(7)) out += c == '/' ? '\\' : c;
  return out;
}

std::map<std::string, fs::path> PlainFiles(const fs::path& root) {
  std::map<std::string, fs::path> files;
  if (!fs::is_directory(root)) return files;
  for (const auto& drive : fs::directory_iterator(root)) {
    const std::string name = drive.path().filename().string();
    if (!drive.is_directory() || name.size() != 7 || name.compare(0, 6, "drive_") != 0) continue;
    for (const auto& entry : fs::recursive_directory_iterator(drive.path()))
      if (entry.symlink_status().type() == fs::file_type::regular)
        files[fs::relative(entry.path(), root).generic_string()] = entry.path();
  }
  return files;
}

}  // namespace

std::vector<nl::findings::FileChange> FileChangeList(const std::string& beforeRoot,
                                                     const std::string& afterRoot) {
  const auto before = PlainFiles(beforeRoot);
  const auto after = PlainFiles(afterRoot);
  std::vector<nl::findings::FileChange> changes;
  auto b = before.begin();
  auto a = after.begin();
  while (b != before.end() || a != after.end()) {
    const int order = b == before.end() ? 1 : a == after.end() ? -1 : b->first.compare(a->first);
    nl::findings::FileChange change;
    change.path = WindowsPathOf(order <= 0 ? b->first : a->first);
    if (order < 0) {
      change.change = "removed";
      change.sizeBefore = fs::file_size((b++)->second);
    } else if (order > 0) {
      change.change = "added";
      change.sizeAfter = fs::file_size((a++)->second);
    } else {
      const fs::path old = (b++)->second, now = (a++)->second;
      if (SameFileBytes(old.string(), now.string())) continue;
      change.change = "changed";
      change.sizeBefore = fs::file_size(old);
      change.sizeAfter = fs::file_size(now);
    }
    changes.push_back(change);
  }
  return changes;
}

}  // namespace simrun
