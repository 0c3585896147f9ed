#include "setup/text_substitution.h"

#include <cstring>

#include "setup/text.h"

namespace nl {

namespace {

unsigned char LowerAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

bool MatchesAt(const SubstitutionScan& scan, const unsigned char* at) {
  for (std::size_t i = 0; i < scan.searchLength; ++i) {
    if (UpperAscii(at[i]) != UpperAscii(scan.search[i])) return false;
  }
  return true;
}

// Finds the next byte equal to the search text's first byte in either letter
// case. memchr per case keeps long runs without candidates at copy speed; the
// position found for each case is remembered until the scan passes it.
struct CandidateFinder {
  unsigned char upper;
  unsigned char lower;
  const unsigned char* nextUpper;  // null: not searched yet
  const unsigned char* nextLower;
  const unsigned char* end;

  const unsigned char* Next(const unsigned char* from) {
    Refresh(nextUpper, upper, from);
    if (lower == upper) return nextUpper;
    Refresh(nextLower, lower, from);
    if (nextUpper == end) return nextLower;
    if (nextLower == end) return nextUpper;
    return nextUpper < nextLower ? nextUpper : nextLower;
  }

  void Refresh(const unsigned char*& next, unsigned char wanted,
               const unsigned char* from) {
    if (next != nullptr && (next == end || next >= from)) return;
    const void* hit = std::memchr(from, wanted, static_cast<std::size_t>(end - from));
    next = hit ? static_cast<const unsigned char*>(hit) : end;
  }
};

}  // namespace

SubstitutionScan MakeSubstitutionScan(const char* search,
                                      const char* replacement, ByteSink sink,
                                      void* sinkContext) {
  SubstitutionScan scan;
  scan.search = reinterpret_cast<const unsigned char*>(search);
  scan.searchLength = std::strlen(search);
  scan.replacement = reinterpret_cast<const unsigned char*>(replacement);
  scan.replacementLength = std::strlen(replacement);
  scan.sink = sink;
  scan.sinkContext = sinkContext;
  scan.replaced = 0;
  return scan;
}

std::size_t ScanChunk(SubstitutionScan& scan, const unsigned char* data,
                      std::size_t size, bool atEnd) {
  const unsigned char* end = data + size;
  CandidateFinder finder{UpperAscii(scan.search[0]),
                         LowerAscii(scan.search[0]), nullptr, nullptr, end};
  const unsigned char* runStart = data;  // first byte not yet emitted
  const unsigned char* at = data;
  while (at < end) {
    const unsigned char* candidate = finder.Next(at);
    if (candidate == end) {
      at = end;
      break;
    }
    at = candidate;
    if (static_cast<std::size_t>(end - at) < scan.searchLength) {
      // Too few bytes left for a whole occurrence: at the end of the input
      // they are copied as they are, otherwise they wait for the next chunk.
      if (atEnd) at = end;
      break;
    }
    if (MatchesAt(scan, at)) {
      if (at > runStart) {
        scan.sink(scan.sinkContext, runStart,
                  static_cast<std::size_t>(at - runStart));
      }
      scan.sink(scan.sinkContext, scan.replacement, scan.replacementLength);
      scan.replaced = 1;
      at += scan.searchLength;
      runStart = at;
    } else {
      ++at;
    }
  }
  if (at > runStart) {
    scan.sink(scan.sinkContext, runStart,
              static_cast<std::size_t>(at - runStart));
  }
  return static_cast<std::size_t>(at - data);
}

}  // namespace nl
