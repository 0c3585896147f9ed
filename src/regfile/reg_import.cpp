// Import of .reg files; see reg_file.h for what is read.
#include <cstdint>
#include <map>

#include "platform/platform.h"
#include "regfile/reg_decode.h"
#include "regfile/reg_file.h"
#include "regfile/reg_lines.h"

namespace nl::regfile {

namespace {

constexpr std::string_view kRootName = "HKEY_LOCAL_MACHINE";
constexpr std::string_view kVersion4 = "REGEDIT4";
constexpr std::string_view kVersion5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOtherRoots[] = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",   "HKEY_USERS",
    "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA", "HKEY_PERFORMANCE_DATA"};

// A quoted text starting at s[0] == '"'; moves `s` past the closing quote.
// "\\" and "\"" stand for a backslash and a quote, any other backslash for
// itself, but "\0" makes regedit drop the line.
enum class Quoted { kOk, kNoClosingQuote, kEscapedZero };

Quoted ReadQuoted(std::string_view* s, std::string* out) {
  out->clear();
  for (std::size_t i = 1; i < s->size(); ++i) {
    const char c = (*s)[i];
    if (c == '"') {
      s->remove_prefix(i + 1);
      return Quoted::kOk;
    }
    if (c == '\\' && i + 1 < s->size()) {
      const char escaped = (*s)[i + 1];
      if (escaped == '0') return Quoted::kEscapedZero;
      if (escaped == '\\' || escaped == '"') ++i;
    }
    *out += (*s)[i];
  }
  return Quoted::kNoClosingQuote;
}

bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

// What a value line says, read before it is applied (or not, in a section
// that is skipped).
struct ValueLine {
  bool ok = true;
  std::string why;  // when !ok
  bool remove = false;
  std::string name;
  std::uint32_t type = 0;
  std::string data;
  bool replacedCharacters = false;  // in text converted from UTF-16LE
};

constexpr std::size_t kWarningsInFull = 100;

// A warning's kind: its reason up to a quoted text or a number, which
// differ from one line to the next.
std::string WarningKind(std::string_view why) {
  std::size_t end = why.find_first_of("\"0123456789");
  if (end == std::string_view::npos) end = why.size();
  while (end > 0 && why[end - 1] == ' ') --end;
  return std::string(why.substr(0, end));
}

// "lines 3 and 4", "lines 3 to 7"
std::string LinesSkipped(std::size_t first, std::size_t last) {
  if (first == last) return "line skipped";
  return "lines " + std::to_string(first) + (last == first + 1 ? " and " : " to ") +
         std::to_string(last) + " skipped";
}

class Importer {
 public:
  Importer(RegNode* root, const RegImportOptions& options)
      : root_(root), options_(options) {}

  RegImportReport Run(std::string_view bytes) {
    DecodedRegText decoded = DecodeRegText(bytes);
    std::string& text = decoded.text;
    if (!text.empty() && text.back() == '\x1A') text.pop_back();
    lines_ = SplitRegLines(text);
    std::string_view header;
    if (TakeRegLine(&lines_, &header)) header = TrimBlanks(header);
    if (header != kVersion4 && header != kVersion5)
      throw RegFileError(options_.fileName + ": not a registry file: the first line must be " +
                         std::string(kVersion4) + " or " + std::string(kVersion5));
    unicode_ = header == kVersion5;
    for (std::size_t line : decoded.replacedOnLines)
      Warn(line, "a character outside code page 1252 was read as '?'", "");
    RegLine line;
    while (NextRegLine(&lines_, &line)) {
      switch (line.kind) {
        case RegLineKind::kNothing: break;
        case RegLineKind::kKey: ReadSection(line.text, line.number); break;
        case RegLineKind::kValue: ReadValueLine(line); break;
        case RegLineKind::kOther: Warn(line.number, "neither a key, a value nor a comment"); break;
      }
    }
    CountMoreWarnings();
    return std::move(report_);
  }

 private:
  // "file line N: why; consequence" (the consequence may be empty). The
  // first kWarningsInFull are kept in full, the rest only counted by kind,
  // so a file of millions of bad lines gives a short report.
  void Warn(std::size_t lineNo, std::string_view why,
            std::string_view consequence = "line skipped") {
    if (!options_.strict && report_.warnings.size() >= kWarningsInFull) {
      // A flood is mostly one warning over and over.
      if (why != lastWhy_) {
        lastWhy_ = why;
        lastCount_ = &moreWarnings_[WarningKind(lastWhy_)];
      }
      ++*lastCount_;
      return;
    }
    std::string message = options_.fileName + " line " + std::to_string(lineNo) + ": ";
    message += why;
    if (options_.strict) throw RegFileError(message);
    if (!consequence.empty()) (message += "; ") += consequence;
    report_.warnings.push_back(std::move(message));
  }

  // "N more lines like this: why" for each kind of warning past the first.
  void CountMoreWarnings() {
    for (const auto& [kind, count] : moreWarnings_)
      report_.warnings.push_back(options_.fileName + ": " + std::to_string(count) + " more " +
                                 (count == 1 ? "warning" : "warnings") + " of the kind \"" +
                                 kind + "\"");
  }

  [[noreturn]] void Fail(std::size_t lineNo, const std::string& why) {
    throw RegFileError(options_.fileName + " line " + std::to_string(lineNo) + ": " + why);
  }

  void ReadSection(std::string_view line, std::size_t lineNo) {
    key_ = nullptr;
    skipSection_ = true;  // until the section proves good
    RegKeyPath& path = path_;
    if (!ParseKeyLine(line, &path)) return Warn(lineNo, "a key without its closing ']'");
    if (!EqualsIgnoreCase(path.root, options_.rootKey)) {
      if (EqualsIgnoreCase(path.root, kRootName)) {
        ++report_.otherRootKeys;
        return;
      }
      for (std::string_view other : kOtherRoots)
        if (EqualsIgnoreCase(path.root, other)) {
          ++report_.otherRootKeys;
          return;
        }
      return Warn(lineNo, "unknown root key \"" + std::string(path.root) + "\"");
    }
    const std::vector<std::string_view>& names = path.names;
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
    if (path.remove) return DeleteKey(names, lineNo);
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

  // The value is read through in any case, so that the lines a hex list
  // goes on over are used up even where the value itself is not wanted.
  void ReadValueLine(const RegLine& line) {
    ValueLine& value = value_;
    ReadValue(line.text, line.number, &value);
    const std::size_t last = LastLineRead(lines_);
    // Values of a skipped section (another root, a bad key line) are not
    // checked, but a line that a broken hex list there swallowed (a key
    // line, say) is worth knowing of.
    if (skipSection_) {
      if (!value.ok && last > line.number) Warn(last, value.why, LinesSkipped(line.number, last));
      return;
    }
    if (!key_)
      return Warn(line.number, "a value before the first key", LinesSkipped(line.number, last));
    if (!value.ok) return Warn(last, value.why, LinesSkipped(line.number, last));
    if (value.remove) {
      key_->RemoveValue(value.name);
      return;
    }
    if (value.replacedCharacters)
      Warn(line.number, "a character outside code page 1252 was read as '?'", "");
    key_->SetValue(value.name, value.type, std::move(value.data));
  }

  // Fills `v`, which keeps its buffers from one value to the next.
  void ReadValue(std::string_view line, std::size_t lineNo, ValueLine* out) {
    ValueLine& v = *out;
    v.ok = true;
    v.remove = v.replacedCharacters = false;
    v.name.clear();
    v.data.clear();
    const auto bad = [&v](std::string why) {
      v.ok = false;
      v.why = std::move(why);
    };
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else {
      const Quoted name = ReadQuoted(&line, &v.name);
      if (name == Quoted::kNoClosingQuote) return bad("a value name without its closing quote");
      if (name == Quoted::kEscapedZero) return bad("\\0 in a value name");
      if (v.name.find('\0') != std::string::npos) return bad("a NUL byte in a value name");
    }
    line = TrimBlanks(line);
    if (line.empty() || line.front() != '=') return bad("no '=' after the value name");
    line = TrimBlanks(line.substr(1));
    if (!line.empty() && line.front() == '-' && EndsHere(line.substr(1))) {
      v.remove = true;
      return;
    }
    if (!line.empty() && line.front() == '"') {
      const Quoted text = ReadQuoted(&line, &v.data);
      if (text == Quoted::kNoClosingQuote) return bad("a text without its closing quote");
      if (text == Quoted::kEscapedZero) return bad("\\0 in a text");
      if (!EndsHere(line)) return bad("more after the closing quote of the text");
      v.type = kRegSz;
      v.data += '\0';
      return;
    }
    if (StartsWithIgnoreCase(line, "dword:")) {
      line = TrimBlanks(line.substr(6));
      std::uint32_t d = 0;
      if (!ReadHexNumber(&line, 8, &d) || !EndsHere(line))
        return bad("dword: needs 1 to 8 hex digits");
      v.type = kRegDword;
      for (int i = 0; i < 4; ++i) v.data += static_cast<char>((d >> (8 * i)) & 0xFF);
      return;
    }
    v.type = kRegBinary;
    if (StartsWithIgnoreCase(line, "hex(")) {
      line.remove_prefix(4);
      if (!ReadHexNumber(&line, 8, &v.type) || line.substr(0, 2) != "):")
        return bad("a bad hex(type)");
      line.remove_prefix(2);
    } else if (StartsWithIgnoreCase(line, "hex:")) {
      line.remove_prefix(4);
    } else {
      return bad("an unknown kind of value data");
    }
    HexListResult list = ReadHexList(line, lineNo, &lines_, &v.data);
    if (!list.ok) return bad(std::move(list.why));
    if (unicode_ && (v.type == kRegSz || v.type == kRegExpandSz || v.type == kRegMultiSz) &&
        v.data.size() % 2 == 0) {
      std::string ansi;
      v.replacedCharacters = !Utf16ToCp1252(v.data, &ansi);
      v.data = std::move(ansi);
    }
  }

  RegNode* root_;
  const RegImportOptions& options_;
  RegImportReport report_;
  RegLines lines_;
  RegKeyPath path_;  // kept, with their buffers, from one line to the next
  ValueLine value_;
  std::map<std::string, std::size_t> moreWarnings_;  // kind -> warnings not kept
  std::string lastWhy_;
  std::size_t* lastCount_ = nullptr;
  bool unicode_ = false;
  RegNode* key_ = nullptr;
  bool skipSection_ = false;
};

// An export writes each key's whole path. A file that names only the
// deepest keys of long chains (each a path of up to 512 names of 255
// characters) implies every key above them, and the paths of those grow
// with the square of the depth: 2 MB of such lines would export as
// hundreds of MB. The sum of the key paths is known from the tree before
// anything is written, and refused when it would multiply the file.
void CheckKeyPathsFit(const RegNode& root, std::size_t fileBytes, const std::string& fileName) {
  const std::uint64_t limit = kKeyPathGrowth * fileBytes + kKeyPathAllowance;
  std::uint64_t total = 0;
  std::vector<std::pair<const RegNode*, std::uint64_t>> pending = {{&root, root.name.size()}};
  while (!pending.empty()) {
    const auto [node, length] = pending.back();
    pending.pop_back();
    total += length + 3;  // "[", "]", line end
    if (total > limit)
      throw RegFileError(fileName + ": its keys' paths would take more than " +
                         std::to_string(limit >> 20) + " MB written out, over " +
                         std::to_string(kKeyPathGrowth) + " times the file's size and " +
                         std::to_string(kKeyPathAllowance >> 20) +
                         " MB more (keys named only as parts of deeper paths)");
    for (const auto& subkey : node->subkeys)
      pending.emplace_back(subkey.get(), length + 1 + subkey->name.size());
  }
}

}  // namespace

RegImportReport ImportRegFile(std::string_view bytes, RegNode* root,
                              const RegImportOptions& options) {
  RegImportReport report = Importer(root, options).Run(bytes);
  CheckKeyPathsFit(*root, bytes.size(), options.fileName);
  return report;
}

std::string OtherRootsNote(const RegImportReport& report, const std::string& fileName) {
  if (report.otherRootKeys == 0) return std::string();
  return fileName + ": skipped " + std::to_string(report.otherRootKeys) +
         (report.otherRootKeys == 1 ? " key" : " keys") +
         " under roots other than HKEY_LOCAL_MACHINE";
}

}  // namespace nl::regfile
