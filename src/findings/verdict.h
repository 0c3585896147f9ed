// The verdict of a run: one plain sentence on whether the installation
// completes on this PC and, when not, the first cause, and a strip of the
// eleven phases of the run with each one's outcome, from the findings.
#pragma once

#include <string>
#include <vector>

#include "findings/findings.h"

namespace nl::findings {

struct PhaseOutcome {
  int phase = 0;             // 1 to 11, in the run's order
  const char* name = "";     // "infrared class", "INF edits", ...
  Status status = Status::kReached;
  bool hasGoals = true;      // phases 2 and 10 have none of their own
  std::string cause;         // the first goal's cause that is not reached
};

struct Verdict {
  std::string summary;
  std::vector<PhaseOutcome> phases;
};

// From the findings of a run (DecideFindings). `remedies`: how many steps
// the customer is given (-1: none were looked for); with none, the summary
// says there is nothing to do, or that no step is known.
// `blocker`: what keeps the adapter from working on the PC whatever the
// run does (pc_facts.h), said first.
// `firstStep`: the first thing to do, said when every goal is reached and
// something is still to be done (a German Windows run in English).
Verdict DecideVerdict(const std::vector<Finding>& findings, int remedies = -1,
                      const std::string& blocker = "", const std::string& firstStep = "");

// "phases: 1 ok, 2 -, 3 NOT REACHED, ..." and the summary above it.
std::string VerdictText(const Verdict& verdict);

}  // namespace nl::findings
