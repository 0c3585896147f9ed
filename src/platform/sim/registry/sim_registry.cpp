// The simulated registry's tree and open keys, and its setup and inspection
// calls.
#include "platform/sim/registry/sim_registry.h"

#include <iterator>
#include <stdexcept>

#include "platform/sim/sim_text.h"

namespace nl::sim {

using regfile::SplitKeyPath;
using regfile::WalkKeys;

namespace {
constexpr RegKey kKeyHandleBase = 0x20000;
}

SimRegistry::SimRegistry() : root_(std::make_shared<RegNode>()) {
  root_->name = "HKEY_LOCAL_MACHINE";
}

// ---- the order of subkeys ----

const RegNode* SimRegistry::SubkeyAt(const RegNode& node, std::size_t index) {
  if (index >= node.subkeys.size()) return nullptr;
  auto it = node.subkeys.begin();
  std::advance(it, index);
  return it->second.get();
}

std::shared_ptr<RegNode> SimRegistry::SharedNode(RegNode* node) {
  if (!node->parent) return root_;
  return node->parent->subkeys.find(node->name)->second;
}

// ---- open keys ----

std::string SimRegistry::KeyName(RegKey key) const {
  if (key == kHkeyLocalMachine) return "HKLM";
  auto it = keys_.find(key);
  if (it != keys_.end()) return "key#" + std::to_string(it->second.serial);
  return Hex(key);
}

RegNode* SimRegistry::NodeOf(RegKey key, RegResult* error) {
  if (key == kHkeyLocalMachine) return root_.get();
  auto it = keys_.find(key);
  if (it == keys_.end() || it->second.node->deleted) {
    *error = kErrorInvalidHandle;
    return nullptr;
  }
  return it->second.node.get();
}

RegKey SimRegistry::NewKeyHandle(RegNode* node) {
  const std::uint64_t serial = ++keySerial_;
  const RegKey handle = kKeyHandleBase + 4 * serial;
  keys_[handle] = KeyHandle{SharedNode(node), node->Path(), serial};
  return handle;
}

// ---- setup and inspection ----

const RegNode* SimRegistry::FindNode(const std::string& path) const {
  std::vector<std::string> names;
  if (!SplitKeyPath(path.c_str(), &names)) return nullptr;
  return WalkKeys(root_.get(), names);
}

void SimRegistry::CreateKey(const std::string& path) {
  std::vector<std::string> names;
  if (!SplitKeyPath(path.c_str(), &names))
    throw std::invalid_argument("bad key path: " + path);
  RegNode* node = root_.get();
  for (const std::string& name : names) node = node->AddSubkey(name);
}

void SimRegistry::SetValue(const std::string& path, const std::string& valueName,
                         std::uint32_t type, const std::string& data) {
  CreateKey(path);
  const_cast<RegNode*>(FindNode(path))->SetValue(valueName, type, data);
}

void SimRegistry::SetText(const std::string& path, const std::string& valueName,
                        const std::string& text) {
  SetValue(path, valueName, kRegSz, text + '\0');
}

bool SimRegistry::KeyExists(const std::string& path) const {
  return FindNode(path) != nullptr;
}

const RegValue* SimRegistry::FindValue(const std::string& path,
                                     const std::string& valueName) const {
  const RegNode* node = FindNode(path);
  return node ? node->FindValue(valueName) : nullptr;
}

std::string SimRegistry::ValueText(const std::string& path,
                                 const std::string& valueName) const {
  const RegValue* v = FindValue(path, valueName);
  if (!v) return std::string();
  return v->data.substr(0, v->data.find('\0'));
}

std::vector<std::string> SimRegistry::SubkeyNames(const std::string& path) const {
  std::vector<std::string> out;
  if (const RegNode* node = FindNode(path))
    for (std::size_t i = 0; const RegNode* subkey = SubkeyAt(*node, i); ++i)
      out.push_back(subkey->name);
  return out;
}

std::vector<OpenKeyInfo> SimRegistry::OpenKeys() const {
  std::vector<OpenKeyInfo> out;
  for (const auto& entry : keys_) out.push_back({entry.first, entry.second.path});
  return out;
}

}  // namespace nl::sim
