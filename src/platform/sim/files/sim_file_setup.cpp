// The simulated files' host folder, system image copies, and the setup and
// inspection calls.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "platform/sim/files/host_io.h"
#include "platform/sim/files/plain_tree.h"
#include "platform/sim/files/sim_files.h"
#include "platform/sim/sim_text.h"

namespace fs = std::filesystem;

namespace nl::sim {

SimFiles::SimFiles(std::string hostRoot, bool owned)
    : hostRoot_(std::move(hostRoot)), ownsHostRoot_(owned) {
  currentDir_.drive = 'C';
  fs::create_directories(DriveFolder(hostRoot_, 'C'));
}

SimFiles::~SimFiles() {
  for (auto& entry : files_) {
    Flush(entry.second);
    ::close(entry.second.fd);
  }
  if (ownsHostRoot_) {
    std::error_code ignored;
    fs::remove_all(hostRoot_, ignored);
  }
}

void SimFiles::CopyDrivesFrom(const std::string& dir) {
  FlushAll();
  // The image is a customer's: copied as a tree of plain files, within the
  // image limits, every drive checked before anything is copied.
  TreeBudget budget;
  std::vector<std::string> drives;
  for (const PlainEntry& entry : ListPlainFolder(dir))
    if (entry.folder && IsDriveFolderName(entry.relative)) {
      ListPlainTree(dir + "/" + entry.relative, &budget);
      drives.push_back(entry.relative);
    }
  for (const std::string& drive : drives) {
    TreeBudget again;
    CopyPlainTree(dir + "/" + drive, hostRoot_ + "/" + drive, &again);
  }
  for (auto& entry : files_) entry.second.readLen = 0;
}

void SimFiles::CopyDrivesTo(const std::string& dir) {
  FlushAll();
  TreeBudget budget;
  for (const PlainEntry& entry : ListPlainFolder(hostRoot_))
    if (entry.folder && IsDriveFolderName(entry.relative))
      CopyPlainTree(hostRoot_ + "/" + entry.relative, dir + "/" + entry.relative, &budget);
}

void SimFiles::AddDrive(char letter) {
  fs::create_directories(DriveFolder(hostRoot_, FoldUpper(letter)));
}

void SimFiles::SetDriveKind(char letter, DriveKind kind) {
  letter = FoldUpper(letter);
  driveKinds_[letter] = kind;
  if (HasMedium(kind)) AddDrive(letter);
}

DriveKind SimFiles::DriveKindOf(char letter) const {
  letter = FoldUpper(letter);
  auto it = driveKinds_.find(letter);
  if (it != driveKinds_.end()) return it->second;
  std::error_code ec;
  return fs::is_directory(DriveFolder(hostRoot_, letter), ec) ? DriveKind::kFixed
                                                               : DriveKind::kNone;
}

std::map<char, DriveKind> SimFiles::DriveKinds() const {
  std::map<char, DriveKind> kinds;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const DriveKind kind = DriveKindOf(letter);
    if (kind != DriveKind::kNone || driveKinds_.count(letter)) kinds[letter] = kind;
  }
  return kinds;
}

void SimFiles::SetCurrentDirectory(const std::string& path) {
  WinPath parsed;
  if (!ParseWinPath(path, currentDir_, &parsed))
    throw std::invalid_argument("bad path: " + path);
  currentDir_ = parsed;
}

void SimFiles::MakeDirectory(const std::string& path) {
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

void SimFiles::WriteFileText(const std::string& path, const std::string& bytes) {
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

std::string SimFiles::ReadFileText(const std::string& path) {
  FlushAll();
  std::string bytes;
  if (!ReadWholeFile(ResolveOrThrow(path), &bytes))
    throw std::runtime_error("cannot read " + path);
  return bytes;
}

bool SimFiles::FileExists(const std::string& path) {
  std::string host;
  struct stat st;
  return Resolve(path.c_str(), &host, nullptr) && StatPath(host, &st);
}

std::string SimFiles::HostPath(const std::string& path) {
  FlushAll();
  std::string host;
  return Resolve(path.c_str(), &host, nullptr) ? host : std::string();
}

void SimFiles::SetReadOnly(const std::string& path, bool readOnly) {
  const std::string host = ResolveOrThrow(path);
  struct stat st;
  if (!StatPath(host, &st)) throw std::runtime_error("no such file: " + path);
  const mode_t mode = readOnly ? (st.st_mode & 0555) : (st.st_mode | S_IWUSR);
  ::chmod(host.c_str(), mode & 0777);
}

void SimFiles::HoldOpen(const std::string& path, std::uint32_t access,
                        std::uint32_t share) {
  const std::string host = ResolveOrThrow(path);
  struct stat st;
  if (!StatPath(host, &st)) throw std::runtime_error("no such file: " + path);
  held_[host].push_back(
      Opener{(access & kGenericRead) != 0, (access & kGenericWrite) != 0, share});
}

void SimFiles::Release(const std::string& path) {
  const std::string host = ResolveOrThrow(path);
  auto it = held_.find(host);
  if (it == held_.end()) return;
  it->second.pop_back();
  if (it->second.empty()) held_.erase(it);
}

std::vector<std::string> SimFiles::OpenFilePaths() const {
  std::vector<std::string> out;
  for (const auto& entry : files_) out.push_back(entry.second.winPath);
  return out;
}

}  // namespace nl::sim
