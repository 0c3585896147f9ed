// Whole-file operations on host paths, for the simulated files.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>

namespace nl::sim {

// Transfers of at least this size bypass the open files' buffers.
constexpr std::size_t kHostChunk = 64 * 1024;

bool StatPath(const std::string& host, struct stat* st);
// Windows' read-only attribute is the owner's missing write permission.
bool IsReadOnlyMode(const struct stat& st);
// Copies the bytes and gives the copy `mode`'s permissions.
bool CopyHostFile(const std::string& from, const std::string& to, mode_t mode);
// False when the file cannot be read whole (or is no regular file).
bool ReadWholeFile(const std::string& host, std::string* bytes);
// Creates or truncates the file and writes `bytes`.
bool WriteWholeFile(const std::string& host, const std::string& bytes);

}  // namespace nl::sim
