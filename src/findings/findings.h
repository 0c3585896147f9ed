// The findings of a run: for each goal of the installation, whether the run
// reached it and, when not, why, in plain words that name the key, file,
// value, call or process. Decided from a run's facts (run_facts.h) alone.
#pragma once

#include <string>
#include <vector>

#include "findings/run_facts.h"

namespace nl::findings {

enum class Status { kReached, kNotReached, kNotApplicable };

struct Finding {
  std::string goal;  // "inf-edits"
  Status status = Status::kNotReached;
  std::string cause;  // empty unless not reached; code page 1252 text
};

// "reached", "not reached", "not applicable".
const char* StatusName(Status status);

// One finding per goal, in the order of the goal table.
std::vector<Finding> DecideFindings(const RunFacts& facts);

// The finding of `goal` among `findings`; null when there is none.
const Finding* FindingFor(const std::vector<Finding>& findings, const std::string& goal);

// One line per goal: "inf-edits         not reached: <cause>"; text as
// code page 1252.
std::string FindingsText(const std::vector<Finding>& findings);

}  // namespace nl::findings
