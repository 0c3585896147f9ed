// Reads any bytes as a case file NLDIAG.EXE wrote and plans the image from
// it: nothing may crash or upset the sanitizers, and every path the plan
// would write must stay inside the image folder.
#include <cstdint>
#include <cstdlib>
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const simrun::CaseFile caseFile = simrun::ReadCaseFile(bytes, "NLCASE.TXT");
    const simrun::CaseImagePlan plan = simrun::PlanCaseImage(caseFile, "driver bytes");
    for (const auto& [path, content] : plan.files) CheckInside(path);
    for (const std::string& folder : plan.folders) CheckInside(folder);
    for (const std::string& warning : caseFile.warnings)
      if (warning.compare(0, 16, "NLCASE.TXT line ") != 0) std::abort();
  } catch (const simrun::CaseError& error) {
    // A damaged case names its file and the line.
    if (std::string_view(error.what()).substr(0, 10) != "NLCASE.TXT") std::abort();
  }
  return 0;
}
