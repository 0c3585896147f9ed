// Windows paths of the simulated system and their place on the host.
//
// Drive X: lives in the host folder <hostRoot>/drive_x (lower-case letter);
// a drive without its folder is missing, and every operation on it fails.
// Names are found ignoring ASCII letter case component by component, as
// Windows does: an existing host name is used whatever its case, a new file
// is created with the case it was given.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nl::sim {

struct WinPath {
  char drive = 'C';  // upper case
  std::vector<std::string> names;  // below the drive's root
};

// Makes `path` absolute: "X:\..." as is, "\..." from the root of the current
// drive, "X:name" and plain relative names from the current directory (of
// that drive only when it is the current one, else from its root). "." and
// ".." are applied and repeated backslashes (or slashes) collapse. Every
// name loses the dots and blanks it ends in, as on Windows 95/98 ("CABS."
// and "CABS " are CABS, "X..\Y" is X\Y). UNC paths, empty paths and names
// Windows 95/98 refuses (a control byte or one of < > : " | ? * in a name,
// a name of dots and blanks only other than "." and "..", the device names
// CON, AUX, PRN, NUL, COM1-COM4 and LPT1-LPT3, with or without an
// extension) are refused (false), so every call on such a path fails as it
// fails there.
bool ParseWinPath(std::string_view path, const WinPath& current, WinPath* out);

// "C:\WINDOWS\INF"; "C:\" for a root.
std::string FormatWinPath(const WinPath& path);
// A name without the dots and blanks it ends in, as Windows 95/98 take it
// ("CABS." is CABS); "." and ".." stay as they are, and a name of nothing
// else becomes empty.
std::string WithoutTrailingDotsAndBlanks(std::string_view name);

// <hostRoot>/drive_x
std::string DriveFolder(const std::string& hostRoot, char drive);
// Whether a host folder name is that of a drive: "drive_" and a lower-case
// letter.
bool IsDriveFolderName(std::string_view name);

// The host path of `path`: every folder on the way must exist (found
// ignoring case); the last name is matched ignoring case when present and
// kept as given when not. False when the drive or a folder is missing.
bool ResolveOnHost(const std::string& hostRoot, const WinPath& path,
                   std::string* hostPath);

}  // namespace nl::sim
