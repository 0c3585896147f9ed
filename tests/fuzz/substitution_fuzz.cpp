// Checks the streaming INF substitution against the plain model on random
// texts, search texts, replacements and chunkings.
//
// Input layout: byte 0 = search length (1..32), byte 1 = replacement length
// (0..63), byte 2 = chunk size seed; then the search text, the replacement
// and the content.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "../support/chunked_scan.h"
#include "../support/substitution_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size < 3) return 0;
  std::size_t searchLength = 1 + data[0] % 32;
  std::size_t replacementLength = data[1] % 64;
  std::size_t chunkSeed = data[2];
  std::size_t at = 3;
  if (size < at + searchLength + replacementLength) return 0;
  std::string search(reinterpret_cast<const char*>(data + at), searchLength);
  at += searchLength;
  std::string replacement(reinterpret_cast<const char*>(data + at),
                          replacementLength);
  at += replacementLength;
  std::string content(reinterpret_cast<const char*>(data + at), size - at);
  // The installer's texts never contain a zero byte; the scanner takes them
  // as zero-terminated strings.
  if (search.find('\0') != std::string::npos ||
      replacement.find('\0') != std::string::npos) {
    return 0;
  }

  bool modelReplaced = false;
  std::string expected =
      nl::testing::ModelSubstitute(content, search, replacement, &modelReplaced);
  std::vector<std::size_t> chunkings[] = {
      {},  // everything at once
      {1},
      {1 + chunkSeed % 7, 1 + chunkSeed % 13, 1 + chunkSeed % 3},
      {searchLength > 1 ? searchLength - 1 : 1},
  };
  for (const auto& chunks : chunkings) {
    int replaced = 0;
    std::string actual = nl::testing::ScanInChunks(content, search,
                                                   replacement, chunks,
                                                   &replaced);
    if (actual != expected || (replaced != 0) != modelReplaced) std::abort();
  }
  return 0;
}
