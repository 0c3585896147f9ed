// The registry part of a case and its status, checked against each other:
// the part is read by the .reg reader as regedit writes it (a line the
// reader would skip is damage), its key sections are seen line by line as
// the case is read (a key given twice, the "; not written" lines of each
// subtree), and every count the status states is compared with what the
// part holds. Used by the case reader alone (case_file.cpp); kept inline so
// that every build of the reader takes it with the reader's own file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "case_file.h"
#include "diag/case_format.h"
#include "regfile/ignore_case.h"
#include "regfile/reg_file.h"
#include "regfile/reg_lines.h"

namespace simrun {

// The decimal number at the front of `*s`, taken off it; false without one
// or past 32 bits.
inline bool TakeNumber(std::string_view* s, std::uint32_t* value) {
  std::uint64_t number = 0;
  std::size_t n = 0;
  while (n < s->size() && (*s)[n] >= '0' && (*s)[n] <= '9' && n < 10)
    number = number * 10 + static_cast<unsigned>((*s)[n++] - '0');
  if (n == 0 || number > 0xFFFFFFFFu) return false;
  *value = static_cast<std::uint32_t>(number);
  s->remove_prefix(n);
  return true;
}

inline bool TakeText(std::string_view* s, std::string_view text) {
  if (s->substr(0, text.size()) != text) return false;
  s->remove_prefix(text.size());
  return true;
}

// A subtree's status as NLDIAG writes it (collect_registry.cpp); false for
// anything else.
inline bool ParseSubtreeStatus(std::string_view s, bool valuesOnly, CaseSubtreeStatus* status) {
  namespace diag = nl::diag;
  status->text = std::string(s);
  std::uint32_t error = 0;
  if (TakeText(&s, "absent") || TakeText(&s, "unreadable")) {
    status->state = status->text[0] == 'a' ? SubtreeState::kAbsent : SubtreeState::kUnreadable;
    return TakeText(&s, " (error ") && TakeNumber(&s, &error) && TakeText(&s, ")") && s.empty();
  }
  if (TakeText(&s, "present")) {
    status->state = SubtreeState::kPresent;
  } else if (TakeText(&s, "incomplete")) {
    status->state = SubtreeState::kIncomplete;
  } else if (TakeText(&s, "too large")) {
    status->state = SubtreeState::kTooLarge;
  } else if (TakeText(&s, "changed while read")) {
    status->state = SubtreeState::kChanged;  // whatever else it says
  } else {
    return false;
  }
  if (!TakeText(&s, ", ") || !TakeNumber(&s, &status->keys) || !TakeText(&s, " keys, ") ||
      !TakeNumber(&s, &status->values) || !TakeText(&s, " values"))
    return false;
  if (valuesOnly && !TakeText(&s, " (the key's values only)")) return false;
  const std::string limit = ", written up to the limit of " + std::to_string(diag::kMaxKeysPerSubtree) +
                            " keys, " + std::to_string(diag::kMaxValuesPerSubtree) + " values or " +
                            std::to_string(diag::kMaxKeyDepth) + " levels";
  const bool atLimit = TakeText(&s, limit);
  if (TakeText(&s, ", ") && (!TakeNumber(&s, &status->leftOut) || status->leftOut == 0 ||
                             !TakeText(&s, " left out (see the \"; not written\" lines)")))
    return false;
  if (!s.empty()) return false;
  switch (status->state) {
    case SubtreeState::kPresent: return !atLimit && status->leftOut == 0;
    case SubtreeState::kIncomplete: return !atLimit && status->leftOut != 0;
    case SubtreeState::kTooLarge: return atLimit;
    default: return true;
  }
}

// The key path of a section line, letters folded ("ENUM\ROOT\NET"); false
// for a deletion, a key under another root or a line the .reg reader
// refuses.
inline bool SectionKey(std::string_view text, std::string* key) {
  nl::regfile::RegKeyPath path;
  if (!nl::regfile::ParseKeyLine(text, &path) || path.remove ||
      !nl::regfile::EqualsIgnoreCase(path.root, nl::diag::kRegistryRoot))
    return false;
  key->clear();
  for (const std::string_view name : path.names) {
    if (!key->empty()) *key += '\\';
    for (const char c : name) *key += nl::regfile::FoldUpper(c);
  }
  return true;
}

// The subtree of kCaseSubtrees holding the key (folded), or -1.
inline int SubtreeOf(const std::string& key) {
  for (std::size_t i = 0; i < kSubtreeCount; ++i) {
    std::string path = nl::diag::kCaseSubtrees[i].path;
    for (char& c : path) c = nl::regfile::FoldUpper(c);
    if (key.compare(0, path.size(), path) == 0 && (key.size() == path.size() || key[path.size()] == '\\'))
      return static_cast<int>(i);
  }
  return -1;
}

// The key sections of the registry part, seen as its lines are read.
struct RegistrySections {
  std::map<std::string, std::size_t> firstLine;  // folded key path -> its section's line
  std::size_t subtreeLine[kSubtreeCount] = {};   // the first section in each subtree
  std::uint32_t notWritten[kSubtreeCount] = {};  // its "; not written" lines
  int current = -1;                              // the subtree of the last section

  // One line of the part; for a key section given before, the line of the
  // first, otherwise 0.
  std::size_t Line(std::string_view text, std::size_t line) {
    text = nl::regfile::TrimBlanks(text);
    if (text.substr(0, 13) == "; not written") {
      if (current >= 0) ++notWritten[current];
      return 0;
    }
    std::string key;
    if (text.empty() || text[0] != '[' || !SectionKey(text, &key)) return 0;
    current = SubtreeOf(key);
    if (current >= 0 && subtreeLine[current] == 0) subtreeLine[current] = line;
    const auto [at, added] = firstLine.emplace(std::move(key), line);
    return added ? 0 : at->second;
  }

  // Compares every count the status states with what the part holds; a
  // CaseError naming the status line when they differ. Marks the subtrees
  // the part holds.
  void CheckAgainstStatus(const nl::regfile::RegNode& root, CaseSubtreeStatus* statuses,
                          const std::string& fileName) const {
    for (std::size_t i = 0; i < kSubtreeCount; ++i) {
      CaseSubtreeStatus& status = statuses[i];
      if (status.state == SubtreeState::kUnsaid) continue;
      const std::string path = nl::diag::kCaseSubtrees[i].path;
      std::vector<std::string> names;
      nl::regfile::SplitKeyPath(path.c_str(), &names);
      const nl::regfile::RegNode* key =
          nl::regfile::WalkKeys(const_cast<nl::regfile::RegNode*>(&root), names);
      status.held = key != nullptr;
      const std::string at = fileName + " line " + std::to_string(status.line) + ": ";
      const std::string damaged = ": a damaged case (lines lost, added or changed after NLDIAG.EXE "
                                  "wrote it); ask for the NLCASE.TXT it wrote, unchanged";
      if (status.state == SubtreeState::kAbsent || status.state == SubtreeState::kUnreadable) {
        if (key != nullptr)
          throw CaseError(at + "the status says " + path + " is " + Shown(status.text) +
                          ", yet the registry part holds it (line " +
                          std::to_string(subtreeLine[i]) + ")" + damaged);
        continue;
      }
      if (key == nullptr) continue;  // what the case does not hold
      std::uint32_t keys = 0, values = 0;
      std::vector<const nl::regfile::RegNode*> open = {key};
      while (!open.empty()) {
        const nl::regfile::RegNode* node = open.back();
        open.pop_back();
        ++keys;
        values += static_cast<std::uint32_t>(node->values.size());
        for (const auto& child : node->subkeys) open.push_back(child.get());
      }
      if (keys != status.keys || values != status.values || notWritten[i] != status.leftOut)
        throw CaseError(at + "the status gives " + path + " " + std::to_string(status.keys) +
                        " keys, " + std::to_string(status.values) + " values and " +
                        std::to_string(status.leftOut) + " left out; the registry part (from line " +
                        std::to_string(subtreeLine[i]) + ") holds " + std::to_string(keys) +
                        " keys, " + std::to_string(values) + " values and " +
                        std::to_string(notWritten[i]) + " \"; not written\" lines" + damaged);
    }
  }
};

// The registry part (its lines from `partLine` + 1 on) read as regedit
// writes it: a line the .reg reader would skip is an error, and every
// message names the case's own line.
inline std::unique_ptr<nl::regfile::RegNode> ReadRegistryPart(std::string_view text,
                                                              std::size_t partLine,
                                                              const std::string& fileName,
                                                              std::size_t* otherRootKeys) {
  auto root = std::make_unique<nl::regfile::RegNode>();
  nl::regfile::RegImportOptions options;
  options.fileName = "registry";
  options.strict = true;
  try {
    *otherRootKeys = nl::regfile::ImportRegFile(text, root.get(), options).otherRootKeys;
  } catch (const nl::regfile::RegFileError& error) {
    // "registry line N: why", N counted from the part's first line, which
    // ends where the case's own lines end; "registry: why" of the part as a
    // whole names its first line.
    std::string_view message = error.what();
    std::size_t line = partLine + 1;
    std::uint32_t number = 0;
    if (TakeText(&message, "registry line ") && TakeNumber(&message, &number) && number != 0)
      line = partLine + number;
    else
      TakeText(&message, "registry");
    TakeText(&message, ":");
    TakeText(&message, " ");
    throw CaseError(fileName + " line " + std::to_string(line) + ": in the registry part, " +
                    Printable(message.substr(0, 160)) + (message.size() > 160 ? "..." : "") +
                    " (a line regedit would not read: changed after NLDIAG.EXE wrote it?)");
  }
  return root;
}

}  // namespace simrun
