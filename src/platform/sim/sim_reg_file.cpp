#include "platform/sim/sim_reg_file.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/platform.h"

namespace nl::sim {

namespace {

constexpr std::string_view kRootName = "HKEY_LOCAL_MACHINE";

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

[[noreturn]] void Fail(std::size_t lineNo, const std::string& what) {
  throw RegFileError("system.reg line " + std::to_string(lineNo) + ": " + what);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char u = FoldUpper(c);
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

// Reads a quoted text starting at s[0] == '"'; moves `s` past the closing
// quote.
bool ReadQuoted(std::string_view* s, std::string* out) {
  out->clear();
  std::size_t i = 1;
  while (i < s->size()) {
    const char c = (*s)[i];
    if (c == '"') {
      s->remove_prefix(i + 1);
      return true;
    }
    if (c == '\\' && i + 1 < s->size() &&
        ((*s)[i + 1] == '\\' || (*s)[i + 1] == '"')) {
      *out += (*s)[i + 1];
      i += 2;
      continue;
    }
    *out += c;
    ++i;
  }
  return false;
}

bool ParseHexBytes(std::string_view list, std::string* out) {
  out->clear();
  list = TrimBlanks(list);
  if (list.empty()) return true;
  std::size_t i = 0;
  while (true) {
    while (i < list.size() && (list[i] == ' ' || list[i] == '\t')) ++i;
    const int hi = i < list.size() ? HexDigit(list[i]) : -1;
    const int lo = i + 1 < list.size() ? HexDigit(list[i + 1]) : -1;
    if (hi < 0 || lo < 0) return false;
    *out += static_cast<char>(hi * 16 + lo);
    i += 2;
    while (i < list.size() && (list[i] == ' ' || list[i] == '\t')) ++i;
    if (i == list.size()) return true;
    if (list[i] != ',') return false;
    ++i;
  }
}

void ParseValueLine(std::string_view line, std::size_t lineNo, RegNode* key) {
  std::string name;
  if (line.front() == '@') {
    line.remove_prefix(1);
  } else if (!ReadQuoted(&line, &name)) {
    Fail(lineNo, "unterminated value name");
  }
  line = TrimBlanks(line);
  if (line.empty() || line.front() != '=') Fail(lineNo, "missing '='");
  line = TrimBlanks(line.substr(1));
  if (line.empty()) Fail(lineNo, "missing data");
  if (line == "-") {
    // a deletion entry: nothing to add
    return;
  }
  std::string data;
  if (line.front() == '"') {
    if (!ReadQuoted(&line, &data) || !TrimBlanks(line).empty())
      Fail(lineNo, "bad text value");
    data += '\0';
    key->SetValue(name, kRegSz, std::move(data));
    return;
  }
  if (line.substr(0, 6) == "dword:") {
    const std::string_view digits = line.substr(6);
    if (digits.size() != 8) Fail(lineNo, "dword needs eight hex digits");
    std::uint32_t v = 0;
    for (char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) Fail(lineNo, "bad dword");
      v = v * 16 + static_cast<std::uint32_t>(d);
    }
    for (int i = 0; i < 4; ++i) data += static_cast<char>((v >> (8 * i)) & 0xFF);
    key->SetValue(name, kRegDword, std::move(data));
    return;
  }
  std::uint32_t type = kRegBinary;
  if (line.substr(0, 4) == "hex:") {
    line.remove_prefix(4);
  } else if (line.substr(0, 4) == "hex(") {
    const std::size_t close = line.find(')');
    if (close == std::string_view::npos || close == 4 || close > 12 ||
        line.substr(close, 2) != "):")
      Fail(lineNo, "bad hex type");
    type = 0;
    for (char c : line.substr(4, close - 4)) {
      const int d = HexDigit(c);
      if (d < 0) Fail(lineNo, "bad hex type");
      type = type * 16 + static_cast<std::uint32_t>(d);
    }
    line.remove_prefix(close + 2);
  } else {
    Fail(lineNo, "unknown value form");
  }
  if (!ParseHexBytes(line, &data)) Fail(lineNo, "bad hex bytes");
  key->SetValue(name, type, std::move(data));
}

RegNode* OpenSection(std::string_view header, std::size_t lineNo, RegNode* root) {
  std::string_view path = header;
  if (path.substr(0, kRootName.size()) != kRootName)
    Fail(lineNo, "only HKEY_LOCAL_MACHINE is modelled");
  path.remove_prefix(kRootName.size());
  if (path.empty()) return root;
  if (path.front() != '\\') Fail(lineNo, "bad key path");
  path.remove_prefix(1);
  std::vector<std::string> names;
  if (!SplitKeyPath(std::string(path).c_str(), &names)) Fail(lineNo, "bad key path");
  RegNode* node = root;
  for (const std::string& name : names) node = node->AddSubkey(name);
  return node;
}

bool IsPrintableText(const std::string& data) {
  if (data.empty() || data.back() != '\0') return false;
  for (std::size_t i = 0; i + 1 < data.size(); ++i) {
    const auto c = static_cast<unsigned char>(data[i]);
    if (c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

std::string EscapeText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

// Hex bytes after `prefix`, going on to the next line (", \" then two
// blanks) when a line would grow past 76 columns, as regedit does.
std::string HexLine(const std::string& prefix, const std::string& data) {
  std::string out = prefix;
  std::size_t column = prefix.size();
  for (std::size_t i = 0; i < data.size(); ++i) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(data[i]));
    out += buf;
    column += 2;
    if (i + 1 < data.size()) {
      out += ',';
      ++column;
      if (column > 75) {
        out += "\\\n  ";
        column = 2;
      }
    }
  }
  return out;
}

std::string ValueLine(const RegValue& v) {
  std::string prefix = v.name.empty() ? "@=" : "\"" + EscapeText(v.name) + "\"=";
  if (v.type == kRegSz && IsPrintableText(v.data))
    return prefix + "\"" + EscapeText(std::string_view(v.data).substr(0, v.data.size() - 1)) + "\"";
  if (v.type == kRegDword && v.data.size() == 4) {
    std::uint32_t d = 0;
    for (int i = 3; i >= 0; --i)
      d = d * 256 + static_cast<unsigned char>(v.data[static_cast<std::size_t>(i)]);
    char buf[24];
    std::snprintf(buf, sizeof buf, "dword:%08x", d);
    return prefix + buf;
  }
  if (v.type == kRegBinary) return HexLine(prefix + "hex:", v.data);
  char buf[24];
  std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
  return HexLine(prefix + buf, v.data);
}

void ExportKey(const RegNode& node, const std::string& path, std::string* out) {
  if (node.parent || !node.values.empty()) {
    *out += "[" + path + "]\n";
    std::vector<const RegValue*> sorted;
    for (const RegValue& v : node.values) sorted.push_back(&v);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const RegValue* a, const RegValue* b) {
                       return CompareIgnoreCase(a->name, b->name) < 0;
                     });
    for (const RegValue* v : sorted) *out += ValueLine(*v) + "\n";
    *out += "\n";
  }
  for (const auto& entry : node.subkeys)
    ExportKey(*entry.second, path + "\\" + entry.second->name, out);
}

}  // namespace

void ImportRegFile(std::string_view text, RegNode* root) {
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t nl = text.find('\n', at);
    if (nl == std::string_view::npos) nl = text.size();
    lines.push_back(text.substr(at, nl - at));
    at = nl + 1;
  }
  if (lines.empty() || TrimBlanks(lines[0]) != "REGEDIT4")
    throw RegFileError("system.reg: the first line must be REGEDIT4");
  RegNode* key = nullptr;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::size_t lineNo = i + 1;
    std::string_view line = TrimBlanks(lines[i]);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      if (line.back() != ']') Fail(lineNo, "unterminated key header");
      key = OpenSection(line.substr(1, line.size() - 2), lineNo, root);
      continue;
    }
    if (!key) Fail(lineNo, "value outside a key");
    std::string joined(line);
    while (!joined.empty() && joined.back() == '\\' &&
           joined.find("=hex") != std::string::npos && i + 1 < lines.size()) {
      joined.pop_back();
      joined += TrimBlanks(lines[++i]);
    }
    ParseValueLine(joined, lineNo, key);
  }
}

std::string ExportRegFile(const RegNode& root) {
  std::string out = "REGEDIT4\n\n";
  ExportKey(root, std::string(kRootName), &out);
  return out;
}

}  // namespace nl::sim
