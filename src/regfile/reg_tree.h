// The registry of the simulated system: one tree under HKEY_LOCAL_MACHINE.
//
// Key and value names are found ignoring ASCII letter case and keep the case
// they were created with. Subkeys are kept in ascending order of their names
// compared after folding a-z to A-Z (CompareIgnoreCase); that is the order in
// which RegEnumKeyExA hands them out, as Wine does. Values keep their
// creation order, their type and their raw bytes; an index by folded name
// finds them in constant time, so keys with many thousands of values stay
// fast. Change `values` only through SetValue and RemoveValue, which keep
// the index.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "regfile/ignore_case.h"

namespace nl::regfile {

struct RegValue {
  std::string name;  // empty: the key's unnamed value
  std::uint32_t type = 0;
  std::string data;  // raw bytes
};

struct RegNode {
  std::string name;
  RegNode* parent = nullptr;  // null for the root and for deleted keys
  // Set when the key has been deleted while handles still refer to it.
  bool deleted = false;
  std::map<std::string, std::shared_ptr<RegNode>, IgnoreCaseLess> subkeys;
  std::vector<RegValue> values;
  // Folded (A-Z) value name -> position in `values`.
  std::unordered_map<std::string, std::size_t> valueIndex;

  RegNode() = default;
  RegNode(const RegNode&) = delete;
  RegNode& operator=(const RegNode&) = delete;
  // Releases the subtree without recursion, however deep it is.
  ~RegNode();

  RegValue* FindValue(std::string_view valueName);
  const RegValue* FindValue(std::string_view valueName) const;
  // Stores the value, replacing one of the same name (keeping its place).
  void SetValue(std::string_view valueName, std::uint32_t type,
                std::string data);
  // Removes the value; false when there is none of that name.
  bool RemoveValue(std::string_view valueName);
  RegNode* FindSubkey(std::string_view subkeyName) const;
  // The existing subkey, or a new one with this spelling.
  RegNode* AddSubkey(std::string_view subkeyName);
  // Path below the root, "A\B\C" (empty for the root).
  std::string Path() const;
};

// Splits "A\B\C" into its names. An empty or null path gives no names; one
// trailing backslash is accepted; any other empty name (a leading or doubled
// backslash) makes the path invalid (false).
bool SplitKeyPath(const char* path, std::vector<std::string>* names);

// Walks `names` from `from`; null when a key is missing.
RegNode* WalkKeys(RegNode* from, const std::vector<std::string>& names);

// Removes `subkeyName` from `parent` and marks it and everything beneath as
// deleted, so handles still open on them stop working.
void RemoveSubkey(RegNode* parent, std::string_view subkeyName);

}  // namespace nl::regfile
