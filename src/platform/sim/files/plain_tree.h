// A customer's case on the host: a tree of plain files and folders, read and
// written without ever going through a link.
//
// What a customer sends (an image folder unpacked from an archive, a
// registry export, INF files) is untrusted. A symbolic link, a device, a
// FIFO, a socket or a file with other hard links anywhere in it is an error
// naming it: it is never opened, so nothing outside the case is read, and
// nothing is written through one. Two names in one folder that differ only
// in letter case are an error too: Windows holds one of them, and which one
// the simulated system met would depend on the host's folder order. Writing
// refuses a target that already
// holds something, so a copy never lands on a link laid there beforehand.
// Sizes are checked from the folder entries before a byte is copied.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace nl::sim {

// Well above any Windows 9x registry export or INF file (a full export of a
// well-used Windows 98 system is a few MB, the largest INF files of the
// system a few hundred KB).
constexpr std::uint64_t kMaxCaseFileBytes = 64ull << 20;
// The files of a whole image together.
constexpr std::uint64_t kMaxImageBytes = 256ull << 20;
// Files and folders of a whole image.
constexpr std::size_t kMaxImageEntries = 100000;

struct CaseFileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct PlainEntry {
  std::string relative;  // "WINDOWS/INF/IRMINI.INF", '/' between names
  bool folder = false;
  std::uint64_t size = 0;
};

// What a tree holds, folders before what they hold, each folder's entries
// by name. Throws CaseFileError naming the first entry that is not a plain
// file or folder, a file over kMaxCaseFileBytes, or a tree over
// kMaxImageBytes or kMaxImageEntries (`budget` counts bytes and entries
// across several trees of one image; pass the same one to each).
struct TreeBudget {
  std::uint64_t bytes = 0;
  std::size_t entries = 0;
};
std::vector<PlainEntry> ListPlainTree(const std::string& root, TreeBudget* budget);

// The entries of one folder (names only, sizes of files), checked as
// ListPlainTree checks them but not counted against a budget.
std::vector<PlainEntry> ListPlainFolder(const std::string& folder);

// Copies the tree `from` (checked whole as ListPlainTree checks it before
// anything is copied) into `to`, created when missing. A folder already
// there is used when it is a real folder and a plain file is replaced; a
// link or anything else there is an error, never written through.
void CopyPlainTree(const std::string& from, const std::string& to, TreeBudget* budget);

// A folder to write a new image into: created when missing; an error when it
// is a link, not a folder, or not empty.
void PrepareEmptyFolder(const std::string& path);

// The bytes of a plain file given by a customer (a link, device, FIFO,
// socket or folder is an error naming it, so is a file over `limit`).
std::string ReadPlainFile(const std::string& path, std::uint64_t limit = kMaxCaseFileBytes);

// Creates `path` (which must not exist) and writes `bytes`.
void WriteNewFile(const std::string& path, const std::string& bytes);

// "a symbolic link", "a FIFO", ... for an lstat mode; empty for a plain
// file or folder.
std::string OddEntryKind(unsigned mode);

}  // namespace nl::sim
