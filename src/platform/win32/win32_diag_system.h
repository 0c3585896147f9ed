// The real system for the collector (NLDIAG.EXE): every operation forwards
// to the Win32 function of the same name. Kept apart from Win32Platform so
// that each program imports only what it calls.
#pragma once

#include "diag/diag_system.h"

namespace nl {

class Win32DiagSystem : public diag::DiagSystem {
 public:
  RegResult RegOpenKeyExA(RegKey key, const char* subKey, std::uint32_t access,
                          RegKey* result) override;
  RegResult RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                          std::uint32_t* nameSize) override;
  RegResult RegEnumValueA(RegKey key, std::uint32_t index, char* name,
                          std::uint32_t* nameSize, std::uint32_t* type,
                          std::uint8_t* data, std::uint32_t* dataSize) override;
  RegResult RegCloseKey(RegKey key) override;
  FileHandle CreateFileA(const char* path, std::uint32_t access,
                         std::uint32_t shareMode,
                         std::uint32_t creation) override;
  int ReadFile(FileHandle file, void* buffer, std::uint32_t count,
               std::uint32_t* done) override;
  int WriteFile(FileHandle file, const void* buffer, std::uint32_t count,
                std::uint32_t* done) override;
  std::uint32_t GetFileSize(FileHandle file) override;
  int CloseHandle(FileHandle file) override;
  int DeleteFileA(const char* path) override;
  std::uint32_t GetFileAttributesA(const char* path) override;
  std::uint32_t GetLastError() override;
  std::uint32_t GetModuleFileNameA(char* buffer, std::uint32_t size) override;
  std::uint32_t GetWindowsDirectoryA(char* buffer, std::uint32_t size) override;
  const char* GetCommandLineA() override;
  int GetVersionExA(diag::VersionRecord* version) override;
  int GetFileTime(FileHandle file, std::uint64_t* lastWrite) override;
  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override;
  void GetLocalTime(diag::TimeRecord* time) override;
  std::uint32_t GetUserDefaultLCID() override;
  std::uint32_t GetSystemDefaultLCID() override;
  std::uint32_t GetDriveTypeA(const char* root) override;
  int GetVolumeInformationA(const char* root) override;
  std::uint32_t SetErrorMode(std::uint32_t mode) override;
  int MessageBoxA(const char* text, const char* caption,
                  std::uint32_t type) override;
};

}  // namespace nl
