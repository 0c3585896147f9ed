// One simulated installation on a system image: the image loaded into a
// simulated Windows 9x system of its own, an optional change made to it
// (how a remedy is tried on a copy of the image), the stand-ins installed,
// the installer run, and the run's facts recorded.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "findings/run_facts.h"
#include "platform/sim/sim_system.h"
#include "standins/stand_in_tools.h"

namespace simrun {

struct SimRunSetup {
  std::string image;
  std::optional<std::uint32_t> locale;  // as given; else the image's, else German
  nl::sim::StandInOptions standIns;
  int runs = 1;
  bool strict = false;
  std::string shippedDriver;  // the driver file as shipped; empty: not known
};

// A change made to the loaded image before the run.
using ImageChange = std::function<void(nl::sim::SimSystem&)>;

struct SimRun {
  std::unique_ptr<nl::sim::SimSystem> sim;
  nl::findings::RunFacts facts;
  std::string ending;  // "the program returned 0", "waiting: ...", "stopped: ..."
  int status = 0;      // 0 the program returned, 1 it waits or was stopped
  std::uint32_t locale = 0;
  const char* localeSource = "assumed";  // "--locale", "image" or "assumed"
  std::vector<std::string> warnings;     // of loading the image
  std::string registryBefore;            // the export before the run
};

// Runs in `systemFolder` (a new folder). When `beforeCopy` is given, the
// drives as they are before the run are copied there. Throws what loading
// the image throws.
SimRun RunSimulated(const std::string& systemFolder, const SimRunSetup& setup,
                    const ImageChange& change, const std::string& beforeCopy);

}  // namespace simrun
