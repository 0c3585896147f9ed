// The verdict of a run, from its findings: the first cause, not the last
// symptom, and a phase for each step of the run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "findings/verdict.h"

namespace nl::findings {
namespace {

std::vector<Finding> AllReached() {
  std::vector<Finding> findings;
  for (const char* goal : {"infrared-class", "known-device", "inf-edits", "display-name",
                           "driver-copy", "class-installer", "model-line", "hardware-wizard",
                           "virtual-ports", "adapter-port", "network-panel", "net-root",
                           "net-class", "net-trans"})
    findings.push_back({goal, Status::kReached, ""});
  return findings;
}

struct VerdictCase {
  const char* name;
  std::vector<std::pair<const char*, Finding>> changed;  // goal -> its finding
  const char* summaryHas;
  const char* strip;
};

TEST(Verdict, NamesTheFirstCauseAndEveryPhase) {
  const VerdictCase cases[] = {
      {"all reached", {}, "The installation completes", "1 ok, 2 -, 3 ok, 4 ok, 5 ok, 6 ok, 7 ok"},
      // The copy fails, and the installer then waits: the copy is named.
      {"a copy that fails first",
       {{"driver-copy", {"driver-copy", Status::kNotReached, "the CD is read-only"}},
        {"class-installer", {"class-installer", Status::kNotReached, "asks for nl-430.sys"}}},
       "phase 4 (driver copy) is not reached: the CD is read-only", "4 NOT REACHED, 5 NOT REACHED"},
      // A later goal not reached comes before an earlier unknown one.
      {"not reached before unknown",
       {{"inf-edits", {"inf-edits", Status::kUnknown, "INFRARED.INF not given"}},
        {"net-trans", {"net-trans", Status::kNotReached, "deletion failed"}}},
       "phase 11 (network entries) is not reached: deletion failed", "3 unknown"},
      {"only unknown",
       {{"net-root", {"net-root", Status::kUnknown, "Enum\\Root\\Net not in the case"}}},
       "is not known: phase 11", "11 unknown"},
      {"English: the German phases do not apply",
       {{"model-line", {"model-line", Status::kNotApplicable, ""}},
        {"hardware-wizard", {"hardware-wizard", Status::kNotApplicable, ""}},
        {"virtual-ports", {"virtual-ports", Status::kNotApplicable, ""}},
        {"adapter-port", {"adapter-port", Status::kNotApplicable, ""}}},
       "The installation completes", "6 n/a, 7 n/a, 8 n/a"},
  };
  for (const VerdictCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Finding> findings = AllReached();
    for (const auto& [goal, finding] : c.changed)
      for (Finding& f : findings)
        if (f.goal == goal) f = finding;
    const Verdict verdict = DecideVerdict(findings);
    ASSERT_EQ(verdict.phases.size(), 11u);
    EXPECT_NE(verdict.summary.find(c.summaryHas), std::string::npos) << verdict.summary;
    EXPECT_NE(VerdictText(verdict).find(c.strip), std::string::npos) << VerdictText(verdict);
  }
}

// What keeps the adapter from working comes first; with every goal reached
// the first step still to do is named, and with none the verdict says so.
TEST(Verdict, SaysWhatComesBeforeAndAfterTheRun) {
  const struct {
    int remedies;
    const char* blocker;
    const char* firstStep;
    const char* summaryHas;
  } cases[] = {
      {0, "", "", "every phase reaches its goals. Nothing to do."},
      {1, "", "Set German", "Still to do: Set German."},
      {1, "Windows 95 has no USB support", "",
       "The adapter cannot work on this PC: Windows 95 has no USB support. For the run itself"},
  };
  for (const auto& c : cases) {
    const std::string summary = DecideVerdict(AllReached(), c.remedies, c.blocker, c.firstStep).summary;
    EXPECT_NE(summary.find(c.summaryHas), std::string::npos) << summary;
  }
}

}  // namespace
}  // namespace nl::findings
