// What a run changed: registry and file differences as readable text.
#pragma once

#include <string>
#include <vector>

#include "findings/report_json.h"

namespace simrun {

// Unified diff of two texts (through the system's diff -u), labelled; empty
// when they are equal. The lines are the files' bytes as they stand.
std::string TextDiff(const std::string& before, const std::string& after,
                     const std::string& beforeLabel, const std::string& afterLabel);

// The differences between two copies of the drive folders (drive_c, ...):
// added, removed and changed files, text files as unified diffs, binary
// files by size; files over 4 MB are compared by size and content, a piece
// at a time, and get no diff. Paths are shown as Windows paths with control
// bytes escaped; the text is code page 1252 (report_text.h shows it).
std::string DriveChanges(const std::string& beforeRoot, const std::string& afterRoot);

// The bytes of a plain host file given by the user or the customer; throws
// (naming it) when it cannot be read, is a link, device, FIFO, socket or
// folder, or is over the limit for a file of a case (plain_tree.h).
std::string ReadHostFile(const std::string& path);

// The same comparison as a list for the JSON report: the files added,
// changed and removed, in path order, each path as Windows names it (control
// bytes escaped, UTF-8) with its sizes.
std::vector<nl::findings::FileChange> FileChangeList(const std::string& beforeRoot,
                                                     const std::string& afterRoot);

// Copies the drive folders of `from` into `to`.
void CopyDrives(const std::string& from, const std::string& to);

}  // namespace simrun
