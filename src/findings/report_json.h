// simrun's whole report as one JSON document: how the run went, the
// findings, the processes started, the registry account and the file
// changes. Text in code page 1252 (registry text, INF text, command lines)
// goes out as UTF-8; any other byte that is not UTF-8 is replaced.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "findings/findings.h"
#include "findings/remedies.h"
#include "findings/verdict.h"
#include "regfile/reg_tree.h"

namespace nl::findings {

struct ReportedProcess {
  std::uint64_t time = 0;   // virtual ms
  std::string commandLine;  // code page 1252
  bool started = false;
  std::uint32_t processId = 0;
};

// One file of the drives that the run added, changed or removed.
struct FileChange {
  std::string path;    // as Windows names it, "C:\WINDOWS\INF\IRMINI.BAK"; UTF-8
  std::string change;  // "added", "changed", "removed"
  std::uint64_t sizeBefore = 0, sizeAfter = 0;
};

struct RunReport {
  std::string image;          // host path, UTF-8
  std::uint32_t locale = 0;
  // Where the locale came from: "--locale", "image" (its description), or
  // "assumed" (German, the image having none).
  std::string localeSource;
  std::string ending;         // "the program returned 0"
  std::uint64_t calls = 0;
  std::uint64_t virtualMs = 0;
  std::vector<Finding> beforeRun;         // the goals as the image held them
  std::vector<std::string> earlierRun;    // what an earlier run left; cp 1252
  // What the image's description tells of the PC beyond what the run uses
  // (Windows' version, the system locale, when the case was taken); cp 1252.
  std::vector<std::string> pcFacts;
  std::vector<Finding> findings;
  // What the customer should do, each change tried on a copy of the image;
  // `remediesChecked` false when simrun was not asked to try them.
  std::vector<CheckedRemedy> remedies;
  bool remediesChecked = false;
  std::vector<std::string> purposefulDeletions;  // the network entries deleted, and why
  std::string blocker;  // what keeps the adapter from working whatever the run does
  std::vector<ReportedProcess> processes;
  std::string registryChanges;  // the account, code page 1252 (text report)
  // The same changes for the JSON report.
  std::shared_ptr<const regfile::RegNode> registryBefore, registryAfter;
  std::vector<FileChange> files;
};

// The locale as the reports give it: "0x407".
std::string LocaleText(std::uint32_t locale);

// The report's head line on the locale: "locale 0x409 (from the image)",
// "locale 0x407 (assumed German: the image does not say)".
std::string LocaleLine(const RunReport& report);

// The report's verdict: from its findings, with what keeps the adapter
// from working and the first step to do (verdict.h).
Verdict ReportVerdict(const RunReport& report);

std::string ReportJson(const RunReport& report);

}  // namespace nl::findings
