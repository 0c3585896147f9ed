#include "platform/sim/sim_registry_tree.h"

namespace nl::sim {

RegValue* RegNode::FindValue(std::string_view valueName) {
  for (RegValue& v : values)
    if (EqualsIgnoreCase(v.name, valueName)) return &v;
  return nullptr;
}

const RegValue* RegNode::FindValue(std::string_view valueName) const {
  return const_cast<RegNode*>(this)->FindValue(valueName);
}

void RegNode::SetValue(std::string_view valueName, std::uint32_t type,
                       std::string data) {
  if (RegValue* v = FindValue(valueName)) {
    v->type = type;
    v->data = std::move(data);
    return;
  }
  values.push_back(RegValue{std::string(valueName), type, std::move(data)});
}

RegNode* RegNode::FindSubkey(std::string_view subkeyName) const {
  auto it = subkeys.find(subkeyName);
  return it == subkeys.end() ? nullptr : it->second.get();
}

RegNode* RegNode::AddSubkey(std::string_view subkeyName) {
  if (RegNode* existing = FindSubkey(subkeyName)) return existing;
  auto node = std::make_shared<RegNode>();
  node->name = std::string(subkeyName);
  node->parent = this;
  RegNode* raw = node.get();
  subkeys.emplace(node->name, std::move(node));
  return raw;
}

std::string RegNode::Path() const {
  if (!parent) return std::string();
  std::string above = parent->Path();
  return above.empty() ? name : above + "\\" + name;
}

bool SplitKeyPath(const char* path, std::vector<std::string>* names) {
  names->clear();
  if (!path || !*path) return true;
  std::string_view rest(path);
  if (rest.back() == '\\') rest.remove_suffix(1);
  while (true) {
    const std::size_t cut = rest.find('\\');
    const std::string_view name = rest.substr(0, cut);
    if (name.empty()) return false;
    names->emplace_back(name);
    if (cut == std::string_view::npos) return true;
    rest.remove_prefix(cut + 1);
  }
}

RegNode* WalkKeys(RegNode* from, const std::vector<std::string>& names) {
  RegNode* node = from;
  for (const std::string& name : names) {
    node = node->FindSubkey(name);
    if (!node) return nullptr;
  }
  return node;
}

namespace {
void MarkDeleted(RegNode* node) {
  node->deleted = true;
  node->parent = nullptr;
  for (auto& entry : node->subkeys) MarkDeleted(entry.second.get());
}
}  // namespace

void RemoveSubkey(RegNode* parent, std::string_view subkeyName) {
  auto it = parent->subkeys.find(subkeyName);
  if (it == parent->subkeys.end()) return;
  MarkDeleted(it->second.get());
  parent->subkeys.erase(it);
}

}  // namespace nl::sim
