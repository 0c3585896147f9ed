// The registry calls of the simulated system.
#include <cstring>

#include "platform/sim/registry/sim_registry.h"
#include "platform/sim/sim_text.h"

namespace nl::sim {

using regfile::RemoveSubkey;
using regfile::SplitKeyPath;
using regfile::WalkKeys;

namespace {

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

// RegCreateKeyExA and RegOpenKeyExA differ only in what a missing key
// means: made on the way, or kErrorFileNotFound.
RegResult SimRegistry::OpenKey(Fault fault, bool create, RegKey key, const char* subKey,
                               std::uint32_t options, std::uint32_t access,
                               RegKey* result, Described* out) {
  const std::string parentName = KeyName(key);
  RegResult r = kErrorSuccess;
  RegKey made = 0;
  std::vector<std::string> names;
  if (fault == Fault::kFail) {
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
  DescribeTo(out, [&] {
    return Described{parentName + ", " + QuotedOrNull(subKey) + ", " +
                         std::to_string(options) + ", " + Hex(access),
                     Result(r) + (r == 0 ? " -> " + KeyName(made) : "")};
  });
  return r;
}

RegResult SimRegistry::RegQueryValueExA(Fault fault, RegKey key, const char* valueName,
                                        std::uint32_t* type, std::uint8_t* data,
                                        std::uint32_t* dataSize, Described* out) {
  const std::uint32_t capacity = dataSize ? *dataSize : 0;
  RegResult r = kErrorSuccess;
  const RegValue* value = nullptr;
  if (fault == Fault::kFail) {
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
  DescribeTo(out, [&] {
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

RegResult SimRegistry::RegSetValueExA(Fault fault, RegKey key, const char* valueName,
                                      std::uint32_t type, const std::uint8_t* data,
                                      std::uint32_t dataSize, Described* out) {
  RegResult r = kErrorSuccess;
  const std::string bytes =
      data ? std::string(reinterpret_cast<const char*>(data), dataSize) : std::string();
  if (fault == Fault::kFail) {
    r = kErrorAccessDenied;
  } else if (RegNode* node = NodeOf(key, &r)) {
    if (!data && dataSize > 0)
      r = kErrorInvalidParameter;
    else
      node->SetValue(valueName ? valueName : "", type, bytes);
  }
  DescribeTo(out, [&] {
    return Described{KeyName(key) + ", " + QuotedOrNull(valueName) + ", " +
                         DataText(type, bytes),
                     Result(r)};
  });
  return r;
}

RegResult SimRegistry::RegEnumKeyExA(Fault fault, RegKey key, std::uint32_t index,
                                     char* name, std::uint32_t* nameSize,
                                     Described* out) {
  const std::uint32_t capacity = nameSize ? *nameSize : 0;
  RegResult r = kErrorSuccess;
  std::string found;
  if (fault == Fault::kFail) {
    r = kErrorAccessDenied;
  } else if (RegNode* node = NodeOf(key, &r)) {
    if (!name || !nameSize) {
      r = kErrorInvalidParameter;
    } else if (const RegNode* subkey = SubkeyAt(*node, index); !subkey) {
      r = kErrorNoMoreItems;
    } else {
      found = subkey->name;
      if (found.size() + 1 > capacity) {
        r = kErrorMoreData;
      } else {
        std::memcpy(name, found.c_str(), found.size() + 1);
        *nameSize = static_cast<std::uint32_t>(found.size());
      }
    }
  }
  DescribeTo(out, [&] {
    return Described{KeyName(key) + ", " + std::to_string(index) + ", buffer, " +
                         std::to_string(capacity),
                     Result(r) + (r == 0 ? " -> " + Quoted(found) : "")};
  });
  return r;
}

RegResult SimRegistry::RegDeleteKeyA(Fault fault, RegKey key, const char* subKey,
                                     Described* out) {
  RegResult r = kErrorSuccess;
  std::vector<std::string> names;
  if (fault == Fault::kFail) {
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
      else if (ntKeyDeletion_ && SubkeyAt(*target, 0))
        r = kErrorAccessDenied;
      else
        RemoveSubkey(parent, last);
    }
  }
  DescribeTo(out, [&] {
    return Described{KeyName(key) + ", " + QuotedOrNull(subKey), Result(r)};
  });
  return r;
}

RegResult SimRegistry::RegCloseKey(RegKey key, Described* out) {
  const std::string name = KeyName(key);
  RegResult r = kErrorSuccess;
  if (key == kHkeyLocalMachine) {
    // closing a predefined key does nothing
  } else if (keys_.erase(key) == 0) {
    r = kErrorInvalidHandle;
  }
  DescribeTo(out, [&] { return Described{name, Result(r)}; });
  return r;
}

}  // namespace nl::sim
