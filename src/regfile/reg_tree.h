// A registry as .reg files hold it: one tree under HKEY_LOCAL_MACHINE. The
// simulated system keeps its registry in one; simrun, the Wine report and
// reg_bench load and compare .reg files with it.
//
// Key and value names are found ignoring ASCII letter case, in constant
// time, and keep the case they were created with. Subkeys keep the order in
// which they were added: a registry loaded from a .reg file enumerates its
// subkeys in the order the file lists them (regedit writes an export in the
// order Windows 9x enumerates, its file keeping each key's subkeys as a
// list), and a key added later goes after its existing siblings. Adding a
// key that is already there changes nothing, its place included. Values
// keep their creation order (a replaced value keeps its place), their type
// and their raw bytes. Change `subkeys` and `values` only through the calls
// below.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "regfile/ignore_case.h"
#include "regfile/named_list.h"

namespace nl::regfile {

struct RegValue {
  std::string name;  // empty: the key's unnamed value
  std::uint32_t type = 0;
  std::string data;  // raw bytes
};

// The number held by the first four bytes of `data`, little-endian as
// Windows stores a REG_DWORD (and a four-byte binary such as ConfigFlags);
// `data` holds at least four bytes.
inline std::uint32_t DwordOf(std::string_view data) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(data[i]);
  return value;
}

struct RegNode;

inline const std::string& EntryName(const RegValue& value) { return value.name; }
const std::string& EntryName(const std::shared_ptr<RegNode>& node);

struct RegNode {
  std::string name;
  RegNode* parent = nullptr;  // null for the root and for deleted keys
  // Set when the key has been deleted while handles still refer to it.
  bool deleted = false;
  // In enumeration order: subkeys[i] is what RegEnumKeyExA gives at index i.
  NamedList<std::shared_ptr<RegNode>> subkeys;
  NamedList<RegValue> values;  // in creation order

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
  // The same, shared with whoever else holds it; null when there is none.
  std::shared_ptr<RegNode> SharedSubkey(std::string_view subkeyName) const;
  // The existing subkey, or a new one with this spelling after the others.
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
