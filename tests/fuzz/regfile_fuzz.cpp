// Loads a .reg file as the simulator does, exports it, loads the export and
// exports again: the export must load without a warning and give the same
// bytes, and nothing may crash or upset the sanitizers. The account of the
// changes from an empty registry to the loaded one must be made too, and
// from the loaded one to its reload be empty.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "regfile/reg_account.h"
#include "regfile/reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  nl::regfile::RegNode first;
  try {
    nl::regfile::ImportRegFile(bytes, &first);
  } catch (const nl::regfile::RegFileError&) {
    return 0;  // not a registry file, or beyond the Windows limits
  }
  const std::string exported = nl::regfile::ExportRegFile(first);
  nl::regfile::RegNode again;
  nl::regfile::RegImportOptions strict;
  strict.strict = true;
  nl::regfile::ImportRegFile(exported, &again, strict);  // throws, and so fails, on a warning
  if (nl::regfile::ExportRegFile(again) != exported) std::abort();
  if (nl::regfile::RegistryAccount(first, again) != "(no changes)\n") std::abort();
  nl::regfile::RegNode empty;
  nl::regfile::RegistryAccount(empty, first);
  return 0;
}
