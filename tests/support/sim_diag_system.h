// The collector's interface (src/diag/diag_system.h) bound to the simulated
// Windows 9x system, for the host tests: registry and file calls go through
// the simulated system's own operations (journaled, with its drive kinds
// and error mode); the rest answers as a German or English Windows 98 does.
#pragma once

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "diag/diag_system.h"
#include "platform/sim/sim_system.h"
#include "regfile/reg_tree.h"

namespace nl::testing {

class SimDiagSystem : public diag::DiagSystem {
 public:
  explicit SimDiagSystem(sim::SimSystem& sim) : sim_(sim) {}

  std::string commandLine = "C:\\NLSETUP\\NLDIAG.EXE /quiet";
  std::string programPath = "C:\\NLSETUP\\NLDIAG.EXE";
  std::vector<std::string> messages;  // every message box's text

  // Runs before each key is opened, with its path: another program may
  // change the registry while the collector reads it.
  std::function<void(const std::string& path)> beforeOpen;

  RegResult RegOpenKeyExA(RegKey key, const char* subKey, std::uint32_t access,
                          RegKey* result) override {
    if (beforeOpen) beforeOpen(key == kHkeyLocalMachine ? subKey : paths_[key] + "\\" + subKey);
    const RegResult status = sim_.RegOpenKeyExA(key, subKey, 0, access, result);
    if (status == kErrorSuccess) {
      const std::string parent = key == kHkeyLocalMachine ? "" : paths_[key] + "\\";
      paths_[*result] = parent + subKey;
    }
    return status;
  }
  RegResult RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                          std::uint32_t* nameSize) override {
    return sim_.RegEnumKeyExA(key, index, name, nameSize);
  }
  // The values of the key in their stored order, as Windows 9x enumerates.
  RegResult RegEnumValueA(RegKey key, std::uint32_t index, char* name,
                          std::uint32_t* nameSize, std::uint32_t* type,
                          std::uint8_t* data, std::uint32_t* dataSize) override {
    std::vector<std::string> names;
    regfile::SplitKeyPath(paths_[key].c_str(), &names);
    const regfile::RegNode* node = regfile::WalkKeys(&sim_.Registry().Root(), names);
    if (node == nullptr) return kErrorInvalidHandle;
    if (index >= node->values.size()) return kErrorNoMoreItems;
    const regfile::RegValue& value = node->values[index];
    if (value.name.size() >= *nameSize || value.data.size() > *dataSize) return kErrorMoreData;
    std::memcpy(name, value.name.c_str(), value.name.size() + 1);
    std::memcpy(data, value.data.data(), value.data.size());
    *nameSize = static_cast<std::uint32_t>(value.name.size());
    *dataSize = static_cast<std::uint32_t>(value.data.size());
    *type = value.type;
    return kErrorSuccess;
  }
  RegResult RegCloseKey(RegKey key) override {
    paths_.erase(key);
    return sim_.RegCloseKey(key);
  }

  FileHandle CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                         std::uint32_t creation) override {
    const FileHandle file =
        sim_.CreateFileA(path, access, shareMode, creation, kFileAttributeNormal);
    // The error Windows gives: the file or its folder not there, or refused.
    lastError_ = file != kInvalidFileHandle ? 0
                 : sim_.Files().FileExists(path) ? 5u : 2u;
    return file;
  }
  int ReadFile(FileHandle file, void* buffer, std::uint32_t count,
               std::uint32_t* done) override {
    return sim_.ReadFile(file, buffer, count, done);
  }
  int WriteFile(FileHandle file, const void* buffer, std::uint32_t count,
                std::uint32_t* done) override {
    return sim_.WriteFile(file, buffer, count, done);
  }
  std::uint32_t GetFileSize(FileHandle file) override {
    const std::uint32_t size = sim_.SetFilePointer(file, 0, 2);  // FILE_END
    sim_.SetFilePointer(file, 0, kFileBegin);
    return size;
  }
  int CloseHandle(FileHandle file) override { return sim_.CloseHandle(file); }
  // The simulated files keep no times: every file was last written on
  // 1 June 1999 at noon (UTC).
  int GetFileTime(FileHandle, std::uint64_t* lastWrite) override {
    *lastWrite = 0x01BEAC26463BA000ull;
    return 1;
  }
  int DeleteFileA(const char* path) override { return sim_.DeleteFileA(path); }
  std::uint32_t GetFileAttributesA(const char* path) override {
    const std::uint32_t attributes = sim_.GetFileAttributesA(path);
    lastError_ = attributes == kInvalidFileAttributes ? 2u : 0u;
    return attributes;
  }
  std::uint32_t GetLastError() override { return lastError_; }

  std::uint32_t GetModuleFileNameA(char* buffer, std::uint32_t size) override {
    return CopyOut(programPath, buffer, size);
  }
  std::uint32_t GetWindowsDirectoryA(char* buffer, std::uint32_t size) override {
    return CopyOut("C:\\WINDOWS", buffer, size);
  }
  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override {
    return CopyOut("C:\\WINDOWS\\SYSTEM", buffer, size);
  }
  const char* GetCommandLineA() override { return commandLine.c_str(); }
  // GetVersionExA's minor version: 10 (Windows 98), 0 for Windows 95.
  std::uint32_t minorVersion = 10;
  int GetVersionExA(diag::VersionRecord* version) override {
    version->majorVersion = 4;
    version->minorVersion = minorVersion;
    version->buildNumber = 0x040A08AE;  // 4.10.2222, Windows 98 SE
    version->platformId = 1;
    std::memcpy(version->extra, " A ", 4);
    return 1;
  }
  std::uint32_t GetUserDefaultLCID() override { return sim_.GetUserDefaultLCID(); }
  // The simulated PC's clock: 1 June 1999, noon, when the system starts.
  void GetLocalTime(diag::TimeRecord* time) override {
    const std::uint64_t seconds = sim_.Clock().Now() / 1000;
    *time = diag::TimeRecord{1999, 6, 2, 1, static_cast<std::uint16_t>(12 + seconds / 3600 % 12),
                             static_cast<std::uint16_t>(seconds / 60 % 60),
                             static_cast<std::uint16_t>(seconds % 60), 0};
  }
  std::uint32_t GetSystemDefaultLCID() override { return sim_.GetUserDefaultLCID(); }
  std::uint32_t GetDriveTypeA(const char* root) override {
    return sim::DriveTypeOf(sim_.Files().DriveKindOf(root[0]));
  }
  int GetVolumeInformationA(const char* root) override {
    const bool medium = sim::HasMedium(sim_.Files().DriveKindOf(root[0]));
    lastError_ = medium ? 0 : 21;  // ERROR_NOT_READY
    return medium;
  }
  std::uint32_t SetErrorMode(std::uint32_t mode) override { return sim_.SetErrorMode(mode); }
  int MessageBoxA(const char* text, const char*, std::uint32_t) override {
    messages.push_back(text);
    return 1;
  }

 private:
  static std::uint32_t CopyOut(const std::string& text, char* buffer, std::uint32_t size) {
    if (text.size() >= size) return size;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<std::uint32_t>(text.size());
  }

  sim::SimSystem& sim_;
  std::map<RegKey, std::string> paths_;
  std::uint32_t lastError_ = 0;
};

}  // namespace nl::testing
