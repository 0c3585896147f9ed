#include "findings/report_json.h"

#include <nlohmann/json.hpp>

#include "regfile/reg_decode.h"

namespace nl::findings {

std::string ReportJson(const RunReport& report) {
  using nlohmann::ordered_json;
  using regfile::Cp1252ToUtf8;
  ordered_json findings = ordered_json::array();
  for (const Finding& finding : report.findings)
    findings.push_back({{"goal", finding.goal},
                        {"status", StatusName(finding.status)},
                        {"cause", Cp1252ToUtf8(finding.cause)}});
  ordered_json processes = ordered_json::array();
  for (const ReportedProcess& process : report.processes)
    processes.push_back({{"time", process.time},
                         {"commandLine", Cp1252ToUtf8(process.commandLine)},
                         {"started", process.started},
                         {"processId", process.processId}});
  ordered_json document = {
      {"image", report.image},
      {"locale", report.locale},
      {"ending", report.ending},
      {"calls", report.calls},
      {"virtualMs", report.virtualMs},
      {"findings", findings},
      {"processes", processes},
      {"registryChanges", Cp1252ToUtf8(report.registryChanges)},
      {"fileChanges", report.fileChanges},
  };
  return document.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace nl::findings
