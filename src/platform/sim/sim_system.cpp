#include "platform/sim/sim_system.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

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

SimSystem::SimSystem() : SimSystem(MakeTempRoot()) { ownsHostRoot_ = true; }

SimSystem::SimSystem(std::string hostRoot)
    : hostRoot_(std::move(hostRoot)), registry_(std::make_shared<RegNode>()) {
  registry_->name = "HKEY_LOCAL_MACHINE";
  currentDir_.drive = 'C';
  std::filesystem::create_directories(DriveFolder(hostRoot_, 'C'));
}

SimSystem::~SimSystem() {
  for (auto& entry : files_) {
    Flush(entry.second);
    ::close(entry.second.fd);
  }
  if (ownsHostRoot_) {
    std::error_code ignored;
    std::filesystem::remove_all(hostRoot_, ignored);
  }
}

}  // namespace nl::sim
