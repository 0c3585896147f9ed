// Export of a registry tree as REGEDIT4 text.
#include "regfile/reg_file.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/platform.h"

namespace nl::regfile {

namespace {

constexpr std::string_view kRootName = "HKEY_LOCAL_MACHINE";

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
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out = prefix;
  out.reserve(prefix.size() + data.size() * 3 + data.size() / 8);
  std::size_t column = prefix.size();
  for (std::size_t i = 0; i < data.size(); ++i) {
    const auto byte = static_cast<unsigned char>(data[i]);
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
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

}  // namespace

std::string RegValueNameText(const std::string& valueName) {
  return valueName.empty() ? "@=" : "\"" + EscapeText(valueName) + "\"=";
}

std::vector<const RegValue*> ValuesByName(const RegNode& node) {
  std::vector<const RegValue*> sorted;
  sorted.reserve(node.values.size());
  for (const RegValue& v : node.values) sorted.push_back(&v);
  std::stable_sort(sorted.begin(), sorted.end(), [](const RegValue* a, const RegValue* b) {
    return CompareIgnoreCase(a->name, b->name) < 0;
  });
  return sorted;
}

std::string RegValueText(const RegValue& v) {
  std::string prefix = RegValueNameText(v.name);
  if (v.type == kRegSz && IsPrintableText(v.data))
    return prefix + "\"" + EscapeText(std::string_view(v.data).substr(0, v.data.size() - 1)) + "\"";
  if (v.type == kRegDword && v.data.size() == 4) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "dword:%08x", DwordOf(v.data));
    return prefix + buf;
  }
  if (v.type == kRegBinary) return HexLine(prefix + "hex:", v.data);
  char buf[24];
  std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
  return HexLine(prefix + buf, v.data);
}

namespace {

void WriteKey(const RegNode& node, bool isRoot, const std::string& path, std::string* out) {
  if (isRoot && node.values.empty()) return;
  *out += "[" + path + "]\n";
  for (const RegValue& v : node.values) {
    *out += RegValueText(v);
    *out += '\n';
  }
  *out += "\n";
}

}  // namespace

// Depth first in enumeration order, as regedit walks the registry when it
// exports, with a stack of its own: a tree may be deeper than the
// program's stack would allow recursion.
std::string ExportRegFile(const RegNode& root) {
  struct Level {
    const RegNode* node;
    std::size_t next;  // the subkey to write next, in enumeration order
    std::size_t pathLength;
  };
  std::string out = "REGEDIT4\n\n";
  std::string path(kRootName);
  WriteKey(root, true, path, &out);
  std::vector<Level> levels{{&root, 0, path.size()}};
  while (!levels.empty()) {
    Level& top = levels.back();
    if (top.next == top.node->subkeys.size()) {
      levels.pop_back();
      continue;
    }
    const RegNode& child = *top.node->subkeys[top.next++];
    path.resize(top.pathLength);
    path += '\\';
    path += child.name;
    WriteKey(child, false, path, &out);
    levels.push_back({&child, 0, path.size()});
  }
  return out;
}

}  // namespace nl::regfile
