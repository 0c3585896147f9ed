// Reads any bytes as a case file NLDIAG.EXE wrote and plans the image from
// it: nothing may crash, upset the sanitizers or throw anything but a
// CaseError naming the case; every path the plan would write must stay
// inside the image folder, and no two may take one place ignoring letter
// case, nor one lie below a file.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "case_file.h"
#include "case_image.h"

namespace {

// "drive_x/A/B": relative, below a drive folder, no part that leads out.
void CheckInside(const std::string& path) {
  if (path.size() < 7 || path.compare(0, 6, "drive_") != 0 || path[6] < 'a' || path[6] > 'z')
    std::abort();
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (part.empty() || part == "." || part == ".." || part.find('\\') != std::string::npos ||
        part.find('\0') != std::string::npos)
      std::abort();
    start = end + 1;
  }
}

std::string Folded(const std::string& path) {
  std::string out;
  for (const char c : path) out += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const simrun::CaseFile caseFile = simrun::ReadCaseFile(bytes, "NLCASE.TXT");
    const simrun::CaseImagePlan plan = simrun::PlanCaseImage(caseFile, "driver bytes");
    std::set<std::string> files, places;
    std::map<std::string, std::string> spellings;  // each folder spelled one way
    auto spelledOnce = [&](const std::string& path) {
      for (std::size_t at = path.find('/'); at != std::string::npos; at = path.find('/', at + 1))
        if (spellings.emplace(Folded(path.substr(0, at)), path.substr(0, at)).first->second !=
            path.substr(0, at))
          std::abort();
      if (spellings.emplace(Folded(path), path).first->second != path) std::abort();
    };
    for (const simrun::PlannedFile& file : plan.files) {
      CheckInside(file.path);
      spelledOnce(file.path);
      if (!files.insert(Folded(file.path)).second || !places.insert(Folded(file.path)).second)
        std::abort();
    }
    for (const simrun::PlannedFolder& folder : plan.folders) {
      CheckInside(folder.path);
      spelledOnce(folder.path);
      if (files.count(Folded(folder.path)) != 0 || !places.insert(Folded(folder.path)).second)
        std::abort();
    }
    for (const std::string& place : places)
      for (std::size_t at = place.find('/'); at != std::string::npos; at = place.find('/', at + 1))
        if (files.count(place.substr(0, at)) != 0) std::abort();
    // "NLCASE.TXT line 7: why", or after the first 100 "NLCASE.TXT: and 7 more ...".
    for (const std::string& warning : caseFile.warnings)
      if (warning.compare(0, 16, "NLCASE.TXT line ") != 0 && warning.compare(0, 16, "NLCASE.TXT: and ") != 0)
        std::abort();
  } catch (const simrun::CaseError& error) {
    // A damaged case names its file and the line.
    if (std::string_view(error.what()).substr(0, 10) != "NLCASE.TXT") std::abort();
  }
  return 0;
}
