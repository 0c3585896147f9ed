// The byte rules of the INF substitution, checked on the streaming scanner
// under several chunkings against the plain model.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "../support/chunked_scan.h"
#include "../support/substitution_model.h"

namespace nl {
namespace {

using testing::ModelSubstitute;
using testing::ScanInChunks;

// Every chunking must give the same output: whole, byte by byte, and sizes
// that cut occurrences at every offset.
std::string ScanAllWays(const std::string& input, const std::string& search,
                        const std::string& replacement, int* replaced) {
  std::string whole = ScanInChunks(input, search, replacement, {}, replaced);
  for (std::size_t size = 1; size <= search.size() + 2; ++size) {
    int chunkReplaced = 0;
    EXPECT_EQ(ScanInChunks(input, search, replacement, {size}, &chunkReplaced),
              whole)
        << "chunk size " << size;
    EXPECT_EQ(chunkReplaced, *replaced);
  }
  return whole;
}

TEST(TextSubstitution, ReplacesEveryLetterCaseWithTheCallersText) {
  int replaced = 0;
  EXPECT_EQ(ScanAllWays("a=IRMINI.SYS\r\nb=irmini.sys\r\nc=IrMiNi.SyS",
                        "irmini.sys", "nl-430.sys", &replaced),
            "a=nl-430.sys\r\nb=nl-430.sys\r\nc=nl-430.sys");
  EXPECT_EQ(replaced, 1);
}

TEST(TextSubstitution, OccurrenceAtTheVeryEndIsReplacedAndACutOneCopied) {
  int replaced = 0;
  EXPECT_EQ(ScanAllWays("x irmini.sys", "irmini.sys", "nl-430.sys", &replaced),
            "x nl-430.sys");
  EXPECT_EQ(ScanAllWays("x irmini.sy", "irmini.sys", "nl-430.sys", &replaced),
            "x irmini.sy");
  EXPECT_EQ(replaced, 0);
}

TEST(TextSubstitution, FailedCandidateResumesOneByteLater) {
  int replaced = 0;
  EXPECT_EQ(ScanAllWays("aaab", "aab", "X", &replaced), "aX");
  EXPECT_EQ(replaced, 1);
}

TEST(TextSubstitution, ReplacementIsNeverScannedAgain) {
  int replaced = 0;
  EXPECT_EQ(ScanAllWays("ab|ab", "ab", "abab", &replaced), "abab|abab");
}

TEST(TextSubstitution, OnlyAsciiLettersFoldTogether) {
  int replaced = 0;
  // 0xE4 and 0xC4 are a-umlaut and A-umlaut in code page 1252: different.
  EXPECT_EQ(ScanAllWays("\xC4x \xE4X", "\xE4x", "!", &replaced), "\xC4x !");
  // '[' and '{' differ by the same bit as letters do, but are not letters.
  EXPECT_EQ(ScanAllWays("{a [a", "[A", "!", &replaced), "{a !");
}

TEST(TextSubstitution, MatchesAcrossLineEnds) {
  int replaced = 0;
  EXPECT_EQ(ScanAllWays("x\r\ny", "\r\ny", "Z", &replaced), "xZ");
}

TEST(TextSubstitution, AgreesWithTheModelOnRandomTexts) {
  std::mt19937 random(20261208);
  const std::string alphabet = "aAbB\r\n";
  for (int round = 0; round < 2000; ++round) {
    auto randomText = [&](std::size_t length) {
      std::string text;
      for (std::size_t i = 0; i < length; ++i) {
        text += alphabet[random() % alphabet.size()];
      }
      return text;
    };
    std::string search = randomText(1 + random() % 4);
    std::string replacement = randomText(random() % 5);
    std::string input = randomText(random() % 40);
    std::vector<std::size_t> chunks = {1 + random() % 5, 1 + random() % 9};
    EXPECT_EQ(ScanInChunks(input, search, replacement, chunks),
              ModelSubstitute(input, search, replacement))
        << "input '" << input << "' search '" << search << "'";
  }
}

}  // namespace
}  // namespace nl
