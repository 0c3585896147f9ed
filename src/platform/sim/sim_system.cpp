// The face of the simulated system: its parts, and the end of a stopped
// program.
#include "platform/sim/sim_system.h"

#include <stdlib.h>

#include <stdexcept>

namespace nl::sim {

namespace {

std::string MakeTempRoot() {
  const char* base = ::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/nlsim-XXXXXX";
  if (!::mkdtemp(pattern.data()))
    throw std::runtime_error("cannot create a temporary host folder");
  return pattern;
}

}  // namespace

SimSystem::SimSystem() : SimSystem(MakeTempRoot(), true) {}

SimSystem::SimSystem(std::string hostRoot) : SimSystem(std::move(hostRoot), false) {}

SimSystem::SimSystem(std::string hostRoot, bool ownsHostRoot)
    : clock_(*this),
      desktop_(*this, clock_),
      processes_(*this, clock_, desktop_),
      files_(std::move(hostRoot), ownsHostRoot) {}

SimSystem::~SimSystem() = default;

void SimSystem::KillProgram() {
  files_.CloseProgramFiles();
  registry_.CloseProgramKeys();
  processes_.CloseProgramHandles();
}

void SimSystem::StopIfDue(const SimJournal::Call& call) {
  if (!journal_.StopsAfter(call)) return;
  KillProgram();
  throw SimStopped("program stopped after call " + std::to_string(call.number));
}

}  // namespace nl::sim
