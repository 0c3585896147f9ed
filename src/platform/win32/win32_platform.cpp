#include "platform/win32/win32_platform.h"

#include <windows.h>

namespace nl {
namespace {

HKEY ToKey(RegKey key) { return reinterpret_cast<HKEY>(key); }
HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
HWND ToWindow(WindowHandle window) { return reinterpret_cast<HWND>(window); }
WindowHandle FromWindow(HWND window) {
  return reinterpret_cast<WindowHandle>(window);
}

// Carries our plain callback and its datum through EnumChildWindows, whose
// callback must use the system's calling convention.
struct ChildWalk {
  ChildWindowCallback callback;
  std::intptr_t data;
};

BOOL CALLBACK VisitChild(HWND window, LPARAM walkAddress) {
  const ChildWalk* walk = reinterpret_cast<const ChildWalk*>(walkAddress);
  return walk->callback(FromWindow(window), walk->data) != 0 ? TRUE : FALSE;
}

}  // namespace

// ---- Registry ----

RegResult Win32Platform::RegCreateKeyExA(RegKey key, const char* subKey,
                                         std::uint32_t options,
                                         std::uint32_t access,
                                         RegKey* result) {
  HKEY created = nullptr;
  LONG status = ::RegCreateKeyExA(ToKey(key), subKey, 0, nullptr, options,
                                  access, nullptr, &created, nullptr);
  if (status == ERROR_SUCCESS) *result = reinterpret_cast<RegKey>(created);
  return status;
}

RegResult Win32Platform::RegOpenKeyExA(RegKey key, const char* subKey,
                                       std::uint32_t options,
                                       std::uint32_t access, RegKey* result) {
  HKEY opened = nullptr;
  LONG status = ::RegOpenKeyExA(ToKey(key), subKey, options, access, &opened);
  if (status == ERROR_SUCCESS) *result = reinterpret_cast<RegKey>(opened);
  return status;
}

RegResult Win32Platform::RegQueryValueExA(RegKey key, const char* valueName,
                                          std::uint32_t* type,
                                          std::uint8_t* data,
                                          std::uint32_t* dataSize) {
  DWORD valueType = 0;
  DWORD size = dataSize != nullptr ? *dataSize : 0;
  LONG status = ::RegQueryValueExA(ToKey(key), valueName, nullptr, &valueType,
                                   data, dataSize != nullptr ? &size : nullptr);
  if (type != nullptr) *type = valueType;
  if (dataSize != nullptr) *dataSize = size;
  return status;
}

RegResult Win32Platform::RegSetValueExA(RegKey key, const char* valueName,
                                        std::uint32_t type,
                                        const std::uint8_t* data,
                                        std::uint32_t dataSize) {
  return ::RegSetValueExA(ToKey(key), valueName, 0, type, data, dataSize);
}

RegResult Win32Platform::RegEnumKeyExA(RegKey key, std::uint32_t index,
                                       char* name, std::uint32_t* nameSize) {
  DWORD size = *nameSize;
  LONG status = ::RegEnumKeyExA(ToKey(key), index, name, &size, nullptr,
                                nullptr, nullptr, nullptr);
  *nameSize = size;
  return status;
}

RegResult Win32Platform::RegDeleteKeyA(RegKey key, const char* subKey) {
  return ::RegDeleteKeyA(ToKey(key), subKey);
}

RegResult Win32Platform::RegCloseKey(RegKey key) {
  return ::RegCloseKey(ToKey(key));
}

// ---- Files ----

FileHandle Win32Platform::CreateFileA(const char* path, std::uint32_t access,
                                      std::uint32_t shareMode,
                                      std::uint32_t creation,
                                      std::uint32_t attributes) {
  return reinterpret_cast<FileHandle>(::CreateFileA(
      path, access, shareMode, nullptr, creation, attributes, nullptr));
}

// Windows 95 and 98 require the count argument of ReadFile and WriteFile.
int Win32Platform::ReadFile(FileHandle file, void* buffer, std::uint32_t count,
                            std::uint32_t* done) {
  DWORD moved = 0;
  BOOL ok = ::ReadFile(ToHandle(file), buffer, count, &moved, nullptr);
  if (done != nullptr) *done = moved;
  return ok;
}

int Win32Platform::WriteFile(FileHandle file, const void* buffer,
                             std::uint32_t count, std::uint32_t* done) {
  DWORD moved = 0;
  BOOL ok = ::WriteFile(ToHandle(file), buffer, count, &moved, nullptr);
  if (done != nullptr) *done = moved;
  return ok;
}

int Win32Platform::CloseHandle(FileHandle file) {
  return ::CloseHandle(ToHandle(file));
}

std::uint32_t Win32Platform::SetFilePointer(FileHandle file,
                                            std::int32_t distance,
                                            std::uint32_t method) {
  return ::SetFilePointer(ToHandle(file), distance, nullptr, method);
}

int Win32Platform::MoveFileA(const char* existingPath, const char* newPath) {
  return ::MoveFileA(existingPath, newPath);
}

int Win32Platform::DeleteFileA(const char* path) { return ::DeleteFileA(path); }

int Win32Platform::CopyFileA(const char* source, const char* destination,
                             int failIfExists) {
  return ::CopyFileA(source, destination, failIfExists);
}

std::uint32_t Win32Platform::GetFileAttributesA(const char* path) {
  return ::GetFileAttributesA(path);
}

std::uint32_t Win32Platform::GetPrivateProfileStringA(
    const char* section, const char* key, const char* defaultText,
    char* buffer, std::uint32_t size, const char* path) {
  return ::GetPrivateProfileStringA(section, key, defaultText, buffer, size,
                                    path);
}

int Win32Platform::WritePrivateProfileStringA(const char* section,
                                              const char* key,
                                              const char* value,
                                              const char* path) {
  return ::WritePrivateProfileStringA(section, key, value, path);
}

std::uint32_t Win32Platform::GetModuleFileNameA(ProgramInstance instance,
                                                char* buffer,
                                                std::uint32_t size) {
  return ::GetModuleFileNameA(reinterpret_cast<HMODULE>(instance), buffer,
                              size);
}

// ---- Processes, time and locale ----

int Win32Platform::CreateProcessA(const char* applicationName,
                                  char* commandLine, int inheritHandles,
                                  std::uint32_t creationFlags,
                                  const StartupRecord* startup,
                                  ProcessRecord* started) {
  // The system needs its own record, sized for itself; our record carries
  // only the fields the installer sets.
  STARTUPINFOA info;
  ZeroMemory(&info, sizeof info);
  info.cb = sizeof info;
  if (startup != nullptr) {
    info.dwFlags = startup->flags;
    info.wShowWindow = startup->showWindow;
  }
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  BOOL ok = ::CreateProcessA(applicationName, commandLine, nullptr, nullptr,
                             inheritHandles, creationFlags, nullptr, nullptr,
                             &info, &process);
  if (ok && started != nullptr) {
    started->processHandle = reinterpret_cast<std::uintptr_t>(process.hProcess);
    started->threadHandle = reinterpret_cast<std::uintptr_t>(process.hThread);
    started->processId = process.dwProcessId;
    started->threadId = process.dwThreadId;
  }
  return ok;
}

std::uint32_t Win32Platform::GetProcessVersion(ProcessId process) {
  return ::GetProcessVersion(process);
}

void Win32Platform::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

std::uint32_t Win32Platform::GetUserDefaultLCID() {
  return ::GetUserDefaultLCID();
}

std::uint32_t Win32Platform::SetErrorMode(std::uint32_t mode) {
  return ::SetErrorMode(mode);
}

ThreadId Win32Platform::GetCurrentThreadId() { return ::GetCurrentThreadId(); }

// ---- Windows ----

WindowHandle Win32Platform::FindWindowA(const char* className,
                                        const char* title) {
  return FromWindow(::FindWindowA(className, title));
}

WindowHandle Win32Platform::FindWindowExA(WindowHandle parent, WindowHandle after,
                                          const char* className,
                                          const char* title) {
  return FromWindow(
      ::FindWindowExA(ToWindow(parent), ToWindow(after), className, title));
}

int Win32Platform::EnumChildWindows(WindowHandle parent,
                                    ChildWindowCallback callback,
                                    std::intptr_t data) {
  ChildWalk walk{callback, data};
  return ::EnumChildWindows(ToWindow(parent), VisitChild,
                            reinterpret_cast<LPARAM>(&walk));
}

int Win32Platform::GetDlgCtrlID(WindowHandle window) {
  return ::GetDlgCtrlID(ToWindow(window));
}

WindowHandle Win32Platform::GetDlgItem(WindowHandle dialog, int controlId) {
  return FromWindow(::GetDlgItem(ToWindow(dialog), controlId));
}

std::intptr_t Win32Platform::SendMessageA(WindowHandle window,
                                          std::uint32_t message,
                                          std::uintptr_t wParam,
                                          std::intptr_t lParam) {
  return ::SendMessageA(ToWindow(window), message, wParam, lParam);
}

int Win32Platform::PostMessageA(WindowHandle window, std::uint32_t message,
                                std::uintptr_t wParam, std::intptr_t lParam) {
  return ::PostMessageA(ToWindow(window), message, wParam, lParam);
}

int Win32Platform::ShowWindow(WindowHandle window, int showCommand) {
  return ::ShowWindow(ToWindow(window), showCommand);
}

WindowHandle Win32Platform::SetFocus(WindowHandle window) {
  return FromWindow(::SetFocus(ToWindow(window)));
}

ThreadId Win32Platform::GetWindowThreadProcessId(WindowHandle window,
                                                 ProcessId* process) {
  DWORD owner = 0;
  const DWORD thread = ::GetWindowThreadProcessId(ToWindow(window), &owner);
  if (process) *process = owner;
  return thread;
}

int Win32Platform::AttachThreadInput(ThreadId thread, ThreadId toThread,
                                     int attach) {
  return ::AttachThreadInput(thread, toThread, attach);
}

int Win32Platform::GetWindowTextA(WindowHandle window, char* buffer,
                                  int capacity) {
  return ::GetWindowTextA(ToWindow(window), buffer, capacity);
}

int Win32Platform::InvalidateRect(WindowHandle window, int erase) {
  return ::InvalidateRect(ToWindow(window), nullptr, erase);
}

}  // namespace nl
