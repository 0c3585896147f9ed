// Small byte-string helpers shared by the installer's parts.
#pragma once

#include <cstddef>

namespace nl {

// a-z to A-Z; every other byte as it is.
inline unsigned char UpperAscii(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

// Equal ignoring ASCII letter case; all other bytes must be equal.
bool EqualsIgnoreAsciiCase(const char* a, const char* b);

// Copies `text` into `out` when it fits with its zero; false (out untouched)
// otherwise.
bool CopyText(char* out, std::size_t capacity, const char* text);

// Writes "<dir>\<name>" into `out` when it fits with its zero; false (out
// untouched) otherwise.
bool JoinPath(char* out, std::size_t capacity, const char* dir,
              const char* name);

}  // namespace nl
