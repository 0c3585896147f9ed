// Process plumbing of the stand-in tools: a second copy of the program for
// a box that belongs to another process, and the end of every program when
// Windows restarts.
#include <cstdio>
#include <cstring>

#include "standin.h"  // brings <windows.h>, needed before the next header

#include <tlhelp32.h>

namespace {

// The exit code of a program ended by the restart.
constexpr UINT kEndedByRestart = 1;

}  // namespace

bool StartCopyOfSelf(const char* arguments) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return false;
  char line[MAX_PATH + 64];
  std::snprintf(line, sizeof line, "\"%s\" %s", path, arguments);
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started;
  if (!CreateProcessA(path, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &started)) {
    return false;
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return true;
}

void EndParentProcess() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    Log("no process list");
    return;
  }
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  const DWORD self = GetCurrentProcessId();
  DWORD parent = 0;
  for (BOOL more = Process32First(snapshot, &entry); more;
       more = Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID == self) parent = entry.th32ParentProcessID;
  }
  char name[MAX_PATH] = "?";
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more && parent != 0;
       more = Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID == parent) {
      std::snprintf(name, sizeof name, "%s", entry.szExeFile);
    }
  }
  CloseHandle(snapshot);
  HANDLE process = parent != 0 ? OpenProcess(PROCESS_TERMINATE, FALSE, parent)
                               : nullptr;
  const bool ended =
      process != nullptr && TerminateProcess(process, kEndedByRestart);
  if (process != nullptr) CloseHandle(process);
  Log("ended parent pid=%lu name=%s result=%d",
      static_cast<unsigned long>(parent), name, ended ? 1 : 0);
}
