// The private-profile ("INI") text rules of Windows, on a file's bytes.
//
// Sections ("[Strings]") and keys are found ignoring ASCII case; blanks
// around names and values are not part of them. Lines before the first
// section, comment lines (";") and lines without "=" hold no keys. When a
// section or key occurs twice, the first one counts.
#pragma once

#include <string>
#include <string_view>

namespace nl::sim {

// The key's value, blanks trimmed and one pair of enclosing double quotes
// dropped (only when the value both starts and ends with one). False when
// the section or key is missing.
bool FindProfileValue(std::string_view text, std::string_view section,
                      std::string_view key, std::string* value);

// The text with the key set to `value`, laid out as Windows 95/98 write it.
// An existing key's line becomes "<key as spelled in the file>=<value>"
// with the line's own end kept; a missing key is added after the last
// non-blank line of its section; a missing section is appended at the end
// with the key, after a blank line unless the file is empty. A file that
// ends without a line end still does (the new key's line then has none);
// every other byte stays as it was. New lines end like the file's lines
// (CRLF for a file without line ends).
std::string SetProfileValue(std::string_view text, std::string_view section,
                            std::string_view key, std::string_view value);

// The text without the key's line, or without the whole section (its header
// up to the next section) when `key` is null.
std::string RemoveProfileEntry(std::string_view text, std::string_view section,
                               const char* key);

}  // namespace nl::sim
