// The registry calls of the simulated system and its registry setup calls.
#include <cstring>

#include "platform/sim/sim_system.h"

namespace nl::sim {

using regfile::RemoveSubkey;
using regfile::SplitKeyPath;
using regfile::WalkKeys;

namespace {

constexpr RegKey kKeyHandleBase = 0x20000;

std::string TypeName(std::uint32_t type) {
  switch (type) {
    case kRegSz: return "REG_SZ";
    case kRegExpandSz: return "REG_EXPAND_SZ";
    case kRegBinary: return "REG_BINARY";
    case kRegDword: return "REG_DWORD";
    case kRegMultiSz: return "REG_MULTI_SZ";
    default: return "type " + std::to_string(type);
  }
}

// Data as the journal shows it: text values quoted up to their first zero.
std::string DataText(std::uint32_t type, std::string_view data) {
  if (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz) {
    std::string shown = Quoted(data.substr(0, data.find('\0')));
    return TypeName(type) + " " + shown + " (" + std::to_string(data.size()) + " bytes)";
  }
  return TypeName(type) + " [" + HexBytes(data) + "]";
}

std::string Result(RegResult r) { return std::to_string(r); }

}  // namespace

RegNode* SimSystem::NodeOf(RegKey key, RegResult* error) {
  if (key == kHkeyLocalMachine) return registry_.get();
  auto it = keys_.find(key);
  if (it == keys_.end() || it->second.node->deleted) {
    *error = kErrorInvalidHandle;
    return nullptr;
  }
  return it->second.node.get();
}

std::shared_ptr<RegNode> SimSystem::SharedNode(RegNode* node) {
  if (!node->parent) return registry_;
  return node->parent->SharedSubkey(node->name);
}

RegKey SimSystem::NewKeyHandle(RegNode* node) {
  const std::uint64_t serial = ++keySerial_;
  const RegKey handle = kKeyHandleBase + 4 * serial;
  keys_[handle] = OpenKey{SharedNode(node), node->Path(), serial};
  return handle;
}

// RegCreateKeyExA and RegOpenKeyExA differ only in what a missing key
// means: made on the way, or kErrorFileNotFound.
RegResult SimSystem::OpenKeyCall(const char* operation, bool create, RegKey key,
                                 const char* subKey, std::uint32_t options,
                                 std::uint32_t access, RegKey* result) {
  const Call call = BeginCall(operation);
  const std::string parentName = KeyName(key);
  RegResult r = kErrorSuccess;
  RegKey made = 0;
  std::vector<std::string> names;
  if (call.fault == Fault::kFail) {
    r = create ? kErrorAccessDenied : kErrorFileNotFound;
  } else if (RegNode* node = NodeOf(key, &r)) {
    if (!SplitKeyPath(subKey, &names)) {
      r = kErrorBadPathname;
    } else {
      if (create) {
        for (const std::string& name : names) node = node->AddSubkey(name);
      } else {
        node = WalkKeys(node, names);
      }
      if (node) {
        made = NewKeyHandle(node);
        *result = made;
      } else {
        r = kErrorFileNotFound;
      }
    }
  }
  EndCall(call, [&] {
    return Described{parentName + ", " + QuotedOrNull(subKey) + ", " +
                         std::to_string(options) + ", " + Hex(access),
                     Result(r) + (r == 0 ? " -> " + KeyName(made) : "")};
  });
  return r;
}

RegResult SimSystem::RegCreateKeyExA(RegKey key, const char* subKey,
                                     std::uint32_t options, std::uint32_t access,
                                     RegKey* result) {
  return OpenKeyCall("RegCreateKeyExA", true, key, subKey, options, access, result);
}

RegResult SimSystem::RegOpenKeyExA(RegKey key, const char* subKey,
                                   std::uint32_t options, std::uint32_t access,
                                   RegKey* result) {
  return OpenKeyCall("RegOpenKeyExA", false, key, subKey, options, access, result);
}

RegResult SimSystem::RegQueryValueExA(RegKey key, const char* valueName,
                                      std::uint32_t* type, std::uint8_t* data,
                                      std::uint32_t* dataSize) {
  const Call call = BeginCall("RegQueryValueExA");
  const std::uint32_t capacity = dataSize ? *dataSize : 0;
  RegResult r = kErrorSuccess;
  const RegValue* value = nullptr;
  if (call.fault == Fault::kFail) {
    r = kErrorAccessDenied;
  } else if (RegNode* node = NodeOf(key, &r)) {
    value = node->FindValue(valueName ? valueName : "");
    const auto size = value ? static_cast<std::uint32_t>(value->data.size()) : 0;
    if (!value) {
      r = kErrorFileNotFound;
    } else if (data && !dataSize) {
      r = kErrorInvalidParameter;
    } else if (data && capacity < size) {
      r = kErrorMoreData;  // the buffer is left as it was
      *dataSize = size;
      if (type) *type = value->type;
    } else {
      if (data) std::memcpy(data, value->data.data(), size);
      if (dataSize) *dataSize = size;
      if (type) *type = value->type;
    }
  }
  EndCall(call, [&] {
    std::string res = Result(r);
    if (r == kErrorSuccess && data)
      res += " -> " + DataText(value->type, value->data);
    else if (value && (r == kErrorSuccess || r == kErrorMoreData))
      res += " -> size " + std::to_string(value->data.size());
    return Described{KeyName(key) + ", " + QuotedOrNull(valueName) + ", " +
                         (data ? "buffer" : "NULL") + ", " +
                         (dataSize ? std::to_string(capacity) : "NULL"),
                     res};
  });
  return r;
}

RegResult SimSystem::RegSetValueExA(RegKey key, const char* valueName,
                                    std::uint32_t type, const std::uint8_t* data,
                                    std::uint32_t dataSize) {
  const Call call = BeginCall("RegSetValueExA");
  RegResult r = kErrorSuccess;
  const std::string bytes =
      data ? std::string(reinterpret_cast<const char*>(data), dataSize) : std::string();
  if (call.fault == Fault::kFail) {
    r = kErrorAccessDenied;
  } else if (RegNode* node = NodeOf(key, &r)) {
    if (!data && dataSize > 0)
      r = kErrorInvalidParameter;
    else
      node->SetValue(valueName ? valueName : "", type, bytes);
  }
  EndCall(call, [&] {
    return Described{KeyName(key) + ", " + QuotedOrNull(valueName) + ", " +
                         DataText(type, bytes),
                     Result(r)};
  });
  return r;
}

RegResult SimSystem::RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                                   std::uint32_t* nameSize) {
  const Call call = BeginCall("RegEnumKeyExA");
  const std::uint32_t capacity = nameSize ? *nameSize : 0;
  RegResult r = kErrorSuccess;
  std::string found;
  if (call.fault == Fault::kFail) {
    r = kErrorAccessDenied;
  } else if (RegNode* node = NodeOf(key, &r)) {
    if (!name || !nameSize) {
      r = kErrorInvalidParameter;
    } else if (index >= node->subkeys.size()) {
      r = kErrorNoMoreItems;
    } else {
      found = node->subkeys[index]->name;
      if (found.size() + 1 > capacity) {
        r = kErrorMoreData;
      } else {
        std::memcpy(name, found.c_str(), found.size() + 1);
        *nameSize = static_cast<std::uint32_t>(found.size());
      }
    }
  }
  EndCall(call, [&] {
    return Described{KeyName(key) + ", " + std::to_string(index) + ", buffer, " +
                         std::to_string(capacity),
                     Result(r) + (r == 0 ? " -> " + Quoted(found) : "")};
  });
  return r;
}

RegResult SimSystem::RegDeleteKeyA(RegKey key, const char* subKey) {
  const Call call = BeginCall("RegDeleteKeyA");
  RegResult r = kErrorSuccess;
  std::vector<std::string> names;
  if (call.fault == Fault::kFail) {
    r = kErrorAccessDenied;
  } else if (RegNode* node = NodeOf(key, &r)) {
    if (!SplitKeyPath(subKey, &names)) {
      r = kErrorBadPathname;
    } else if (names.empty()) {
      r = kErrorInvalidParameter;
    } else {
      const std::string last = names.back();
      names.pop_back();
      RegNode* parent = WalkKeys(node, names);
      RegNode* target = parent ? parent->FindSubkey(last) : nullptr;
      if (!target)
        r = kErrorFileNotFound;
      else if (ntKeyDeletion_ && !target->subkeys.empty())
        r = kErrorAccessDenied;
      else
        RemoveSubkey(parent, last);
    }
  }
  EndCall(call, [&] {
    return Described{KeyName(key) + ", " + QuotedOrNull(subKey), Result(r)};
  });
  return r;
}

RegResult SimSystem::RegCloseKey(RegKey key) {
  const Call call = BeginCall("RegCloseKey", FaultUse::kNone);
  const std::string name = KeyName(key);
  RegResult r = kErrorSuccess;
  if (key == kHkeyLocalMachine) {
    // closing a predefined key does nothing
  } else if (keys_.erase(key) == 0) {
    r = kErrorInvalidHandle;
  }
  EndCall(call, [&] { return Described{name, Result(r)}; });
  return r;
}

// ---- setup and inspection ----

const RegNode* SimSystem::FindNode(const std::string& path) const {
  std::vector<std::string> names;
  if (!SplitKeyPath(path.c_str(), &names)) return nullptr;
  return WalkKeys(registry_.get(), names);
}

void SimSystem::CreateKey(const std::string& path) {
  std::vector<std::string> names;
  if (!SplitKeyPath(path.c_str(), &names))
    throw std::invalid_argument("bad key path: " + path);
  RegNode* node = registry_.get();
  for (const std::string& name : names) node = node->AddSubkey(name);
}

void SimSystem::SetValue(const std::string& path, const std::string& valueName,
                         std::uint32_t type, const std::string& data) {
  CreateKey(path);
  const_cast<RegNode*>(FindNode(path))->SetValue(valueName, type, data);
}

void SimSystem::SetText(const std::string& path, const std::string& valueName,
                        const std::string& text) {
  SetValue(path, valueName, kRegSz, text + '\0');
}

bool SimSystem::KeyExists(const std::string& path) const {
  return FindNode(path) != nullptr;
}

const RegValue* SimSystem::FindValue(const std::string& path,
                                     const std::string& valueName) const {
  const RegNode* node = FindNode(path);
  return node ? node->FindValue(valueName) : nullptr;
}

std::string SimSystem::ValueText(const std::string& path,
                                 const std::string& valueName) const {
  const RegValue* v = FindValue(path, valueName);
  if (!v) return std::string();
  return v->data.substr(0, v->data.find('\0'));
}

std::vector<std::string> SimSystem::SubkeyNames(const std::string& path) const {
  std::vector<std::string> out;
  if (const RegNode* node = FindNode(path))
    for (const auto& child : node->subkeys) out.push_back(child->name);
  return out;
}

std::vector<OpenKeyInfo> SimSystem::OpenKeys() const {
  std::vector<OpenKeyInfo> out;
  for (const auto& entry : keys_) out.push_back({entry.first, entry.second.path});
  return out;
}

}  // namespace nl::sim
