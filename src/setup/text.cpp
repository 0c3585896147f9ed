#include "setup/text.h"

#include <cstring>

namespace nl {

bool EqualsIgnoreAsciiCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    unsigned char ca = UpperAscii(static_cast<unsigned char>(*a));
    unsigned char cb = UpperAscii(static_cast<unsigned char>(*b));
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
}

bool CopyText(char* out, std::size_t capacity, const char* text) {
  std::size_t length = std::strlen(text);
  if (length >= capacity) return false;
  std::memcpy(out, text, length + 1);
  return true;
}

bool JoinPath(char* out, std::size_t capacity, const char* dir,
              const char* name) {
  std::size_t dirLength = std::strlen(dir);
  std::size_t nameLength = std::strlen(name);
  if (dirLength + 1 + nameLength >= capacity) return false;
  std::memmove(out, dir, dirLength);  // `dir` may be `out` itself
  out[dirLength] = '\\';
  std::memcpy(out + dirLength + 1, name, nameLength + 1);
  return true;
}

}  // namespace nl
