#include "changes.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/sim/files/plain_tree.h"
#include "platform/sim/files/sim_paths.h"
#include "report_text.h"

namespace fs = std::filesystem;

namespace simrun {

namespace {

using nl::sim::PlainEntry;
using nl::sim::TreeBudget;

// Files up to this size are read whole and shown as a diff; larger ones are
// compared by size and content only, a piece at a time.
constexpr std::uint64_t kMaxDiffBytes = 4ull << 20;
constexpr std::size_t kCompareChunk = 256 * 1024;

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool LooksLikeText(const std::string& bytes) {
  return bytes.find('\0') == std::string::npos;
}

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

struct HostFile {
  std::string path;
  std::uint64_t size = 0;
};

// Every file below the drive folders, by path relative to `root`.
std::map<std::string, HostFile> ListFiles(const std::string& root) {
  std::map<std::string, HostFile> files;
  if (!fs::is_directory(root)) return files;
  TreeBudget budget;
  for (const PlainEntry& drive : nl::sim::ListPlainFolder(root)) {
    if (!drive.folder || !nl::sim::IsDriveFolderName(drive.relative)) continue;
    const std::string base = root + "/" + drive.relative;
    for (const PlainEntry& entry : nl::sim::ListPlainTree(base, &budget))
      if (!entry.folder)
        files[drive.relative + "/" + entry.relative] = {base + "/" + entry.relative, entry.size};
  }
  return files;
}

// Byte for byte, a piece at a time; the sizes are known to be equal.
bool SameBytes(const HostFile& a, const HostFile& b) {
  if (a.size != b.size) return false;
  std::ifstream ina(a.path, std::ios::binary), inb(b.path, std::ios::binary);
  std::vector<char> bufa(kCompareChunk), bufb(kCompareChunk);
  while (ina && inb) {
    ina.read(bufa.data(), kCompareChunk);
    inb.read(bufb.data(), kCompareChunk);
    if (ina.gcount() != inb.gcount() ||
        !std::equal(bufa.begin(), bufa.begin() + ina.gcount(), bufb.begin()))
      return false;
  }
  return ina.eof() && inb.eof();
}

// FNV-1a over the file: a quick filter for finding copies, each match then
// confirmed byte for byte (so chosen collisions only cost a comparison).
std::uint64_t Checksum(const HostFile& file) {
  std::uint64_t hash = 1469598103934665603ull;
  std::ifstream in(file.path, std::ios::binary);
  std::vector<char> buf(kCompareChunk);
  while (in) {
    in.read(buf.data(), kCompareChunk);
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
      hash ^= static_cast<unsigned char>(buf[static_cast<std::size_t>(i)]);
      hash *= 1099511628211ull;
    }
  }
  return hash;
}

// drive_c/WINDOWS/INF/IRMINI.INF -> C:\WINDOWS\INF\IRMINI.INF, control
// bytes escaped (code page 1252 still).
std::string WindowsPath(const std::string& relative) {
  std::string out(1, static_cast<char>(relative[6] - 'a' + 'A'));
  out += ":";
  std::string rest = relative.substr(7);
  for (char& c : rest)
    if (c == '/') c = '\\';
  return EscapeControls(out + (rest.empty() ? "\\" : rest), false);
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
  return out;
}

std::string DriveChanges(const std::string& beforeRoot, const std::string& afterRoot) {
  const auto before = ListFiles(beforeRoot);
  const auto after = ListFiles(afterRoot);
  // Files of the image by size, in name order, for telling copies.
  std::map<std::uint64_t, std::vector<const std::string*>> bySize;
  for (const auto& [rel, file] : before) bySize[file.size].push_back(&rel);
  std::map<std::string, std::uint64_t> checksums;
  const auto checksumOf = [&](const std::string& rel) {
    auto it = checksums.find(rel);
    if (it == checksums.end()) it = checksums.emplace(rel, Checksum(before.at(rel))).first;
    return it->second;
  };
  std::ostringstream out;
  std::map<std::string, int> all;
  for (const auto& entry : before) all[entry.first] |= 1;
  for (const auto& entry : after) all[entry.first] |= 2;
  for (const auto& [rel, where] : all) {
    const HostFile* old = where & 1 ? &before.at(rel) : nullptr;
    const HostFile* now = where & 2 ? &after.at(rel) : nullptr;
    if (old && now && SameBytes(*old, *now)) continue;
    const char* what = !now ? "removed" : !old ? "added" : "changed";
    out << what << ": " << WindowsPath(rel) << " (" << (now ? now->size : old->size) << " bytes)";
    bool copy = false;
    if (!old) {
      auto same = bySize.find(now->size);
      if (same != bySize.end()) {
        const std::uint64_t sum = Checksum(*now);
        for (const std::string* original : same->second)
          if (checksumOf(*original) == sum && SameBytes(before.at(*original), *now)) {
            out << ", a copy of " << WindowsPath(*original);
            copy = true;
            break;
          }
      }
    }
    const bool small = (!old || old->size <= kMaxDiffBytes) && (!now || now->size <= kMaxDiffBytes);
    if (!copy && !small)
      out << ", over " << (kMaxDiffBytes >> 20) << " MB: compared by size and content, no diff shown";
    out << "\n";
    if (copy || !small) continue;
    const std::string oldBytes = old ? ReadHostFile(old->path) : std::string();
    const std::string nowBytes = now ? ReadHostFile(now->path) : std::string();
    if (LooksLikeText(oldBytes) && LooksLikeText(nowBytes))
      out << TextDiff(oldBytes, nowBytes, old ? "before/" + EscapeControls(rel, false) : "/dev/null",
                      now ? "after/" + EscapeControls(rel, false) : "/dev/null");
  }
  return out.str();
}

std::vector<nl::findings::FileChange> FileChangeList(const std::string& beforeRoot,
                                                     const std::string& afterRoot) {
  const auto before = ListFiles(beforeRoot);
  const auto after = ListFiles(afterRoot);
  std::vector<nl::findings::FileChange> changes;
  auto b = before.begin();
  auto a = after.begin();
  while (b != before.end() || a != after.end()) {
    const int order = b == before.end() ? 1 : a == after.end() ? -1 : b->first.compare(a->first);
    nl::findings::FileChange change;
    change.path = ShownText(WindowsPath(order <= 0 ? b->first : a->first));
    if (order < 0) {
      change.change = "removed";
      change.sizeBefore = (b++)->second.size;
    } else if (order > 0) {
      change.change = "added";
      change.sizeAfter = (a++)->second.size;
    } else {
      const HostFile& old = (b++)->second;
      const HostFile& now = (a++)->second;
      if (SameBytes(old, now)) continue;
      change.change = "changed";
      change.sizeBefore = old.size;
      change.sizeAfter = now.size;
    }
    changes.push_back(change);
  }
  return changes;
}

void CopyDrives(const std::string& from, const std::string& to) {
  fs::create_directories(to);
  TreeBudget budget;
  for (const PlainEntry& drive : nl::sim::ListPlainFolder(from))
    if (drive.folder && nl::sim::IsDriveFolderName(drive.relative))
      nl::sim::CopyPlainTree(from + "/" + drive.relative, to + "/" + drive.relative, &budget);
}

std::string ReadHostFile(const std::string& path) { return nl::sim::ReadPlainFile(path); }

}  // namespace simrun
