#include "regfile/reg_lines.h"

#include "regfile/ignore_case.h"

namespace nl::regfile {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char u = FoldUpper(c);
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

enum class HexLineEnd { kEnd, kGoesOn, kBad };

// One line's part of a hex list, from where a byte may start, appended to
// `bytes`; on kBad, `why` names the fault.
HexLineEnd ReadHexLine(std::string_view s, std::string* bytes, const char** why) {
  std::size_t i = 0;
  while (true) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i == s.size() || s[i] == ';') return HexLineEnd::kEnd;
    if (s[i] == '\\') {
      if (EndsHere(s.substr(i + 1))) return HexLineEnd::kGoesOn;
      *why = "more than a comment after a continuing backslash";
      return HexLineEnd::kBad;
    }
    std::string_view rest = s.substr(i);
    std::uint32_t byte = 0;
    if (!ReadHexNumber(&rest, 2, &byte)) {
      *why = "a bad byte";
      return HexLineEnd::kBad;
    }
    bytes->push_back(static_cast<char>(byte));
    i = s.size() - rest.size();
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i == s.size() || s[i] == ';') return HexLineEnd::kEnd;
    if (s[i] == '\\') {
      *why = "a backslash that does not follow a comma";
      return HexLineEnd::kBad;
    }
    if (s[i] != ',') {
      *why = "a bad byte";
      return HexLineEnd::kBad;
    }
    ++i;
  }
}

// What a line that cannot continue a hex list is, for the warning.
const char* NotHexLine(std::string_view text) {
  switch (text.front()) {
    case '"':
    case '@': return "a value line";
    case '[': return "a key line";
    case '#': return "a '#' comment";
    case '\\': return text.size() == 1 ? "a line holding only '\\'" : "a line starting with '\\'";
    default: return "a line that does not start with a hex byte";
  }
}

}  // namespace

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool EndsHere(std::string_view rest) {
  rest = TrimBlanks(rest);
  return rest.empty() || rest.front() == ';';
}

bool ReadHexNumber(std::string_view* s, std::size_t maxDigits, std::uint32_t* value) {
  std::size_t n = 0;
  *value = 0;
  while (n < s->size()) {
    const int digit = HexDigit((*s)[n]);
    if (digit < 0) break;
    if (++n > maxDigits) return false;
    *value = *value * 16 + static_cast<std::uint32_t>(digit);
  }
  s->remove_prefix(n);
  return n > 0;
}

RegLines SplitRegLines(std::string_view text) {
  RegLines out;
  out.text = text;
  return out;
}

bool TakeRegLine(RegLines* lines, std::string_view* line) {
  const std::string_view text = lines->text;
  const std::size_t at = lines->at;
  if (at >= text.size()) return false;
  const std::size_t end = text.find_first_of("\r\n", at);
  if (end == std::string_view::npos) {
    *line = text.substr(at);
    lines->at = text.size();
  } else {
    *line = text.substr(at, end - at);
    lines->at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  ++lines->next;
  return true;
}

bool NextRegLine(RegLines* lines, RegLine* line) {
  std::string_view raw;
  if (!TakeRegLine(lines, &raw)) return false;
  line->number = lines->next;
  line->text = TrimBlanks(raw);
  if (line->text.empty()) {
    line->kind = RegLineKind::kNothing;
    return true;
  }
  switch (line->text.front()) {
    case ';':
    case '#': line->kind = RegLineKind::kNothing; break;
    case '[': line->kind = RegLineKind::kKey; break;
    case '"':
    case '@': line->kind = RegLineKind::kValue; break;
    default: line->kind = RegLineKind::kOther;
  }
  return true;
}

bool ParseKeyLine(std::string_view line, RegKeyPath* path) {
  const std::size_t close = line.rfind(']');
  if (close == std::string_view::npos) return false;
  std::string_view text = line.substr(1, close - 1);
  path->remove = !text.empty() && text.front() == '-';
  if (path->remove) text.remove_prefix(1);
  path->root = text.substr(0, text.find('\\'));
  text.remove_prefix(path->root.size());
  while (!text.empty() && text.back() == '\\') text.remove_suffix(1);
  path->names.clear();
  if (text.empty()) return true;
  text.remove_prefix(1);  // the backslash after the root
  for (std::size_t at = 0; at <= text.size();) {
    std::size_t cut = text.find('\\', at);
    if (cut == std::string_view::npos) cut = text.size();
    path->names.push_back(text.substr(at, cut - at));
    at = cut + 1;
  }
  return true;
}

HexListResult ReadHexList(std::string_view first, std::size_t firstLine, RegLines* lines,
                          std::string* bytes) {
  bytes->clear();
  const char* why = nullptr;
  HexLineEnd end = ReadHexLine(first, bytes, &why);
  if (end == HexLineEnd::kBad) return {false, std::string(why) + " in the hex list"};
  bool skippedLines = false;
  std::string_view raw;
  while (end == HexLineEnd::kGoesOn && TakeRegLine(lines, &raw)) {
    const std::string_view text = TrimBlanks(raw);
    if (text.empty() || text.front() == ';') {
      skippedLines = true;
      continue;
    }
    if (HexDigit(text.front()) < 0) {
      why = NotHexLine(text);
    } else {
      end = ReadHexLine(text, bytes, &why);
      if (end != HexLineEnd::kBad) continue;
    }
    return {false, std::string(why) + " where the hex list of line " + std::to_string(firstLine) +
                       " goes on" +
                       (skippedLines ? " (blank and ';' comment lines do not end it)" : "")};
  }
  return {};
}

}  // namespace nl::regfile
