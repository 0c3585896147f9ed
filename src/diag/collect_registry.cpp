#include "diag/collect_registry.h"

#include <cstring>

#include "diag/case_format.h"
#include "setup/text.h"

namespace nl::diag {
namespace {

// One value's data and name at a time; left to .bss, not to the stack.
std::uint8_t g_data[kMaxValueData];
// One byte more than the longest name taken, so that a name of exactly
// kMaxValueName bytes still fits with its zero.
char g_valueName[kMaxValueName + 1];

struct Walk {
  DiagSystem& os;
  CaseOutput& out;
  SubtreeResult& result;
  SetupPaths* setup;  // only while the Setup key is written
  char path[kMaxKeyPath];
};

// The installer's own reading of a Setup value: the text up to its first
// zero byte, trailing backslashes dropped.
void KeepSetupText(const std::uint8_t* data, std::uint32_t size, char* out,
                   bool* known) {
  std::uint32_t length = 0;
  while (length < size && data[length] != 0) ++length;
  while (length != 0 && data[length - 1] == '\\') --length;
  if (length >= kMaxPath) return;
  std::memcpy(out, data, length);
  out[length] = '\0';
  *known = true;
}

// Zero-terminated text without control bytes or an inner zero: regedit
// writes it in quotes; anything else in hex.
bool IsQuotableText(const std::uint8_t* data, std::uint32_t size) {
  if (size == 0 || data[size - 1] != 0) return false;
  for (std::uint32_t i = 0; i + 1 < size; ++i)
    if (data[i] < 0x20 || data[i] == 0x7F) return false;
  return true;
}

// Value names are compared as Windows compares them, ASCII letters in
// either case ("setupscratchdir" is SetupScratchDir): the installer's own
// comparison, EqualsIgnoreAsciiCase.
// Bytes regedit could not write inside a quoted name on one line; a TAB it
// writes as it is.
bool HasControlBytes(const char* text, std::uint32_t length) {
  for (std::uint32_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\t') || c == 0x7F) return true;
  }
  return false;
}

void QuotedText(CaseOutput& out, const char* text, std::uint32_t length) {
  out.Char('"');
  for (std::uint32_t i = 0; i < length; ++i) {
    if (text[i] == '\\' || text[i] == '"') out.Char('\\');
    out.Char(text[i]);
  }
  out.Char('"');
}

// hex:, hex(N): lists go on over lines ending in ",\" as regedit writes
// them.
void HexList(CaseOutput& out, const std::uint8_t* data, std::uint32_t size) {
  for (std::uint32_t i = 0; i < size; ++i) {
    out.HexByte(data[i]);
    if (i + 1 == size) break;
    out.Char(',');
    if ((i + 1) % 25 == 0) out.Text("\\\r\n  ");
  }
}

void WriteValue(CaseOutput& out, const char* name, std::uint32_t nameLength,
                std::uint32_t type, const std::uint8_t* data,
                std::uint32_t size) {
  if (nameLength == 0) {
    out.Char('@');
  } else {
    QuotedText(out, name, nameLength);
  }
  out.Char('=');
  if (type == kRegSz && IsQuotableText(data, size)) {
    QuotedText(out, reinterpret_cast<const char*>(data), size - 1);
  } else if (type == kRegDword && size == 4) {
    const std::uint32_t value = data[0] | (data[1] << 8) | (data[2] << 16) |
                                (static_cast<std::uint32_t>(data[3]) << 24);
    out.Text("dword:");
    for (int shift = 28; shift >= 0; shift -= 4)
      out.Char(kLowerHexDigits[(value >> shift) & 0xF]);
  } else {
    if (type == kRegBinary) {
      out.Text("hex:");
    } else {
      out.Text("hex(");
      bool started = false;
      for (int shift = 28; shift >= 0; shift -= 4) {
        const std::uint32_t digit = (type >> shift) & 0xF;
        if (digit != 0 || started || shift == 0) {
          out.Char(kLowerHexDigits[digit]);
          started = true;
        }
      }
      out.Text("):");
    }
    HexList(out, data, size);
  }
  out.EndLine();
}

// A ";" line in place of what could not be written, so that the reader of
// the file sees where.
void Omitted(Walk& walk, const char* what, std::uint32_t index,
             std::uint32_t error) {
  walk.out.Text("; not written: ");
  walk.out.Text(what);
  walk.out.Char(' ');
  walk.out.Decimal(index);
  walk.out.Text(" of this key");
  if (error != 0) {
    walk.out.Text(" (error ");
    walk.out.Decimal(error);
    walk.out.Char(')');
  }
  walk.out.EndLine();
  ++walk.result.unreadable;
}

bool AtLimit(const Walk& walk) {
  return walk.result.keys >= kMaxKeysPerSubtree ||
         walk.result.values >= kMaxValuesPerSubtree;
}

void WriteValues(Walk& walk, RegKey key) {
  for (std::uint32_t index = 0;; ++index) {
    if (AtLimit(walk)) {
      walk.result.tooLarge = true;
      return;
    }
    std::uint32_t nameSize = sizeof g_valueName;
    std::uint32_t dataSize = sizeof g_data;
    std::uint32_t type = 0;
    const RegResult status = walk.os.RegEnumValueA(
        key, index, g_valueName, &nameSize, &type, g_data, &dataSize);
    if (status == kErrorNoMoreItems) return;
    if (status == kErrorMoreData) {
      Omitted(walk, "value too large, value", index, 0);
      continue;
    }
    if (status != kErrorSuccess) {
      // Windows gives no more values of a key it cannot enumerate.
      Omitted(walk, "unreadable value", index, static_cast<std::uint32_t>(status));
      return;
    }
    if (nameSize >= sizeof g_valueName || dataSize > sizeof g_data ||
        HasControlBytes(g_valueName, nameSize)) {
      // A name regedit could not write on one line.
      Omitted(walk, "value with a name of control bytes, value", index, 0);
      continue;
    }
    WriteValue(walk.out, g_valueName, nameSize, type, g_data, dataSize);
    ++walk.result.values;
    if (walk.setup != nullptr) {
      g_valueName[nameSize] = '\0';
      if (EqualsIgnoreAsciiCase(g_valueName, kScratchDirValue))
        KeepSetupText(g_data, dataSize, walk.setup->scratchDir, &walk.setup->scratchKnown);
      if (EqualsIgnoreAsciiCase(g_valueName, kSourcePathValue))
        KeepSetupText(g_data, dataSize, walk.setup->sourcePath, &walk.setup->sourceKnown);
    }
  }
}

// "[HKEY_LOCAL_MACHINE\<path>]" and the line end.
void WriteKeyName(Walk& walk, std::size_t pathLength) {
  walk.out.Char('[');
  walk.out.Text(kRegistryRoot);
  walk.out.Char('\\');
  walk.out.Bytes(walk.path, pathLength);
  walk.out.Char(']');
  walk.out.EndLine();
}

void WriteKey(Walk& walk, RegKey key, std::size_t pathLength,
              std::uint32_t depth, bool valuesOnly) {
  ++walk.result.keys;
  WriteKeyName(walk, pathLength);
  WriteValues(walk, key);
  walk.out.EndLine();
  if (valuesOnly) return;
  for (std::uint32_t index = 0;; ++index) {
    if (AtLimit(walk)) {
      walk.result.tooLarge = true;
      return;
    }
    char name[256];
    std::uint32_t nameSize = sizeof name;
    const RegResult status = walk.os.RegEnumKeyExA(key, index, name, &nameSize);
    if (status == kErrorNoMoreItems) return;
    if (status != kErrorSuccess || nameSize >= sizeof name ||
        HasControlBytes(name, nameSize)) {
      walk.out.Text("; in ");
      WriteKeyName(walk, pathLength);
      Omitted(walk, "subkey", index, static_cast<std::uint32_t>(status));
      if (status != kErrorSuccess) return;
      continue;
    }
    if (depth + 1 > kMaxKeyDepth || pathLength + 1 + nameSize >= sizeof walk.path) {
      walk.result.tooLarge = true;
      return;
    }
    walk.path[pathLength] = '\\';
    std::memcpy(walk.path + pathLength + 1, name, nameSize);
    walk.path[pathLength + 1 + nameSize] = '\0';
    RegKey child = 0;
    const RegResult opened =
        walk.os.RegOpenKeyExA(key, walk.path + pathLength + 1, kKeyRead, &child);
    if (opened != kErrorSuccess) {
      walk.path[pathLength] = '\0';
      Omitted(walk, "subkey", index, static_cast<std::uint32_t>(opened));
      continue;
    }
    WriteKey(walk, child, pathLength + 1 + nameSize, depth + 1, false);
    walk.os.RegCloseKey(child);
    walk.path[pathLength] = '\0';
  }
}

}  // namespace

void WriteRegistryPart(DiagSystem& os, CaseOutput& out, SubtreeResult* results,
                       SetupPaths* setup) {
  out.Text("REGEDIT4");
  out.EndLine();
  out.EndLine();
  std::size_t index = 0;
  for (const CaseSubtree& subtree : kCaseSubtrees) {
    SubtreeResult& result = results[index++];
    // Read once without writing, then again for the case: a program or a
    // device changing the keys meanwhile shows as two different readings,
    // and the subtree is marked, not taken for the PC's.
    std::uint32_t digests[2] = {0, 0};
    for (int pass = 0; pass < 2; ++pass) {
      result = SubtreeResult();
      RegKey key = 0;
      result.openError = os.RegOpenKeyExA(kHkeyLocalMachine, subtree.path, kKeyRead, &key);
      if (result.openError != kErrorSuccess) break;
      out.SetDry(pass == 0);
      out.StartDigest();
      Walk walk{os, out, result, subtree.valuesOnly && pass == 1 ? setup : nullptr, {}};
      const std::size_t length = std::strlen(subtree.path);
      std::memcpy(walk.path, subtree.path, length + 1);
      WriteKey(walk, key, length, 0, subtree.valuesOnly);
      os.RegCloseKey(key);
      digests[pass] = out.EndDigest();
    }
    out.SetDry(false);
    result.changed = result.openError == kErrorSuccess && digests[0] != digests[1];
  }
}

void WriteWindowsVersionNumbers(DiagSystem& os, CaseOutput& out) {
  static const char* const kValues[] = {"VersionNumber", "SubVersionNumber"};
  static const char* const kFields[] = {"windows-version-number", "windows-subversion-number"};
  // The Setup key's parent, kCurrentVersionKey, cut from the Setup key's
  // path rather than kept a second time in the program.
  char parent[kMaxPath];
  std::size_t cut = 0;
  for (std::size_t i = 0; kSetupKeyPath[i] != '\0'; ++i) {
    parent[i] = kSetupKeyPath[i];
    if (parent[i] == '\\') cut = i;
  }
  parent[cut] = '\0';
  RegKey key = 0;
  const bool opened =
      os.RegOpenKeyExA(kHkeyLocalMachine, parent, kKeyRead, &key) == kErrorSuccess;
  for (int wanted = 0; wanted < 2; ++wanted) {
    out.Field(kFields[wanted]);
    // Only these two values are written: the key holds the owner's name and
    // the product key as well, which stay on the PC.
    bool found = false;
    for (std::uint32_t index = 0; opened && !found && index < kMaxValuesPerSubtree; ++index) {
      std::uint32_t nameSize = sizeof g_valueName;
      std::uint32_t dataSize = sizeof g_data;
      std::uint32_t type = 0;
      const RegResult status =
          os.RegEnumValueA(key, index, g_valueName, &nameSize, &type, g_data, &dataSize);
      if (status == kErrorNoMoreItems) break;
      if (status != kErrorSuccess || nameSize >= sizeof g_valueName) continue;
      g_valueName[nameSize] = '\0';
      if (!EqualsIgnoreAsciiCase(g_valueName, kValues[wanted])) continue;
      found = true;
      std::uint32_t length = 0;
      while (length < dataSize && g_data[length] != 0) ++length;
      out.Char('"');
      out.LineText(reinterpret_cast<const char*>(g_data), length);
      out.Char('"');
    }
    if (!found) out.Text("absent");
    out.EndLine();
  }
  if (opened) os.RegCloseKey(key);
}

void WriteRegistryStatus(CaseOutput& out, const SubtreeResult* results) {
  std::size_t index = 0;
  for (const CaseSubtree& subtree : kCaseSubtrees) {
    const SubtreeResult& result = results[index++];
    out.Field(subtree.path);
    if (result.openError == kErrorFileNotFound) {
      out.Failure("absent", static_cast<std::uint32_t>(result.openError));
    } else if (result.openError != kErrorSuccess) {
      out.Failure("unreadable", static_cast<std::uint32_t>(result.openError));
    } else {
      out.Text(result.changed     ? "changed while read"
               : result.tooLarge  ? "too large"
               : result.unreadable != 0 ? "incomplete"
                                        : "present");
      out.Text(", ");
      out.Decimal(result.keys);
      out.Text(" keys, ");
      out.Decimal(result.values);
      out.Text(" values");
      if (subtree.valuesOnly) out.Text(" (the key's values only)");
      if (result.tooLarge) {
        out.Text(", written up to the limit of ");
        out.Decimal(kMaxKeysPerSubtree);
        out.Text(" keys, ");
        out.Decimal(kMaxValuesPerSubtree);
        out.Text(" values or ");
        out.Decimal(kMaxKeyDepth);
        out.Text(" levels");
      }
      if (result.unreadable != 0) {
        out.Text(", ");
        out.Decimal(result.unreadable);
        out.Text(" left out (see the \"; not written\" lines)");
      }
    }
    out.EndLine();
  }
}

}  // namespace nl::diag
