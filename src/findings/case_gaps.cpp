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

bool IsFileName(const std::string& fact) { return fact.find('\\') == std::string::npos; }

}  // namespace

std::string CaseGap(const RunFacts& facts, const std::string& goal) {
  if (facts.missing.empty()) return "";
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
