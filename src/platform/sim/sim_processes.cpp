// Processes of the simulated system: command lines scripted by the tests.
#include "platform/sim/sim_system.h"

namespace nl::sim {

namespace {
constexpr std::uint32_t kProcessVersion = 0x0004000A;  // Windows 98
}

int SimSystem::CreateProcessA(const char* applicationName, char* commandLine,
                              int inheritHandles, std::uint32_t creationFlags,
                              const StartupRecord* startup,
                              ProcessRecord* started) {
  const Call call = BeginCall("CreateProcessA");
  ProcessStart record;
  record.time = now_;
  record.applicationNameGiven = applicationName != nullptr;
  record.commandLine = commandLine ? commandLine : "";
  record.inheritHandles = inheritHandles;
  record.creationFlags = creationFlags;
  record.startupGiven = startup != nullptr;
  if (startup) record.startup = *startup;
  auto script = scripts_.find(record.commandLine);
  ProgramScript onStart;
  if (call.fault != Fault::kFail && commandLine && startup && started &&
      script != scripts_.end() && !failStarts_.count(record.commandLine)) {
    const ProcessId pid = nextPid_;
    nextPid_ += 4;
    processes_[pid] = SimProcess{pid, record.commandLine, true};
    ProcessRecord out;
    out.processHandle = nextProcessHandle_;
    out.threadHandle = nextProcessHandle_ + 4;
    nextProcessHandle_ += 8;
    out.processId = pid;
    out.threadId = pid + 2;
    processHandles_.insert(out.processHandle);
    processHandles_.insert(out.threadHandle);
    *started = out;
    record.started = true;
    record.processId = pid;
    onStart = script->second;
  }
  starts_.push_back(record);
  if (onStart) onStart(*this, record.processId);
  EndCall(call, [&] {
    std::string startupText = "NULL";
    if (startup)
      startupText = "{cb " + std::to_string(startup->size) + ", flags " +
                    Hex(startup->flags) + ", show " +
                    std::to_string(startup->showWindow) + "}";
    return Described{QuotedOrNull(applicationName) + ", " +
                         QuotedOrNull(commandLine) + ", " +
                         std::to_string(inheritHandles) + ", " +
                         Hex(creationFlags) + ", " + startupText,
                     record.started ? "1 -> pid " + Hex(record.processId) : "0"};
  });
  return record.started ? 1 : 0;
}

std::uint32_t SimSystem::GetProcessVersion(ProcessId process) {
  const Call call = BeginCall("GetProcessVersion");
  const std::uint32_t r =
      call.fault != Fault::kFail && IsAlive(process) ? kProcessVersion : 0;
  EndCall(call, [&] { return Described{Hex(process), Hex(r)}; });
  return r;
}

void SimSystem::ScriptProgram(const std::string& commandLine, ProgramScript onStart) {
  scripts_[commandLine] = std::move(onStart);
}

void SimSystem::FailStart(const std::string& commandLine) {
  failStarts_.insert(commandLine);
}

void SimSystem::EndProcess(ProcessId pid) {
  auto it = processes_.find(pid);
  if (it == processes_.end() || !it->second.alive) return;
  it->second.alive = false;
  std::vector<WindowHandle> owned;
  for (const auto& entry : windows_)
    if (entry.second.alive && entry.second.owner == pid) owned.push_back(entry.first);
  for (WindowHandle w : owned) DestroyWindow(w);
}

bool SimSystem::IsAlive(ProcessId pid) const {
  auto it = processes_.find(pid);
  return it != processes_.end() && it->second.alive;
}

}  // namespace nl::sim
