// A key-by-key account of what changed between two registries, in the
// manner of registry snapshot tools: counts first, then the keys deleted
// (each with what it held; its subkeys went with it and are not counted
// apart), the keys added (each with its values), and the
// values added, deleted and modified (old and new). Everything is written
// in REGEDIT4 notation, which shows each value's type, so that any part can
// be pasted into a .reg file; what was there before stands in comments.
// Names are compared ignoring ASCII case, as Windows does; a value is
// modified when its type or bytes differ. Keys are listed by name, whatever
// order either registry enumerates its subkeys in.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "regfile/reg_tree.h"

namespace nl::regfile {

struct RegAccountCounts {
  std::size_t keysDeleted = 0, keysAdded = 0;
  std::size_t valuesDeleted = 0, valuesAdded = 0, valuesModified = 0;
};

// The account of the trees below two roots (HKEY_LOCAL_MACHINE); "(no
// changes)" when they hold the same. `counts` is filled when given.
std::string RegistryAccount(const RegNode& before, const RegNode& after,
                            RegAccountCounts* counts = nullptr);

// The same for two .reg files, each loaded as ImportRegFile loads it into an
// empty registry; the import's warnings and its note on other roots go to
// `notes`. Throws RegFileError as the import does (`strict` as there).
std::string RegistryAccountOfFiles(std::string_view beforeBytes, std::string_view afterBytes,
                                   const std::string& beforeName, const std::string& afterName,
                                   bool strict, std::vector<std::string>* notes);

}  // namespace nl::regfile
