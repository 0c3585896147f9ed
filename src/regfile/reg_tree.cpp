#include "regfile/reg_tree.h"

namespace nl::regfile {

const std::string& EntryName(const std::shared_ptr<RegNode>& node) { return node->name; }

RegNode::~RegNode() {
  std::vector<std::shared_ptr<RegNode>> pending;
  for (auto& child : subkeys) pending.push_back(std::move(child));
  subkeys.clear();
  while (!pending.empty()) {
    std::shared_ptr<RegNode> node = std::move(pending.back());
    pending.pop_back();
    // A key still held elsewhere (an open handle) keeps its subtree.
    if (node.use_count() != 1) continue;
    for (auto& child : node->subkeys) pending.push_back(std::move(child));
    node->subkeys.clear();
  }
}

RegValue* RegNode::FindValue(std::string_view valueName) {
  return values.Find(valueName);
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
  values.Append(RegValue{std::string(valueName), type, std::move(data)});
}

bool RegNode::RemoveValue(std::string_view valueName) {
  return values.Remove(valueName).has_value();
}

RegNode* RegNode::FindSubkey(std::string_view subkeyName) const {
  const std::shared_ptr<RegNode>* found = subkeys.Find(subkeyName);
  return found ? found->get() : nullptr;
}

std::shared_ptr<RegNode> RegNode::SharedSubkey(std::string_view subkeyName) const {
  const std::shared_ptr<RegNode>* found = subkeys.Find(subkeyName);
  return found ? *found : nullptr;
}

RegNode* RegNode::AddSubkey(std::string_view subkeyName) {
  if (RegNode* existing = FindSubkey(subkeyName)) return existing;
  auto node = std::make_shared<RegNode>();
  node->name = std::string(subkeyName);
  node->parent = this;
  RegNode* raw = node.get();
  subkeys.Append(std::move(node));
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
// With a work list rather than recursion: a subtree may be deep.
void MarkDeleted(RegNode* top) {
  std::vector<RegNode*> pending{top};
  while (!pending.empty()) {
    RegNode* node = pending.back();
    pending.pop_back();
    node->deleted = true;
    node->parent = nullptr;
    for (const auto& child : node->subkeys) pending.push_back(child.get());
  }
}
}  // namespace

void RemoveSubkey(RegNode* parent, std::string_view subkeyName) {
  std::optional<std::shared_ptr<RegNode>> taken = parent->subkeys.Remove(subkeyName);
  if (taken) MarkDeleted(taken->get());
}

}  // namespace nl::regfile
