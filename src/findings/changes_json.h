// A run's registry and file changes as structured data for scripts: what
// `simrun --json` gives beside the findings, where the text report has the
// account (regfile/reg_account.h) and unified diffs.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "findings/report_json.h"
#include "regfile/reg_tree.h"

namespace nl::findings {

// {"keysDeleted": [{"key", "values"}], "keysAdded": [...], "valuesAdded":
// [{"key", "name", "type", ...}], "valuesDeleted": [...], "valuesChanged":
// [{"key", "name", "old", "new"}]}. Keys are full paths from
// HKEY_LOCAL_MACHINE; a deleted or added key's subkeys are listed too, each
// with its values. A value has its type name, its bytes in hex and, for a
// text, the text (code page 1252 as UTF-8), for a DWORD the number. Names are
// compared ignoring case, as Windows does.
nlohmann::ordered_json RegistryChangesJson(const regfile::RegNode& before,
                                           const regfile::RegNode& after);

nlohmann::ordered_json FileChangesJson(const std::vector<FileChange>& files);

}  // namespace nl::findings
