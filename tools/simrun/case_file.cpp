#include "case_file.h"

#include <cstdint>
#include <type_traits>

#include "case_registry_part.h"
#include "diag/case_output.h"
#include "regfile/ignore_case.h"
#include "regfile/reg_lines.h"
#include "setup/driver_prep.h"

namespace simrun {
namespace {

namespace diag = nl::diag;
using nl::regfile::RegLines;

bool StartsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

// "159900" -> "159,900".
std::string Thousands(std::size_t count) {
  std::string digits = std::to_string(count), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// The names NLDIAG writes in each part of fields; any other is skipped.
const std::vector<std::string> kSystemNames = {
    "windows-version",        "windows-build",  "windows-platform", "windows-extra",
    "windows-version-number", "windows-subversion-number",          "collected",
    "user-locale",            "system-locale",  "windows-folder",   "program"};
const std::vector<std::string> kStatusNames = {"scratch-folder"};
const std::vector<std::string> kProgramNames = {"folder", nl::kDriverFileName,
                                                diag::kInstallerFileName};
const std::vector<std::string> kSourceNames = {"drive", "type", "medium", "folder",
                                               nl::kDriverFileName};
const std::vector<std::string> kFileNames = {"path", "state", "written", "read", "size", "crc32"};
const std::vector<std::string> kToolNames = {"RUNDLL32.EXE", "SYSDM.CPL", "NETCPL.CPL",
                                             "SHELL32.DLL"};
const std::vector<std::string> kDatabaseNames = {"DRVDATA.BIN", "DRVIDX.BIN"};
// "COM1" to "COM9", "LPT1" to "LPT9", and the count.
const std::vector<std::string> kPortNames = [] {
  std::vector<std::string> names = {"found"};
  for (const char* stem : {"COM", "LPT"})
    for (char digit = '1'; digit <= '9'; ++digit) names.push_back(std::string(stem) + digit);
  return names;
}();

enum class PartKind { kOutside, kFields, kStatus, kRegistry, kFile, kEnd, kSkipped };

// The part being read.
struct OpenPart {
  PartKind kind = PartKind::kOutside;
  std::string name;
  std::size_t line = 0;
  CaseFields* fields = nullptr;
  const std::vector<std::string>* names = nullptr;
  std::size_t bodyStart = 0;  // byte where its first line starts
  // A setup file's part.
  CaseSetupFile file;
  CaseFields fileFields;
  std::size_t firstHexLine = 0, shortHexLine = 0;
};

struct Reader {
  std::string_view bytes;
  const std::string& fileName;
  CaseFile result;
  std::map<std::string_view, std::size_t> moreOfKind;  // warnings past the first 100, by kind
  // The parts of fields, then the setup files, then those of version 2.
  bool seenPart[9 + sizeof diag::kCaseSetupFiles / sizeof diag::kCaseSetupFiles[0] + 4] = {};
  bool statusRead = false;
  RegistrySections sections;
  OpenPart part;

  Reader(std::string_view caseBytes, const std::string& name) : bytes(caseBytes), fileName(name) {
    result.fileName = name;
  }

  std::string At(std::size_t line) const { return fileName + " line " + std::to_string(line); }
  [[noreturn]] void Fail(std::size_t line, const std::string& why) const {
    throw CaseError(At(line) + ": " + why);
  }
  // `kind` names the warning's kind in the plural, for the count of those
  // past the first 100: "lines outside every part".
  // `why` is the text, or what makes it (made only for a warning given in
  // full, so that a flood of lines costs no text each).
  template <typename Why>
  void Warn(std::size_t line, const char* kind, const Why& why) {
    if (result.warnings.size() >= kWarningsInFull) {
      ++moreOfKind[kind];
    } else if constexpr (std::is_invocable_v<Why>) {
      result.warnings.push_back(At(line) + ": " + why());
    } else {
      result.warnings.push_back(At(line) + ": " + why);
    }
  }

  static bool Skipped(std::string_view text) { return text.empty() || text[0] == ';'; }

  // "name = value" into `fields`, when `names` holds the name; false when
  // the line is not of that form.
  bool ReadField(std::string_view text, std::size_t line, CaseFields* fields,
                 const std::vector<std::string>& names, bool twiceIsDamage) {
    const std::size_t at = text.find(" = ");
    if (at == std::string_view::npos || at == 0) return false;
    const std::string_view name = text.substr(0, at), value = text.substr(at + 3);
    bool known = false;
    for (const std::string& candidate : names) known = known || name == candidate;
    if (!known) {
      Warn(line, "fields this simrun does not know",
           [&] { return "a field NLDIAG.EXE does not write here, skipped: " + Shown(name); });
    } else if (!fields->emplace(std::string(name), CaseField{std::string(value), line}).second) {
      if (twiceIsDamage) Fail(line, "\"" + Shown(name) + "\" given again");
      Warn(line, "fields given again", [&] { return "\"" + Shown(name) + "\" given again, skipped"; });
    }
    return true;
  }

  void ReadStatusLine(std::string_view text, std::size_t line) {
    const std::size_t at = text.find(" = ");
    for (std::size_t i = 0; at != std::string_view::npos && i < kSubtreeCount; ++i) {
      if (text.substr(0, at) != diag::kCaseSubtrees[i].path) continue;
      CaseSubtreeStatus& status = result.subtrees[i];
      if (status.line != 0) Fail(line, "the status of " + std::string(diag::kCaseSubtrees[i].path) +
                                           " given again (first at line " +
                                           std::to_string(status.line) + ")");
      if (!ParseSubtreeStatus(text.substr(at + 3), diag::kCaseSubtrees[i].valuesOnly, &status))
        Fail(line, "not a status NLDIAG.EXE writes for " + std::string(diag::kCaseSubtrees[i].path) +
                       ": " + Shown(text.substr(at + 3)));
      status.line = line;
      return;
    }
    if (!ReadField(text, line, &result.registryStatus, kStatusNames, false))
      Warn(line, "lines not of the form \"name = value\"",
           [&] { return "not a \"name = value\" line, skipped: " + Shown(text); });
  }

  static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  // Decimal or 0x-hexadecimal number of at most 32 bits; false otherwise.
  static bool Number(std::string_view text, std::uint32_t* value) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
      base = 16;
      text.remove_prefix(2);
    }
    if (text.empty() || text.size() > (base == 16 ? 8u : 10u)) return false;
    std::uint64_t number = 0;
    for (char c : text) {
      const int digit = HexDigit(c);
      if (digit < 0 || digit >= base) return false;
      number = number * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    if (number > 0xFFFFFFFFu) return false;
    *value = static_cast<std::uint32_t>(number);
    return true;
  }

  // A line of a setup file's part: a field, or bytes as NLDIAG writes them,
  // 32 a line and fewer only on the last.
  void ReadFileLine(std::string_view text, std::size_t line) {
    CaseSetupFile& file = part.file;
    if (ReadField(text, line, &part.fileFields, kFileNames, true)) return;
    if (text.size() % 2 != 0) Fail(line, "a line of bytes with an odd number of digits");
    for (std::size_t i = 0; i < text.size(); i += 2) {
      const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
      if (high < 0 || low < 0)
        Fail(line, "neither \"name = value\" nor hexadecimal bytes: " + Shown(text));
      file.bytes += static_cast<char>(high * 16 + low);
    }
    if (part.shortHexLine != 0)
      Fail(part.shortHexLine, "a line of bytes of " + file.name + " shorter than " +
                                  std::to_string(diag::kHexBytesPerLine) +
                                  " bytes before its last: a line wrapped or cut after "
                                  "NLDIAG.EXE wrote it");
    if (text.size() > 2 * diag::kHexBytesPerLine)
      Fail(line, "more than " + std::to_string(diag::kHexBytesPerLine) +
                     " bytes on one line of " + file.name + ": lines joined after NLDIAG.EXE wrote them");
    if (text.size() < 2 * diag::kHexBytesPerLine) part.shortHexLine = line;
    if (file.bytes.size() > diag::kMaxFileBytes)
      Fail(line, "more bytes than a case holds for one file (" +
                     std::to_string(diag::kMaxFileBytes) + ")");
    if (part.firstHexLine == 0) part.firstHexLine = line;
  }

  void CloseFile() {
    CaseSetupFile& file = part.file;
    CaseFields& fields = part.fileFields;
    const char* known = file.name.c_str();
    file.path = fields["path"];
    file.state = fields["state"];
    if (fields.count("written")) file.written = fields["written"];
    if (file.state.line == 0) Fail(part.line, std::string("no \"state\" line for ") + known);
    const bool statedPresent = file.state.value == "present";
    if (!statedPresent && part.firstHexLine != 0)
      Fail(part.firstHexLine, std::string("bytes for ") + known + ", whose state is not \"present\"");
    if (statedPresent) {
      const auto read = fields.find("read");
      const auto size = fields.find("size");
      const auto crc = fields.find("crc32");
      std::uint32_t sizeValue = 0, crcValue = 0;
      if (read != fields.end()) {
        Warn(read->second.line, "files not read whole",
             std::string(known) + " could not be read whole on the PC: " + Shown(read->second.value));
      } else if (size == fields.end() || crc == fields.end()) {
        Fail(part.line, std::string("no \"size\" or \"crc32\" line for ") + known +
                            " (the file ends early?)");
      } else if (!Number(size->second.value, &sizeValue)) {
        Fail(size->second.line, "not a number: " + Shown(size->second.value));
      } else if (sizeValue != file.bytes.size()) {
        Fail(size->second.line, std::string(known) + " is " + std::to_string(sizeValue) +
                                    " bytes, the lines above hold " +
                                    std::to_string(file.bytes.size()));
      } else if (!Number(crc->second.value, &crcValue)) {
        Fail(crc->second.line, "not a number: " + Shown(crc->second.value));
      } else if (crcValue != diag::Crc32(0, file.bytes.data(), file.bytes.size())) {
        Fail(crc->second.line, std::string("the bytes of ") + known +
                                   " do not match their checksum (changed after NLDIAG wrote them?)");
      } else {
        file.present = true;
      }
    }
    result.files.push_back(std::move(file));
  }

  // The part ends where the next begins (`end`, a byte offset).
  void Close(std::size_t end) {
    if (part.kind == PartKind::kRegistry) {
      result.registryLine = part.line;
      result.registry = ReadRegistryPart(bytes.substr(part.bodyStart, end - part.bodyStart),
                                         part.line, fileName, &result.otherRootKeys);
      if (result.otherRootKeys != 0)
        Warn(part.line, "registry parts with keys under other roots",
             std::to_string(result.otherRootKeys) +
                 " keys under other roots than HKEY_LOCAL_MACHINE, skipped");
    } else if (part.kind == PartKind::kFile) {
      CloseFile();
    } else if (part.kind == PartKind::kStatus) {
      statusRead = true;
    }
  }

  // Opens the part a "== <name>" line names; `bodyStart` is the byte after it.
  void Open(std::string_view name, std::size_t line, std::size_t bodyStart) {
    part = OpenPart();
    part.name = std::string(name);
    part.line = line;
    part.bodyStart = bodyStart;
    struct Known {
      const char* name;
      PartKind kind;
      CaseFields* fields;
      const std::vector<std::string>* names;
    };
    const Known known[] = {
        {diag::kPartSystem, PartKind::kFields, &result.system, &kSystemNames},
        {diag::kPartRegistry, PartKind::kRegistry, nullptr, nullptr},
        {diag::kPartRegistryStatus, PartKind::kStatus, nullptr, nullptr},
        {diag::kPartProgramFolder, PartKind::kFields, &result.programFolder, &kProgramNames},
        {diag::kPartSourceDrive, PartKind::kFields, &result.sourceDrive, &kSourceNames},
        {diag::kPartEnd, PartKind::kEnd, nullptr, nullptr},
        {diag::kPartSystemTools, PartKind::kFields, &result.systemTools, &kToolNames},
        {diag::kPartPorts, PartKind::kFields, &result.ports, &kPortNames},
        {diag::kPartDriverDatabase, PartKind::kFields, &result.driverDatabase, &kDatabaseNames},
    };
    std::size_t index = 0;
    for (const Known& candidate : known) {
      if (name == candidate.name) {
        part.kind = candidate.kind;
        part.fields = candidate.fields;
        part.names = candidate.names;
        break;
      }
      ++index;
    }
    if (index == std::size(known) && StartsWith(name, diag::kPartFilePrefix)) {
      const std::string_view fileName = name.substr(std::string_view(diag::kPartFilePrefix).size());
      for (const char* candidate : diag::kCaseSetupFiles) {
        if (nl::regfile::EqualsIgnoreCase(fileName, candidate)) {
          part.kind = PartKind::kFile;
          part.file.name = candidate;
          part.file.line = line;
          break;
        }
        ++index;
      }
      if (part.kind != PartKind::kFile) {
        Warn(line, "parts for files NLDIAG.EXE does not collect",
             "no setup file of that name is collected, part skipped: " + Shown(fileName));
        part.kind = PartKind::kSkipped;
        return;
      }
    }
    // The driver file beside the program and in SourcePath, and the INF
    // files of the Windows folder: files as the setup files are.
    const struct {
      bool match;
      CasePlace place;
      const char* fileName;
    } placed[] = {
        {name == diag::kPartDriverBesideProgram, CasePlace::kBesideProgram, nl::kDriverFileName},
        {name == diag::kPartDriverInSource, CasePlace::kInSource, nl::kDriverFileName},
        {StartsWith(name, diag::kPartInfFolderFilePrefix) &&
             nl::regfile::EqualsIgnoreCase(
                 name.substr(std::string_view(diag::kPartInfFolderFilePrefix).size()), nl::kIrminiInf),
         CasePlace::kInfFolder, nl::kIrminiInf},
        {StartsWith(name, diag::kPartInfFolderFilePrefix) &&
             nl::regfile::EqualsIgnoreCase(
                 name.substr(std::string_view(diag::kPartInfFolderFilePrefix).size()),
                 nl::kInfraredInf),
         CasePlace::kInfFolder, nl::kInfraredInf},
    };
    if (part.kind == PartKind::kOutside) {
      index = std::size(seenPart) - std::size(placed);
      for (const auto& candidate : placed) {
        if (candidate.match) {
          part.kind = PartKind::kFile;
          part.file.name = candidate.fileName;
          part.file.place = candidate.place;
          part.file.line = line;
          break;
        }
        ++index;
      }
    }
    if (part.kind == PartKind::kOutside) {
      Warn(line, "parts this simrun does not know",
           [&] { return "a part this simrun does not know, skipped: " + Shown(name); });
      part.kind = PartKind::kSkipped;
      return;
    }
    if (seenPart[index]) Fail(line, "the part \"" + Shown(name) + "\" comes a second time");
    seenPart[index] = true;
  }

  void Feed(std::string_view text, std::size_t line) {
    switch (part.kind) {
      case PartKind::kRegistry:
        if (const std::size_t first = sections.Line(text, line))
          Warn(line, "key sections given again", [&] {
            return "the key " + Shown(nl::regfile::TrimBlanks(text)) + " is given again (first at line " +
                   std::to_string(first) + "): read as one";
          });
        return;
      case PartKind::kSkipped: return;
      default: break;
    }
    if (Skipped(text)) return;
    switch (part.kind) {
      case PartKind::kOutside:
        return Warn(line, "lines outside every part",
                    [&] { return "outside every part, skipped: " + Shown(text); });
      case PartKind::kEnd:
        return Warn(line, "lines after the closing \"== end\"",
                    [&] { return "after the closing \"== end\", skipped: " + Shown(text); });
      case PartKind::kFile: return ReadFileLine(text, line);
      case PartKind::kStatus: return ReadStatusLine(text, line);
      default:
        if (!ReadField(text, line, part.fields, *part.names, false))
          Warn(line, "lines not of the form \"name = value\"",
               [&] { return "not a \"name = value\" line, skipped: " + Shown(text); });
    }
  }

  void Read() {
    if (bytes.size() > kMaxCaseBytes)
      throw CaseError(fileName + ": " + std::to_string(bytes.size()) +
                      " bytes, more than a case file holds (" + std::to_string(kMaxCaseBytes) + ")");
    RegLines lines = nl::regfile::SplitRegLines(bytes);
    std::string_view text;
    // A case of the first version, without the parts added since, reads as well.
    if (!nl::regfile::TakeRegLine(&lines, &text) ||
        (text != diag::kCaseFirstLine && text != diag::kCaseFirstLineVersion1)) {
      if (StartsWith(bytes, "\xEF\xBB\xBF") || StartsWith(bytes, "\xFF\xFE"))
        Fail(1, "the file was saved again as Unicode or UTF-8; send the NLCASE.TXT that "
                "NLDIAG.EXE wrote, unchanged");
      Fail(1, std::string("not a case file of NLDIAG.EXE (the first line must be \"") +
                  diag::kCaseFirstLine + "\"): " + Shown(text));
    }
    result.version = text == diag::kCaseFirstLine ? 2 : 1;
    bool ended = false;
    for (;;) {
      const std::size_t start = lines.at;
      if (!nl::regfile::TakeRegLine(&lines, &text)) break;
      const std::size_t line = nl::regfile::LastLineRead(lines);
      if (ended) {
        if (!Skipped(text))
          Warn(line, "lines after the closing \"== end\"",
               [&] { return "after the closing \"== end\", skipped: " + Shown(text); });
      } else if (StartsWith(text, "== ")) {
        Close(start);
        Open(text.substr(3), line, lines.at);
        ended = part.kind == PartKind::kEnd;
      } else {
        Feed(text, line);
      }
    }
    if (!ended) {
      const std::size_t last = nl::regfile::LastLineRead(lines);
      if (part.kind == PartKind::kOutside)
        Fail(last, "the case ends before its first part: cut short on the way? Ask for the "
                   "NLCASE.TXT that NLDIAG.EXE wrote, whole");
      Fail(last, "the case ends in the part \"" + Shown(part.name) + "\" (from line " +
                     std::to_string(part.line) + ") without its closing \"== end\" line: cut short "
                     "on the way? Ask for the NLCASE.TXT that NLDIAG.EXE wrote, whole");
    }
    if (result.registry && statusRead)
      sections.CheckAgainstStatus(*result.registry, result.subtrees, fileName);
    for (const auto& [kind, count] : moreOfKind)
      result.warnings.push_back(fileName + ": and " + Thousands(count) + " more " + std::string(kind));
  }
};

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  for (const char byte : text) {
    const unsigned char c = static_cast<unsigned char>(byte);
    if (c >= 0x20 && c < 0x7F) {
      out += byte;
    } else {
      static const char kDigits[] = "0123456789abcdef";
      out += "\\x";
      out += kDigits[c >> 4];
      out += kDigits[c & 0xF];
    }
  }
  return out;
}

std::string Shown(std::string_view text) {
  return Printable(text.substr(0, 60)) + (text.size() > 60 ? "..." : "");
}

CaseFile ReadCaseFile(std::string_view bytes, const std::string& fileName) {
  Reader reader(bytes, fileName);
  reader.Read();
  return std::move(reader.result);
}

}  // namespace simrun
