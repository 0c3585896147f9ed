// The findings of a run: for each goal of the installation, whether the run
// reached it and, when not, why, in plain words that name the key, file,
// value, call or process. Decided from a run's facts (run_facts.h) alone.
#pragma once

#include <string>
#include <vector>

#include "findings/run_facts.h"

namespace nl::findings {

// kUnknown: the goal rests on a fact the customer's case does not hold.
// kAssumed: a system tool's goal that a scripted stand-in played, every
// need of the tool that the case can show being met; what the real tool
// does on the PC the run cannot show.
enum class Status { kReached, kNotReached, kNotApplicable, kUnknown, kAssumed };

struct Finding {
  std::string goal;  // "inf-edits"
  Status status = Status::kNotReached;
  // Why not reached, what is unknown, or a remark on how it was reached
  // (which instance); code page 1252 text.
  std::string cause;
};

// "reached", "not reached", "not applicable", "unknown", "assumed".
const char* StatusName(Status status);

// One finding per goal, in the order of the goal table. For the facts of an
// image alone (RunFacts::imageOnly) only the goals the registry and files
// show: all but the system tools' runs.
std::vector<Finding> DecideFindings(const RunFacts& facts);

// The goals as the image holds them before the run (the same goal checks on
// the system before the run alone), and what an earlier run left there
// (before_run.cpp).
std::vector<Finding> DecideBeforeRun(const RunFacts& facts);
std::vector<std::string> EarlierRunTraces(const RunFacts& facts);

// The keys of the three network entries the run deleted, each with what it
// is and that the installation removes it on purpose (goal_registry.cpp).
std::vector<std::string> PurposefulDeletions(const RunFacts& facts);

// The finding of `goal` among `findings`; null when there is none.
const Finding* FindingFor(const std::vector<Finding>& findings, const std::string& goal);

// One line per goal: "inf-edits         not reached: <cause>"; text as
// code page 1252.
std::string FindingsText(const std::vector<Finding>& findings);

}  // namespace nl::findings
