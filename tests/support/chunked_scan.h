// Runs the streaming scanner over a text split into chunks of the given
// sizes, carrying undecided bytes into the next chunk as a file rewrite does.
#pragma once

#include <string>
#include <vector>

#include "setup/text_substitution.h"

namespace nl::testing {

inline void AppendToString(void* context, const unsigned char* bytes,
                           std::size_t count) {
  static_cast<std::string*>(context)->append(
      reinterpret_cast<const char*>(bytes), count);
}

// `chunkSizes` is used cyclically; a size of 0 counts as 1.
inline std::string ScanInChunks(const std::string& input,
                                const std::string& search,
                                const std::string& replacement,
                                const std::vector<std::size_t>& chunkSizes,
                                int* replaced = nullptr) {
  std::string out;
  SubstitutionScan scan = MakeSubstitutionScan(
      search.c_str(), replacement.c_str(), AppendToString, &out);
  std::string window;
  std::size_t next = 0;
  std::size_t chunk = 0;
  for (;;) {
    std::size_t size = chunkSizes.empty() ? input.size()
                                          : chunkSizes[chunk++ % chunkSizes.size()];
    if (size == 0) size = 1;
    std::string piece = input.substr(next, size);
    next += piece.size();
    bool atEnd = piece.empty();
    window += piece;
    std::size_t consumed = ScanChunk(
        scan, reinterpret_cast<const unsigned char*>(window.data()),
        window.size(), atEnd);
    window.erase(0, consumed);
    if (atEnd) break;
  }
  if (replaced) *replaced = scan.replaced;
  return out;
}

}  // namespace nl::testing
