#include "findings/changes_json.h"

#include <cstdio>

#include "regfile/reg_decode.h"

namespace nl::findings {

namespace {

using nlohmann::ordered_json;

const char* TypeName(std::uint32_t type) {
  static const char* const kNames[] = {"REG_NONE",   "REG_SZ",           "REG_EXPAND_SZ",
                                       "REG_BINARY", "REG_DWORD",        "REG_DWORD_BIG_ENDIAN",
                                       "REG_LINK",   "REG_MULTI_SZ"};
  return type < sizeof kNames / sizeof kNames[0] ? kNames[type] : "REG_UNKNOWN";
}

ordered_json ValueJson(const regfile::RegValue& value, bool withName) {
  ordered_json out;
  if (withName) out["name"] = regfile::Cp1252ToUtf8(value.name);
  out["type"] = TypeName(value.type);
  if (value.type > 7) out["typeNumber"] = value.type;
  std::string hex;
  for (unsigned char c : value.data) {
    char byte[4];
    std::snprintf(byte, sizeof byte, hex.empty() ? "%02x" : " %02x", c);
    hex += byte;
  }
  out["hex"] = hex;
  if (value.type == 1 || value.type == 2)
    out["text"] = regfile::Cp1252ToUtf8(value.data.substr(0, value.data.find('\0')));
  if (value.type == 4 && value.data.size() == 4) out["dword"] = regfile::DwordOf(value.data);
  return out;
}

ordered_json KeyJson(const regfile::RegNode& key, const std::string& path) {
  ordered_json values = ordered_json::array();
  for (const regfile::RegValue& value : key.values) values.push_back(ValueJson(value, true));
  return {{"key", regfile::Cp1252ToUtf8(path)}, {"values", values}};
}

// The key and every key below it, each with its values, with a stack of
// its own (keys may be 512 levels deep).
void WholeKeys(const regfile::RegNode& top, const std::string& topPath, ordered_json* out) {
  std::vector<std::pair<const regfile::RegNode*, std::string>> pending{{&top, topPath}};
  while (!pending.empty()) {
    auto [key, path] = pending.back();
    pending.pop_back();
    out->push_back(KeyJson(*key, path));
    for (auto it = key->subkeys.end(); it != key->subkeys.begin();) {
      --it;
      pending.push_back({it->get(), path + "\\" + (*it)->name});
    }
  }
}

}  // namespace

ordered_json RegistryChangesJson(const regfile::RegNode& before, const regfile::RegNode& after) {
  ordered_json keysDeleted = ordered_json::array(), keysAdded = ordered_json::array();
  ordered_json valuesAdded = ordered_json::array(), valuesDeleted = ordered_json::array();
  ordered_json valuesChanged = ordered_json::array();
  struct Pair {
    const regfile::RegNode* before;
    const regfile::RegNode* after;
    std::string path;
  };
  std::vector<Pair> pending{{&before, &after, "HKEY_LOCAL_MACHINE"}};
  while (!pending.empty()) {
    const Pair pair = std::move(pending.back());
    pending.pop_back();
    const std::string key = regfile::Cp1252ToUtf8(pair.path);
    for (const regfile::RegValue& was : pair.before->values) {
      const regfile::RegValue* now = pair.after->FindValue(was.name);
      ordered_json entry = {{"key", key}, {"name", regfile::Cp1252ToUtf8(was.name)}};
      if (!now) {
        entry.update(ValueJson(was, false));
        valuesDeleted.push_back(entry);
      } else if (now->type != was.type || now->data != was.data) {
        entry["old"] = ValueJson(was, false);
        entry["new"] = ValueJson(*now, false);
        valuesChanged.push_back(entry);
      }
    }
    for (const regfile::RegValue& now : pair.after->values)
      if (!pair.before->FindValue(now.name)) {
        ordered_json entry = {{"key", key}, {"name", regfile::Cp1252ToUtf8(now.name)}};
        entry.update(ValueJson(now, false));
        valuesAdded.push_back(entry);
      }
    std::vector<Pair> children;
    for (const auto& was : pair.before->subkeys) {
      const std::string path = pair.path + "\\" + was->name;
      if (const regfile::RegNode* now = pair.after->FindSubkey(was->name))
        children.push_back({was.get(), now, path});
      else
        WholeKeys(*was, path, &keysDeleted);
    }
    for (const auto& now : pair.after->subkeys)
      if (!pair.before->FindSubkey(now->name)) WholeKeys(*now, pair.path + "\\" + now->name, &keysAdded);
    for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back(std::move(*it));
  }
  return {{"keysDeleted", keysDeleted},     {"keysAdded", keysAdded},
          {"valuesAdded", valuesAdded},     {"valuesDeleted", valuesDeleted},
          {"valuesChanged", valuesChanged}};
}

ordered_json FileChangesJson(const std::vector<FileChange>& files) {
  ordered_json added = ordered_json::array(), changed = ordered_json::array(),
               removed = ordered_json::array();
  for (const FileChange& file : files) {
    if (file.change == "added")
      added.push_back({{"path", file.path}, {"size", file.sizeAfter}});
    else if (file.change == "removed")
      removed.push_back({{"path", file.path}, {"size", file.sizeBefore}});
    else
      changed.push_back(
          {{"path", file.path}, {"sizeBefore", file.sizeBefore}, {"sizeAfter", file.sizeAfter}});
  }
  return {{"added", added}, {"changed", changed}, {"removed", removed}};
}

}  // namespace nl::findings
