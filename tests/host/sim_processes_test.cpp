// The simulated processes: scripted command lines, starts and ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_system.h"

namespace nl::sim {
namespace {

constexpr const char* kWizard = "rundll32 sysdm.cpl,InstallDevice_Rundll";

TEST(SimProcesses, ScriptedCommandLinesStartAndEnd) {
  SimSystem sim;
  ProcessId seen = 0;
  sim.Processes().ScriptProgram(kWizard, [&](SimSystem& s, ProcessId pid) {
    seen = pid;
    s.Clock().After(1000, [pid](SimSystem& s2) { s2.Processes().EndProcess(pid); });
  });
  char line[] = "rundll32 sysdm.cpl,InstallDevice_Rundll";
  StartupRecord startup{sizeof(StartupRecord), kStartfUseShowWindow, kSwShowNormal};
  ProcessRecord started{};
  ASSERT_EQ(sim.CreateProcessA(nullptr, line, 1, 0, &startup, &started), 1);
  EXPECT_EQ(started.processId, seen);
  EXPECT_NE(sim.GetProcessVersion(seen), 0u);
  sim.Sleep(500);
  EXPECT_TRUE(sim.Processes().IsAlive(seen));
  sim.Sleep(500);
  EXPECT_EQ(sim.GetProcessVersion(seen), 0u);

  ASSERT_EQ(sim.Processes().Starts().size(), 1u);
  const ProcessStart& s = sim.Processes().Starts()[0];
  EXPECT_EQ(s.commandLine, kWizard);
  EXPECT_FALSE(s.applicationNameGiven);
  EXPECT_EQ(s.inheritHandles, 1);
  EXPECT_EQ(s.startup.flags, kStartfUseShowWindow);
  EXPECT_EQ(s.startup.showWindow, kSwShowNormal);
  EXPECT_EQ(sim.Processes().OpenProcessHandleCount(), 2u);
}

TEST(SimProcesses, UnscriptedOrFailedCommandLinesDoNotStart) {
  SimSystem sim;
  sim.Processes().ScriptProgram(kWizard, [](SimSystem&, ProcessId) {});
  sim.Processes().FailStart(kWizard);
  StartupRecord startup{sizeof(StartupRecord), kStartfUseShowWindow, kSwShowNormal};
  ProcessRecord started{};
  char wizard[] = "rundll32 sysdm.cpl,InstallDevice_Rundll";
  char other[] = "rundll32 other.cpl";
  EXPECT_EQ(sim.CreateProcessA(nullptr, wizard, 1, 0, &startup, &started), 0);
  EXPECT_EQ(sim.CreateProcessA(nullptr, other, 1, 0, &startup, &started), 0);
  EXPECT_EQ(sim.Processes().Starts().size(), 2u);
  EXPECT_FALSE(sim.Processes().Starts()[0].started);
}

}  // namespace
}  // namespace nl::sim
