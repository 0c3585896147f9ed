// Reading the journal of calls and the registry trees of a run's facts.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "findings/run_facts.h"

namespace nl::findings {

// The quoted texts among a call's arguments, unescaped (\" and \xNN).
std::vector<std::string> QuotedTexts(const std::string& arguments);

// Whether the call failed: a registry call that did not return 0, a
// file or process call that returned 0 or an invalid handle, or any call
// with an injected failure. Existence tests (GetFileAttributesA) and the end
// of an enumeration do not count.
bool CallFailed(const CallFact& call);

// The first failed call whose arguments name `text` (ignoring case),
// from call `fromIndex` on; null when there is none.
const CallFact* FirstFailedCallNaming(const RunFacts& facts, const std::string& text,
                                      std::uint64_t fromIndex = 0);

// The key at `path` (below HKEY_LOCAL_MACHINE); null when missing or when
// there is no tree.
const regfile::RegNode* FindKey(const regfile::RegNode* root, const std::string& path);

// The value's text as the program reads it: up to its first zero byte.
// Empty when the value is missing or longer than the 512 bytes the program
// reads (such a value is unreadable to it).
std::optional<std::string> ValueText(const regfile::RegNode* key, const std::string& valueName);

// "" when the key holds a text value `name` with exactly `text` (REG_SZ with
// its zero byte); otherwise what is wrong, naming the key and the value.
std::string TextValueProblem(const regfile::RegNode* root, const std::string& keyPath,
                             const std::string& name, const std::string& text);
// The same for a REG_BINARY value with these bytes.
std::string BinaryValueProblem(const regfile::RegNode* root, const std::string& keyPath,
                               const std::string& name, const std::string& bytes);

// Subkey names in the order the registry enumerates them.
std::vector<std::string> SubkeysInOrder(const regfile::RegNode& key);

// A text for a cause: in double quotes.
std::string Quote(const std::string& text);

}  // namespace nl::findings
