// The call counter, fault injection and the journal of Platform calls.
#include "platform/sim/journal/sim_journal.h"

#include <cstdio>

namespace nl::sim {

std::string JournalEntry::Text() const {
  return operation + "(" + arguments + ") = " + result;
}

SimJournal::Call SimJournal::Begin(const char* operation, std::uint64_t now,
                                   FaultUse use) {
  Call call;
  call.number = ++callCount_;
  if (use == FaultUse::kNone) {
    // nothing to inject
  } else if ((!failCalls_.empty() && failCalls_.count(call.number)) ||
             (!failOps_.empty() && failOps_.count(operation))) {
    call.fault = Fault::kFail;
  } else if (use == FaultUse::kFailOrShort && !shortCalls_.empty() &&
             shortCalls_.count(call.number)) {
    call.fault = Fault::kShort;
  }
  if (on_) {
    call.journal = true;
    call.entry = entries_.size();
    JournalEntry entry;
    entry.index = call.number;
    entry.time = now;
    entry.operation = operation;
    entries_.push_back(std::move(entry));
  }
  return call;
}

void SimJournal::Record(const Call& call, Described described) {
  if (!call.journal) return;
  JournalEntry& entry = entries_[call.entry];
  entry.arguments = std::move(described.arguments);
  entry.result = std::move(described.result);
  if (call.fault == Fault::kFail) entry.result += " [injected failure]";
  if (call.fault == Fault::kShort) entry.result += " [injected short transfer]";
}

void SimJournal::ClearFaults() {
  failCalls_.clear();
  shortCalls_.clear();
  failOps_.clear();
  stopAfter_ = 0;
}

std::string SimJournal::Text() const {
  std::string out;
  for (const JournalEntry& entry : entries_) {
    char head[48];
    std::snprintf(head, sizeof head, "%5llu %8llums  ",
                  static_cast<unsigned long long>(entry.index),
                  static_cast<unsigned long long>(entry.time));
    out += head + entry.Text() + "\n";
  }
  return out;
}

std::vector<std::string> SimJournal::Calls() const {
  std::vector<std::string> out;
  out.reserve(entries_.size());
  for (const JournalEntry& entry : entries_) out.push_back(entry.Text());
  return out;
}

}  // namespace nl::sim
