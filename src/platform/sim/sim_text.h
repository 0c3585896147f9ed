// Byte-string helpers of the simulated system: the ASCII case folding that
// Windows applies to registry, file and window-class names, and the text
// forms used by the journal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nl::sim {

// a-z to A-Z; every other byte as it is.
inline char FoldUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// Compares after folding a-z to A-Z, bytes as unsigned values. This is the
// order in which Wine enumerates registry subkeys.
int CompareIgnoreCase(std::string_view a, std::string_view b);

inline bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareIgnoreCase(a, b) == 0;
}

struct IgnoreCaseLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    return CompareIgnoreCase(a, b) < 0;
  }
};

// Journal forms: a text in double quotes (printable ASCII kept, a double quote
// as \", other bytes as \xNN; backslashes stay single so paths read as
// paths), or NULL for a null pointer.
std::string Quoted(std::string_view text);
std::string QuotedOrNull(const char* text);
// "0x1f" style.
std::string Hex(std::uint64_t value);
// Bytes as "01 02 ff", the first `limit` of them, with "..." when cut.
std::string HexBytes(std::string_view bytes, std::size_t limit = 32);

}  // namespace nl::sim
