// What a goal rests on that the customer's case may not hold: the keys the
// installation reads (an export of one branch only lacks them) and the INF
// files (not sent). A goal whose fact is missing is unknown, not decided
// on an empty registry or scratch directory that the PC may well not have.
#include <vector>

#include "findings/goals.h"
#include "regfile/ignore_case.h"
#include "registry/network_entry_table.h"
#include "setup/inf_edit_table.h"
#include "setup/setup_env.h"

namespace nl::findings {

namespace {

bool IsFileName(const std::string& fact) { return fact.find('\\') == std::string::npos; }

struct GoalNeeds {
  const char* goal;
  std::vector<std::string> facts;  // key paths and INF file names
};

const std::vector<GoalNeeds>& NeedsTable() {
  static const std::vector<GoalNeeds> kNeeds = {
      {"inf-edits", {kSetupKeyPath, kIrminiInf, kInfraredInf}},
      {"display-name", {kSetupKeyPath, kIrminiInf}},
      {"driver-copy", {kSetupKeyPath}},
      {"model-line", {kSetupKeyPath, kIrminiInf}},
      {"adapter-port", {kNetworkEntries[1].keyPath}},  // the adapters' class key
      {"net-root", {kNetworkEntries[0].keyPath}},
      {"net-class", {kNetworkEntries[1].keyPath}},
      {"net-trans", {kNetworkEntries[2].keyPath}},
  };
  return kNeeds;
}

}  // namespace

// Goals the run writes whole, whatever was there: only the image alone
// needs the export to hold their keys.
bool WrittenByTheRun(const std::string& goal) {
  return goal == "infrared-class" || goal == "known-device" || goal == "virtual-ports";
}

std::string CaseGap(const RunFacts& facts, const std::string& goal) {
  if (facts.missing.empty()) return "";
  // An export that lacks a key the installation reads is of part of the
  // registry only: what it says of other keys before the run is unknown.
  if (facts.imageOnly && WrittenByTheRun(goal))
    for (const std::string& missing : facts.missing)
      if (!IsFileName(missing))
        return "the registry export is of part of the registry only (it lacks " + missing +
               "), so what the PC held before the run is unknown";
  for (const GoalNeeds& needs : NeedsTable()) {
    if (goal != needs.goal) continue;
    for (const std::string& fact : needs.facts)
      for (const std::string& missing : facts.missing)
        if (regfile::EqualsIgnoreCase(fact, missing))
          return IsFileName(fact)
                     ? "the case does not hold " + fact + " (the INF file was not given)"
                     : "the case does not hold " + fact + " (not in the registry export)";
  }
  return "";
}

}  // namespace nl::findings
