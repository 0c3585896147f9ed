#include "findings/verdict.h"

namespace nl::findings {

namespace {

struct PhaseGoals {
  const char* name;
  const char* goals[3];
};

// The goals each phase of the run works on, in the run's order.
const PhaseGoals kPhases[] = {
    {"infrared class", {"infrared-class", "known-device", nullptr}},
    {"backups put back", {nullptr, nullptr, nullptr}},
    {"INF edits", {"inf-edits", "display-name", nullptr}},
    {"driver copy", {"driver-copy", nullptr, nullptr}},
    {"class installer", {"class-installer", nullptr, nullptr}},
    {"model line", {"model-line", nullptr, nullptr}},
    {"hardware wizard", {"hardware-wizard", nullptr, nullptr}},
    {"virtual ports", {"virtual-ports", "adapter-port", nullptr}},
    {"network panel", {"network-panel", nullptr, nullptr}},
    {"pause", {nullptr, nullptr, nullptr}},
    {"network entries", {"net-root", "net-class", "net-trans"}},
};

// Not reached weighs most, then unknown, then assumed, then reached; a
// phase whose goals are all not applicable is not applicable.
int Weight(Status status) {
  switch (status) {
    case Status::kNotReached: return 4;
    case Status::kUnknown: return 3;
    case Status::kAssumed: return 2;
    case Status::kReached: return 1;
    case Status::kNotApplicable: return 0;
  }
  return 0;
}

const char* StripWord(const PhaseOutcome& phase) {
  if (!phase.hasGoals) return "-";
  switch (phase.status) {
    case Status::kReached: return "ok";
    case Status::kNotReached: return "NOT REACHED";
    case Status::kNotApplicable: return "n/a";
    case Status::kUnknown: return "unknown";
    case Status::kAssumed: return "assumed";
  }
  return "?";
}

}  // namespace

Verdict DecideVerdict(const std::vector<Finding>& findings, int remedies,
                      const std::string& blocker, const std::string& firstStep) {
  Verdict verdict;
  int number = 0;
  for (const PhaseGoals& goals : kPhases) {
    PhaseOutcome phase;
    phase.phase = ++number;
    phase.name = goals.name;
    phase.hasGoals = goals.goals[0] != nullptr;
    int weight = -1;
    for (const char* goal : goals.goals) {
      const Finding* finding = goal ? FindingFor(findings, goal) : nullptr;
      if (finding == nullptr) continue;
      if (Weight(finding->status) > weight) {
        weight = Weight(finding->status);
        phase.status = finding->status;
        phase.cause = finding->status == Status::kReached || finding->status == Status::kAssumed
                          ? ""
                          : finding->cause;
      }
    }
    if (weight < 0) phase.status = Status::kReached;  // no goal decided: nothing to say
    verdict.phases.push_back(phase);
  }
  // The first cause, not the last symptom: the earliest phase not reached,
  // then the earliest unknown.
  const PhaseOutcome* first = nullptr;
  for (const Status wanted : {Status::kNotReached, Status::kUnknown}) {
    for (const PhaseOutcome& phase : verdict.phases)
      if (phase.hasGoals && phase.status == wanted && first == nullptr) first = &phase;
    if (first != nullptr) break;
  }
  std::string assumedPhases;
  for (const PhaseOutcome& phase : verdict.phases)
    if (phase.status == Status::kAssumed)
      assumedPhases += (assumedPhases.empty() ? "" : ", ") + std::to_string(phase.phase);
  if (first == nullptr && !assumedPhases.empty()) {
    verdict.summary = "The installation completes as far as the case shows: the system tools' "
                      "phases (" + assumedPhases + ") are assumed, played by stand-ins, with "
                      "everything the tools need on the PC.";
  } else if (first == nullptr) {
    verdict.summary = "The installation completes: every phase reaches its goals.";
  } else if (first->status == Status::kNotReached) {
    verdict.summary = std::string("The installation does not complete: phase ") +
                      std::to_string(first->phase) + " (" + first->name + ") is not reached: " +
                      first->cause + ".";
  } else {
    verdict.summary = std::string("Whether the installation completes is not known: phase ") +
                      std::to_string(first->phase) + " (" + first->name + ") rests on " +
                      "what the case does not hold: " + first->cause + ".";
  }
  if (remedies == 0)
    verdict.summary += first == nullptr ? " Nothing to do." : " No step is known for it.";
  if (remedies > 0 && first == nullptr && !firstStep.empty())
    verdict.summary += " Still to do: " + firstStep + ".";
  if (!blocker.empty())
    verdict.summary = "The adapter cannot work on this PC: " + blocker + ". For the run itself: " +
                      verdict.summary;
  return verdict;
}

std::string VerdictText(const Verdict& verdict) {
  std::string text = verdict.summary + "\nphases:";
  for (const PhaseOutcome& phase : verdict.phases)
    text += " " + std::to_string(phase.phase) + " " + StripWord(phase) +
            (phase.phase < 11 ? "," : "");
  return text + "\n";
}

}  // namespace nl::findings
