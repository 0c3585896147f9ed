// The contents an INF file may have after a disturbed run: its original with
// any selection of the installer's edits applied whole, in their order.
#pragma once

#include <set>
#include <string>

namespace sweep {

struct InfStates {
  std::string irminiOriginal;
  std::string infraredOriginal;
  std::set<std::string> irmini;    // every allowed IRMINI.INF
  std::set<std::string> infrared;  // every allowed INFRARED.INF
  // IRMINI.INF as the display-name write creates it when the file is gone
  // (its backup then holds the original).
  std::string irminiOnlyDisplayName;
};

InfStates ComputeInfStates(const std::string& irminiOriginal,
                           const std::string& infraredOriginal);

}  // namespace sweep
