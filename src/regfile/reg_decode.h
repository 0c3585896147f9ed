// The text of a .reg file as code page 1252 bytes, whatever its encoding:
// UTF-16LE or UTF-8 behind a byte-order mark (as regedit writes version 5
// files), otherwise the bytes as they stand (REGEDIT4, code page 1252).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace nl::regfile {

struct DecodedRegText {
  std::string text;  // code page 1252
  // Lines (from 1, CRLF, LF and CR each ending one) on which a character
  // outside code page 1252, or a broken encoding, was replaced by '?'.
  std::vector<std::size_t> replacedOnLines;
};

DecodedRegText DecodeRegText(std::string_view bytes);

// UTF-16LE bytes (a text value of a version 5 file) as code page 1252;
// false when a character had to be replaced by '?'.
bool Utf16ToCp1252(std::string_view bytes, std::string* out);

// Code page 1252 text as UTF-8, for showing it on a terminal.
std::string Cp1252ToUtf8(std::string_view text);

}  // namespace nl::regfile
