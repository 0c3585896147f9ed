// The virtual clock of the simulated system: virtual milliseconds since the
// system started, the events scheduled on it and the time limit of a run.
//
// Rules worth knowing when writing tests:
// - Time moves only in Sleep: Sleep delivers the messages posted so far,
//   then advances the clock, firing the scheduled events in time order
//   (messages posted by an event are delivered right after it). Sleep
//   returns at once in real time.
// - An event scheduled for a time that has passed already fires on the next
//   Sleep; events of the same time fire in the order they were scheduled.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <vector>

#include "platform/sim/sim_call.h"

namespace nl::sim {

class SimSystem;
class SimDesktop;

// Thrown by Sleep when virtual time would pass the time limit.
struct SimTimeLimit : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class SimClock {
 public:
  using EventFn = std::function<void(SimSystem&)>;

  // Events run against `system`, the face they are scheduled on.
  explicit SimClock(SimSystem& system) : system_(system) {}
  SimClock(const SimClock&) = delete;
  SimClock& operator=(const SimClock&) = delete;

  // ---- Platform call ----

  // Sleep: delivers `desktop`'s posted messages and fires the events due.
  // False when the time limit was reached: the clock stands at the limit.
  bool Sleep(std::uint32_t milliseconds, SimDesktop& desktop, Described* out);

  // ---- setup and inspection ----

  std::uint64_t Now() const { return now_; }
  // Runs `fn` when the clock reaches `timeMs` during a Sleep of the program
  // (at once on the next Sleep when that time has passed already).
  void At(std::uint64_t timeMs, EventFn fn);
  void After(std::uint64_t delayMs, EventFn fn) { At(now_ + delayMs, std::move(fn)); }
  // An event that only watches (a user looking at the screen): it does not
  // count as something the system still has to do (HasPendingWork).
  void WatchAfter(std::uint64_t delayMs, EventFn fn);
  // Whether an event other than a watching one is still scheduled.
  bool HasPendingWork() const;
  // A Sleep that would carry the clock past `ms` throws SimTimeLimit.
  // Default: one hour of virtual time.
  void SetTimeLimit(std::uint64_t ms) { timeLimit_ = ms; }
  std::uint64_t TimeLimit() const { return timeLimit_; }

 private:
  struct Event {
    std::uint64_t time;
    std::uint64_t seq;
    EventFn fn;
    bool watching = false;
  };

  SimSystem& system_;
  std::uint64_t now_ = 0;
  std::uint64_t timeLimit_ = 3600u * 1000u;
  std::uint64_t eventSeq_ = 0;
  std::vector<Event> events_;  // kept sorted by (time, seq)
};

}  // namespace nl::sim
