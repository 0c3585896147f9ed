#include "platform/sim/files/sim_paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include "platform/sim/sim_text.h"

namespace nl::sim {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

void ApplyNames(std::string_view rest, std::vector<std::string>* names) {
  std::size_t i = 0;
  while (i < rest.size()) {
    while (i < rest.size() && IsSeparator(rest[i])) ++i;
    std::size_t end = i;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const std::string_view name = rest.substr(i, end - i);
    if (name == "..") {
      if (!names->empty()) names->pop_back();
    } else if (!name.empty() && name != ".") {
      names->emplace_back(name);
    }
    i = end;
  }
}

bool IsDirectory(const std::string& hostPath) {
  struct stat st;
  return ::stat(hostPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The entry of `folder` named `name` ignoring case: the exact spelling when
// present, else the first match; empty when there is none.
std::string FindEntry(const std::string& folder, const std::string& name) {
  struct stat st;
  if (::lstat((folder + "/" + name).c_str(), &st) == 0) return name;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return std::string();
  std::string found;
  while (dirent* entry = ::readdir(dir)) {
    if (EqualsIgnoreCase(entry->d_name, name)) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace

bool ParseWinPath(std::string_view path, const WinPath& current, WinPath* out) {
  if (path.empty()) return false;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
    return false;  // UNC names are not modelled
  WinPath result;
  std::string_view rest = path;
  const bool hasDrive = path.size() >= 2 && path[1] == ':' &&
                        ((path[0] >= 'A' && path[0] <= 'Z') ||
                         (path[0] >= 'a' && path[0] <= 'z'));
  if (hasDrive) {
    result.drive = FoldUpper(path[0]);
    rest.remove_prefix(2);
  } else {
    result.drive = current.drive;
  }
  if (!rest.empty() && IsSeparator(rest[0])) {
    // from the drive's root
  } else if (result.drive == current.drive) {
    result.names = current.names;
  }
  ApplyNames(rest, &result.names);
  *out = std::move(result);
  return true;
}

std::string FormatWinPath(const WinPath& path) {
  std::string out(1, path.drive);
  out += ":\\";
  for (std::size_t i = 0; i < path.names.size(); ++i) {
    if (i) out += '\\';
    out += path.names[i];
  }
  return out;
}

std::string DriveFolder(const std::string& hostRoot, char drive) {
  std::string out = hostRoot + "/drive_";
  out += static_cast<char>(drive - 'A' + 'a');
  return out;
}

bool ResolveOnHost(const std::string& hostRoot, const WinPath& path,
                   std::string* hostPath) {
  std::string at = DriveFolder(hostRoot, path.drive);
  if (!IsDirectory(at)) return false;
  for (std::size_t i = 0; i < path.names.size(); ++i) {
    const bool last = i + 1 == path.names.size();
    std::string entry = FindEntry(at, path.names[i]);
    if (entry.empty()) {
      if (!last) return false;
      entry = path.names[i];
    }
    at += "/" + entry;
    if (!last && !IsDirectory(at)) return false;
  }
  *hostPath = std::move(at);
  return true;
}

}  // namespace nl::sim
