// simrun's text report: the verdict and what to do, the run and the PC's
// facts, the image before the run, the findings, the processes started,
// then what changed. Every text from the case is shown with its control
// bytes escaped.
#pragma once

#include <string>

#include "findings/report_json.h"

namespace simrun {

struct TextReportHead {
  std::string image;    // as given, a host path
  std::string standIn;  // the --standin options, empty for none
  int runs = 1;
};

// `fileChanges`: the code page 1252 account of the files; `journal`: every
// system call, or empty when not asked for.
void PrintTextReport(const TextReportHead& head, const nl::findings::RunReport& report,
                     const std::string& fileChanges, const std::string& journal);

}  // namespace simrun
