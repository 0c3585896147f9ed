// The remedies of a run, each change of the PC tried: made on a fresh copy
// of the same image and run again with the same stand-ins, so that a step
// is offered as one that reaches its goals only when that run reaches them.
#pragma once

#include <string>
#include <vector>

#include "findings/remedies.h"
#include "run_image.h"

namespace simrun {

// `work`: a folder for the runs' systems (each in a new folder below it).
std::vector<nl::findings::CheckedRemedy> CheckRemedies(const SimRunSetup& setup,
                                                       const nl::findings::RunFacts& facts,
                                                       const std::vector<nl::findings::Finding>& findings,
                                                       const std::string& work);

}  // namespace simrun
