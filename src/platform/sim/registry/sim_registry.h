// The registry of the simulated system: one tree under HKEY_LOCAL_MACHINE
// (a tree of the .reg file library, so system images load and save through
// it), the keys the program has open, and the registry calls.
//
// Rules worth knowing when writing tests:
// - Registry subkeys are enumerated in ascending order of their names
//   compared after folding a-z to A-Z, as Wine does (regfile/reg_tree.h).
// - RegDeleteKeyA removes the whole subtree, as the 9x family does;
//   SetNtKeyDeletion makes it refuse a key with subkeys, as NT does. Handles
//   still open on a deleted key stop working (kErrorInvalidHandle).
// - Paths of the setup and inspection calls are below HKEY_LOCAL_MACHINE,
//   "A\B\C", found ignoring ASCII case.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_call.h"
#include "regfile/reg_file.h"
#include "regfile/reg_tree.h"

namespace nl::sim {

using regfile::RegImportOptions;
using regfile::RegImportReport;
using regfile::RegNode;
using regfile::RegValue;

struct OpenKeyInfo {
  RegKey handle;
  std::string path;  // below HKEY_LOCAL_MACHINE, as opened
};

class SimRegistry {
 public:
  SimRegistry();
  SimRegistry(const SimRegistry&) = delete;
  SimRegistry& operator=(const SimRegistry&) = delete;

  // ---- Platform calls ----
  // RegCreateKeyExA (`create`) and RegOpenKeyExA.
  RegResult OpenKey(Fault fault, bool create, RegKey key, const char* subKey,
                    std::uint32_t options, std::uint32_t access, RegKey* result,
                    Described* out);
  RegResult RegQueryValueExA(Fault fault, RegKey key, const char* valueName,
                             std::uint32_t* type, std::uint8_t* data,
                             std::uint32_t* dataSize, Described* out);
  RegResult RegSetValueExA(Fault fault, RegKey key, const char* valueName,
                           std::uint32_t type, const std::uint8_t* data,
                           std::uint32_t dataSize, Described* out);
  RegResult RegEnumKeyExA(Fault fault, RegKey key, std::uint32_t index, char* name,
                          std::uint32_t* nameSize, Described* out);
  RegResult RegDeleteKeyA(Fault fault, RegKey key, const char* subKey, Described* out);
  RegResult RegCloseKey(RegKey key, Described* out);

  // ---- for the face ----

  // The program was killed: the keys it held open are gone.
  void CloseProgramKeys() { keys_.clear(); }

  // ---- setup and inspection ----

  // RegDeleteKeyA then refuses (kErrorAccessDenied) a key with subkeys, as
  // the NT family does; by default it removes the whole subtree (9x).
  void SetNtKeyDeletion(bool on) { ntKeyDeletion_ = on; }
  // Writes a value, creating the keys on the way.
  void SetValue(const std::string& path, const std::string& valueName,
                std::uint32_t type, const std::string& data);
  void SetText(const std::string& path, const std::string& valueName,
               const std::string& text);  // REG_SZ with its zero byte
  void CreateKey(const std::string& path);
  bool KeyExists(const std::string& path) const;
  // Null when the key or value is missing.
  const RegValue* FindValue(const std::string& path,
                            const std::string& valueName) const;
  // The value as text up to its first zero byte; empty when missing.
  std::string ValueText(const std::string& path, const std::string& valueName) const;
  // Subkey names in enumeration order; empty when the key is missing.
  std::vector<std::string> SubkeyNames(const std::string& path) const;
  std::size_t OpenKeyCount() const { return keys_.size(); }
  std::vector<OpenKeyInfo> OpenKeys() const;
  // The whole tree, HKEY_LOCAL_MACHINE (for images and whole-tree checks).
  RegNode& Root() { return *root_; }
  const RegNode& Root() const { return *root_; }

 private:
  struct KeyHandle {
    std::shared_ptr<RegNode> node;
    std::string path;
    std::uint64_t serial;
  };

  // The subkey at `index` in enumeration order; null past the last one.
  // With SharedNode, the only code that knows how RegNode keeps its subkeys.
  static const RegNode* SubkeyAt(const RegNode& node, std::size_t index);
  // "key#n" for the n-th key the program opened, "HKLM", else the handle.
  std::string KeyName(RegKey key) const;
  RegNode* NodeOf(RegKey key, RegResult* error);
  RegKey NewKeyHandle(RegNode* node);
  std::shared_ptr<RegNode> SharedNode(RegNode* node);
  const RegNode* FindNode(const std::string& path) const;

  std::shared_ptr<RegNode> root_;
  std::map<RegKey, KeyHandle> keys_;
  std::uint64_t keySerial_ = 0;
  bool ntKeyDeletion_ = false;
};

}  // namespace nl::sim
