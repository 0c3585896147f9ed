// Generated INF-like text files for the rewrite benchmark, and plain host
// file helpers that keep memory flat whatever the file size.
#pragma once

#include <cstdint>
#include <string>

namespace inf_bench {

// Writes `bytes` bytes of INF-like lines to `path`: sections, registry lines
// and near misses of the search text, with one occurrence of "irmini.sys" in
// changing letter case about every kilobyte. Same size, same content.
void GenerateInfText(const std::string& path, std::uint64_t bytes);

// Copies the file with a fixed buffer; throws on failure.
void CopyHostFile(const std::string& from, const std::string& to);

// True when both files hold the same bytes.
bool SameContent(const std::string& a, const std::string& b);

}  // namespace inf_bench
