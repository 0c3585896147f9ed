// Import of .reg files; see reg_file.h for what is read.
#include <cstdint>

#include "platform/platform.h"
#include "regfile/reg_decode.h"
#include "regfile/reg_file.h"

namespace nl::regfile {

namespace {

constexpr std::string_view kRootName = "HKEY_LOCAL_MACHINE";
constexpr std::string_view kVersion4 = "REGEDIT4";
constexpr std::string_view kVersion5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOtherRoots[] = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",   "HKEY_USERS",
    "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA", "HKEY_PERFORMANCE_DATA"};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Nothing, or only a comment, is left of a line.
bool EndsHere(std::string_view rest) {
  rest = TrimBlanks(rest);
  return rest.empty() || rest.front() == ';';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char u = FoldUpper(c);
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

// 1 to `maxDigits` hex digits at the start of `s`, taken off it.
bool ReadHexNumber(std::string_view* s, std::size_t maxDigits, std::uint32_t* value) {
  std::size_t n = 0;
  *value = 0;
  while (n < s->size() && HexDigit((*s)[n]) >= 0) {
    if (++n > maxDigits) return false;
    *value = *value * 16 + static_cast<std::uint32_t>(HexDigit((*s)[n - 1]));
  }
  s->remove_prefix(n);
  return n > 0;
}

bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

// A quoted text starting at s[0] == '"'; moves `s` past the closing quote.
bool ReadQuoted(std::string_view* s, std::string* out) {
  out->clear();
  for (std::size_t i = 1; i < s->size(); ++i) {
    const char c = (*s)[i];
    if (c == '"') {
      s->remove_prefix(i + 1);
      return true;
    }
    if (c == '\\' && i + 1 < s->size() && ((*s)[i + 1] == '\\' || (*s)[i + 1] == '"'))
      ++i;
    *out += (*s)[i];
  }
  return false;
}

// "xx,xx, xx" up to the end or a comment; 1 or 2 digits a byte, a trailing
// comma allowed.
bool ParseHexBytes(std::string_view list, std::string* out) {
  out->clear();
  out->reserve(list.size() / 3 + 1);
  std::size_t i = 0;
  while (true) {
    while (i < list.size() && IsBlank(list[i])) ++i;
    if (i == list.size() || list[i] == ';') return true;
    std::string_view rest = list.substr(i);
    std::uint32_t byte = 0;
    if (!ReadHexNumber(&rest, 2, &byte)) return false;
    *out += static_cast<char>(byte);
    i = list.size() - rest.size();
    while (i < list.size() && IsBlank(list[i])) ++i;
    if (i == list.size() || list[i] == ';') return true;
    if (list[i] != ',') return false;
    ++i;
  }
}

class Importer {
 public:
  Importer(RegNode* root, const RegImportOptions& options)
      : root_(root), options_(options) {}

  RegImportReport Run(std::string_view bytes) {
    DecodedRegText decoded = DecodeRegText(bytes);
    std::string& text = decoded.text;
    if (!text.empty() && text.back() == '\x1A') text.pop_back();
    SplitLines(text);
    const std::string_view header = lines_.empty() ? "" : TrimBlanks(lines_[0]);
    if (header != kVersion4 && header != kVersion5)
      throw RegFileError(options_.fileName + ": not a registry file: the first line must be " +
                         std::string(kVersion4) + " or " + std::string(kVersion5));
    unicode_ = header == kVersion5;
    for (std::size_t line : decoded.replacedOnLines)
      Warn(line, "a character outside code page 1252 was read as '?'");
    for (next_ = 1; next_ < lines_.size();) {
      const std::size_t lineNo = next_ + 1;
      ReadLine(TrimBlanks(lines_[next_++]), lineNo);
    }
    return std::move(report_);
  }

 private:
  void SplitLines(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t end = text.find_first_of("\r\n", at);
      if (end == std::string_view::npos) {
        lines_.push_back(text.substr(at));
        break;
      }
      lines_.push_back(text.substr(at, end - at));
      at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
  }

  void Warn(std::size_t lineNo, const std::string& why) {
    std::string message = options_.fileName + " line " + std::to_string(lineNo) + ": " + why;
    if (options_.strict) throw RegFileError(message);
    report_.warnings.push_back(std::move(message) + "; line skipped");
  }

  [[noreturn]] void Fail(std::size_t lineNo, const std::string& why) {
    throw RegFileError(options_.fileName + " line " + std::to_string(lineNo) + ": " + why);
  }

  void ReadLine(std::string_view line, std::size_t lineNo) {
    if (line.empty() || line.front() == ';' || line.front() == '#') return;
    if (line.front() == '[') return ReadSection(line, lineNo);
    if (line.front() != '"' && line.front() != '@')
      return Warn(lineNo, "neither a key, a value nor a comment");
    if (skipSection_) return;
    if (!key_) return Warn(lineNo, "a value before the first key");
    ReadValue(line, lineNo);
  }

  void ReadSection(std::string_view line, std::size_t lineNo) {
    key_ = nullptr;
    skipSection_ = true;  // until the section proves good
    const std::size_t close = line.rfind(']');
    if (close == std::string_view::npos) return Warn(lineNo, "a key without its closing ']'");
    std::string_view path = line.substr(1, close - 1);
    const bool remove = !path.empty() && path.front() == '-';
    if (remove) path.remove_prefix(1);
    const std::string_view rootName = path.substr(0, path.find('\\'));
    if (!EqualsIgnoreCase(rootName, kRootName)) {
      for (std::string_view other : kOtherRoots)
        if (EqualsIgnoreCase(rootName, other)) {
          ++report_.otherRootKeys;
          return;
        }
      return Warn(lineNo, "unknown root key \"" + std::string(rootName) + "\"");
    }
    path.remove_prefix(rootName.size());
    if (!path.empty()) path.remove_prefix(1);  // the backslash
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    std::vector<std::string_view> names;
    for (std::size_t at = 0; !path.empty() && at <= path.size();) {
      std::size_t cut = path.find('\\', at);
      if (cut == std::string_view::npos) cut = path.size();
      names.push_back(path.substr(at, cut - at));
      at = cut + 1;
    }
    if (names.size() > kMaxKeyDepth)
      Fail(lineNo, "the key is " + std::to_string(names.size()) +
                       " levels deep; Windows allows " + std::to_string(kMaxKeyDepth));
    for (std::string_view name : names) {
      if (name.size() > kMaxKeyNameLength)
        Fail(lineNo, "a key name of " + std::to_string(name.size()) +
                         " characters; Windows allows " + std::to_string(kMaxKeyNameLength));
      if (name.empty()) return Warn(lineNo, "an empty key name in the path");
      if (name.find('\0') != std::string_view::npos)
        return Warn(lineNo, "a NUL byte in a key name");
    }
    if (remove) return DeleteKey(names, lineNo);
    RegNode* node = root_;
    for (std::string_view name : names) node = node->AddSubkey(name);
    key_ = node;
    skipSection_ = false;
  }

  void DeleteKey(const std::vector<std::string_view>& names, std::size_t lineNo) {
    if (names.empty()) return Warn(lineNo, "the root key cannot be deleted");
    RegNode* parent = root_;
    for (std::size_t i = 0; parent && i + 1 < names.size(); ++i)
      parent = parent->FindSubkey(names[i]);
    if (parent) RemoveSubkey(parent, names.back());
  }

  void ReadValue(std::string_view line, std::size_t lineNo) {
    std::string name;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else if (!ReadQuoted(&line, &name)) {
      return Warn(lineNo, "a value name without its closing quote");
    }
    line = TrimBlanks(line);
    if (line.empty() || line.front() != '=') return Warn(lineNo, "no '=' after the value name");
    line = TrimBlanks(line.substr(1));
    if (!line.empty() && line.front() == '-' && EndsHere(line.substr(1))) {
      key_->RemoveValue(name);
      return;
    }
    if (!line.empty() && line.front() == '"') {
      std::string data;
      if (!ReadQuoted(&line, &data)) return Warn(lineNo, "a text without its closing quote");
      if (!EndsHere(line)) return Warn(lineNo, "more after the closing quote of the text");
      key_->SetValue(name, kRegSz, std::move(data) + '\0');
      return;
    }
    if (StartsWithIgnoreCase(line, "dword:")) {
      line.remove_prefix(6);
      std::uint32_t v = 0;
      if (!ReadHexNumber(&line, 8, &v) || !EndsHere(line))
        return Warn(lineNo, "dword: needs 1 to 8 hex digits");
      std::string data;
      for (int i = 0; i < 4; ++i) data += static_cast<char>((v >> (8 * i)) & 0xFF);
      key_->SetValue(name, kRegDword, std::move(data));
      return;
    }
    std::uint32_t type = kRegBinary;
    if (StartsWithIgnoreCase(line, "hex(")) {
      line.remove_prefix(4);
      if (!ReadHexNumber(&line, 8, &type) || line.substr(0, 2) != "):")
        return Warn(lineNo, "a bad hex(type)");
      line.remove_prefix(2);
    } else if (StartsWithIgnoreCase(line, "hex:")) {
      line.remove_prefix(4);
    } else {
      return Warn(lineNo, "an unknown kind of value data");
    }
    ReadHexValue(std::move(name), type, line, lineNo);
  }

  // A hex list, going on over the following lines while it ends in a
  // backslash.
  void ReadHexValue(std::string name, std::uint32_t type, std::string_view first,
                    std::size_t lineNo) {
    std::string list(TrimBlanks(first));
    while (!list.empty() && list.back() == '\\' && next_ < lines_.size()) {
      list.pop_back();
      list += TrimBlanks(lines_[next_++]);
    }
    if (!list.empty() && list.back() == '\\') list.pop_back();  // at the end of the file
    std::string data;
    if (!ParseHexBytes(list, &data)) return Warn(lineNo, "a bad byte in the hex list");
    if (unicode_ && (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz) &&
        data.size() % 2 == 0) {
      std::string ansi;
      if (!Utf16ToCp1252(data, &ansi))
        Warn(lineNo, "a character outside code page 1252 was read as '?'");
      data = std::move(ansi);
    }
    key_->SetValue(name, type, std::move(data));
  }

  RegNode* root_;
  const RegImportOptions& options_;
  RegImportReport report_;
  std::vector<std::string_view> lines_;
  std::size_t next_ = 0;
  bool unicode_ = false;
  RegNode* key_ = nullptr;
  bool skipSection_ = false;
};

}  // namespace

RegImportReport ImportRegFile(std::string_view bytes, RegNode* root,
                              const RegImportOptions& options) {
  return Importer(root, options).Run(bytes);
}

std::string OtherRootsNote(const RegImportReport& report, const std::string& fileName) {
  if (report.otherRootKeys == 0) return std::string();
  return fileName + ": skipped " + std::to_string(report.otherRootKeys) +
         (report.otherRootKeys == 1 ? " key" : " keys") +
         " under roots other than HKEY_LOCAL_MACHINE";
}

}  // namespace nl::regfile
