// A list of named entries (a key's subkeys, a key's values) that keeps the
// order in which the entries were added and finds an entry by its name,
// ignoring ASCII letter case.
//
// A short list is searched along; a list that grows longer gets an ordered
// index by name (ignoring case), so a key with many thousands of entries is
// searched in logarithmic time while the many small keys of a registry carry
// no index. The index is a search tree rather than a hash table because the
// names come from a customer's file: no choice of names can make them
// collide, as names chosen for one hash value would degrade a table to a
// search along one list.
// Removing from an indexed list only empties the entry's place (its contents
// are released at once); the empty places are closed in one pass when they
// outnumber the entries, or when the list is next read by position. So a
// file that adds tens of thousands of values to one key and deletes them one
// by one costs time in proportion to its length, not to its length times the
// key's size.
//
// An entry's name is EntryName(entry), found next to the entry's type.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <map>
#include <utility>
#include <vector>

#include "regfile/ignore_case.h"

namespace nl::regfile {

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
    const std::size_t at = PositionOf(name);
    return at == kNone ? nullptr : &entries_[at];
  }
  const Entry* Find(std::string_view name) const {
    return const_cast<NamedList*>(this)->Find(name);
  }

  // Adds at the end; no entry of that name may be in the list.
  Entry& Append(Entry entry) {
    entries_.push_back(std::move(entry));
    if (index_) {
      index_->emplace(EntryName(entries_.back()), entries_.size() - 1);
    } else if (entries_.size() == kIndexedFrom) {
      index_ = std::make_unique<Index>();
      for (std::size_t at = 0; at < entries_.size(); ++at)
        index_->emplace(EntryName(entries_[at]), at);
    }
    return entries_.back();
  }

  // Takes the entry of that name out of the list; nothing when there is none.
  std::optional<Entry> Remove(std::string_view name) {
    const std::size_t at = PositionOf(name);
    if (at == kNone) return std::nullopt;
    std::optional<Entry> taken(std::move(entries_[at]));
    if (!index_) {
      entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
      return taken;
    }
    index_->erase(index_->find(name));
    entries_[at] = Entry();
    ++gaps_;
    if (gaps_ > size()) Close();
    return taken;
  }

  void clear() {
    entries_.clear();
    index_.reset();
    gaps_ = 0;
  }

 private:
  using Index = std::map<std::string, std::size_t, IgnoreCaseLess>;  // name -> position
  static constexpr std::size_t kIndexedFrom = 16;
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  std::size_t PositionOf(std::string_view name) const {
    if (index_) {
      auto it = index_->find(name);
      return it == index_->end() ? kNone : it->second;
    }
    for (std::size_t at = 0; at < entries_.size(); ++at)
      if (EqualsIgnoreCase(EntryName(entries_[at]), name)) return at;
    return kNone;
  }

  std::vector<Entry>& Closed() const {
    if (gaps_ != 0) Close();
    return entries_;
  }

  // Only an indexed list has empty places: the entries the index holds are
  // the live ones. They move up over the empty places in order, and the
  // index learns their new positions.
  void Close() const {
    const std::size_t count = entries_.size();
    std::vector<std::size_t> moved(count, kNone);
    for (const auto& entry : *index_) moved[entry.second] = 0;
    std::size_t to = 0;
    for (std::size_t from = 0; from < count; ++from) {
      if (moved[from] == kNone) continue;
      moved[from] = to;
      if (to != from) entries_[to] = std::move(entries_[from]);
      ++to;
    }
    entries_.resize(to);
    // A key emptied of most of its entries gives their room back.
    if (to < entries_.capacity() / 4) entries_.shrink_to_fit();
    for (auto& entry : *index_) entry.second = moved[entry.second];
    gaps_ = 0;
  }

  // Closing the empty places changes no entry and no order, so a list read
  // through a const reference may close them.
  mutable std::vector<Entry> entries_;
  mutable std::unique_ptr<Index> index_;  // only for lists grown long
  mutable std::size_t gaps_ = 0;
};

}  // namespace nl::regfile
