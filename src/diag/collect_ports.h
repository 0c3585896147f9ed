// The ports in use: the devices of class "Ports" in the device tree and the
// port names they hold, so that a COM4 or LPT3 that another device has shows
// beside the virtual infrared ports of the same names.
#pragma once

#include "diag/case_output.h"
#include "diag/diag_system.h"

namespace nl::diag {

// "== ports": one "COM1 = Enum\BIOS\*PNP0501\0D" line per port found.
void WritePorts(DiagSystem& os, CaseOutput& out);

}  // namespace nl::diag
