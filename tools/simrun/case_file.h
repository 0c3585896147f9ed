// Reading a case file NLDIAG.EXE wrote (NLCASE.TXT; src/diag/case_format.h
// and the README describe it). The file comes from a customer: any bytes
// give a CaseError naming the line, or warnings naming lines, never more
// work than linear in the file's size.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "regfile/reg_tree.h"

namespace simrun {

struct CaseError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A "name = value" line of the case.
struct CaseField {
  std::string value;
  std::size_t line = 0;
};
using CaseFields = std::map<std::string, CaseField>;

struct CaseSetupFile {
  std::string name;   // as the installer names it ("IRMINI.INF")
  std::size_t line = 0;  // of its "== file" line
  CaseField path, state;
  bool present = false;  // state "present" and every byte read
  std::string bytes;
};

struct CaseFile {
  CaseFields system, registryStatus, programFolder, sourceDrive;
  std::unique_ptr<nl::regfile::RegNode> registry;  // null without the part
  std::size_t registryLine = 0;
  std::vector<CaseSetupFile> files;  // in the order of the file
  std::vector<std::string> warnings;  // "NLCASE.TXT line 7: why"
  bool complete = false;  // the closing "== end" was there
};

// The largest case read (a case holds at most five files of 1 MB, twice
// that as hex, and a few hundred keys).
constexpr std::size_t kMaxCaseBytes = 64u * 1024u * 1024u;

CaseFile ReadCaseFile(std::string_view bytes, const std::string& fileName);

// Text from the case made safe to print: printable ASCII as it stands,
// every other byte as \xNN.
std::string Printable(std::string_view text);

}  // namespace simrun
