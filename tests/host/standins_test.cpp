// The stand-in system tools on the simulated system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_system.h"
#include "standins/stand_in_tools.h"

namespace nl::sim {
namespace {

TEST(StandInOptions, KnownBehavioursParseAndEverythingElseIsRefused) {
  StandInOptions options;
  EXPECT_TRUE(ParseStandInOptions("wizard=late,panel=stubborn,grow=800,installer=twice", &options));
  EXPECT_EQ(options.wizard, "late");
  EXPECT_EQ(options.panel, "stubborn");
  EXPECT_EQ(options.installer, "twice");
  EXPECT_EQ(options.growMs, 800);
  EXPECT_TRUE(ParseStandInOptions("installer=late+twice,wizard=late+slowpage", &options));
  EXPECT_EQ(options.installer, "late+twice");
  EXPECT_EQ(options.wizard, "late+slowpage");
  for (const char* bad : {"wizard=bogus", "panel=late", "grow=abc", "grow=", "sound=on",
                          "wizard", "grow=99999999999", "wizard=late+bogus", "panel=+"}) {
    StandInOptions untouched;
    EXPECT_FALSE(ParseStandInOptions(bad, &untouched)) << bad;
  }
}

}  // namespace
}  // namespace nl::sim
