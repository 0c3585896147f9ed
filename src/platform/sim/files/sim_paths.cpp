#include "platform/sim/files/sim_paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include "platform/sim/sim_text.h"

namespace nl::sim {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A name Windows 95/98 refuses for a file or folder (given without its
// trailing dots and blanks): a control byte or one of < > : " | ? * / in
// it, or a device name (CON, AUX, PRN, NUL, COM1 to COM4, LPT1 to LPT3),
// with an extension or without: "PRN.TXT" is the printer in any folder, and
// "C:\LPT1\X" no folder at all.
bool IsRefusedName(std::string_view name) {
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || std::string_view("<>:\"|?*").find(ch) != std::string_view::npos) return true;
  }
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (std::string_view device : {"CON", "AUX", "PRN", "NUL"})
    if (EqualsIgnoreCase(base, device)) return true;
  if (base.size() == 4) {
    const std::string_view stem = base.substr(0, 3);
    const char digit = base[3];
    if (EqualsIgnoreCase(stem, "COM") && digit >= '1' && digit <= '4') return true;
    if (EqualsIgnoreCase(stem, "LPT") && digit >= '1' && digit <= '3') return true;
  }
  return false;
}

// False when a name is one Windows refuses.
bool ApplyNames(std::string_view rest, std::vector<std::string>* names) {
  std::size_t i = 0;
  while (i < rest.size()) {
    while (i < rest.size() && IsSeparator(rest[i])) ++i;
    std::size_t end = i;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const std::string_view name = rest.substr(i, end - i);
    if (name == "..") {
      if (!names->empty()) names->pop_back();
    } else if (!name.empty() && name != ".") {
      // A name of nothing but dots and blanks ("...", " ", ". ") would be
      // left empty, and "." and ".." are the only such names with a
      // meaning: it is refused.
      const std::string kept = WithoutTrailingDotsAndBlanks(name);
      if (kept.empty() || IsRefusedName(kept)) return false;
      names->emplace_back(kept);
    }
    i = end;
  }
  return true;
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
  if (!ApplyNames(rest, &result.names)) return false;
  *out = std::move(result);
  return true;
}

// Windows 95/98 drop the dots and blanks a name ends in, in every part of
// a path: "CABS." and "CABS " are the folder CABS, "INF \IRMINI.INF" lies in
// INF, "X..\Y" in X, and a file created as "X." is named X.
std::string WithoutTrailingDotsAndBlanks(std::string_view name) {
  if (name == "." || name == "..") return std::string(name);
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
  return std::string(name);
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

bool IsDriveFolderName(std::string_view name) {
  return name.size() == 7 && name.compare(0, 6, "drive_") == 0 && name[6] >= 'a' &&
         name[6] <= 'z';
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
