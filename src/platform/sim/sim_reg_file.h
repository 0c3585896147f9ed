// REGEDIT4 text of the simulated registry.
//
// Import reads "[HKEY_LOCAL_MACHINE\...]" sections with values written as
// "name"="text" (escapes \\ and \"), @= for the unnamed value,
// "name"=hex:xx,xx (REG_BINARY), "name"=hex(N):xx,.. (type N, N in hex) and
// "name"=dword:xxxxxxxx; a hex list may go on over lines ending in a
// backslash. Lines starting with ";" are comments. Bytes outside ASCII (code
// page 1252) are kept as they are.
//
// Export writes every key but the root in enumeration order (names compared
// ignoring ASCII case), each followed by its values sorted by name ignoring
// case, the unnamed value first. A REG_SZ that is zero-terminated printable
// text (no control bytes, no inner zero) is written as "text", any other as
// hex(1):; REG_BINARY as hex:; a four-byte REG_DWORD as dword:. Lines end in
// LF. Export of an import of an export gives the same bytes.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/sim/sim_registry_tree.h"

namespace nl::sim {

struct RegFileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Adds the file's keys and values to the tree under `root` (values of the
// same name are replaced). Throws RegFileError on malformed text.
void ImportRegFile(std::string_view text, RegNode* root);

std::string ExportRegFile(const RegNode& root);

}  // namespace nl::sim
