// The lines of a .reg file as regedit reads them: where a line ends, which
// lines are comments, how a key path is cut into names and how a hex list
// goes on over lines. The loader reads a file through these alone, so each
// of these rules lives here and nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nl::regfile {

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s);

// Nothing, or only a ';' comment, is left of a line.
bool EndsHere(std::string_view rest);

// 1 to `maxDigits` hex digits at the start of `s`, taken off it.
bool ReadHexNumber(std::string_view* s, std::size_t maxDigits, std::uint32_t* value);

// The decoded text cut into lines (CRLF, LF and CR each end one), read one
// after the other. Each line is found as it is read, so a file of millions
// of short lines costs no list of them.
struct RegLines {
  std::string_view text;
  std::size_t at = 0;    // where the next line starts
  std::size_t next = 0;  // lines read so far
};

RegLines SplitRegLines(std::string_view text);

// The next line, raw; false after the last.
bool TakeRegLine(RegLines* lines, std::string_view* line);

// The number (from 1) of the line read last.
inline std::size_t LastLineRead(const RegLines& lines) { return lines.next; }

enum class RegLineKind {
  kNothing,  // blank, or a comment: ';' or '#' first
  kKey,      // '[' first
  kValue,    // '"' or '@' first
  kOther,    // anything else, which regedit skips
};

struct RegLine {
  RegLineKind kind = RegLineKind::kNothing;
  std::string_view text;   // blanks trimmed at both ends
  std::size_t number = 0;  // from 1, as messages name it
};

// The next line; false after the last.
bool NextRegLine(RegLines* lines, RegLine* line);

// "[ROOT\A\B]" or "[-ROOT\A\B]" cut up. Backslashes ending the path are
// ignored, however many there are, as RegCreateKeyEx ignores them; any
// other empty name is kept for the loader to refuse.
struct RegKeyPath {
  bool remove = false;
  std::string_view root;
  std::vector<std::string_view> names;
};

// False when the line has no closing ']'.
bool ParseKeyLine(std::string_view line, RegKeyPath* path);

// A hex list: bytes of 1 or 2 hex digits separated by commas, blanks
// around them, a trailing comma allowed, ending at the end of the line or
// at a ';' comment. A backslash standing where the next byte would (after
// a comma, or first), followed by nothing or a ';' comment, continues the
// list: the lines after it are read on, skipping blank and ';' comment
// lines, each continuing line starting with a hex byte; the end of the file
// ends the list there. Anything else (a backslash after a byte or within
// one, a line holding only '\', a '#' comment, a value or key line where
// the list goes on) makes the whole value invalid; the line that did so is
// used up, and the loader reads on after it.
struct HexListResult {
  bool ok = true;
  std::string why;  // when !ok; the offending line is the last one read
};

// `first` is what follows "hex:" or "hex(N):" on line `firstLine`.
HexListResult ReadHexList(std::string_view first, std::size_t firstLine, RegLines* lines,
                          std::string* bytes);

}  // namespace nl::regfile
