// Case-insensitive, in-place text substitution in a file of the setup scratch
// directory.
#pragma once

#include "setup/install_run.h"

namespace nl {

// The temporary file beside the INF files: every rewrite is written under
// this name and then moved into place; it exists only during a rewrite.
constexpr const char* kTempInfName = "NL-TEMP.INF";

// Rewrites `target` replacing every occurrence of `search` (ASCII case
// ignored) by `replacement`. With a `backup` name the old content is moved to
// the backup first and kept there; a backup already present blocks the call.
// The new content is written under the temporary name and then put in place,
// so the target never holds a partly written file. Without a backup, a
// temporary file left by an interrupted run makes the call remove it and do
// nothing else. On any failure the target keeps (or gets back) its old
// content. Returns 1 when at least one replacement was made and the new file
// is in place, 0 otherwise.
int ReplaceInInfFile(InstallRun& run, const char* target, const char* backup,
                     const char* search, const char* replacement);

}  // namespace nl
