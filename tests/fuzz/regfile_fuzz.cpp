// Loads a .reg file as the simulator does, exports it, loads the export and
// exports again: the export must load without a warning and give the same
// bytes, and nothing may crash or upset the sanitizers. The account of the
// changes from an empty registry to the loaded one must be made too, and
// from the loaded one to its reload be empty.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/sim/sim_reg_account.h"
#include "platform/sim/sim_reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  nl::sim::RegNode first;
  try {
    nl::sim::ImportRegFile(bytes, &first);
  } catch (const nl::sim::RegFileError&) {
    return 0;  // not a registry file, or beyond the Windows limits
  }
  const std::string exported = nl::sim::ExportRegFile(first);
  nl::sim::RegNode again;
  nl::sim::RegImportOptions strict;
  strict.strict = true;
  nl::sim::ImportRegFile(exported, &again, strict);  // throws, and so fails, on a warning
  if (nl::sim::ExportRegFile(again) != exported) std::abort();
  if (nl::sim::RegistryAccount(first, again) != "(no changes)\n") std::abort();
  nl::sim::RegNode empty;
  nl::sim::RegistryAccount(empty, first);
  return 0;
}
