// Case-insensitive, in-place text substitution in a file of the setup scratch
// directory.
#pragma once

#include "setup/install_run.h"

namespace nl {

// Side file used when no backup name is given; deleted after the rewrite.
constexpr const char* kTempInfName = "NL-TEMP.INF";

// Rewrites `target` replacing every occurrence of `search` (ASCII case
// ignored) by `replacement`. The old content is first moved to `backup` (kept
// afterwards) or, when `backup` is null, to the temporary file (deleted
// afterwards). Returns 1 when at least one replacement was written and the
// whole file was rewritten, 0 otherwise and on every failure.
int ReplaceInInfFile(InstallRun& run, const char* target, const char* backup,
                     const char* search, const char* replacement);

}  // namespace nl
