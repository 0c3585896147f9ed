// The operating-system services the collector (NLDIAG.EXE) calls, and
// nothing else: an interface of its own beside the installer's Platform, so
// that the installer's program imports none of these calls and the
// collector none of the installer's.
//
// Every operation carries the name and the meaning of the Win32 function it
// stands for ("A" variants); the types and constants are the installer's
// (platform/platform.h), with the Win32 values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace nl::diag {

// Registry access that only reads (KEY_READ).
constexpr std::uint32_t kKeyRead = 0x20019u;
// File sharing, creation and attributes.
constexpr std::uint32_t kFileShareRead = 0x1;
constexpr std::uint32_t kFileShareWrite = 0x2;
constexpr std::uint32_t kCreateAlways = 2;
constexpr std::uint32_t kOpenExisting = 3;
constexpr std::uint32_t kFileAttributeDirectory = 0x10;
constexpr std::uint32_t kInvalidFileSize = 0xFFFFFFFFu;
// MessageBoxA: one OK button and the information icon.
constexpr std::uint32_t kMbIconInformation = 0x40;
constexpr std::uint32_t kMbIconExclamation = 0x30;

// OSVERSIONINFOA, field for field (the size field first, as the call wants).
struct VersionRecord {
  std::uint32_t size;
  std::uint32_t majorVersion;
  std::uint32_t minorVersion;
  std::uint32_t buildNumber;  // Windows 9x: the version in the high word
  std::uint32_t platformId;   // 1: Windows 95, 98, Me
  char extra[128];            // szCSDVersion (" A", " B", ...)
};

// SYSTEMTIME, field for field.
struct TimeRecord {
  std::uint16_t year;
  std::uint16_t month;
  std::uint16_t dayOfWeek;
  std::uint16_t day;
  std::uint16_t hour;
  std::uint16_t minute;
  std::uint16_t second;
  std::uint16_t milliseconds;
};

class DiagSystem {
 protected:
  // Never owned or deleted through this interface (no virtual destructor:
  // the Windows program has no heap and no operator delete).
  ~DiagSystem() = default;

 public:
  virtual RegResult RegOpenKeyExA(RegKey key, const char* subKey,
                                  std::uint32_t access, RegKey* result) = 0;
  // nameSize: the buffer's size in, the name's length out.
  virtual RegResult RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                                  std::uint32_t* nameSize) = 0;
  // nameSize as above; dataSize: the buffer's size in, the data's out.
  virtual RegResult RegEnumValueA(RegKey key, std::uint32_t index, char* name,
                                  std::uint32_t* nameSize, std::uint32_t* type,
                                  std::uint8_t* data,
                                  std::uint32_t* dataSize) = 0;
  virtual RegResult RegCloseKey(RegKey key) = 0;

  virtual FileHandle CreateFileA(const char* path, std::uint32_t access,
                                 std::uint32_t shareMode,
                                 std::uint32_t creation) = 0;
  virtual int ReadFile(FileHandle file, void* buffer, std::uint32_t count,
                       std::uint32_t* done) = 0;
  virtual int WriteFile(FileHandle file, const void* buffer,
                        std::uint32_t count, std::uint32_t* done) = 0;
  virtual std::uint32_t GetFileSize(FileHandle file) = 0;  // low 32 bits
  // The file's last write, as a FILETIME (100 ns since 1601, UTC); false
  // when it cannot be read.
  virtual int GetFileTime(FileHandle file, std::uint64_t* lastWrite) = 0;
  virtual int CloseHandle(FileHandle file) = 0;
  virtual int DeleteFileA(const char* path) = 0;
  virtual std::uint32_t GetFileAttributesA(const char* path) = 0;
  // The error of the last failed file call (GetLastError).
  virtual std::uint32_t GetLastError() = 0;

  // The running program's own path (GetModuleFileNameA of its instance).
  virtual std::uint32_t GetModuleFileNameA(char* buffer,
                                           std::uint32_t size) = 0;
  virtual std::uint32_t GetWindowsDirectoryA(char* buffer,
                                             std::uint32_t size) = 0;
  virtual std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) = 0;
  virtual const char* GetCommandLineA() = 0;
  virtual int GetVersionExA(VersionRecord* version) = 0;
  virtual std::uint32_t GetUserDefaultLCID() = 0;
  // The PC's date and time, as its clock shows them.
  virtual void GetLocalTime(TimeRecord* time) = 0;
  virtual std::uint32_t GetSystemDefaultLCID() = 0;
  // root: "D:\" (the trailing backslash is required).
  virtual std::uint32_t GetDriveTypeA(const char* root) = 0;
  // Whether the drive holds a readable medium: GetVolumeInformationA of its
  // root, asking for nothing but the answer.
  virtual int GetVolumeInformationA(const char* root) = 0;
  virtual std::uint32_t SetErrorMode(std::uint32_t mode) = 0;
  virtual int MessageBoxA(const char* text, const char* caption,
                          std::uint32_t type) = 0;
};

}  // namespace nl::diag
