#include "findings/findings.h"

#include "findings/goals.h"

namespace nl::findings {

namespace {

enum class Locale { kAny, kGermanOnly };
// Whether the goal's work comes after the hardware wizard, so that the
// run's early end there leaves it undone.
enum class Timing { kBeforeWizard, kAfterWizard };
// Whether the registry and files show the goal (so that an image alone can
// hold it), or only the run of a system tool does.
enum class Shown { kInSystem, kByToolRun };

struct Goal {
  const char* id;
  Locale locale;
  Timing timing;
  Decision (*decide)(const RunFacts&);
  Shown shown = Shown::kInSystem;
};

Decision DecideNetRoot(const RunFacts& facts) { return DecideNetworkEntry(facts, kNetworkEntries[0]); }
Decision DecideNetClass(const RunFacts& facts) { return DecideNetworkEntry(facts, kNetworkEntries[1]); }
Decision DecideNetTrans(const RunFacts& facts) { return DecideNetworkEntry(facts, kNetworkEntries[2]); }

// The goals of the installation, in the order the run works on them.
const Goal kGoals[] = {
    {"infrared-class", Locale::kAny, Timing::kBeforeWizard, DecideInfraredClass},
    {"known-device", Locale::kAny, Timing::kBeforeWizard, DecideKnownDevice},
    {"inf-edits", Locale::kAny, Timing::kBeforeWizard, DecideInfEdits},
    {"display-name", Locale::kAny, Timing::kBeforeWizard, DecideDisplayName},
    {"driver-copy", Locale::kAny, Timing::kBeforeWizard, DecideDriverCopy},
    {"class-installer", Locale::kAny, Timing::kBeforeWizard, DecideClassInstaller, Shown::kByToolRun},
    {"model-line", Locale::kGermanOnly, Timing::kBeforeWizard, DecideModelLine},
    {"hardware-wizard", Locale::kGermanOnly, Timing::kBeforeWizard, DecideHardwareWizard, Shown::kByToolRun},
    {"virtual-ports", Locale::kGermanOnly, Timing::kAfterWizard, DecideVirtualPorts},
    {"adapter-port", Locale::kGermanOnly, Timing::kAfterWizard, DecideAdapterPort},
    {"network-panel", Locale::kAny, Timing::kAfterWizard, DecideNetworkPanel, Shown::kByToolRun},
    {"net-root", Locale::kAny, Timing::kAfterWizard, DecideNetRoot},
    {"net-class", Locale::kAny, Timing::kAfterWizard, DecideNetClass},
    {"net-trans", Locale::kAny, Timing::kAfterWizard, DecideNetTrans},
};

static_assert(sizeof kNetworkEntries / sizeof kNetworkEntries[0] == 3,
              "one net-* goal per network entry");

}  // namespace

const char* StatusName(Status status) {
  switch (status) {
    case Status::kReached: return "reached";
    case Status::kNotReached: return "not reached";
    case Status::kNotApplicable: return "not applicable";
    case Status::kUnknown: return "unknown";
    case Status::kAssumed: return "assumed";
  }
  return "?";
}

std::vector<Finding> DecideFindings(const RunFacts& facts) {
  const std::string earlyEnd = EarlyEndCause(facts);
  std::vector<Finding> findings;
  // Once a goal is not reached because the program waits for the user,
  // every later goal waits with it.
  bool waitSeen = false;
  for (const Goal& goal : kGoals) {
    if (facts.imageOnly && goal.shown == Shown::kByToolRun) continue;
    Finding finding;
    finding.goal = goal.id;
    const std::string gap = CaseGap(facts, goal.id);
    if (goal.locale == Locale::kGermanOnly && !facts.german) {
      finding.status = Status::kNotApplicable;
      finding.cause = "the user's locale is not German, and the run does this on German "
                      "systems only";
    } else if (!gap.empty()) {
      finding.status = Status::kUnknown;
      finding.cause = gap;
    } else if (goal.timing == Timing::kAfterWizard && !earlyEnd.empty()) {
      finding.cause = earlyEnd;
    } else {
      Decision decision = goal.decide(facts);
      // A tool's run reached by its stand-in holds for the PC only as far
      // as the PC has what the real tool needs.
      bool assumed = false;
      if (decision.reached && goal.shown == Shown::kByToolRun) {
        const Decision needs = ToolNeeds(facts, goal.id);
        if (!needs.reached) decision = needs;
        assumed = needs.reached && facts.toolsPlayed;
        if (assumed) decision.cause = "played by a stand-in; what the tool needs is there, as far as the case shows";
      }
      finding.status = decision.unknown   ? Status::kUnknown
                       : assumed          ? Status::kAssumed
                       : decision.reached ? Status::kReached
                                          : Status::kNotReached;
      finding.cause = decision.cause;
      if (decision.unknown) {
        // what the case cannot tell stays unknown however the run went
      } else if (!decision.reached && !facts.waiting.empty() &&
                 decision.cause.find(facts.waiting) != std::string::npos) {
        waitSeen = true;  // the goal names the wait itself
      } else if (!decision.reached && waitSeen) {
        finding.cause = facts.waiting;
      } else if (!decision.reached && !facts.waiting.empty()) {
        finding.cause += "; then the run waits: " + facts.waiting;
      } else if (!decision.reached && !facts.stopped.empty()) {
        finding.cause += "; the run was stopped (" + facts.stopped + ")";
      }
    }
    findings.push_back(finding);
  }
  return findings;
}

const Finding* FindingFor(const std::vector<Finding>& findings, const std::string& goal) {
  for (const Finding& finding : findings)
    if (finding.goal == goal) return &finding;
  return nullptr;
}

std::string FindingsText(const std::vector<Finding>& findings) {
  std::string text;
  for (const Finding& finding : findings) {
    std::string line = finding.goal;
    line.resize(17, ' ');
    line += StatusName(finding.status);
    if (!finding.cause.empty()) line += ": " + finding.cause;
    text += line + "\n";
  }
  return text;
}

}  // namespace nl::findings
