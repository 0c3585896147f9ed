// Reading a case file NLDIAG.EXE wrote (NLCASE.TXT; src/diag/case_format.h
// and the README describe it). The file comes from a customer: any bytes
// give a CaseError naming the line, or warnings naming lines, never more
// work than linear in the file's size nor memory beyond a small multiple of
// it. Lines end at CRLF, LF or a lone CR, as the .reg reader ends them, so
// that every line number is the one the customer's editor shows. The case
// is checked against itself: a part cut short, a line of bytes wrapped or
// counts that disagree with what the registry part holds make a damaged
// case, refused with a CaseError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "diag/case_format.h"
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
using CaseFields = std::map<std::string, CaseField>;  // only the names NLDIAG writes

// A subtree's line in the status part, as NLDIAG writes it: "present, 3
// keys, 12 values", "incomplete, ... 1 left out (...)", "too large, ...",
// "changed while read, ...", "absent (error 2)", "unreadable (error 5)".
enum class SubtreeState { kUnsaid, kPresent, kIncomplete, kTooLarge, kChanged, kAbsent, kUnreadable };
struct CaseSubtreeStatus {
  SubtreeState state = SubtreeState::kUnsaid;
  std::size_t line = 0;
  std::uint32_t keys = 0, values = 0, leftOut = 0;
  std::string text;  // the value as the case gives it
  // Set after reading: the registry part holds the subtree's key.
  bool held = false;
};
constexpr std::size_t kSubtreeCount = sizeof nl::diag::kCaseSubtrees / sizeof nl::diag::kCaseSubtrees[0];

// Where a file of the case lies on the PC.
enum class CasePlace { kScratch, kBesideProgram, kInSource, kInfFolder };

struct CaseSetupFile {
  CasePlace place = CasePlace::kScratch;
  std::string name;   // as the installer names it ("IRMINI.INF")
  std::size_t line = 0;  // of its "== file" line
  CaseField path, state;
  CaseField written;     // its FILETIME, "0x01D..." (since version 2); may be absent
  bool present = false;  // state "present" and every byte read
  std::string bytes;
};

struct CaseFile {
  std::string fileName;  // as messages name it
  int version = 1;  // of the case format: 1, or 2 with the parts below
  CaseFields system, registryStatus, programFolder, sourceDrive;
  CaseFields systemTools, ports, driverDatabase;  // since version 2
  CaseSubtreeStatus subtrees[kSubtreeCount];  // in the order of kCaseSubtrees
  std::unique_ptr<nl::regfile::RegNode> registry;  // null without the part
  std::size_t registryLine = 0;
  std::size_t otherRootKeys = 0;  // sections of the registry part under other roots
  std::vector<CaseSetupFile> files;  // in the order of the file
  // "NLCASE.TXT line 7: why": the first 100 in full, then one line per kind
  // with the count of the rest ("NLCASE.TXT: and 1,200 more lines outside
  // every part").
  std::vector<std::string> warnings;
};

// The largest case read (a case holds at most five files of 1 MB, twice
// that as hex, and a few hundred keys).
constexpr std::size_t kMaxCaseBytes = 64u * 1024u * 1024u;
constexpr std::size_t kWarningsInFull = 100;

CaseFile ReadCaseFile(std::string_view bytes, const std::string& fileName);

// Text from the case made safe to print: printable ASCII as it stands,
// every other byte as \xNN.
std::string Printable(std::string_view text);
// The same, of at most 60 bytes of the text ("..." after a longer one): how
// every text of the case is shown.
std::string Shown(std::string_view text);

}  // namespace simrun
