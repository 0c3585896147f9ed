// Byte-string helpers of the simulated system: the ASCII case folding that
// Windows applies to registry, file and window-class names (the registry
// file library's), and the text forms used by the journal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "regfile/ignore_case.h"

namespace nl::sim {

// The registry's case folding serves file and window-class names too.
using regfile::CompareIgnoreCase;
using regfile::EqualsIgnoreCase;
using regfile::FoldUpper;
using regfile::IgnoreCaseLess;

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
