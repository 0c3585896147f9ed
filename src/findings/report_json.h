// simrun's whole report as one JSON document: how the run went, the
// findings, the processes started, the registry account and the file
// changes. Text in code page 1252 (registry text, INF text, command lines)
// goes out as UTF-8; any other byte that is not UTF-8 is replaced.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "findings/findings.h"

namespace nl::findings {

struct ReportedProcess {
  std::uint64_t time = 0;   // virtual ms
  std::string commandLine;  // code page 1252
  bool started = false;
  std::uint32_t processId = 0;
};

struct RunReport {
  std::string image;          // host path, UTF-8
  std::uint32_t locale = 0;
  std::string ending;         // "the program returned 0"
  std::uint64_t calls = 0;
  std::uint64_t virtualMs = 0;
  std::vector<Finding> findings;
  std::vector<ReportedProcess> processes;
  std::string registryChanges;  // the account, code page 1252
  std::string fileChanges;      // UTF-8
};

std::string ReportJson(const RunReport& report);

}  // namespace nl::findings
