// libFuzzer target: image folders as an archive could lay them out. The
// input is a script that builds a tree in a scratch folder (files, folders,
// links to a host file and folder outside it, links within it, FIFOs, hard
// links to the host file, names differing only in letter case), which is
// then copied as an image's drive folder is. The copy either holds only
// plain files and folders with the same bytes, or is refused when the tree
// held anything else; the host file and folder outside are never changed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/files/plain_tree.h"

namespace fs = std::filesystem;

namespace {

const char kHostText[] = "host file\n";

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

[[noreturn]] void Fault(const char* what) {
  std::fprintf(stderr, "image_tree_fuzz: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fs::path top = [] {
    char name[] = "/tmp/image-tree-fuzz-XXXXXX";
    return fs::path(::mkdtemp(name));
  }();
  std::error_code ignored;
  fs::remove_all(top / "case", ignored);
  fs::remove_all(top / "copy", ignored);
  fs::remove_all(top / "host", ignored);
  const fs::path host = top / "host", hostFile = host / "secret.txt";
  fs::create_directories(host);
  std::ofstream(hostFile, std::ios::binary) << kHostText;
  const fs::path root = top / "case";
  fs::create_directories(root);

  static const char* const kNames[] = {"a", "A", "b", "INF", "inf", "x.inf", "X.INF", "sub"};
  std::vector<fs::path> folders = {root};
  bool odd = false;    // a link, FIFO or hard link was laid
  bool twins = false;  // two names of one folder differ only in letter case
  std::set<std::string> folded;
  for (std::size_t at = 0; at + 2 < size && folders.size() < 64; at += 3) {
    const fs::path& parent = folders[data[at + 1] % folders.size()];
    const fs::path path = parent / kNames[data[at + 2] % 8];
    if (::access(path.c_str(), F_OK) == 0 || fs::is_symlink(path)) continue;
    std::string upper = path.string();
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    twins |= !folded.insert(upper).second;
    switch (data[at] % 8) {
      case 0:
      case 1: std::ofstream(path, std::ios::binary) << std::string(data[at + 2] % 7, 'z'); break;
      case 2:
      case 3:
        fs::create_directory(path);
        folders.push_back(path);
        break;
      case 4: fs::create_symlink(data[at + 2] & 8 ? hostFile : host, path); odd = true; break;
      case 5: fs::create_symlink("..", path); odd = true; break;
      case 6: ::mkfifo(path.c_str(), 0644); odd = true; break;
      case 7: fs::create_hard_link(hostFile, path); odd = true; break;
    }
  }

  nl::sim::TreeBudget budget;
  bool copied = false;
  try {
    nl::sim::CopyPlainTree(root.string(), (top / "copy").string(), &budget);
    copied = true;
  } catch (const nl::sim::CaseFileError&) {
  }
  if (copied && odd) Fault("a tree with a link, FIFO or hard link was copied");
  if (copied && twins) Fault("a folder with two spellings of one name was copied");
  if (!copied && !odd && !twins) Fault("a tree of plain files and folders was refused");
  if (Read(hostFile) != kHostText) Fault("the host file was changed");
  std::size_t hostEntries = 0;
  for (auto it = fs::directory_iterator(host); it != fs::directory_iterator(); ++it) ++hostEntries;
  if (hostEntries != 1) Fault("something was written into the host folder");
  if (copied) {
    for (const auto& entry : fs::recursive_directory_iterator(top / "copy")) {
      const fs::path relative = fs::relative(entry.path(), top / "copy");
      if (entry.is_symlink() || !(entry.is_regular_file() || entry.is_directory()))
        Fault("the copy holds something other than files and folders");
      if (entry.is_regular_file() && Read(entry.path()) != Read(root / relative))
        Fault("a copied file differs");
    }
  }
  return 0;
}
