#include "setup/text_substitution.h"

#include <cstring>

#include "setup/text.h"

namespace nl {

namespace {

// Positions are tested in blocks of this many at once.
constexpr std::size_t kBlock = 64;

bool IsAsciiLetter(unsigned char c) {
  return UpperAscii(c) >= 'A' && UpperAscii(c) <= 'Z';
}

bool MatchesAt(const SubstitutionScan& scan, const unsigned char* at) {
  for (std::size_t i = 0; i < scan.searchLength; ++i) {
    if (UpperAscii(at[i]) != UpperAscii(scan.search[i])) return false;
  }
  return true;
}

unsigned char Mark(const SubstitutionScan& scan, unsigned char first,
                   unsigned char last) {
  return static_cast<unsigned char>(
      ((first | scan.firstFold) == scan.firstWant) &
      ((last | scan.lastFold) == scan.lastWant));
}

// Whether any of the kBlock positions from `at` passes the quick test. A
// loop of fixed length without stores, which the compiler turns into vector
// instructions: most blocks of a file end here.
bool BlockHasCandidate(const SubstitutionScan& scan, const unsigned char* at) {
  const unsigned char* tail = at + scan.searchLength - 1;
  unsigned char any = 0;
  for (std::size_t k = 0; k < kBlock; ++k) any |= Mark(scan, at[k], tail[k]);
  return any != 0;
}

// Sets marks[k] to 1 for each of the `count` positions from `at` that passes
// the quick test, 0 for the others (a whole block in vector instructions).
void MarkCandidates(const SubstitutionScan& scan, const unsigned char* at,
                    std::size_t count, unsigned char* marks) {
  const unsigned char* tail = at + scan.searchLength - 1;
  if (count == kBlock) {
    for (std::size_t k = 0; k < kBlock; ++k) marks[k] = Mark(scan, at[k], tail[k]);
  } else {
    for (std::size_t k = 0; k < count; ++k) marks[k] = Mark(scan, at[k], tail[k]);
  }
}

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
  const unsigned char first = scan.search[0];
  const unsigned char last = scan.search[scan.searchLength - 1];
  scan.firstFold = IsAsciiLetter(first) ? 0x20 : 0;
  scan.firstWant = first | scan.firstFold;
  scan.lastFold = IsAsciiLetter(last) ? 0x20 : 0;
  scan.lastWant = last | scan.lastFold;
  return scan;
}

// Finds, from each resume point, the leftmost occurrence: the same output as
// trying every byte in turn. Blocks of positions are screened at once, and
// only the positions that pass the quick test are compared in full.
std::size_t ScanChunk(SubstitutionScan& scan, const unsigned char* data,
                      std::size_t size, bool atEnd) {
  const std::size_t length = scan.searchLength;
  const unsigned char* end = data + size;
  const unsigned char* runStart = data;  // first byte not yet emitted
  const unsigned char* at = data;        // first position not yet tested
  while (static_cast<std::size_t>(end - at) >= length) {
    std::size_t count = static_cast<std::size_t>(end - at) - length + 1;
    if (count > kBlock) count = kBlock;
    if (count < kBlock || BlockHasCandidate(scan, at)) {
      unsigned char marks[kBlock];
      MarkCandidates(scan, at, count, marks);
      const unsigned char* mark = marks;
      const unsigned char* marksEnd = marks + count;
      while ((mark = static_cast<const unsigned char*>(std::memchr(
                  mark, 1, static_cast<std::size_t>(marksEnd - mark)))) !=
             nullptr) {
        const unsigned char* candidate = at + (mark - marks);
        ++mark;
        // A position inside an occurrence just replaced is not tried.
        if (candidate < runStart || !MatchesAt(scan, candidate)) continue;
        if (candidate > runStart) {
          scan.sink(scan.sinkContext, runStart,
                    static_cast<std::size_t>(candidate - runStart));
        }
        scan.sink(scan.sinkContext, scan.replacement, scan.replacementLength);
        scan.replaced = 1;
        runStart = candidate + length;
      }
    }
    at += count;
    if (at < runStart) at = runStart;
  }
  // Fewer bytes than a whole occurrence are left: at the end of the input
  // they are copied as they are, otherwise they wait for the next chunk.
  if (atEnd) at = end;
  if (at > runStart) {
    scan.sink(scan.sinkContext, runStart,
              static_cast<std::size_t>(at - runStart));
  }
  return static_cast<std::size_t>(at - data);
}

}  // namespace nl
