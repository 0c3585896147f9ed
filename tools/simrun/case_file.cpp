#include "case_file.h"

#include <cstdint>

#include "diag/case_format.h"
#include "diag/case_output.h"
#include "regfile/ignore_case.h"
#include "regfile/reg_file.h"

namespace simrun {
namespace {

namespace diag = nl::diag;

struct Line {
  std::string_view text;
  std::size_t number;
};

// Lines end in CRLF as written, or in LF alone after a mail program or an
// editor changed them.
std::vector<Line> SplitLines(std::string_view bytes) {
  std::vector<Line> lines;
  std::size_t start = 0, number = 1;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view text = bytes.substr(start, end - start);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    lines.push_back({text, number++});
    start = end + 1;
  }
  return lines;
}

// Bytes of the customer's file shown in a message: at most 60 of them.
std::string Shown(std::string_view text) {
  return Printable(text.substr(0, 60)) + (text.size() > 60 ? "..." : "");
}

struct Reader {
  const std::string& fileName;
  CaseFile result;

  std::string At(std::size_t line) const { return fileName + " line " + std::to_string(line); }
  [[noreturn]] void Fail(std::size_t line, const std::string& why) const {
    throw CaseError(At(line) + ": " + why);
  }
  void Warn(std::size_t line, const std::string& why) {
    result.warnings.push_back(At(line) + ": " + why);
  }

  // "name = value"; false when the line is not of that form.
  static bool SplitField(std::string_view text, std::string* name, std::string* value) {
    const std::size_t at = text.find(" = ");
    if (at == std::string_view::npos || at == 0) return false;
    *name = std::string(text.substr(0, at));
    *value = std::string(text.substr(at + 3));
    return true;
  }

  static bool Skipped(std::string_view text) { return text.empty() || text[0] == ';'; }

  void ReadFields(const std::vector<Line>& lines, CaseFields* fields) {
    for (const Line& line : lines) {
      if (Skipped(line.text)) continue;
      std::string name, value;
      if (!SplitField(line.text, &name, &value)) {
        Warn(line.number, "not a \"name = value\" line, skipped: " + Shown(line.text));
        continue;
      }
      if (!fields->emplace(name, CaseField{value, line.number}).second)
        Warn(line.number, "\"" + Shown(name) + "\" given again, skipped");
    }
  }

  // The registry part goes to the .reg reader as it stands; its messages
  // name the part's own lines, which are put back as the case's lines.
  void ReadRegistry(const std::vector<Line>& lines, std::size_t partLine) {
    std::string text;
    for (const Line& line : lines) {
      text.append(line.text);
      text += "\r\n";
    }
    const std::size_t firstLine = lines.empty() ? partLine + 1 : lines.front().number;
    auto caseLine = [&](const std::string& message) {
      // "<name> line N: why" from the .reg reader.
      const std::string prefix = "registry line ";
      if (message.compare(0, prefix.size(), prefix) != 0) return At(partLine) + ": " + message;
      std::size_t digits = prefix.size(), number = 0;
      while (digits < message.size() && message[digits] >= '0' && message[digits] <= '9' &&
             number < 1000000000)
        number = number * 10 + static_cast<std::size_t>(message[digits++] - '0');
      if (digits == prefix.size()) return At(partLine) + ": " + message;
      return At(firstLine + number - 1) + message.substr(digits);
    };
    result.registry = std::make_unique<nl::regfile::RegNode>();
    result.registryLine = partLine;
    nl::regfile::RegImportOptions options;
    options.fileName = "registry";
    try {
      const nl::regfile::RegImportReport report =
          nl::regfile::ImportRegFile(text, result.registry.get(), options);
      for (const std::string& warning : report.warnings) result.warnings.push_back(caseLine(warning));
      if (report.otherRootKeys != 0)
        Warn(partLine, std::to_string(report.otherRootKeys) +
                           " keys under other roots than HKEY_LOCAL_MACHINE, skipped");
    } catch (const nl::regfile::RegFileError& error) {
      throw CaseError(caseLine(error.what()));
    }
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

  void ReadSetupFile(const std::vector<Line>& lines, std::size_t partLine, std::string_view name) {
    const char* known = nullptr;
    for (const char* candidate : diag::kCaseSetupFiles)
      if (nl::regfile::EqualsIgnoreCase(name, candidate)) known = candidate;
    if (known == nullptr) {
      Warn(partLine, "no setup file of that name is collected, part skipped: " + Shown(name));
      return;
    }
    for (const CaseSetupFile& file : result.files)
      if (file.name == known) Fail(partLine, std::string("a second part for ") + known);
    CaseSetupFile file;
    file.name = known;
    file.line = partLine;
    CaseFields fields;
    std::size_t firstHexLine = 0;
    for (const Line& line : lines) {
      if (Skipped(line.text)) continue;
      std::string field, value;
      if (SplitField(line.text, &field, &value)) {
        if (!fields.emplace(field, CaseField{value, line.number}).second)
          Fail(line.number, "\"" + Shown(field) + "\" given again");
        continue;
      }
      if (line.text.size() % 2 != 0) Fail(line.number, "a line of bytes with an odd number of digits");
      for (std::size_t i = 0; i < line.text.size(); i += 2) {
        const int high = HexDigit(line.text[i]), low = HexDigit(line.text[i + 1]);
        if (high < 0 || low < 0)
          Fail(line.number, "neither \"name = value\" nor hexadecimal bytes: " + Shown(line.text));
        file.bytes += static_cast<char>(high * 16 + low);
      }
      if (file.bytes.size() > diag::kMaxFileBytes)
        Fail(line.number, "more bytes than a case holds for one file (" +
                              std::to_string(diag::kMaxFileBytes) + ")");
      if (firstHexLine == 0) firstHexLine = line.number;
    }
    file.path = fields["path"];
    file.state = fields["state"];
    if (file.state.line == 0) Fail(partLine, std::string("no \"state\" line for ") + known);
    const bool statedPresent = file.state.value == "present";
    if (!statedPresent && firstHexLine != 0)
      Fail(firstHexLine, std::string("bytes for ") + known + ", whose state is not \"present\"");
    if (statedPresent) {
      const auto read = fields.find("read");
      const auto size = fields.find("size");
      const auto crc = fields.find("crc32");
      std::uint32_t sizeValue = 0, crcValue = 0;
      if (read != fields.end()) {
        Warn(read->second.line, std::string(known) + " could not be read whole on the PC: " +
                                    Shown(read->second.value));
      } else if (size == fields.end() || crc == fields.end()) {
        Fail(partLine, std::string("no \"size\" or \"crc32\" line for ") + known +
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

  void Read(std::string_view bytes) {
    if (bytes.size() > kMaxCaseBytes)
      throw CaseError(fileName + ": " + std::to_string(bytes.size()) +
                      " bytes, more than a case file holds (" + std::to_string(kMaxCaseBytes) + ")");
    const std::vector<Line> lines = SplitLines(bytes);
    if (lines.empty() || lines[0].text != diag::kCaseFirstLine) {
      const std::string_view first = lines.empty() ? std::string_view() : lines[0].text;
      if (first.substr(0, 3) == "\xEF\xBB\xBF" || first.substr(0, 2) == "\xFF\xFE")
        Fail(1, "the file was saved again as Unicode or UTF-8; send the NLCASE.TXT that "
                "NLDIAG.EXE wrote, unchanged");
      Fail(1, std::string("not a case file of NLDIAG.EXE (the first line must be \"") +
                  diag::kCaseFirstLine + "\"): " + Shown(first));
    }
    std::vector<std::string> seen;
    std::size_t index = 1;
    while (index < lines.size()) {
      const Line& head = lines[index++];
      if (Skipped(head.text)) continue;
      if (head.text.substr(0, 3) != "== ") {
        Warn(head.number, "outside every part, skipped: " + Shown(head.text));
        continue;
      }
      const std::string part(head.text.substr(3));
      std::vector<Line> body;
      while (index < lines.size() && lines[index].text.substr(0, 3) != "== ") body.push_back(lines[index++]);
      if (result.complete) {
        Warn(head.number, "after the closing \"== end\", skipped");
        continue;
      }
      for (const std::string& earlier : seen)
        if (earlier == part) Fail(head.number, "the part \"" + Shown(part) + "\" comes a second time");
      seen.push_back(part);
      const std::string filePrefix = diag::kPartFilePrefix;
      if (part == diag::kPartSystem) {
        ReadFields(body, &result.system);
      } else if (part == diag::kPartRegistry) {
        ReadRegistry(body, head.number);
      } else if (part == diag::kPartRegistryStatus) {
        ReadFields(body, &result.registryStatus);
      } else if (part == diag::kPartProgramFolder) {
        ReadFields(body, &result.programFolder);
      } else if (part == diag::kPartSourceDrive) {
        ReadFields(body, &result.sourceDrive);
      } else if (part.compare(0, filePrefix.size(), filePrefix) == 0) {
        ReadSetupFile(body, head.number, std::string_view(part).substr(filePrefix.size()));
      } else if (part == diag::kPartEnd) {
        result.complete = true;
        for (const Line& line : body)
          if (!Skipped(line.text)) Warn(line.number, "after the closing \"== end\", skipped");
      } else {
        Warn(head.number, "a part this simrun does not know, skipped: " + Shown(part));
      }
    }
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

CaseFile ReadCaseFile(std::string_view bytes, const std::string& fileName) {
  Reader reader{fileName, {}};
  reader.Read(bytes);
  return std::move(reader.result);
}

}  // namespace simrun
