// A list of named entries (a key's subkeys, a key's values) that keeps the
// order in which the entries were added and finds an entry by its name,
// ignoring ASCII letter case, in constant time.
//
// Removing an entry only marks its place as empty (its contents are released
// at once); the empty places are closed in one pass when they outnumber the
// entries, or when the list is next read by position. So a file that adds
// tens of thousands of values to one key and deletes them one by one costs
// time in proportion to its length, not to its length times the key's size.
//
// An entry's name is EntryName(entry), found next to the entry's type.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "regfile/ignore_case.h"

namespace nl::regfile {

inline std::string FoldedName(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = FoldUpper(c);
  return out;
}

template <typename Entry>
class NamedList {
 public:
  std::size_t size() const { return entries_.size() - gaps_; }
  bool empty() const { return size() == 0; }

  // By position in the list's order, and in that order; reading by position
  // first closes the empty places.
  const Entry& operator[](std::size_t at) const { return Closed()[at]; }
  Entry& operator[](std::size_t at) { return Closed()[at]; }
  typename std::vector<Entry>::const_iterator begin() const { return Closed().begin(); }
  typename std::vector<Entry>::const_iterator end() const { return Closed().end(); }
  typename std::vector<Entry>::iterator begin() { return Closed().begin(); }
  typename std::vector<Entry>::iterator end() { return Closed().end(); }

  Entry* Find(std::string_view name) {
    auto it = index_.find(FoldedName(name));
    return it == index_.end() ? nullptr : &entries_[it->second];
  }
  const Entry* Find(std::string_view name) const {
    return const_cast<NamedList*>(this)->Find(name);
  }

  // Adds at the end; no entry of that name may be in the list.
  Entry& Append(Entry entry) {
    index_.emplace(FoldedName(EntryName(entry)), entries_.size());
    entries_.push_back(std::move(entry));
    removed_.push_back(false);
    return entries_.back();
  }

  // Takes the entry of that name out of the list; nothing when there is none.
  std::optional<Entry> Remove(std::string_view name) {
    auto it = index_.find(FoldedName(name));
    if (it == index_.end()) return std::nullopt;
    const std::size_t at = it->second;
    index_.erase(it);
    std::optional<Entry> taken(std::move(entries_[at]));
    entries_[at] = Entry();
    removed_[at] = true;
    ++gaps_;
    if (gaps_ > size()) Close();
    return taken;
  }

  void clear() {
    entries_.clear();
    removed_.clear();
    index_.clear();
    gaps_ = 0;
  }

 private:
  std::vector<Entry>& Closed() const {
    if (gaps_ != 0) Close();
    return entries_;
  }

  // Moves the entries up over the empty places and updates the positions in
  // the index from a table of old position -> new position.
  void Close() const {
    std::vector<std::size_t> moved(entries_.size());
    std::size_t to = 0;
    for (std::size_t from = 0; from < entries_.size(); ++from) {
      if (removed_[from]) continue;
      moved[from] = to;
      if (to != from) entries_[to] = std::move(entries_[from]);
      ++to;
    }
    entries_.resize(to);
    // A key emptied of most of its entries gives their room back.
    if (to < entries_.capacity() / 4) entries_.shrink_to_fit();
    removed_.assign(to, false);
    for (auto& entry : index_) entry.second = moved[entry.second];
    gaps_ = 0;
  }

  // Closing the empty places changes no entry and no order, so a list read
  // through a const reference may close them.
  mutable std::vector<Entry> entries_;
  mutable std::vector<bool> removed_;  // parallel to entries_
  // Folded (A-Z) name -> position in entries_.
  mutable std::unordered_map<std::string, std::size_t> index_;
  mutable std::size_t gaps_ = 0;
};

}  // namespace nl::regfile
