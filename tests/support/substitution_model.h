// A plain, obviously correct model of the INF substitution rules, used to
// check the streaming scanner: at each position, a whole occurrence (ASCII
// case ignored) becomes the replacement and the scan jumps behind it;
// otherwise the byte is copied and the scan moves on by one.
#pragma once

#include <string>

namespace nl::testing {

inline char ModelUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

inline std::string ModelSubstitute(const std::string& input,
                                   const std::string& search,
                                   const std::string& replacement,
                                   bool* replaced = nullptr) {
  std::string out;
  if (replaced) *replaced = false;
  std::size_t i = 0;
  while (i < input.size()) {
    bool match = i + search.size() <= input.size();
    for (std::size_t k = 0; match && k < search.size(); ++k) {
      match = ModelUpper(input[i + k]) == ModelUpper(search[k]);
    }
    if (match) {
      out += replacement;
      i += search.size();
      if (replaced) *replaced = true;
    } else {
      out += input[i++];
    }
  }
  return out;
}

}  // namespace nl::testing
