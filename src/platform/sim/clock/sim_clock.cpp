// The virtual clock: Sleep returns at once after moving the clock, firing the
// scheduled events it passes and delivering posted messages.
#include "platform/sim/clock/sim_clock.h"

#include <algorithm>
#include <string>

#include "platform/sim/desktop/sim_desktop.h"

namespace nl::sim {

void SimClock::At(std::uint64_t timeMs, EventFn fn) {
  Event event{timeMs, ++eventSeq_, std::move(fn)};
  auto at = std::upper_bound(events_.begin(), events_.end(), event,
                             [](const Event& a, const Event& b) {
                               return a.time != b.time ? a.time < b.time : a.seq < b.seq;
                             });
  events_.insert(at, std::move(event));
}

void SimClock::WatchAfter(std::uint64_t delayMs, EventFn fn) {
  At(now_ + delayMs, std::move(fn));
  for (Event& event : events_)
    if (event.seq == eventSeq_) event.watching = true;
}

bool SimClock::HasPendingWork() const {
  for (const Event& event : events_)
    if (!event.watching) return true;
  return false;
}

bool SimClock::Sleep(std::uint32_t milliseconds, SimDesktop& desktop, Described* out) {
  const std::uint64_t target = now_ + milliseconds;
  const bool overLimit = target > timeLimit_;
  const std::uint64_t until = overLimit ? timeLimit_ : target;
  desktop.DeliverPosted();
  while (!events_.empty() && events_.front().time <= until) {
    Event event = std::move(events_.front());
    events_.erase(events_.begin());
    if (event.time > now_) now_ = event.time;
    event.fn(system_);
    desktop.DeliverPosted();
  }
  now_ = until;
  if (out)
    *out = Described{std::to_string(milliseconds),
                     overLimit ? "time limit reached" : "void"};
  return !overLimit;
}

}  // namespace nl::sim
