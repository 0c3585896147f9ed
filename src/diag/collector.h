// NLDIAG.EXE's work: writes the case file NLCASE.TXT into its own folder, or
// into the root folder of the system drive when its own folder cannot be
// written (a CD, a write-protected floppy), and says where in one message
// box unless started with /quiet. It only reads: nothing on the PC changes
// but the case file.
#pragma once

#include <cstdint>

#include "diag/case_output.h"
#include "diag/diag_system.h"

namespace nl::diag {

// Writes the whole case through `out`.
void WriteCase(DiagSystem& os, CaseOutput& out, const char* programPath,
               const char* programFolder);

// The program: 0 when the case file was written, 1 otherwise.
std::uint32_t CollectorMain(DiagSystem& os);

// Whether the command line holds "/quiet" (any letter case) after the
// program's name.
bool IsQuietCommandLine(const char* commandLine);

}  // namespace nl::diag
