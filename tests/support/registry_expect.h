// Checking what the program left in the simulated registry: a key's values
// with their names, types and bytes, in the order they were stored.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sim/sim_system.h"

namespace nl::testing {

struct ExpectedValue {
  std::string name;
  std::uint32_t type;
  std::string data;
};

// A REG_SZ as stored: the text and its terminating zero.
inline std::string Sz(const std::string& text) { return text + '\0'; }

inline const sim::RegNode* Node(sim::SimSystem& system, const std::string& path) {
  std::vector<std::string> names;
  if (!regfile::SplitKeyPath(path.c_str(), &names)) return nullptr;
  return regfile::WalkKeys(&system.Registry().Root(), names);
}

// Compares a key's values, in their stored order, with `expected`.
inline void ExpectValues(sim::SimSystem& system, const std::string& path,
                         const std::vector<ExpectedValue>& expected) {
  const sim::RegNode* node = Node(system, path);
  ASSERT_NE(node, nullptr) << path;
  ASSERT_EQ(node->values.size(), expected.size()) << path;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(node->values[i].name, expected[i].name) << path << " value " << i;
    EXPECT_EQ(node->values[i].type, expected[i].type) << path << " " << expected[i].name;
    EXPECT_EQ(node->values[i].data, expected[i].data) << path << " " << expected[i].name;
  }
}

}  // namespace nl::testing
