// The goal checks behind DecideFindings (findings.cpp holds the table of
// goals). Each is a plain function of the run's facts.
#pragma once

#include <string>

#include "findings/run_facts.h"
#include "registry/network_entry_table.h"

namespace nl::findings {

// Reached (with a remark where one helps), not reached with the cause, or
// unknown: the case lacks a fact the goal rests on (the cause names it).
struct Decision {
  bool reached = false;
  std::string cause;
  bool unknown = false;
};

inline Decision Reached(std::string remark = "") { return {true, std::move(remark)}; }
inline Decision NotReached(std::string cause) { return {false, std::move(cause)}; }
inline Decision Unknown(std::string cause) { return {false, std::move(cause), true}; }

// Whether `part` is in `text`, ASCII letter case aside, as Windows and the
// installer compare INF text (goal_files.cpp).
bool ContainsIgnoreCase(const std::string& text, const std::string& part);

// The fact of the customer's case that the goal rests on and the case does
// not hold ("the case does not hold IRMINI.INF ..."); empty when it holds
// them all (case_gaps.cpp).
std::string CaseGap(const RunFacts& facts, const std::string& goal);

// Registry (goal_registry.cpp).
Decision DecideInfraredClass(const RunFacts& facts);
Decision DecideKnownDevice(const RunFacts& facts);
Decision DecideVirtualPorts(const RunFacts& facts);
Decision DecideAdapterPort(const RunFacts& facts);
Decision DecideNetworkEntry(const RunFacts& facts, const NetworkEntry& entry);

// Files (goal_files.cpp).
Decision DecideInfEdits(const RunFacts& facts);
Decision DecideModelLine(const RunFacts& facts);
Decision DecideDisplayName(const RunFacts& facts);
Decision DecideDriverCopy(const RunFacts& facts);

// Processes (goal_processes.cpp).
Decision DecideClassInstaller(const RunFacts& facts);
Decision DecideHardwareWizard(const RunFacts& facts);
Decision DecideNetworkPanel(const RunFacts& facts);
// What the system tool behind `goal` needs on the PC, as far as the facts
// show: reached when every need the case can show is met
// (goal_tool_needs.cpp).
Decision ToolNeeds(const RunFacts& facts, const std::string& goal);
// Why the run ended before its last phases (the hardware wizard could not
// be started); empty when it did not.
std::string EarlyEndCause(const RunFacts& facts);

}  // namespace nl::findings
