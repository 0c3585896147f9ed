// The Platform calls of the simulated system: each is counted and journaled,
// may suffer an injected fault, and is answered by the part that models it.
#include "platform/sim/sim_system.h"

namespace nl::sim {

template <class Op>
auto SimSystem::Forward(const char* operation, FaultUse use, Op op) {
  const SimJournal::Call call = journal_.Begin(operation, clock_.Now(), use);
  Described described;
  auto r = op(call.fault, call.journal ? &described : nullptr);
  // A file call on a drive without its medium, with the error mode not
  // failing critical errors: Windows shows its box and the call waits.
  const char waitingDrive = files_.TakeMediumRequest();
  const std::string waiting = waitingDrive ? MediumRequestText(waitingDrive) : std::string();
  if (waitingDrive) described.result += " (waiting: " + waiting + ")";
  journal_.Record(call, std::move(described));
  if (waitingDrive) throw SimWaitsForUser(waiting);
  StopIfDue(call);
  return r;
}

std::string SimSystem::MediumRequestText(char drive) const {
  const char* medium = files_.DriveKindOf(drive) == DriveKind::kCdRomNoDisc ? "disc" : "disk";
  return std::string("Windows asks for the ") + medium + " in drive " + drive +
         ": and the run waits for an answer";
}

namespace {
constexpr FaultUse kCanFail = FaultUse::kFail;
constexpr FaultUse kCannotFail = FaultUse::kNone;
}  // namespace

// ---- registry ----

RegResult SimSystem::RegCreateKeyExA(RegKey key, const char* subKey,
                                     std::uint32_t options, std::uint32_t access,
                                     RegKey* result) {
  return Forward("RegCreateKeyExA", kCanFail, [&](Fault f, Described* d) {
    return registry_.OpenKey(f, true, key, subKey, options, access, result, d);
  });
}

RegResult SimSystem::RegOpenKeyExA(RegKey key, const char* subKey, std::uint32_t options,
                                   std::uint32_t access, RegKey* result) {
  return Forward("RegOpenKeyExA", kCanFail, [&](Fault f, Described* d) {
    return registry_.OpenKey(f, false, key, subKey, options, access, result, d);
  });
}

RegResult SimSystem::RegQueryValueExA(RegKey key, const char* valueName,
                                      std::uint32_t* type, std::uint8_t* data,
                                      std::uint32_t* dataSize) {
  return Forward("RegQueryValueExA", kCanFail, [&](Fault f, Described* d) {
    return registry_.RegQueryValueExA(f, key, valueName, type, data, dataSize, d);
  });
}

RegResult SimSystem::RegSetValueExA(RegKey key, const char* valueName, std::uint32_t type,
                                    const std::uint8_t* data, std::uint32_t dataSize) {
  return Forward("RegSetValueExA", kCanFail, [&](Fault f, Described* d) {
    return registry_.RegSetValueExA(f, key, valueName, type, data, dataSize, d);
  });
}

RegResult SimSystem::RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                                   std::uint32_t* nameSize) {
  return Forward("RegEnumKeyExA", kCanFail, [&](Fault f, Described* d) {
    return registry_.RegEnumKeyExA(f, key, index, name, nameSize, d);
  });
}

RegResult SimSystem::RegDeleteKeyA(RegKey key, const char* subKey) {
  return Forward("RegDeleteKeyA", kCanFail, [&](Fault f, Described* d) {
    return registry_.RegDeleteKeyA(f, key, subKey, d);
  });
}

RegResult SimSystem::RegCloseKey(RegKey key) {
  return Forward("RegCloseKey", kCannotFail,
                 [&](Fault, Described* d) { return registry_.RegCloseKey(key, d); });
}

// ---- files ----

FileHandle SimSystem::CreateFileA(const char* path, std::uint32_t access,
                                  std::uint32_t shareMode, std::uint32_t creation,
                                  std::uint32_t attributes) {
  return Forward("CreateFileA", kCanFail, [&](Fault f, Described* d) {
    return files_.CreateFileA(f, path, access, shareMode, creation, attributes, d);
  });
}

int SimSystem::ReadFile(FileHandle file, void* buffer, std::uint32_t count,
                        std::uint32_t* done) {
  return Forward("ReadFile", FaultUse::kFailOrShort, [&](Fault f, Described* d) {
    return files_.ReadFile(f, file, buffer, count, done, d);
  });
}

int SimSystem::WriteFile(FileHandle file, const void* buffer, std::uint32_t count,
                         std::uint32_t* done) {
  return Forward("WriteFile", FaultUse::kFailOrShort, [&](Fault f, Described* d) {
    return files_.WriteFile(f, file, buffer, count, done, d);
  });
}

// A handle is a file's or one CreateProcessA returned.
int SimSystem::CloseHandle(FileHandle file) {
  return Forward("CloseHandle", kCannotFail, [&](Fault, Described* d) {
    const std::string name = d ? files_.FileName(file) : std::string();
    const int r = files_.CloseFile(file) || processes_.CloseHandle(file) ? 1 : 0;
    DescribeTo(d, [&] { return Described{name, std::to_string(r)}; });
    return r;
  });
}

std::uint32_t SimSystem::SetFilePointer(FileHandle file, std::int32_t distance,
                                        std::uint32_t method) {
  return Forward("SetFilePointer", kCanFail, [&](Fault f, Described* d) {
    return files_.SetFilePointer(f, file, distance, method, d);
  });
}

int SimSystem::MoveFileA(const char* existingPath, const char* newPath) {
  return Forward("MoveFileA", kCanFail, [&](Fault f, Described* d) {
    return files_.MoveFileA(f, existingPath, newPath, d);
  });
}

int SimSystem::DeleteFileA(const char* path) {
  return Forward("DeleteFileA", kCanFail,
                 [&](Fault f, Described* d) { return files_.DeleteFileA(f, path, d); });
}

int SimSystem::CopyFileA(const char* source, const char* destination, int failIfExists) {
  return Forward("CopyFileA", kCanFail, [&](Fault f, Described* d) {
    return files_.CopyFileA(f, source, destination, failIfExists, d);
  });
}

std::uint32_t SimSystem::GetFileAttributesA(const char* path) {
  return Forward("GetFileAttributesA", kCanFail, [&](Fault f, Described* d) {
    return files_.GetFileAttributesA(f, path, d);
  });
}

std::uint32_t SimSystem::GetPrivateProfileStringA(const char* section, const char* key,
                                                  const char* defaultText, char* buffer,
                                                  std::uint32_t size, const char* path) {
  return Forward("GetPrivateProfileStringA", kCanFail, [&](Fault f, Described* d) {
    return files_.GetPrivateProfileStringA(f, section, key, defaultText, buffer, size,
                                           path, d);
  });
}

int SimSystem::WritePrivateProfileStringA(const char* section, const char* key,
                                          const char* value, const char* path) {
  return Forward("WritePrivateProfileStringA", kCanFail, [&](Fault f, Described* d) {
    return files_.WritePrivateProfileStringA(f, section, key, value, path, d);
  });
}

// ---- processes and clock ----

std::uint32_t SimSystem::GetModuleFileNameA(ProgramInstance instance, char* buffer,
                                            std::uint32_t size) {
  return Forward("GetModuleFileNameA", kCanFail, [&](Fault f, Described* d) {
    return processes_.GetModuleFileNameA(f, instance, buffer, size, d);
  });
}

int SimSystem::CreateProcessA(const char* applicationName, char* commandLine,
                              int inheritHandles, std::uint32_t creationFlags,
                              const StartupRecord* startup, ProcessRecord* started) {
  return Forward("CreateProcessA", kCanFail, [&](Fault f, Described* d) {
    return processes_.CreateProcessA(f, applicationName, commandLine, inheritHandles,
                                     creationFlags, startup, started, d);
  });
}

std::uint32_t SimSystem::GetProcessVersion(ProcessId process) {
  return Forward("GetProcessVersion", kCanFail, [&](Fault f, Described* d) {
    return processes_.GetProcessVersion(f, process, d);
  });
}

std::uint32_t SimSystem::GetUserDefaultLCID() {
  return Forward("GetUserDefaultLCID", kCannotFail,
                 [&](Fault, Described* d) { return processes_.GetUserDefaultLCID(d); });
}

std::uint32_t SimSystem::SetErrorMode(std::uint32_t mode) {
  return Forward("SetErrorMode", kCannotFail,
                 [&](Fault, Described* d) { return files_.SetErrorMode(mode, d); });
}

ThreadId SimSystem::GetCurrentThreadId() {
  return Forward("GetCurrentThreadId", kCannotFail,
                 [&](Fault, Described* d) { return processes_.GetCurrentThreadId(d); });
}

// Reaching the time limit ends the call without the stop check: the run is
// over either way.
void SimSystem::Sleep(std::uint32_t milliseconds) {
  const SimJournal::Call call = journal_.Begin("Sleep", clock_.Now(), kCannotFail);
  Described described;
  const bool inTime =
      clock_.Sleep(milliseconds, desktop_, call.journal ? &described : nullptr);
  journal_.Record(call, std::move(described));
  if (!inTime)
    throw SimTimeLimit("virtual time limit of " + std::to_string(clock_.TimeLimit()) +
                       " ms reached");
  EndIfStuckOrRestarted();
  StopIfDue(call);
}

void SimSystem::EndIfStuckOrRestarted() {
  if (!restartCause_.empty()) {
    KillProgram();
    throw SimWindowsRestarts(restartCause_);
  }
  // Nothing left to happen but a user's answer: the program polls for a
  // tool that waits for the user. Past a stretch longer than any bounded
  // poll of the program, its wait is one without end.
  const std::string waitsFor = clock_.HasPendingWork() ? "" : processes_.WaitingForUser();
  if (waitsFor.empty()) {
    still_ = false;
    return;
  }
  if (!still_) {
    still_ = true;
    stillSince_ = clock_.Now();
  }
  if (clock_.Now() - stillSince_ >= kStillForUserMs) throw SimWaitsForUser(waitsFor);
}

// ---- desktop ----

WindowHandle SimSystem::FindWindowA(const char* className, const char* title) {
  return Forward("FindWindowA", kCanFail, [&](Fault f, Described* d) {
    return desktop_.FindWindowA(f, className, title, d);
  });
}

WindowHandle SimSystem::FindWindowExA(WindowHandle parent, WindowHandle after,
                                      const char* className, const char* title) {
  return Forward("FindWindowExA", kCanFail, [&](Fault f, Described* d) {
    return desktop_.FindWindowExA(f, parent, after, className, title, d);
  });
}

int SimSystem::EnumChildWindows(WindowHandle parent, ChildWindowCallback callback,
                                std::intptr_t data) {
  return Forward("EnumChildWindows", kCanFail, [&](Fault f, Described* d) {
    return desktop_.EnumChildWindows(f, parent, callback, data, d);
  });
}

int SimSystem::GetDlgCtrlID(WindowHandle window) {
  return Forward("GetDlgCtrlID", kCanFail, [&](Fault f, Described* d) {
    return desktop_.GetDlgCtrlID(f, window, d);
  });
}

WindowHandle SimSystem::GetDlgItem(WindowHandle dialog, int controlId) {
  return Forward("GetDlgItem", kCanFail, [&](Fault f, Described* d) {
    return desktop_.GetDlgItem(f, dialog, controlId, d);
  });
}

std::intptr_t SimSystem::SendMessageA(WindowHandle window, std::uint32_t message,
                                      std::uintptr_t wParam, std::intptr_t lParam) {
  return Forward("SendMessageA", kCanFail, [&](Fault f, Described* d) {
    return desktop_.SendMessageA(f, window, message, wParam, lParam, d);
  });
}

int SimSystem::PostMessageA(WindowHandle window, std::uint32_t message,
                            std::uintptr_t wParam, std::intptr_t lParam) {
  return Forward("PostMessageA", kCanFail, [&](Fault f, Described* d) {
    return desktop_.PostMessageA(f, window, message, wParam, lParam, d);
  });
}

int SimSystem::ShowWindow(WindowHandle window, int showCommand) {
  return Forward("ShowWindow", kCanFail, [&](Fault f, Described* d) {
    return desktop_.ShowWindow(f, window, showCommand, d);
  });
}

WindowHandle SimSystem::SetFocus(WindowHandle window) {
  return Forward("SetFocus", kCanFail,
                 [&](Fault f, Described* d) { return desktop_.SetFocus(f, window, d); });
}

ThreadId SimSystem::GetWindowThreadProcessId(WindowHandle window, ProcessId* process) {
  return Forward("GetWindowThreadProcessId", kCanFail, [&](Fault f, Described* d) {
    return desktop_.GetWindowThreadProcessId(f, window, process, d);
  });
}

int SimSystem::AttachThreadInput(ThreadId thread, ThreadId toThread, int attach) {
  return Forward("AttachThreadInput", kCanFail, [&](Fault f, Described* d) {
    const bool live = !processes_.ThreadEnded(thread) && !processes_.ThreadEnded(toThread);
    return desktop_.AttachThreadInput(f, thread, toThread, attach, live, d);
  });
}

int SimSystem::GetWindowTextA(WindowHandle window, char* buffer, int capacity) {
  return Forward("GetWindowTextA", kCanFail, [&](Fault f, Described* d) {
    return desktop_.GetWindowTextA(f, window, buffer, capacity, d);
  });
}

int SimSystem::InvalidateRect(WindowHandle window, int erase) {
  return Forward("InvalidateRect", kCanFail, [&](Fault f, Described* d) {
    return desktop_.InvalidateRect(f, window, erase, d);
  });
}

}  // namespace nl::sim
