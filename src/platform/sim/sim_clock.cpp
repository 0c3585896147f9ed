// The virtual clock: Sleep returns at once after moving the clock, firing the
// scheduled events it passes and delivering posted messages.
#include <algorithm>

#include "platform/sim/sim_system.h"

namespace nl::sim {

void SimSystem::At(std::uint64_t timeMs, std::function<void(SimSystem&)> fn) {
  Event event{timeMs, ++eventSeq_, std::move(fn)};
  auto at = std::upper_bound(events_.begin(), events_.end(), event,
                             [](const Event& a, const Event& b) {
                               return a.time != b.time ? a.time < b.time : a.seq < b.seq;
                             });
  events_.insert(at, std::move(event));
}

void SimSystem::Sleep(std::uint32_t milliseconds) {
  const Call call = BeginCall("Sleep", FaultUse::kNone);
  const std::uint64_t target = now_ + milliseconds;
  const bool overLimit = target > timeLimit_;
  const std::uint64_t until = overLimit ? timeLimit_ : target;
  DeliverPosted();
  while (!events_.empty() && events_.front().time <= until) {
    Event event = std::move(events_.front());
    events_.erase(events_.begin());
    if (event.time > now_) now_ = event.time;
    event.fn(*this);
    DeliverPosted();
  }
  now_ = until;
  if (overLimit) {
    if (call.journal) Record(call, {std::to_string(milliseconds), "time limit reached"});
    throw SimTimeLimit("virtual time limit of " + std::to_string(timeLimit_) +
                       " ms reached");
  }
  EndCall(call, [&] { return Described{std::to_string(milliseconds), "void"}; });
}

std::uint32_t SimSystem::GetUserDefaultLCID() {
  const Call call = BeginCall("GetUserDefaultLCID", FaultUse::kNone);
  const std::uint32_t r = lcid_;
  EndCall(call, [&] { return Described{"", Hex(r)}; });
  return r;
}

}  // namespace nl::sim
