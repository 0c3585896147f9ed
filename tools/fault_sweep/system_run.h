// One run of the installer on a simulated system, and the state it leaves.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/sim_system.h"

namespace sweep {

// The files a run may touch, by Windows path; absent files are missing.
extern const std::vector<std::string> kWatchedFiles;
constexpr const char* kIrminiInf = "C:\\WINDOWS\\INF\\IRMINI.INF";
constexpr const char* kIrminiBak = "C:\\WINDOWS\\INF\\IRMINI.BAK";
constexpr const char* kInfraredInf = "C:\\WINDOWS\\INF\\INFRARED.INF";
constexpr const char* kInfraredBak = "C:\\WINDOWS\\INF\\INFRARED.BAK";
constexpr const char* kTempInf = "C:\\WINDOWS\\INF\\NL-TEMP.INF";

struct SystemState {
  std::string registry;  // REGEDIT4 export, in enumeration order
  // What the registry holds, whatever the order of subkeys: a key whose
  // creation failed once is added later by the rerun, after siblings a
  // clean run put behind it. (The key-by-key account of an empty registry
  // against this one lists every key by name.)
  std::string registryContent;
  std::map<std::string, std::string> files;  // watched files that exist

  bool operator==(const SystemState& other) const {
    return registryContent == other.registryContent && files == other.files;
  }
  bool Has(const std::string& path) const { return files.count(path) != 0; }
};

enum class Ending { kReturned, kStopped, kTimeLimit, kCrashed };

struct RunOutcome {
  Ending ending = Ending::kReturned;
  int exitCode = -1;
  std::string error;  // what was thrown, for kCrashed
  std::size_t openKeys = 0;
  std::size_t openFiles = 0;
  std::uint64_t calls = 0;
  std::vector<std::string> operations;  // the name of every call, in order
  SystemState state;
};

// How a run is disturbed: set up faults on the fresh system before it runs.
using Disturbance = std::function<void(nl::sim::SimSystem&)>;

// A system whose host folder lives until the object goes; each run on it
// starts a fresh simulated process (new handles, new stand-in tools) on the
// registry and files the previous run left.
class SweepSystem {
 public:
  SweepSystem(const std::string& image, std::uint32_t locale);
  ~SweepSystem();
  SweepSystem(const SweepSystem&) = delete;
  SweepSystem& operator=(const SweepSystem&) = delete;

  RunOutcome Run(const Disturbance& disturb = nullptr,
                 bool recordOperations = false);
  SystemState State();
  // Writes a file before the next run, as something left behind would be.
  void PlaceFile(const std::string& path, const std::string& bytes);

 private:
  std::string hostRoot_;
  std::uint32_t locale_;
  std::string registry_;  // carried from run to run
};

}  // namespace sweep
