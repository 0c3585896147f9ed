// The real system: every operation forwards to the Win32 "A" function of the
// same name. The only part of the program that sees <windows.h>.
#pragma once

#include "platform/platform.h"

namespace nl {

class Win32Platform : public Platform {
 public:
  RegResult RegCreateKeyExA(RegKey key, const char* subKey,
                            std::uint32_t options, std::uint32_t access,
                            RegKey* result) override;
  RegResult RegOpenKeyExA(RegKey key, const char* subKey,
                          std::uint32_t options, std::uint32_t access,
                          RegKey* result) override;
  RegResult RegQueryValueExA(RegKey key, const char* valueName,
                             std::uint32_t* type, std::uint8_t* data,
                             std::uint32_t* dataSize) override;
  RegResult RegSetValueExA(RegKey key, const char* valueName,
                           std::uint32_t type, const std::uint8_t* data,
                           std::uint32_t dataSize) override;
  RegResult RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                          std::uint32_t* nameSize) override;
  RegResult RegDeleteKeyA(RegKey key, const char* subKey) override;
  RegResult RegCloseKey(RegKey key) override;

  FileHandle CreateFileA(const char* path, std::uint32_t access,
                         std::uint32_t shareMode, std::uint32_t creation,
                         std::uint32_t attributes) override;
  int ReadFile(FileHandle file, void* buffer, std::uint32_t count,
               std::uint32_t* done) override;
  int WriteFile(FileHandle file, const void* buffer, std::uint32_t count,
                std::uint32_t* done) override;
  int CloseHandle(FileHandle file) override;
  std::uint32_t SetFilePointer(FileHandle file, std::int32_t distance,
                               std::uint32_t method) override;
  int MoveFileA(const char* existingPath, const char* newPath) override;
  int DeleteFileA(const char* path) override;
  int CopyFileA(const char* source, const char* destination,
                int failIfExists) override;
  std::uint32_t GetFileAttributesA(const char* path) override;
  std::uint32_t GetPrivateProfileStringA(const char* section, const char* key,
                                         const char* defaultText, char* buffer,
                                         std::uint32_t size,
                                         const char* path) override;
  int WritePrivateProfileStringA(const char* section, const char* key,
                                 const char* value, const char* path) override;
  std::uint32_t GetModuleFileNameA(ProgramInstance instance, char* buffer,
                                   std::uint32_t size) override;

  int CreateProcessA(const char* applicationName, char* commandLine,
                     int inheritHandles, std::uint32_t creationFlags,
                     const StartupRecord* startup,
                     ProcessRecord* started) override;
  std::uint32_t GetProcessVersion(ProcessId process) override;
  void Sleep(std::uint32_t milliseconds) override;
  std::uint32_t GetUserDefaultLCID() override;
  std::uint32_t SetErrorMode(std::uint32_t mode) override;
  ThreadId GetCurrentThreadId() override;

  WindowHandle FindWindowA(const char* className, const char* title) override;
  WindowHandle FindWindowExA(WindowHandle parent, WindowHandle after,
                             const char* className, const char* title) override;
  int EnumChildWindows(WindowHandle parent, ChildWindowCallback callback,
                       std::intptr_t data) override;
  int GetDlgCtrlID(WindowHandle window) override;
  WindowHandle GetDlgItem(WindowHandle dialog, int controlId) override;
  std::intptr_t SendMessageA(WindowHandle window, std::uint32_t message,
                             std::uintptr_t wParam,
                             std::intptr_t lParam) override;
  int PostMessageA(WindowHandle window, std::uint32_t message,
                   std::uintptr_t wParam, std::intptr_t lParam) override;
  int ShowWindow(WindowHandle window, int showCommand) override;
  WindowHandle SetFocus(WindowHandle window) override;
  ThreadId GetWindowThreadProcessId(WindowHandle window,
                                    ProcessId* process) override;
  int AttachThreadInput(ThreadId thread, ThreadId toThread,
                        int attach) override;
  int GetWindowTextA(WindowHandle window, char* buffer, int capacity) override;
  int InvalidateRect(WindowHandle window, int erase) override;
};

// What the program's entry point needs besides the operations above: its
// own instance (GetModuleHandleA of no name) and the end of the process
// (ExitProcess), which the C runtime would otherwise have supplied.
ProgramInstance CurrentProgramInstance();
[[noreturn]] void ExitProgram(std::uint32_t exitCode);

}  // namespace nl
