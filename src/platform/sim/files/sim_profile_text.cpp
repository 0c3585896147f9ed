#include "platform/sim/files/sim_profile_text.h"

#include <vector>

#include "platform/sim/sim_text.h"

namespace nl::sim {

namespace {

enum class LineKind { kOther, kSection, kKey };

struct Line {
  std::size_t begin;      // offset of the line's first byte
  std::size_t end;        // offset of its line end (or the text's end)
  std::size_t next;       // offset after its line end
  LineKind kind;
  std::string_view name;  // section or key name, trimmed
  std::string_view value; // key value, trimmed
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\x1a'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    Line line{};
    line.begin = at;
    std::size_t nl = text.find('\n', at);
    line.next = nl == std::string_view::npos ? text.size() : nl + 1;
    line.end = nl == std::string_view::npos ? text.size() : nl;
    if (line.end > line.begin && text[line.end - 1] == '\r') --line.end;
    const std::string_view body = Trim(text.substr(line.begin, line.end - line.begin));
    line.kind = LineKind::kOther;
    if (!body.empty() && body.front() == '[') {
      std::string_view name = body.substr(1);
      const std::size_t close = name.find(']');
      if (close != std::string_view::npos) name = name.substr(0, close);
      line.kind = LineKind::kSection;
      line.name = Trim(name);
    } else if (!body.empty() && body.front() != ';') {
      const std::size_t eq = body.find('=');
      if (eq != std::string_view::npos) {
        line.kind = LineKind::kKey;
        line.name = Trim(body.substr(0, eq));
        line.value = Trim(body.substr(eq + 1));
      }
    }
    lines.push_back(line);
    at = line.next;
  }
  return lines;
}

// Index of the first header of `section`, or -1; `stop` gets the index of
// the line after the section's last line.
long FindSection(const std::vector<Line>& lines, std::string_view section,
                 std::size_t* stop) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind != LineKind::kSection ||
        !EqualsIgnoreCase(lines[i].name, section))
      continue;
    std::size_t j = i + 1;
    while (j < lines.size() && lines[j].kind != LineKind::kSection) ++j;
    *stop = j;
    return static_cast<long>(i);
  }
  return -1;
}

long FindKey(const std::vector<Line>& lines, std::size_t from, std::size_t stop,
             std::string_view key) {
  for (std::size_t i = from; i < stop; ++i)
    if (lines[i].kind == LineKind::kKey && EqualsIgnoreCase(lines[i].name, key))
      return static_cast<long>(i);
  return -1;
}

std::string LineEnd(std::string_view text) {
  const std::size_t nl = text.find('\n');
  if (nl == std::string_view::npos) return "\r\n";
  return (nl > 0 && text[nl - 1] == '\r') ? "\r\n" : "\n";
}

}  // namespace

bool FindProfileValue(std::string_view text, std::string_view section,
                      std::string_view key, std::string* value) {
  const std::vector<Line> lines = SplitLines(text);
  std::size_t stop = 0;
  const long header = FindSection(lines, section, &stop);
  if (header < 0) return false;
  const long at = FindKey(lines, header + 1, stop, key);
  if (at < 0) return false;
  std::string_view v = lines[at].value;
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
    v = v.substr(1, v.size() - 2);
  value->assign(v);
  return true;
}

std::string SetProfileValue(std::string_view text, std::string_view section,
                            std::string_view key, std::string_view value) {
  const std::vector<Line> lines = SplitLines(text);
  const std::string eol = LineEnd(text);
  std::size_t stop = 0;
  const long header = FindSection(lines, section, &stop);
  const std::string keyLine = std::string(key) + "=" + std::string(value);
  std::string out;
  if (header < 0) {
    // Windows 95/98 put a blank line before a section they add to a file
    // that holds anything, and a file that ended without a line end still
    // does, after the new key.
    if (text.empty()) return "[" + std::string(section) + "]" + eol + keyLine + eol;
    const bool endsLine = text.back() == '\n';
    out.assign(text);
    if (!endsLine) out += eol;
    out += eol + "[" + std::string(section) + "]" + eol + keyLine;
    if (endsLine) out += eol;
    return out;
  }
  const long at = FindKey(lines, header + 1, stop, key);
  if (at >= 0) {
    const Line& line = lines[at];
    out.assign(text.substr(0, line.begin));
    out += std::string(line.name) + "=" + std::string(value);
    out.append(text.substr(line.end));
    return out;
  }
  std::size_t last = header;
  for (std::size_t i = header + 1; i < stop; ++i)
    if (!Trim(text.substr(lines[i].begin, lines[i].end - lines[i].begin)).empty())
      last = i;
  const Line& after = lines[last];
  out.assign(text.substr(0, after.next));
  if (after.next == after.end) {
    // The file ended without a line end, and still does.
    out += eol + keyLine;
  } else {
    out += keyLine + eol;
  }
  out.append(text.substr(after.next));
  return out;
}

std::string RemoveProfileEntry(std::string_view text, std::string_view section,
                               const char* key) {
  const std::vector<Line> lines = SplitLines(text);
  std::size_t stop = 0;
  const long header = FindSection(lines, section, &stop);
  if (header < 0) return std::string(text);
  std::size_t from = 0, to = 0;
  if (key) {
    const long at = FindKey(lines, header + 1, stop, key);
    if (at < 0) return std::string(text);
    from = lines[at].begin;
    to = lines[at].next;
  } else {
    from = lines[header].begin;
    to = stop < lines.size() ? lines[stop].begin : text.size();
  }
  std::string out(text.substr(0, from));
  out.append(text.substr(to));
  return out;
}

}  // namespace nl::sim
