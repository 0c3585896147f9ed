// The simulated clock: virtual time, scheduled events and the time limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_system.h"

namespace nl::sim {
namespace {

TEST(SimClock, SleepAdvancesTimeAndFiresEventsInTimeOrder) {
  SimSystem sim;
  std::vector<std::string> fired;
  sim.Clock().At(1200, [&](SimSystem& s) { fired.push_back("b@" + std::to_string(s.Clock().Now())); });
  sim.Clock().At(300, [&](SimSystem& s) {
    fired.push_back("a@" + std::to_string(s.Clock().Now()));
    s.Clock().After(100, [&](SimSystem& s2) { fired.push_back("c@" + std::to_string(s2.Clock().Now())); });
  });
  sim.Sleep(1000);
  EXPECT_EQ(sim.Clock().Now(), 1000u);
  EXPECT_EQ(fired, (std::vector<std::string>{"a@300", "c@400"}));
  sim.Sleep(500);
  EXPECT_EQ(sim.Clock().Now(), 1500u);
  EXPECT_EQ(fired.back(), "b@1200");
}

TEST(SimClock, TheTimeLimitEndsUnboundedWaits) {
  SimSystem sim;
  sim.Clock().SetTimeLimit(2000);
  sim.Sleep(1500);
  EXPECT_THROW(sim.Sleep(1000), SimTimeLimit);
  EXPECT_EQ(sim.Clock().Now(), 2000u);
}

}  // namespace
}  // namespace nl::sim
