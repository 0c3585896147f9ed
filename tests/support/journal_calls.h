// Counting the simulated system's journal entries of one operation.
#pragma once

#include <string>

#include "platform/sim/sim_system.h"

namespace nl::testing {

inline int CountCalls(const sim::SimSystem& sim, const std::string& operation) {
  int count = 0;
  for (const sim::JournalEntry& entry : sim.Journal().Entries()) {
    if (entry.operation == operation) ++count;
  }
  return count;
}

}  // namespace nl::testing
