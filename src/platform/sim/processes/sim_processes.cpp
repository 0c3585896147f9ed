// Processes of the simulated system: command lines scripted by the tests,
// and what the program's own process is told (its path, the user's locale).
#include "platform/sim/processes/sim_processes.h"

#include <cstring>

#include "platform/sim/clock/sim_clock.h"
#include "platform/sim/desktop/sim_desktop.h"
#include "platform/sim/sim_text.h"

namespace nl::sim {

namespace {
constexpr std::uint32_t kProcessVersion = 0x0004000A;  // Windows 98
}

int SimProcesses::CreateProcessA(Fault fault, const char* applicationName,
                                 char* commandLine, int inheritHandles,
                                 std::uint32_t creationFlags,
                                 const StartupRecord* startup, ProcessRecord* started,
                                 Described* out) {
  ProcessStart record;
  record.time = clock_.Now();
  record.applicationNameGiven = applicationName != nullptr;
  record.commandLine = commandLine ? commandLine : "";
  record.inheritHandles = inheritHandles;
  record.creationFlags = creationFlags;
  record.startupGiven = startup != nullptr;
  if (startup) record.startup = *startup;
  auto script = scripts_.find(record.commandLine);
  ProgramScript onStart;
  if (fault != Fault::kFail && commandLine && startup && started &&
      script != scripts_.end() && !failStarts_.count(record.commandLine)) {
    const ProcessId pid = nextPid_;
    nextPid_ += 4;
    processes_[pid] = SimProcess{pid, record.commandLine, true, nullptr};
    ProcessRecord out;
    out.processHandle = nextProcessHandle_;
    out.threadHandle = nextProcessHandle_ + 4;
    nextProcessHandle_ += 8;
    out.processId = pid;
    out.threadId = pid + 2;
    handles_.insert(out.processHandle);
    handles_.insert(out.threadHandle);
    *started = out;
    record.started = true;
    record.processId = pid;
    onStart = script->second;
  }
  starts_.push_back(record);
  if (onStart) onStart(system_, record.processId);
  DescribeTo(out, [&] {
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

std::uint32_t SimProcesses::GetProcessVersion(Fault fault, ProcessId process,
                                              Described* out) {
  const std::uint32_t r = fault != Fault::kFail && IsAlive(process) ? kProcessVersion : 0;
  DescribeTo(out, [&] { return Described{Hex(process), Hex(r)}; });
  return r;
}

std::uint32_t SimProcesses::GetModuleFileNameA(Fault fault, ProgramInstance instance,
                                               char* buffer, std::uint32_t size,
                                               Described* out) {
  std::uint32_t r = 0;
  if (fault != Fault::kFail && buffer && size > 0) {
    const std::size_t length = programPath_.size();
    if (length < size) {
      std::memcpy(buffer, programPath_.c_str(), length + 1);
      r = static_cast<std::uint32_t>(length);
    } else {
      std::memcpy(buffer, programPath_.data(), size - 1);
      buffer[size - 1] = '\0';
      r = size;  // cut: Windows answers with the buffer size
    }
  }
  DescribeTo(out, [&] {
    return Described{Hex(instance) + ", buffer, " + std::to_string(size),
                     std::to_string(r) + (r ? " -> " + Quoted(buffer) : "")};
  });
  return r;
}

std::uint32_t SimProcesses::GetUserDefaultLCID(Described* out) {
  const std::uint32_t r = lcid_;
  DescribeTo(out, [&] { return Described{"", Hex(r)}; });
  return r;
}

void SimProcesses::ScriptProgram(const std::string& commandLine, ProgramScript onStart) {
  scripts_[commandLine] = std::move(onStart);
}

void SimProcesses::FailStart(const std::string& commandLine) {
  failStarts_.insert(commandLine);
}

void SimProcesses::EndProcess(ProcessId pid) {
  auto it = processes_.find(pid);
  if (it == processes_.end() || !it->second.alive) return;
  it->second.alive = false;
  desktop_.DestroyWindowsOf(pid);
}

ThreadId SimProcesses::GetCurrentThreadId(Described* out) {
  DescribeTo(out, [&] { return Described{"", Hex(kProgramThreadId)}; });
  return kProgramThreadId;
}

bool SimProcesses::ThreadEnded(ThreadId thread) const {
  auto it = processes_.find(ProcessOfThread(thread));
  return it != processes_.end() && !it->second.alive;
}

void SimProcesses::SetWaitsForUser(ProcessId pid,
                                   std::function<std::string(SimSystem&)> describe) {
  auto it = processes_.find(pid);
  if (it != processes_.end()) it->second.waitsFor = std::move(describe);
}

std::string SimProcesses::WaitingForUser() const {
  for (const auto& [pid, process] : processes_) {
    if (!process.alive || !process.waitsFor) continue;
    std::string text = process.waitsFor(system_);
    if (!text.empty()) return text;
  }
  return "";
}

bool SimProcesses::IsAlive(ProcessId pid) const {
  auto it = processes_.find(pid);
  return it != processes_.end() && it->second.alive;
}

}  // namespace nl::sim
