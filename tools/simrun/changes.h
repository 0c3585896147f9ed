// What a run changed: registry and file differences as readable text.
#pragma once

#include <string>

namespace simrun {

// Unified diff of two texts (through the system's diff -u), labelled; empty
// when they are equal. Bytes above 0x7F are shown as Latin-1 characters.
std::string TextDiff(const std::string& before, const std::string& after,
                     const std::string& beforeLabel, const std::string& afterLabel);

// The differences between two copies of the drive folders (drive_c, ...):
// added, removed and changed files, text files as unified diffs, binary
// files by size. Paths are shown as Windows paths.
std::string DriveChanges(const std::string& beforeRoot, const std::string& afterRoot);

// The bytes of a host file; throws std::runtime_error when it cannot be
// read.
std::string ReadHostFile(const std::string& path);

// Copies the drive folders of `from` into `to`.
void CopyDrives(const std::string& from, const std::string& to);

}  // namespace simrun
