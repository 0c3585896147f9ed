#include "findings/report_json.h"

#include <nlohmann/json.hpp>

#include "findings/changes_json.h"
#include "findings/verdict.h"
#include "platform/sim/sim_text.h"
#include "regfile/reg_decode.h"

namespace nl::findings {

namespace {

using nlohmann::ordered_json;

ordered_json FindingsJson(const std::vector<Finding>& findings) {
  ordered_json out = ordered_json::array();
  for (const Finding& finding : findings)
    out.push_back({{"goal", finding.goal},
                   {"status", StatusName(finding.status)},
                   {"cause", regfile::Cp1252ToUtf8(finding.cause)}});
  return out;
}

}  // namespace

std::string LocaleText(std::uint32_t locale) { return sim::Hex(locale); }

std::string LocaleLine(const RunReport& report) {
  const std::string locale = "locale " + LocaleText(report.locale);
  if (report.localeSource == "--locale") return locale + " (from --locale)";
  if (report.localeSource == "image") return locale + " (from the image)";
  return locale + " (assumed German: the image does not say)";
}

Verdict ReportVerdict(const RunReport& report) {
  return DecideVerdict(report.findings,
                       report.remediesChecked ? static_cast<int>(report.remedies.size()) : -1,
                       report.blocker,
                       report.remedies.empty() ? "" : report.remedies.front().step.step);
}

std::string ReportJson(const RunReport& report) {
  using regfile::Cp1252ToUtf8;
  ordered_json processes = ordered_json::array();
  for (const ReportedProcess& process : report.processes)
    processes.push_back({{"time", process.time},
                         {"commandLine", Cp1252ToUtf8(process.commandLine)},
                         {"started", process.started},
                         {"processId", process.processId}});
  ordered_json earlier = ordered_json::array();
  for (const std::string& trace : report.earlierRun) earlier.push_back(Cp1252ToUtf8(trace));
  ordered_json pcFacts = ordered_json::array();
  for (const std::string& fact : report.pcFacts) pcFacts.push_back(Cp1252ToUtf8(fact));
  const regfile::RegNode empty;
  const Verdict verdict = ReportVerdict(report);
  ordered_json remedies = ordered_json::array();
  for (const CheckedRemedy& remedy : report.remedies)
    remedies.push_back({{"step", Cp1252ToUtf8(remedy.step.step)},
                        {"goals", remedy.step.goals},
                        {"checked", remedy.checked},
                        {"reaches", remedy.reaches}});
  ordered_json phases = ordered_json::array();
  for (const PhaseOutcome& phase : verdict.phases)
    phases.push_back({{"phase", phase.phase},
                      {"name", phase.name},
                      {"status", phase.hasGoals ? StatusName(phase.status) : "no goal of its own"},
                      {"cause", Cp1252ToUtf8(phase.cause)}});
  ordered_json document = {
      {"verdict", {{"summary", Cp1252ToUtf8(verdict.summary)}, {"phases", phases}}},
      {"image", report.image},
      {"locale", LocaleText(report.locale)},
      {"localeSource", report.localeSource.empty() ? "assumed" : report.localeSource},
      {"systemTools", "played by scripted stand-ins (class installer, hardware wizard, "
                      "network panel), not run"},
      {"pcFacts", pcFacts},
      {"ending", report.ending},
      {"calls", report.calls},
      {"virtualMs", report.virtualMs},
      {"before_run", FindingsJson(report.beforeRun)},
      {"earlier_run", earlier},
      {"findings", FindingsJson(report.findings)},
      {"remedies", remedies},
      {"processes", processes},
      {"registryChanges",
       RegistryChangesJson(report.registryBefore ? *report.registryBefore : empty,
                           report.registryAfter ? *report.registryAfter : empty)},
      {"fileChanges", FileChangesJson(report.files)},
  };
  return document.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace nl::findings
