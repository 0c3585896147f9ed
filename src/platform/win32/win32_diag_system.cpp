#include "platform/win32/win32_diag_system.h"

#include <windows.h>

namespace nl {
namespace {

HKEY ToKey(RegKey key) { return reinterpret_cast<HKEY>(key); }
HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

static_assert(sizeof(diag::VersionRecord) == sizeof(OSVERSIONINFOA),
              "VersionRecord must be laid out as OSVERSIONINFOA");

}  // namespace

RegResult Win32DiagSystem::RegOpenKeyExA(RegKey key, const char* subKey,
                                         std::uint32_t access, RegKey* result) {
  HKEY opened = nullptr;
  LONG status = ::RegOpenKeyExA(ToKey(key), subKey, 0, access, &opened);
  if (status == ERROR_SUCCESS) *result = reinterpret_cast<RegKey>(opened);
  return status;
}

RegResult Win32DiagSystem::RegEnumKeyExA(RegKey key, std::uint32_t index,
                                         char* name, std::uint32_t* nameSize) {
  DWORD size = *nameSize;
  LONG status = ::RegEnumKeyExA(ToKey(key), index, name, &size, nullptr,
                                nullptr, nullptr, nullptr);
  *nameSize = size;
  return status;
}

// Both sizes are set afresh for every call: the call overwrites them.
RegResult Win32DiagSystem::RegEnumValueA(RegKey key, std::uint32_t index,
                                         char* name, std::uint32_t* nameSize,
                                         std::uint32_t* type, std::uint8_t* data,
                                         std::uint32_t* dataSize) {
  DWORD nameLength = *nameSize;
  DWORD valueType = 0;
  DWORD size = *dataSize;
  LONG status = ::RegEnumValueA(ToKey(key), index, name, &nameLength, nullptr,
                                &valueType, data, &size);
  *nameSize = nameLength;
  *type = valueType;
  *dataSize = size;
  return status;
}

RegResult Win32DiagSystem::RegCloseKey(RegKey key) {
  return ::RegCloseKey(ToKey(key));
}

FileHandle Win32DiagSystem::CreateFileA(const char* path, std::uint32_t access,
                                        std::uint32_t shareMode,
                                        std::uint32_t creation) {
  return reinterpret_cast<FileHandle>(::CreateFileA(
      path, access, shareMode, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Windows 95 and 98 require the count argument of ReadFile and WriteFile.
int Win32DiagSystem::ReadFile(FileHandle file, void* buffer,
                              std::uint32_t count, std::uint32_t* done) {
  DWORD moved = 0;
  BOOL ok = ::ReadFile(ToHandle(file), buffer, count, &moved, nullptr);
  *done = moved;
  return ok;
}

int Win32DiagSystem::WriteFile(FileHandle file, const void* buffer,
                               std::uint32_t count, std::uint32_t* done) {
  DWORD moved = 0;
  BOOL ok = ::WriteFile(ToHandle(file), buffer, count, &moved, nullptr);
  *done = moved;
  return ok;
}

std::uint32_t Win32DiagSystem::GetFileSize(FileHandle file) {
  DWORD high = 0;
  const DWORD low = ::GetFileSize(ToHandle(file), &high);
  // Four gigabytes and more: larger than any limit.
  return high != 0 ? 0xFFFFFFFFu : low;
}

int Win32DiagSystem::CloseHandle(FileHandle file) {
  return ::CloseHandle(ToHandle(file));
}

int Win32DiagSystem::DeleteFileA(const char* path) { return ::DeleteFileA(path); }

std::uint32_t Win32DiagSystem::GetFileAttributesA(const char* path) {
  return ::GetFileAttributesA(path);
}

std::uint32_t Win32DiagSystem::GetLastError() { return ::GetLastError(); }

std::uint32_t Win32DiagSystem::GetModuleFileNameA(char* buffer,
                                                  std::uint32_t size) {
  return ::GetModuleFileNameA(nullptr, buffer, size);
}

std::uint32_t Win32DiagSystem::GetWindowsDirectoryA(char* buffer,
                                                    std::uint32_t size) {
  return ::GetWindowsDirectoryA(buffer, size);
}

std::uint32_t Win32DiagSystem::GetSystemDirectoryA(char* buffer, std::uint32_t size) {
  return ::GetSystemDirectoryA(buffer, size);
}

int Win32DiagSystem::GetFileTime(FileHandle file, std::uint64_t* lastWrite) {
  FILETIME written;
  if (!::GetFileTime(ToHandle(file), nullptr, nullptr, &written)) return 0;
  *lastWrite = (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
  return 1;
}

const char* Win32DiagSystem::GetCommandLineA() { return ::GetCommandLineA(); }

int Win32DiagSystem::GetVersionExA(diag::VersionRecord* version) {
  return ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(version));
}

static_assert(sizeof(diag::TimeRecord) == sizeof(SYSTEMTIME), "TimeRecord is SYSTEMTIME");

void Win32DiagSystem::GetLocalTime(diag::TimeRecord* time) {
  ::GetLocalTime(reinterpret_cast<SYSTEMTIME*>(time));
}

std::uint32_t Win32DiagSystem::GetUserDefaultLCID() {
  return ::GetUserDefaultLCID();
}

std::uint32_t Win32DiagSystem::GetSystemDefaultLCID() {
  return ::GetSystemDefaultLCID();
}

std::uint32_t Win32DiagSystem::GetDriveTypeA(const char* root) {
  return ::GetDriveTypeA(root);
}

// Only whether the call succeeds is wanted; the buffers are given all the
// same, each large enough, rather than relying on every 9x release taking
// null pointers here.
int Win32DiagSystem::GetVolumeInformationA(const char* root) {
  char volumeName[MAX_PATH + 1];
  char fileSystem[MAX_PATH + 1];
  DWORD serial = 0, longestName = 0, flags = 0;
  return ::GetVolumeInformationA(root, volumeName, sizeof volumeName, &serial,
                                 &longestName, &flags, fileSystem,
                                 sizeof fileSystem);
}

std::uint32_t Win32DiagSystem::SetErrorMode(std::uint32_t mode) {
  return ::SetErrorMode(mode);
}

int Win32DiagSystem::MessageBoxA(const char* text, const char* caption,
                                 std::uint32_t type) {
  return ::MessageBoxA(nullptr, text, caption, MB_OK | type);
}

}  // namespace nl
