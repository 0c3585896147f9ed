// The journal of the simulated system: it numbers every Platform call the
// program makes, injects the faults a test asks for and records each call
// with its arguments and result.
//
// Rules worth knowing when writing tests:
// - Only Platform calls count. The setup and inspection calls of the parts
//   are neither counted nor journaled; but Platform calls made from scripts,
//   scheduled events and message handlers are counted and journaled like the
//   program's own (those should change the system through the setup calls).
// - Entries name registry handles "key#n" and file handles "file#n" (the
//   n-th key or file the program opened), HKEY_LOCAL_MACHINE "HKLM", windows
//   and process identifiers in hex; texts are quoted (sim_text.h Quoted).
//   Injected faults are marked "[injected failure]" or "[injected short
//   transfer]" after the result.
// - A call's entry is made when the call begins, so calls made from within
//   it (a message handler answering SendMessageA, a script run by
//   CreateProcessA) follow it in the journal.
#pragma once

#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/sim/sim_call.h"

namespace nl::sim {

// Thrown by the call after which StopAfterCall stops the program.
struct SimStopped : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Thrown by a call after which the program would wait for the user: Windows
// asks for the medium of a drive without one in its critical-error box.
// The program is not killed; it waits, and the run ends there. A
// SimStopped, so that whoever takes a stop takes this too.
struct SimWaitsForUser : SimStopped {
  using SimStopped::SimStopped;
};

// Thrown by the program's call after Windows restarted under it: a user
// answered a system tool's restart prompt with Yes. The program is killed.
struct SimWindowsRestarts : SimStopped {
  using SimStopped::SimStopped;
};

// One Platform call: its number (1-based), the virtual time it was made at,
// its name, its arguments and its result as text.
struct JournalEntry {
  std::uint64_t index = 0;
  std::uint64_t time = 0;
  std::string operation;
  std::string arguments;
  std::string result;
  // "RegCloseKey(key#3) = 0"
  std::string Text() const;
};

// Which injected faults a call can suffer: Sleep, GetUserDefaultLCID and
// the closing calls cannot fail; only ReadFile and WriteFile run short.
enum class FaultUse { kFail, kFailOrShort, kNone };

class SimJournal {
 public:
  // A call in progress.
  struct Call {
    std::uint64_t number = 0;
    Fault fault = Fault::kNone;
    bool journal = false;  // whether it gets an entry
    std::size_t entry = 0;
  };

  // ---- for the face ----

  // Counts the call, decides its fault and opens its entry at `now`.
  Call Begin(const char* operation, std::uint64_t now, FaultUse use);
  // Fills in the call's entry (when it has one).
  void Record(const Call& call, Described described);
  // Whether the program is to be stopped after this call.
  bool StopsAfter(const Call& call) const {
    return stopAfter_ != 0 && call.number == stopAfter_;
  }

  // ---- setup and inspection ----

  const std::vector<JournalEntry>& Entries() const { return entries_; }
  // One line per call: "   12     1500ms  RegCloseKey(key#3) = 0".
  std::string Text() const;
  // JournalEntry::Text() of every call, for sequence assertions.
  std::vector<std::string> Calls() const;
  // Off: calls are still counted and faults still apply, but nothing is
  // recorded (for long runs such as benchmarks).
  void SetEnabled(bool on) { on_ = on; }
  std::uint64_t CallCount() const { return callCount_; }
  // Call number n fails the way the real function fails (Sleep,
  // GetUserDefaultLCID, RegCloseKey and CloseHandle cannot fail).
  void FailCall(std::uint64_t n) { failCalls_.insert(n); }
  // Every call of this operation fails.
  void FailOperation(const std::string& operation) { failOps_.insert(operation); }
  // Call number n, when it is a ReadFile or WriteFile, moves fewer bytes
  // than it would have: half, rounded down (so 0 for a single byte); the call
  // still succeeds. Other calls ignore it.
  void ShortCall(std::uint64_t n) { shortCalls_.insert(n); }
  // After call n completes, the program is killed: its open keys, files and
  // process handles are closed (what was written stays) and SimStopped is
  // thrown. Processes it started go on running.
  void StopAfterCall(std::uint64_t n) { stopAfter_ = n; }
  void ClearFaults();

 private:
  std::vector<JournalEntry> entries_;
  bool on_ = true;
  std::uint64_t callCount_ = 0;
  std::set<std::uint64_t> failCalls_;
  std::set<std::uint64_t> shortCalls_;
  std::set<std::string> failOps_;
  std::uint64_t stopAfter_ = 0;
};

}  // namespace nl::sim
