#include "regfile/reg_account.h"

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "regfile/reg_file.h"

namespace nl::regfile {

namespace {

// The account's sections, filled in one walk over both trees.
struct Sections {
  std::string keysDeleted, keysAdded, valuesAdded, valuesDeleted, valuesModified;
  RegAccountCounts counts;
};

// Every line of `text` behind "; ", so a value with a long hex list stays
// one comment.
std::string Commented(const std::string& text) {
  std::string out = "; ";
  for (char c : text) {
    out += c;
    if (c == '\n') out += "; ";
  }
  return out;
}

// The key's subkeys by name ignoring case: the account compares the two
// registries as sets of keys, so neither one's enumeration order decides
// where a key stands in it.
std::vector<const RegNode*> SubkeysByName(const RegNode* node) {
  std::vector<const RegNode*> out;
  if (!node) return out;
  out.reserve(node->subkeys.size());
  for (const auto& child : node->subkeys) out.push_back(child.get());
  std::sort(out.begin(), out.end(), [](const RegNode* a, const RegNode* b) {
    return CompareIgnoreCase(a->name, b->name) < 0;
  });
  return out;
}

// A deleted key is one line, as deleting it also deletes its subkeys; what
// it held, subkeys included, follows in comments.
void DeletedKey(const RegNode& top, const std::string& topPath, Sections* s) {
  ++s->counts.keysDeleted;
  s->keysDeleted += "[-" + topPath + "]\n";
  std::vector<std::pair<const RegNode*, std::string>> pending{{&top, topPath}};
  while (!pending.empty()) {
    auto [node, path] = std::move(pending.back());
    pending.pop_back();
    if (node != &top) s->keysDeleted += "; [" + path + "]\n";
    for (const RegValue* v : ValuesByName(*node))
      s->keysDeleted += Commented(RegValueText(*v)) + "\n";
    const std::vector<const RegNode*> children = SubkeysByName(node);
    for (auto it = children.rbegin(); it != children.rend(); ++it)
      pending.emplace_back(*it, path + "\\" + (*it)->name);
  }
  s->keysDeleted += "\n";
}

void AddedKey(const RegNode& node, const std::string& path, Sections* s) {
  ++s->counts.keysAdded;
  s->keysAdded += "[" + path + "]\n";
  for (const RegValue* v : ValuesByName(node)) {
    ++s->counts.valuesAdded;
    s->keysAdded += RegValueText(*v) + "\n";
  }
  s->keysAdded += "\n";
}

void ChangedValues(const RegNode& before, const RegNode& after, const std::string& path,
                   Sections* s) {
  std::string added, deleted, modified;
  for (const RegValue* now : ValuesByName(after)) {
    const RegValue* was = before.FindValue(now->name);
    if (!was) {
      ++s->counts.valuesAdded;
      added += RegValueText(*now) + "\n";
    } else if (was->type != now->type || was->data != now->data) {
      ++s->counts.valuesModified;
      modified += RegValueText(*now) + "\n" + Commented("was " + RegValueText(*was)) + "\n";
    }
  }
  for (const RegValue* was : ValuesByName(before)) {
    if (after.FindValue(was->name)) continue;
    ++s->counts.valuesDeleted;
    deleted += RegValueNameText(was->name) + "-\n" + Commented("was " + RegValueText(*was)) + "\n";
  }
  const std::string header = "[" + path + "]\n";
  if (!added.empty()) s->valuesAdded += header + added + "\n";
  if (!deleted.empty()) s->valuesDeleted += header + deleted + "\n";
  if (!modified.empty()) s->valuesModified += header + modified + "\n";
}

void Section(const char* title, const std::string& body, std::string* out) {
  // Entries end in a blank line; the last one's gives way to the next title's.
  if (!body.empty()) *out += std::string("\n; ") + title + "\n" + body.substr(0, body.size() - 1);
}

}  // namespace

// One walk by key name over both trees at once, with a stack of
// its own, so the depth of the trees does not reach the program's stack.
std::string RegistryAccount(const RegNode& before, const RegNode& after,
                            RegAccountCounts* counts) {
  struct Pair {
    const RegNode* before;  // null: the key was added
    const RegNode* after;   // null: the key was deleted
    std::string path;
  };
  Sections s;
  std::vector<Pair> pending{{&before, &after, "HKEY_LOCAL_MACHINE"}};
  while (!pending.empty()) {
    Pair pair = std::move(pending.back());
    pending.pop_back();
    if (!pair.after) {
      DeletedKey(*pair.before, pair.path, &s);
      continue;
    }
    if (!pair.before) AddedKey(*pair.after, pair.path, &s);
    else ChangedValues(*pair.before, *pair.after, pair.path, &s);
    // Subkeys of both, merged by name; pushed last first so they come out
    // in order.
    const std::vector<const RegNode*> beforeKeys = SubkeysByName(pair.before);
    const std::vector<const RegNode*> afterKeys = SubkeysByName(pair.after);
    std::vector<Pair> children;
    auto b = beforeKeys.begin(), bEnd = beforeKeys.end();
    auto a = afterKeys.begin(), aEnd = afterKeys.end();
    while (b != bEnd || a != aEnd) {
      const int order = b == bEnd ? 1 : a == aEnd ? -1 : CompareIgnoreCase((*b)->name, (*a)->name);
      const RegNode* was = order <= 0 ? *b++ : nullptr;
      const RegNode* now = order >= 0 ? *a++ : nullptr;
      children.push_back({was, now, pair.path + "\\" + (now ? now->name : was->name)});
    }
    for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back(std::move(*it));
  }
  const RegAccountCounts& c = s.counts;
  if (counts) *counts = c;
  if (!c.keysDeleted && !c.keysAdded && !c.valuesAdded && !c.valuesDeleted && !c.valuesModified)
    return "(no changes)\n";
  std::string out = "; Keys deleted: " + std::to_string(c.keysDeleted) +
                    ", keys added: " + std::to_string(c.keysAdded) +
                    ", values added: " + std::to_string(c.valuesAdded) +
                    ", values deleted: " + std::to_string(c.valuesDeleted) +
                    ", values modified: " + std::to_string(c.valuesModified) + "\n";
  Section("Keys deleted, with what they held", s.keysDeleted, &out);
  Section("Keys added, with their values", s.keysAdded, &out);
  Section("Values added", s.valuesAdded, &out);
  Section("Values deleted", s.valuesDeleted, &out);
  Section("Values modified, each with what it was", s.valuesModified, &out);
  return out;
}

std::string RegistryAccountOfFiles(std::string_view beforeBytes, std::string_view afterBytes,
                                   const std::string& beforeName, const std::string& afterName,
                                   bool strict, std::vector<std::string>* notes) {
  RegNode before, after;
  before.name = after.name = "HKEY_LOCAL_MACHINE";
  for (auto [bytes, name, root] : {std::tuple(beforeBytes, &beforeName, &before),
                                   std::tuple(afterBytes, &afterName, &after)}) {
    RegImportOptions options;
    options.fileName = *name;
    options.strict = strict;
    RegImportReport report = ImportRegFile(bytes, root, options);
    notes->insert(notes->end(), report.warnings.begin(), report.warnings.end());
    const std::string other = OtherRootsNote(report, *name);
    if (!other.empty()) notes->push_back(other);
  }
  return RegistryAccount(before, after);
}

}  // namespace nl::regfile
