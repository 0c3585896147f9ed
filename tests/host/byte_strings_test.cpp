// The Windows program's own byte-string functions (it has no C runtime),
// built here under prefixed names beside the C library's.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

extern "C" {
void* nl_bytes_memmove(void* to, const void* from, std::size_t count);
int nl_bytes_memcmp(const void* a, const void* b, std::size_t count);
void* nl_bytes_memchr(const void* from, int value, std::size_t count);
char* nl_bytes_strcat(char* to, const char* from);
char* nl_bytes_strchr(const char* text, int value);
}

namespace {

// Overlap both ways, as JoinPath moves a directory within its own buffer.
TEST(ByteStrings, MemmoveCopiesOverlappingRangesWhole) {
  const struct {
    std::size_t to, from, count;
  } cases[] = {{2, 0, 6}, {0, 2, 6}, {3, 3, 5}, {1, 0, 0}};
  for (const auto& c : cases) {
    char ours[] = "abcdefghij";
    char libc[] = "abcdefghij";
    EXPECT_EQ(nl_bytes_memmove(ours + c.to, ours + c.from, c.count), ours + c.to);
    std::memmove(libc + c.to, libc + c.from, c.count);
    EXPECT_STREQ(ours, libc) << c.to << " " << c.from << " " << c.count;
  }
}

TEST(ByteStrings, SearchesAndComparesAsTheCLibraryDoes) {
  const char text[] = "C:\\WIN\xE4\\INF";
  EXPECT_EQ(nl_bytes_strchr(text, '\\'), std::strchr(text, '\\'));
  EXPECT_EQ(nl_bytes_strchr(text, 0), text + std::strlen(text));  // the zero counts
  EXPECT_EQ(nl_bytes_strchr(text, 'x'), nullptr);
  EXPECT_EQ(nl_bytes_memchr(text, 0xE4, sizeof text), std::memchr(text, 0xE4, sizeof text));
  EXPECT_EQ(nl_bytes_memchr(text, 'C', 0), nullptr);
  // Bytes compare unsigned: 0xE4 sorts after 'a'.
  EXPECT_GT(nl_bytes_memcmp("\xE4", "a", 1), 0);
  EXPECT_LT(nl_bytes_memcmp("ab", "ac", 2), 0);
  EXPECT_EQ(nl_bytes_memcmp("ab", "ac", 1), 0);
  char joined[16] = "C:";
  EXPECT_STREQ(nl_bytes_strcat(nl_bytes_strcat(joined, "\\"), "nl-430.sys"), "C:\\nl-430.sys");
}

}  // namespace
