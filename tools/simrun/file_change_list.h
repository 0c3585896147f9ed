// The files a run added, changed and removed on the drives, as a list for
// the JSON report (changes.h gives the same as text with diffs).
#pragma once

#include <string>
#include <vector>

#include "findings/report_json.h"

namespace simrun {

// Compares two copies of the drive folders (drive_c, ...) file by file;
// links are not followed. Paths as Windows paths, in order.
std::vector<nl::findings::FileChange> FileChangeList(const std::string& beforeRoot,
                                                     const std::string& afterRoot);

}  // namespace simrun
