// reg_bench: times loading, exporting and comparing 5 MB .reg files of the
// shapes that strain a loader: many keys, many values in one key, values
// added to one key and then deleted again one by one, long hex lists going on
// over many lines, keys nested to the Windows limit, a line warned about
// repeated, and value names chosen to share one std::hash.
//
//   reg_bench [--size MB] [--runs N] [--shape TEXT]
//
// --shape runs only the shapes whose name contains TEXT.
//
// Prints, per shape, the file's size, keys and values, and the median wall
// times of the load (ImportRegFile into an empty registry), the export
// (ExportRegFile) and the key-by-key account against the same registry with
// one value changed, and the process's peak memory so far.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cstdint>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "regfile/reg_account.h"
#include "regfile/reg_file.h"

namespace {

using nl::regfile::RegNode;

struct Shape {
  const char* name;
  std::function<std::string(std::size_t)> make;  // a file of about that size
};

std::string ManyKeys(std::size_t size) {
  std::string out = "REGEDIT4\n\n";
  char line[160];
  for (int i = 0; out.size() < size; ++i) {
    std::snprintf(line, sizeof line,
                  "[HKEY_LOCAL_MACHINE\\Enum\\Root\\Bench%04d\\%04d]\n\"Class\"=\"Net\"\n"
                  "\"ConfigFlags\"=hex:00,00,00,00\n\n", i / 1000, i % 1000);
    out += line;
  }
  return out;
}

std::string ManyValues(std::size_t size) {
  std::string out = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Wide]\n";
  char line[80];
  for (int i = 0; out.size() < size; ++i) {
    std::snprintf(line, sizeof line, "\"Value%06d\"=\"data %d\"\n", i, i);
    out += line;
  }
  return out + "\n";
}

// Tens of thousands of values added to one key, then each deleted again
// with a "name"=- line, oldest first: a deletion that moves the values behind
// it would cost time in proportion to the key's value count.
std::string AddedThenDeleted(std::size_t size) {
  std::string added, deleted;
  char line[80];
  const std::string head = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Churn]\n";
  for (int i = 0; head.size() + added.size() + deleted.size() < size; ++i) {
    std::snprintf(line, sizeof line, "\"Value%06d\"=\"data %d\"\n", i, i);
    added += line;
    std::snprintf(line, sizeof line, "\"Value%06d\"=-\n", i);
    deleted += line;
  }
  return head + added + deleted + "\n";
}

// Written by the exporter, which wraps a long hex list over lines of at
// most 76 columns as regedit does.
std::string LongHex(std::size_t size) {
  std::string out = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Blobs]\n";
  // four values of about three text bytes a byte, and a line break every 25
  const std::size_t perValue = size / 4 * 25 / 79;
  for (int v = 0; v < 4; ++v) {
    std::string bytes(perValue, '\0');
    for (std::size_t i = 0; i < perValue; ++i)
      bytes[i] = static_cast<char>((i * 7 + static_cast<std::size_t>(v)) & 0xFF);
    out += nl::regfile::RegValueText({"Blob" + std::to_string(v), nl::kRegBinary, bytes}) + "\n";
  }
  return out + "\n";
}

std::string DeepKeys(std::size_t size) {
  std::string out = "REGEDIT4\n\n";
  for (int tree = 0; out.size() < size; ++tree) {
    std::string path = "HKEY_LOCAL_MACHINE\\Deep" + std::to_string(tree);
    for (std::size_t level = 1; level < nl::regfile::kMaxKeyDepth && out.size() < size; ++level) {
      path += "\\L";
      out += "[" + path + "]\n\"Level\"=dword:" + std::to_string(level % 10) + "\n\n";
    }
  }
  return out;
}

// A line regedit skips, repeated: each is warned about, and only the first
// warnings are kept whole.
std::string WarnedLines(std::size_t size) {
  std::string out = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Flood]\n";
  while (out.size() < size) out += "x\n";
  return out;
}

// Value names chosen so that every one has the same std::hash, as a file
// aimed at a hash-table index would choose them. std::hash of a string is
// MurmurHash64A: each 8-byte block k goes in as h = (h ^ f(k)) * m with an
// invertible f. Flipping the top bit of f(k) for two blocks in a row
// leaves h the same whatever it was (the flip survives the odd multiplier
// as a flip of the top bit, and the second one cancels it), so each 16-byte
// place of a name has two spellings, and n places give 2^n names of one
// hash. The spellings avoid lower-case letters (the index folds case),
// quotes, backslashes, NUL and line ends.
constexpr std::uint64_t kMurmurMul = 0xc6a4a7935bd1e995ull;

std::uint64_t MurmurBlock(std::uint64_t k) {
  k *= kMurmurMul;
  return (k ^ (k >> 47)) * kMurmurMul;
}

std::uint64_t UnMurmurBlock(std::uint64_t d) {
  std::uint64_t inverse = kMurmurMul;  // Newton's iteration for 1/m mod 2^64
  for (int i = 0; i < 6; ++i) inverse *= 2 - kMurmurMul * inverse;
  std::uint64_t v = d * inverse;
  v ^= v >> 47;
  return v * inverse;
}

bool UsableBlock(std::uint64_t k) {
  for (int i = 0; i < 8; ++i) {
    const auto c = static_cast<unsigned char>(k >> (8 * i));
    if (c == 0 || c == '\n' || c == '\r' || c == '"' || c == '\\' || (c >= 'a' && c <= 'z'))
      return false;
  }
  return true;
}

std::string Bytes(std::uint64_t k) {
  std::string out(8, '\0');
  for (int i = 0; i < 8; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>(k >> (8 * i));
  return out;
}

std::string OneHashNames(std::size_t size) {
  std::uint64_t seed = 0x9e3779b97f4a7c15ull;
  std::string spelling[2];
  for (;;) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    const std::uint64_t y1 = seed, y2 = seed * 0x2545f4914f6cdd1dull;
    const std::uint64_t blocks[4] = {UnMurmurBlock(y1), UnMurmurBlock(y2),
                                     UnMurmurBlock(y1 ^ (1ull << 63)),
                                     UnMurmurBlock(y2 ^ (1ull << 63))};
    if (std::all_of(std::begin(blocks), std::end(blocks), UsableBlock) &&
        MurmurBlock(blocks[0]) == y1) {
      spelling[0] = Bytes(blocks[0]) + Bytes(blocks[1]);
      spelling[1] = Bytes(blocks[2]) + Bytes(blocks[3]);
      break;
    }
  }
  constexpr int kPlaces = 15;  // 32768 names of 240 bytes
  std::string out = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Collide]\n";
  std::size_t hash = 0;
  for (unsigned n = 0; n < (1u << kPlaces) && out.size() < size; ++n) {
    std::string name;
    for (int place = 0; place < kPlaces; ++place) name += spelling[(n >> place) & 1];
    const std::size_t h = std::hash<std::string>{}(name);
    if (n == 0) hash = h;
    if (h != hash) {
      std::fprintf(stderr, "reg_bench: the chosen names do not share one std::hash\n");
      std::exit(1);
    }
    out += "\"" + name + "\"=\"x\"\n";
  }
  return out + "\n";
}

double Milliseconds(const std::function<void()>& work, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(std::chrono::duration<double, std::milli>(
                        std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

long PeakKb() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void Count(const RegNode& root, std::size_t* keys, std::size_t* values) {
  std::vector<const RegNode*> pending{&root};
  while (!pending.empty()) {
    const RegNode* node = pending.back();
    pending.pop_back();
    ++*keys;
    *values += node->values.size();
    for (const auto& child : node->subkeys) pending.push_back(child.get());
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t megabytes = 5;
  int runs = 7;
  const char* only = "";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--size")) megabytes = std::strtoul(argv[i + 1], nullptr, 10);
    else if (!std::strcmp(argv[i], "--runs")) runs = std::max(1, std::atoi(argv[i + 1]));
    else if (!std::strcmp(argv[i], "--shape")) only = argv[i + 1];
  }
  const Shape shapes[] = {{"many keys", ManyKeys},
                          {"many values in one key", ManyValues},
                          {"values added, deleted", AddedThenDeleted},
                          {"long hex lists", LongHex},
                          {"keys 511 levels deep", DeepKeys},
                          {"lines warned about", WarnedLines},
                          {"names of one std::hash", OneHashNames}};
  std::printf("%-24s %8s %8s %8s %9s %9s %10s %9s\n", "shape", "MB", "keys", "values",
              "load ms", "export ms", "account ms", "peak KB");
  for (const Shape& shape : shapes) {
    if (!std::strstr(shape.name, only)) continue;
    const std::string file = shape.make(megabytes << 20);
    RegNode loaded;
    nl::regfile::ImportRegFile(file, &loaded);
    std::size_t keys = 0, values = 0;
    Count(loaded, &keys, &values);
    const double load = Milliseconds([&] {
      RegNode root;
      nl::regfile::ImportRegFile(file, &root);
    }, runs);
    std::string exported;
    const double exportMs = Milliseconds([&] { exported = nl::regfile::ExportRegFile(loaded); }, runs);
    RegNode changed;
    nl::regfile::ImportRegFile(exported, &changed);
    changed.AddSubkey("Bench changed")->SetValue("Port", nl::kRegSz, std::string("0\0", 2));
    const double account = Milliseconds([&] { nl::regfile::RegistryAccount(loaded, changed); }, runs);
    std::printf("%-24s %8.2f %8zu %8zu %9.1f %9.1f %10.1f %9ld\n", shape.name,
                static_cast<double>(file.size()) / (1 << 20), keys, values, load, exportMs,
                account, PeakKb());
  }
  return 0;
}
