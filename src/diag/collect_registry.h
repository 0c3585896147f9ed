// The registry part of the case: the keys the installation reads or writes,
// enumerated in the PC's own order and written as regedit writes a REGEDIT4
// export, and one status line per key of kCaseSubtrees.
#pragma once

#include <cstdint>

#include "diag/case_output.h"
#include "diag/diag_system.h"
#include "platform/platform.h"

namespace nl::diag {

// Setup values the rest of the case needs, as the installer reads them: the
// text up to its first zero byte, trailing backslashes dropped.
// Cleared by the caller (no member initializers: the Windows program would
// copy them from a template of zeros in its data).
struct SetupPaths {
  bool scratchKnown;
  char scratchDir[kMaxPath];
  bool sourceKnown;
  char sourcePath[kMaxPath];
};

// What one subtree gave.
struct SubtreeResult {
  RegResult openError = kErrorSuccess;  // of the subtree's own key
  std::uint32_t keys = 0;
  std::uint32_t values = 0;
  std::uint32_t unreadable = 0;  // values and keys left out, each with a ";" line
  bool tooLarge = false;         // the limit of keys or values was reached
  bool changed = false;          // two reads in a row gave different keys
};

// Writes "REGEDIT4", every subtree, and fills `results` (one per
// kCaseSubtrees entry) and `setup`.
void WriteRegistryPart(DiagSystem& os, CaseOutput& out, SubtreeResult* results,
                       SetupPaths* setup);
// "windows-version-number" and "windows-subversion-number": VersionNumber
// and SubVersionNumber of kCurrentVersionKey, which tell 95, OSR2, 98 and
// 98 SE apart, and no other value of that key.
void WriteWindowsVersionNumbers(DiagSystem& os, CaseOutput& out);
// The status part: one "path = ..." line per subtree.
void WriteRegistryStatus(CaseOutput& out, const SubtreeResult* results);

}  // namespace nl::diag
