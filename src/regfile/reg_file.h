// .reg files: reading them into a registry tree, and writing a tree out.
//
// Import reads a file as regedit imports it into an empty registry: REGEDIT4
// (code page 1252 bytes as they stand) or "Windows Registry Editor Version
// 5.00" (UTF-16LE or UTF-8 behind a byte-order mark; text converted to code
// page 1252, and the text types written in hex, hex(1), hex(2) and hex(7),
// converted from UTF-16LE). Lines end in CRLF, LF or CR; a final 0x1A is
// ignored. Sections "[HKEY_LOCAL_MACHINE\...]" create keys, "[-...]" delete
// a key with everything beneath it; backslashes ending the path are ignored,
// however many. Values are "name"="text" (escapes \\ and \"; a \0 drops the
// line, in a name too), @= for the unnamed value, hex:xx,.. (REG_BINARY),
// hex(N):xx,.. (type N in hex), dword: with 1 to 8 hex digits, and "name"=-
// deletes a value; all in file order. Blanks may stand around "=", after
// "dword:" and inside hex lists; ";" and "#" start comment lines and ";" a
// comment after a value. A hex list goes on over the following lines while a
// line ends in a backslash that follows a comma (or stands first), perhaps
// with a ";" comment after it; blank and ";" comment lines in between are
// skipped, so a value line after them is read as part of the list. A
// backslash after a byte or within one drops the value, and the next line is
// read as a line of its own; a line holding only "\", a "#" comment, a bad
// byte or anything else not starting with a hex byte where the list goes on
// drops the value together with that line. hex(2) and hex(7) lists keep the
// bytes written: regedit adds a missing closing zero, this loader does not,
// as an export records what the registry held. Sections under other roots
// are skipped (with their values) and counted. A line regedit would skip is
// skipped with a warning naming the file, the line and why (an error under
// `strict`); so is a value line read into a hex list. Key paths deeper than
// 512 levels or with a name longer than 255 characters, beyond what Windows
// allows, are errors, and so is a file whose key paths would multiply it
// when written out (below). The first 100 warnings are given in full, the
// rest counted by kind.
//
// Export writes every key but the root in enumeration order, depth first,
// as regedit does, each followed by its values sorted by name ignoring case,
// the unnamed value first. A REG_SZ that is zero-terminated printable
// text (no control bytes, no inner zero) is written as "text", any other as
// hex(1):; REG_BINARY as hex:; a four-byte REG_DWORD as dword:. Lines end in
// LF. Export of an import of an export gives the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "regfile/reg_tree.h"

namespace nl::regfile {

constexpr std::size_t kMaxKeyDepth = 512;
constexpr std::size_t kMaxKeyNameLength = 255;
// The key paths an export of the loaded tree would write may come to at
// most kKeyPathGrowth times the file's size plus kKeyPathAllowance bytes (a
// real export names every key itself, so its paths are part of its size).
constexpr std::uint64_t kKeyPathGrowth = 4;
constexpr std::uint64_t kKeyPathAllowance = 16ull << 20;

struct RegFileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct RegImportOptions {
  std::string fileName = "system.reg";  // as messages name it
  bool strict = false;                  // a skipped line is an error
  // The root whose keys are read (as the root of the tree); keys under the
  // other roots are skipped and counted.
  std::string rootKey = "HKEY_LOCAL_MACHINE";
};

struct RegImportReport {
  std::vector<std::string> warnings;  // "system.reg line 7: why", in order
  std::size_t otherRootKeys = 0;      // sections under other roots, skipped
};

// Applies the file to the tree under `root` (values of the same name are
// replaced). Throws RegFileError when the file is not a registry file, on a
// limit, and under `strict` on a line regedit would skip.
RegImportReport ImportRegFile(std::string_view bytes, RegNode* root,
                              const RegImportOptions& options = {});

// The line saying how many sections under other roots were skipped; empty
// when there were none.
std::string OtherRootsNote(const RegImportReport& report,
                           const std::string& fileName);

std::string ExportRegFile(const RegNode& root);

// One value as export writes it: "name"=data, long hex lists going on over
// lines.
std::string RegValueText(const RegValue& value);
// The part before the data: "name"= (escaped), or @= for the unnamed value.
std::string RegValueNameText(const std::string& valueName);
// The key's values by name ignoring case, as the account lists them. An
// export writes them in the key's own order, as regedit writes what
// RegEnumValueA gives.
std::vector<const RegValue*> ValuesByName(const RegNode& node);

}  // namespace nl::regfile
