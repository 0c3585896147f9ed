// What the customer is told to do, and whether the run on the changed image
// shows that it works: a PC change is only offered as "reaches" when a
// second run reaches its goals; a step resting on what the case lacks is
// "not checkable".
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/hostile_system.h"
#include "findings/pc_facts.h"
#include "findings/verdict.h"
#include "case_image.h"
#include "remedy_runs.h"
#include "run_image.h"

namespace nl::testing {
namespace {

using findings::CheckedRemedy;
using findings::RemediesText;

struct RemedyCase {
  const char* name;
  std::uint32_t locale;
  simrun::ImageChange pc;      // the customer's PC, made from the sample
  const char* stepHas;         // a step offered
  const char* checked;
};

std::vector<CheckedRemedy> RemediesOn(const RemedyCase& c, const std::string& work) {
  // The PC as an image of its own, as simrun is given it.
  {
    sim::SimSystem pc(work + "/make");
    pc.LoadImage(SampleImage());
    if (c.pc) c.pc(pc);
    pc.SaveImage(work + "/image", true);
  }
  simrun::SimRunSetup setup;
  setup.image = work + "/image";
  setup.locale = c.locale;
  setup.shippedDriver = simrun::ShippedDriver(SampleImage());
  // The stand-in user skips the prompt for nl-430.sys, so that the run ends
  // and every goal after the copy is decided.
  sim::ParseStandInOptions("answer=skip", &setup.standIns);
  const simrun::SimRun run = simrun::RunSimulated(work + "/pc", setup, nullptr, "");
  return simrun::CheckRemedies(setup, run.facts, findings::DecideFindings(run.facts), work);
}

TEST(Remedies, EachChangeIsTriedOnACopyOfTheImage) {
  const RemedyCase cases[] = {
      {"a download cut short", 0x407,
       [](sim::SimSystem& s) { s.Files().WriteFileText(kProgramDriver, "MZ cut short"); },
       "Replace nl-430.sys in C:\\NLSETUP", "reaches"},
      {"an empty SourcePath", 0x407,
       [](sim::SimSystem& s) { s.Registry().SetText(kSetupKey, "SourcePath", ""); },
       "Set SourcePath", "reaches"},
      // The disc in, the CD is still read-only: the step is shown not to help.
      {"the Windows CD out", 0x407,
       [](sim::SimSystem& s) {
         s.Registry().SetText(kSetupKey, "SourcePath", "D:\\WIN98");
         s.Files().SetDriveKind('D', sim::DriveKind::kCdRomNoDisc);
       },
       "Insert the Windows CD in drive D:", "does not reach"},
      // Typed into Windows' "Copying Files" box, the program's folder gives it.
      {"the Windows CD in, read-only", 0x407,
       [](sim::SimSystem& s) {
         s.Registry().SetText(kSetupKey, "SourcePath", "D:\\WIN98");
         s.Files().SetDriveKind('D', sim::DriveKind::kCdRom);
       },
       "When Windows asks for nl-430.sys, type C:\\NLSETUP", "reaches"},
      {"no IRMINI.INF", 0x407,
       [](sim::SimSystem& s) { s.DeleteFileA("C:\\WINDOWS\\INF\\IRMINI.INF"); },
       "Put Windows' infrared support back", "not checkable"},
  };
  const std::string work = std::filesystem::temp_directory_path() / "nl-remedies-test";
  for (const RemedyCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(work);
    const std::vector<CheckedRemedy> remedies = RemediesOn(c, work);
    const auto found = std::find_if(remedies.begin(), remedies.end(), [&](const CheckedRemedy& r) {
      return r.step.step.find(c.stepHas) != std::string::npos;
    });
    ASSERT_NE(found, remedies.end()) << RemediesText(remedies);
    EXPECT_EQ(found->checked, c.checked);
    if (found->checked == std::string("reaches")) {
      EXPECT_EQ(found->reaches, found->step.goals);
    }
    // What works comes first.
    EXPECT_TRUE(c.checked != std::string("reaches") || remedies[0].checked == "reaches");
  }
  std::filesystem::remove_all(work);
}

TEST(Remedies, NothingToDoOnTheSample) {
  const std::string work = std::filesystem::temp_directory_path() / "nl-remedies-sample";
  std::filesystem::remove_all(work);
  const std::vector<CheckedRemedy> remedies =
      RemediesOn({"sample", 0x407, nullptr, "", ""}, work);
  EXPECT_TRUE(remedies.empty());
  std::filesystem::remove_all(work);
}

// The facts of the PC the case tells, beyond the run: the step and whether
// the verdict says the adapter cannot work whatever the run does.
TEST(Remedies, ThePcsFactsGiveTheirSteps) {
  struct FactCase {
    const char* name;
    void (*set)(findings::RunFacts*);
    const char* stepHas;
    findings::PcChange change;
    bool blocks;
  };
  const FactCase cases[] = {
      {"Windows 95 retail", [](findings::RunFacts* f) { f->windows = "4.00.950"; },
       "has no USB support", findings::PcChange::kNone, true},
      {"Windows 95 OSR 2", [](findings::RunFacts* f) { f->windows = "4.00.1111 B"; },
       "USB Supplement to OSR2", findings::PcChange::kNone, false},
      {"German Windows, English user",
       [](findings::RunFacts* f) { f->systemLocale = 0x407; f->german = false; },
       "Set German in Control Panel, Regional Settings", findings::PcChange::kSetUserLocale, false},
      {"COM4 in use on a German run",
       [](findings::RunFacts* f) { f->german = true; f->portsInUse["COM4"] = "Enum\\BIOS\\*PNP0501\\0E"; },
       "device on COM4", findings::PcChange::kNone, false},
      {"Windows 95's driver database",
       [](findings::RunFacts* f) { f->windows = "4.03.1214 C"; f->driverDatabase["DRVDATA.BIN"] = "present, 1 bytes"; },
       "Rename DRVDATA.BIN and DRVIDX.BIN", findings::PcChange::kNone, false},
  };
  for (const FactCase& c : cases) {
    SCOPED_TRACE(c.name);
    findings::RunFacts facts;
    c.set(&facts);
    const std::vector<findings::RemedyStep> steps = findings::ProposeRemedies(facts, {});
    ASSERT_FALSE(steps.empty());
    EXPECT_NE(steps[0].step.find(c.stepHas), std::string::npos) << steps[0].step;
    EXPECT_EQ(steps[0].change, c.change);
    EXPECT_EQ(findings::PcBlocker(facts).empty(), !c.blocks);
    if (c.blocks) {
      EXPECT_EQ(findings::DecideVerdict({}, 1, findings::PcBlocker(facts)).summary.rfind(
                    "The adapter cannot work on this PC", 0),
                0u);
    }
  }
}

// A goal left unknown by the change rests on what the case lacks; one shown
// not reached makes the step one that does not reach.
TEST(Remedies, AStepIsCheckedByEveryGoalItIsFor) {
  using findings::Status;
  findings::RemedyStep step;
  step.goals = {"driver-copy", "class-installer"};
  const struct {
    Status installer;
    const char* checked;
  } cases[] = {{Status::kAssumed, "reaches"},
               {Status::kUnknown, "not checkable"},
               {Status::kNotReached, "does not reach"}};
  for (const auto& c : cases) {
    const CheckedRemedy checked = findings::CheckedFrom(
        step, {{"driver-copy", Status::kReached, ""}, {"class-installer", c.installer, ""}});
    EXPECT_EQ(checked.checked, c.checked);
    EXPECT_EQ(checked.reaches.front(), "driver-copy");
  }
}

}  // namespace
}  // namespace nl::testing
