// The processes of the simulated system: the program's own (its module path
// and the user's locale it is told) and the ones it starts, whose command
// lines the tests script.
//
// Rules worth knowing when writing tests:
// - CreateProcessA starts only scripted command lines (compared exactly);
//   anything else fails to start, like a missing program. The script runs at
//   once, within the CreateProcessA call; it usually creates windows and
//   schedules events.
// - Ending a process destroys its windows; the handles CreateProcessA
//   returned stay open until the program closes them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_call.h"

namespace nl::sim {

// The folder the program runs from unless SetProgramPath says otherwise.
constexpr const char* kDefaultProgramFolder = "C:\\NLSETUP";
// Windows' system folder (GetSystemDirectoryA), where drivers are installed.
constexpr const char* kSystemFolder = "C:\\WINDOWS\\SYSTEM";

class SimSystem;
class SimClock;
class SimDesktop;

using ProgramScript = std::function<void(SimSystem&, ProcessId)>;

// The arguments of one CreateProcessA call, and what came of it.
struct ProcessStart {
  std::uint64_t time = 0;
  bool applicationNameGiven = false;
  std::string commandLine;
  int inheritHandles = 0;
  std::uint32_t creationFlags = 0;
  bool startupGiven = false;
  StartupRecord startup{};
  bool started = false;
  ProcessId processId = 0;  // 0 when not started
};

class SimProcesses {
 public:
  // Scripts run against `system`; starts are stamped with `clock`'s time;
  // an ending process takes its windows off `desktop`.
  SimProcesses(SimSystem& system, const SimClock& clock, SimDesktop& desktop)
      : system_(system), clock_(clock), desktop_(desktop) {}
  SimProcesses(const SimProcesses&) = delete;
  SimProcesses& operator=(const SimProcesses&) = delete;

  // ---- Platform calls ----
  int CreateProcessA(Fault fault, const char* applicationName, char* commandLine,
                     int inheritHandles, std::uint32_t creationFlags,
                     const StartupRecord* startup, ProcessRecord* started,
                     Described* out);
  std::uint32_t GetProcessVersion(Fault fault, ProcessId process, Described* out);
  std::uint32_t GetModuleFileNameA(Fault fault, ProgramInstance instance, char* buffer,
                                   std::uint32_t size, Described* out);
  std::uint32_t GetUserDefaultLCID(Described* out);
  // The program's own thread (kProgramThreadId).
  ThreadId GetCurrentThreadId(Described* out);

  // ---- for the face ----

  // CloseHandle of a process or thread handle; false when it is none.
  bool CloseHandle(std::uintptr_t handle) { return handles_.erase(handle) != 0; }
  // The program was killed: the handles it held are gone.
  void CloseProgramHandles() { handles_.clear(); }

  // ---- setup and inspection ----

  // CreateProcessA with exactly this command line starts a process and runs
  // `onStart` at once.
  void ScriptProgram(const std::string& commandLine, ProgramScript onStart);
  // This command line fails to start even when scripted.
  void FailStart(const std::string& commandLine);
  // Ends the process and destroys its windows.
  void EndProcess(ProcessId pid);
  bool IsAlive(ProcessId pid) const;
  // While the process lives, `describe` tells what it waits for from the
  // user ("" when nothing): a dialog waiting for a click, a prompt.
  void SetWaitsForUser(ProcessId pid, std::function<std::string(SimSystem&)> describe);
  // What the first live process that waits for the user waits for, or "".
  std::string WaitingForUser() const;
  // Whether the thread is one of a started process that has ended.
  bool ThreadEnded(ThreadId thread) const;
  const std::vector<ProcessStart>& Starts() const { return starts_; }
  // Process and thread handles returned by CreateProcessA and not closed.
  std::size_t OpenProcessHandleCount() const { return handles_.size(); }
  // GetModuleFileNameA's answer; default NLSETUP.EXE in kDefaultProgramFolder.
  void SetProgramPath(const std::string& path) { programPath_ = path; }
  // GetUserDefaultLCID's answer; default 0x407 (German).
  void SetUserDefaultLcid(std::uint32_t lcid) { lcid_ = lcid; }
  std::uint32_t UserDefaultLcid() const { return lcid_; }

 private:
  struct SimProcess {
    ProcessId pid = 0;
    std::string commandLine;
    bool alive = true;
    std::function<std::string(SimSystem&)> waitsFor;
  };

  SimSystem& system_;
  const SimClock& clock_;
  SimDesktop& desktop_;
  std::map<std::string, ProgramScript> scripts_;
  std::set<std::string> failStarts_;
  std::map<ProcessId, SimProcess> processes_;
  std::set<std::uintptr_t> handles_;
  std::vector<ProcessStart> starts_;
  ProcessId nextPid_ = 0x1000;
  std::uintptr_t nextProcessHandle_ = 0x40000;
  std::string programPath_ = std::string(kDefaultProgramFolder) + "\\NLSETUP.EXE";
  std::uint32_t lcid_ = 0x407;
};

}  // namespace nl::sim
