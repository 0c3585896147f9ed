// Registry names compare ignoring ASCII letter case, as Windows compares
// them: a-z equal A-Z, every other byte must be equal.
#pragma once

#include <string_view>

namespace nl::regfile {

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

}  // namespace nl::regfile
