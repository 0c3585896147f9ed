// The byte-level substitution used on INF files: every occurrence of a search
// text, compared ignoring ASCII letter case, becomes the replacement text.
// Occurrences are found left to right; after a failed candidate the scan goes
// on one byte later, after a match it goes on behind the matched text, and
// the replacement is never scanned again. An occurrence cut off by the end of
// the input is copied unchanged.
//
// The scanner works on consecutive chunks of a stream, so a file of any size
// is rewritten with fixed memory.
#pragma once

#include <cstddef>

namespace nl {

// Receives output bytes in order.
using ByteSink = void (*)(void* context, const unsigned char* bytes,
                          std::size_t count);

struct SubstitutionScan {
  const unsigned char* search;
  std::size_t searchLength;  // at least 1
  const unsigned char* replacement;
  std::size_t replacementLength;
  ByteSink sink;
  void* sinkContext;
  int replaced;  // set to 1 once a replacement has been emitted
  // Quick test of a position before the exact comparison: two bytes of the
  // search text that are rare in INF text, at `probeOffset` into the
  // position, with the bit `probeFold` set, must equal `probeWant`. The fold
  // is 0x20 where the search byte is a letter, so both cases pass (and a few
  // other bytes, which the exact comparison then rejects).
  std::size_t probeOffset[2];
  unsigned char probeFold[2];
  unsigned char probeWant[2];
};

SubstitutionScan MakeSubstitutionScan(const char* search,
                                      const char* replacement, ByteSink sink,
                                      void* sinkContext);

// Scans data[0..size) and emits its output. Unless `atEnd`, a possible match
// that runs past the end of the data is left undecided: the return value is
// the number of bytes consumed, and the caller passes the rest again in front
// of the next chunk (fewer than searchLength bytes). With `atEnd` every byte
// is consumed.
std::size_t ScanChunk(SubstitutionScan& scan, const unsigned char* data,
                      std::size_t size, bool atEnd);

}  // namespace nl
