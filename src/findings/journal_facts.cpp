#include "findings/journal_facts.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "platform/common/registry_text.h"
#include "regfile/ignore_case.h"

namespace nl::findings {

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool IsOneOf(const std::string& operation, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (operation == name) return true;
  return false;
}

std::string Folded(std::string text) {
  for (char& c : text) c = regfile::FoldUpper(c);
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string HexBytes(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::string ValueProblem(const regfile::RegNode* root, const std::string& keyPath,
                         const std::string& name, std::uint32_t type,
                         const std::string& bytes, const std::string& shown) {
  const std::string where = keyPath + " " + (name.empty() ? "(unnamed value)" : Quote(name));
  const regfile::RegNode* key = FindKey(root, keyPath);
  if (!key) return keyPath + " is missing";
  const regfile::RegValue* value = key->FindValue(name);
  if (!value) return where + " is missing";
  if (value->type != type || value->data != bytes)
    return where + " is not " + shown;
  return "";
}

}  // namespace

std::vector<std::string> QuotedTexts(const std::string& arguments) {
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] != '"') continue;
    std::string text;
    for (++i; i < arguments.size() && arguments[i] != '"'; ++i) {
      const char c = arguments[i];
      if (c == '\\' && i + 1 < arguments.size() && arguments[i + 1] == '"') {
        text += '"';
        ++i;
      } else if (c == '\\' && i + 3 < arguments.size() && arguments[i + 1] == 'x' &&
                 HexDigit(arguments[i + 2]) >= 0 && HexDigit(arguments[i + 3]) >= 0) {
        text += static_cast<char>(HexDigit(arguments[i + 2]) * 16 + HexDigit(arguments[i + 3]));
        i += 3;
      } else {
        text += c;
      }
    }
    texts.push_back(text);
  }
  return texts;
}

bool CallFailed(const CallFact& call) {
  if (call.result.find("[injected failure]") != std::string::npos) return true;
  const std::string& op = call.operation;
  if (StartsWith(op, "Reg")) {
    if (op == "RegCloseKey") return false;
    if (op == "RegEnumKeyExA" && StartsWith(call.result, "259")) return false;
    return !(call.result == "0" || StartsWith(call.result, "0 "));
  }
  if (op == "CreateFileA") return StartsWith(call.result, "INVALID_HANDLE_VALUE");
  // The profile cache's flush (all nulls) answers 0 by design.
  if (op == "WritePrivateProfileStringA")
    return StartsWith(call.arguments, "\"") && StartsWith(call.result, "0");
  if (IsOneOf(op, {"MoveFileA", "DeleteFileA", "CopyFileA", "ReadFile", "WriteFile",
                   "CreateProcessA"}))
    return StartsWith(call.result, "0");
  return false;
}

const CallFact* FirstFailedCallNaming(const RunFacts& facts, const std::string& text,
                                      std::uint64_t fromIndex) {
  const std::string wanted = Folded(text);
  for (const CallFact& call : facts.calls) {
    if (call.index < fromIndex || !CallFailed(call)) continue;
    if (Folded(call.arguments).find(wanted) != std::string::npos) return &call;
  }
  return nullptr;
}

const regfile::RegNode* FindKey(const regfile::RegNode* root, const std::string& path) {
  if (!root) return nullptr;
  std::vector<std::string> names;
  if (!regfile::SplitKeyPath(path.c_str(), &names)) return nullptr;
  return regfile::WalkKeys(const_cast<regfile::RegNode*>(root), names);
}

std::optional<std::string> ValueText(const regfile::RegNode* key, const std::string& valueName) {
  if (!key) return std::nullopt;
  const regfile::RegValue* value = key->FindValue(valueName);
  // Longer than the program's buffer: the program cannot read it at all.
  if (!value || value->data.size() > kValueTextCapacity) return std::nullopt;
  return value->data.substr(0, value->data.find('\0'));
}

std::string TextValueProblem(const regfile::RegNode* root, const std::string& keyPath,
                             const std::string& name, const std::string& text) {
  return ValueProblem(root, keyPath, name, kRegSz, text + '\0', "the text " + Quote(text));
}

std::string BinaryValueProblem(const regfile::RegNode* root, const std::string& keyPath,
                               const std::string& name, const std::string& bytes) {
  return ValueProblem(root, keyPath, name, kRegBinary, bytes,
                      "the binary bytes " + HexBytes(bytes));
}

std::vector<std::string> SubkeysInOrder(const regfile::RegNode& key) {
  std::vector<std::string> names;
  for (const auto& child : key.subkeys) names.push_back(child->name);
  return names;
}

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

}  // namespace nl::findings
