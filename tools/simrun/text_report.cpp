#include "text_report.h"

#include <algorithm>
#include <iostream>

#include "findings/remedies.h"
#include "findings/verdict.h"
#include "platform/sim/sim_text.h"
#include "regfile/reg_decode.h"
#include "report_text.h"

namespace simrun {

namespace {

// The findings' lines, their causes' control bytes escaped.
std::string FindingsShown(std::vector<nl::findings::Finding> findings) {
  for (nl::findings::Finding& finding : findings)
    finding.cause = EscapeControls(finding.cause, false);
  return nl::regfile::Cp1252ToUtf8(nl::findings::FindingsText(findings));
}

// The findings of the run and what it changed.
void PrintRest(const std::string& journal, const nl::findings::RunReport& report,
               const std::string& fileChanges) {
  std::cout << "\n== Findings ==\n" << FindingsShown(report.findings);
  if (!journal.empty()) std::cout << "\n== Journal ==\n" << journal;

  std::cout << "\n== Processes started ==\n";
  for (const nl::findings::ReportedProcess& start : report.processes)
    std::cout << start.time << "ms  " << nl::sim::Quoted(start.commandLine)
              << (start.started ? " started, pid " + nl::sim::Hex(start.processId)
                                : std::string(" failed to start"))
              << "\n";
  if (report.processes.empty()) std::cout << "(none)\n";

  std::cout << "\n== Registry changes ==\n" << ShownLines(report.registryChanges);
  for (const std::string& why : report.purposefulDeletions)
    std::cout << "; " << ShownText(why) << "\n";
  std::cout << "\n== File changes ==\n"
            << (fileChanges.empty() ? "(none)\n" : ShownLines(fileChanges));
}


}  // namespace

void PrintTextReport(const TextReportHead& options, const nl::findings::RunReport& report,
               const std::string& fileChanges, const std::string& journal) {
  std::cout << "== Verdict ==\n"
            << ShownLines(nl::findings::VerdictText(nl::findings::ReportVerdict(report)))
            << "\n== What to do ==\n"
            << ShownLines(nl::findings::RemediesText(report.remedies)) << "\n";
  std::cout << "== " << (options.runs > 1 ? std::to_string(options.runs) + " runs" : "Run")
            << " on " << ShownText(options.image) << ", " << nl::findings::LocaleLine(report)
            << (options.standIn.empty() ? "" : ", stand-ins " + options.standIn) << " ==\n"
            << ShownText(report.ending) << " after " << report.calls << " system calls and "
            << report.virtualMs << " ms of virtual time\n"
            << "the system tools (class installer, hardware wizard, network panel) are "
            << "played by scripted stand-ins, not run\n";
  for (const std::string& fact : report.pcFacts) std::cout << ShownText(fact) << "\n";
  // A PC before its first run holds none of the goals: one line says so.
  const bool firstRun =
      report.earlierRun.empty() &&
      std::all_of(report.beforeRun.begin(), report.beforeRun.end(), [](const auto& finding) {
        return finding.status == nl::findings::Status::kNotReached ||
               finding.status == nl::findings::Status::kNotApplicable;
      });
  std::cout << "\n== Before the run ==\n";
  if (firstRun) {
    std::cout << "a PC before its first run: none of the goals is reached yet, and no earlier "
              << "run left anything\n";
    return PrintRest(journal, report, fileChanges);
  }
  std::cout << FindingsShown(report.beforeRun);
  for (const std::string& trace : report.earlierRun)
    std::cout << "left by an earlier run: " << ShownText(trace) << "\n";
  if (report.earlierRun.empty())
    std::cout << "nothing left by an earlier run (no INF backup, no NL-TEMP.INF, no display "
              << "name in IRMINI.INF)\n";
  PrintRest(journal, report, fileChanges);
}


}  // namespace simrun
