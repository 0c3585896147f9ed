#include "setup/text_substitution.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "setup/text.h"

namespace nl {

namespace {

// Positions are screened sixteen at a time.
constexpr std::size_t kGroup = 16;

bool IsAsciiLetter(unsigned char c) {
  return UpperAscii(c) >= 'A' && UpperAscii(c) <= 'Z';
}

// How often a byte turns up in INF text, roughly: line ends, blanks and the
// punctuation of keys and lists most, then letters from the most to the
// least frequent, then digits; all other bytes are rare.
int Commonness(unsigned char c) {
  static const char kLettersByFrequency[] = "ETAOINSHRDLCUMWFGYPBVKJXQZ";
  if (c == '\r' || c == '\n' || c == ' ' || c == '\t') return 100;
  if (c != 0 && std::strchr(",=\\._\"", c) != nullptr) return 80;
  if (IsAsciiLetter(c)) {
    const char* at = std::strchr(kLettersByFrequency, UpperAscii(c));
    return 70 - static_cast<int>(at - kLettersByFrequency);
  }
  if (c >= '0' && c <= '9') return 30;
  return 0;
}

bool MatchesAt(const SubstitutionScan& scan, const unsigned char* at) {
  for (std::size_t i = 0; i < scan.searchLength; ++i) {
    if (UpperAscii(at[i]) != UpperAscii(scan.search[i])) return false;
  }
  return true;
}

bool PassesQuickTest(const SubstitutionScan& scan, const unsigned char* at) {
  return (at[scan.probeOffset[0]] | scan.probeFold[0]) == scan.probeWant[0] &&
         (at[scan.probeOffset[1]] | scan.probeFold[1]) == scan.probeWant[1];
}

// The index of the lowest set bit of a non-zero group mask.
std::size_t LowestBit(unsigned bits) {
  return static_cast<std::size_t>(__builtin_ctz(bits));
}

// The quick test for kGroup positions at once: bit k of Test(at) is set when
// position at + k passes. Reads up to the search text's length minus one
// bytes behind the group.
#if defined(__SSE2__)
struct GroupTest {
  __m128i fold[2];
  __m128i want[2];
  std::size_t offset[2];

  explicit GroupTest(const SubstitutionScan& scan) {
    for (int i = 0; i < 2; ++i) {
      fold[i] = _mm_set1_epi8(static_cast<char>(scan.probeFold[i]));
      want[i] = _mm_set1_epi8(static_cast<char>(scan.probeWant[i]));
      offset[i] = scan.probeOffset[i];
    }
  }

  unsigned Test(const unsigned char* at) const {
    const __m128i one = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + offset[0]));
    const __m128i two = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + offset[1]));
    const __m128i passes =
        _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(one, fold[0]), want[0]),
                      _mm_cmpeq_epi8(_mm_or_si128(two, fold[1]), want[1]));
    return static_cast<unsigned>(_mm_movemask_epi8(passes));
  }
};
#else
struct GroupTest {
  const SubstitutionScan& scan;

  explicit GroupTest(const SubstitutionScan& scanned) : scan(scanned) {}

  unsigned Test(const unsigned char* at) const {
    unsigned bits = 0;
    for (std::size_t k = 0; k < kGroup; ++k)
      bits |= static_cast<unsigned>(PassesQuickTest(scan, at + k)) << k;
    return bits;
  }
};
#endif

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
  // The two rarest bytes make the fewest positions pass the quick test; a
  // one-byte search text tests its byte twice.
  std::size_t rarest[2] = {0, 0};
  for (std::size_t i = 1; i < scan.searchLength; ++i) {
    int commonness = Commonness(scan.search[i]);
    if (commonness < Commonness(scan.search[rarest[0]])) {
      rarest[1] = rarest[0];
      rarest[0] = i;
    } else if (rarest[1] == rarest[0] ||
               commonness < Commonness(scan.search[rarest[1]])) {
      rarest[1] = i;
    }
  }
  for (int k = 0; k < 2; ++k) {
    const unsigned char probe = scan.search[rarest[k]];
    scan.probeOffset[k] = rarest[k];
    scan.probeFold[k] = IsAsciiLetter(probe) ? 0x20 : 0;
    scan.probeWant[k] = probe | scan.probeFold[k];
  }
  return scan;
}

// Finds, from each resume point, the leftmost occurrence: the same output as
// trying every byte in turn. Groups of positions are screened at once, and
// only the positions that pass the quick test are compared in full.
std::size_t ScanChunk(SubstitutionScan& scan, const unsigned char* data,
                      std::size_t size, bool atEnd) {
  const std::size_t length = scan.searchLength;
  const unsigned char* end = data + size;
  const unsigned char* runStart = data;  // first byte not yet emitted
  const unsigned char* at = data;        // first position not yet tested
  auto replaceAt = [&](const unsigned char* occurrence) {
    if (occurrence > runStart) {
      scan.sink(scan.sinkContext, runStart,
                static_cast<std::size_t>(occurrence - runStart));
    }
    scan.sink(scan.sinkContext, scan.replacement, scan.replacementLength);
    scan.replaced = 1;
    runStart = occurrence + length;
  };
  // Whole groups while every position of the group has its full length of
  // bytes in the data.
  const GroupTest group(scan);
  while (static_cast<std::size_t>(end - at) >= kGroup + length - 1) {
    for (unsigned bits = group.Test(at); bits != 0; bits &= bits - 1) {
      const unsigned char* candidate = at + LowestBit(bits);
      // A position inside an occurrence just replaced is not tried.
      if (candidate >= runStart && MatchesAt(scan, candidate)) replaceAt(candidate);
    }
    at += kGroup;
    if (at < runStart) at = runStart;
  }
  // The last positions one by one.
  for (; static_cast<std::size_t>(end - at) >= length; ++at) {
    if (PassesQuickTest(scan, at) && MatchesAt(scan, at)) {
      replaceAt(at);
      at = runStart - 1;
    }
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
