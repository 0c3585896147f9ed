// The call counter, fault injection and the journal of Platform calls.
#include <unistd.h>

#include <cstdio>

#include "platform/sim/sim_system.h"

namespace nl::sim {

std::string JournalEntry::Text() const {
  return operation + "(" + arguments + ") = " + result;
}

SimSystem::Call SimSystem::BeginCall(const char* operation, FaultUse use) {
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
  if (journalOn_) {
    call.journal = true;
    call.entry = journal_.size();
    JournalEntry entry;
    entry.index = call.number;
    entry.time = now_;
    entry.operation = operation;
    journal_.push_back(std::move(entry));
  }
  return call;
}

void SimSystem::Record(const Call& call, Described described) {
  JournalEntry& entry = journal_[call.entry];
  entry.arguments = std::move(described.arguments);
  entry.result = std::move(described.result);
  if (call.fault == Fault::kFail) entry.result += " [injected failure]";
  if (call.fault == Fault::kShort) entry.result += " [injected short transfer]";
}

void SimSystem::StopIfDue(const Call& call) {
  if (stopAfter_ == 0 || call.number != stopAfter_) return;
  CloseProgramHandles();
  throw SimStopped("program stopped after call " + std::to_string(call.number));
}

void SimSystem::CloseProgramHandles() {
  for (auto& entry : files_) {
    Flush(entry.second);
    ::close(entry.second.fd);
  }
  files_.clear();
  keys_.clear();
  processHandles_.clear();
}

void SimSystem::ClearFaults() {
  failCalls_.clear();
  shortCalls_.clear();
  failOps_.clear();
  stopAfter_ = 0;
}

std::string SimSystem::KeyName(RegKey key) const {
  if (key == kHkeyLocalMachine) return "HKLM";
  auto it = keys_.find(key);
  if (it != keys_.end()) return "key#" + std::to_string(it->second.serial);
  return Hex(key);
}

std::string SimSystem::FileName(FileHandle file) const {
  auto it = files_.find(file);
  if (it != files_.end()) return "file#" + std::to_string(it->second.serial);
  if (file == kInvalidFileHandle) return "INVALID_HANDLE_VALUE";
  return Hex(file);
}

std::string SimSystem::JournalText() const {
  std::string out;
  for (const JournalEntry& entry : journal_) {
    char head[48];
    std::snprintf(head, sizeof head, "%5llu %8llums  ",
                  static_cast<unsigned long long>(entry.index),
                  static_cast<unsigned long long>(entry.time));
    out += head + entry.Text() + "\n";
  }
  return out;
}

std::vector<std::string> SimSystem::JournalCalls() const {
  std::vector<std::string> out;
  out.reserve(journal_.size());
  for (const JournalEntry& entry : journal_) out.push_back(entry.Text());
  return out;
}

}  // namespace nl::sim
