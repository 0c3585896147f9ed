// A simulated Windows 9x system for host tests and tools.
//
// SimSystem is the face of the system: it answers every Platform call by
// counting and journaling it, injecting the faults asked for, and handing it
// to the part that models it. The parts own their state and hold the setup
// and inspection calls (which are not Platform calls: they are neither
// counted nor journaled), each behind its own header with the rules worth
// knowing when writing tests:
//
//   sim.Registry()   registry/sim_registry.h    keys, values, open keys
//   sim.Files()      files/sim_files.h          drives, files, profile cache
//   sim.Desktop()    desktop/sim_desktop.h      windows, messages, focus
//   sim.Processes()  processes/sim_processes.h  scripted programs, locale
//   sim.Clock()      clock/sim_clock.h          virtual time, events, limit
//   sim.Journal()    journal/sim_journal.h      calls, faults, stopping
//
// Tests set the system up through the parts (sim.Registry().SetText(...),
// sim.Files().WriteFileText(...)), run the installer logic against the face
// and then inspect the parts. Scripts, events and message handlers get the
// face too; they should change the system through the setup calls, since
// Platform calls made from them are counted and journaled like the
// program's own.
//
// The parts meet only where the system couples them: a process start runs
// its script (which creates windows) and an ending process loses its
// windows; Sleep delivers posted messages and fires the clock's events;
// messages and starts are stamped with the clock's time. CloseHandle closes
// a file or a process handle; a stopped program loses the keys, files and
// handles it held.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "platform/sim/clock/sim_clock.h"
#include "platform/sim/desktop/sim_desktop.h"
#include "platform/sim/files/sim_files.h"
#include "platform/sim/journal/sim_journal.h"
#include "platform/sim/processes/sim_processes.h"
#include "platform/sim/registry/sim_registry.h"
#include "platform/sim/image_description.h"
#include "platform/sim/sim_call.h"
#include "platform/sim/sim_text.h"

namespace nl::sim {

class SimSystem : public Platform {
 public:
  // A system on a fresh temporary host folder (removed again by the
  // destructor) with an empty drive C:.
  SimSystem();
  // A system on `hostRoot`, which is kept; drive C: is created when missing.
  explicit SimSystem(std::string hostRoot);
  ~SimSystem();
  SimSystem(const SimSystem&) = delete;
  SimSystem& operator=(const SimSystem&) = delete;

  // ---- the parts ----
  SimRegistry& Registry() { return registry_; }
  const SimRegistry& Registry() const { return registry_; }
  SimFiles& Files() { return files_; }
  const SimFiles& Files() const { return files_; }
  SimDesktop& Desktop() { return desktop_; }
  const SimDesktop& Desktop() const { return desktop_; }
  SimProcesses& Processes() { return processes_; }
  const SimProcesses& Processes() const { return processes_; }
  SimClock& Clock() { return clock_; }
  const SimClock& Clock() const { return clock_; }
  SimJournal& Journal() { return journal_; }
  const SimJournal& Journal() const { return journal_; }

  // ---- what ends a run from outside ----

  // Windows restarts (a user answered a restart prompt with Yes): the
  // program is killed at its next call, which throws SimWindowsRestarts.
  void RestartWindows(const std::string& cause) { restartCause_ = cause; }
  // How long the system may stand still, nothing scheduled but watching,
  // while a tool waits for the user, before the program's wait is taken for
  // one without end (longer than any bounded poll of the program: 10 s).
  static constexpr std::uint64_t kStillForUserMs = 60000;

  // ---- system images (sim_image.cpp) ----
  // They stay on the face because an image spans two parts: system.reg is
  // the registry's, the drive folders are the files'.

  // Imports <dir>/system.reg (found ignoring letter case; an image without
  // one, or with two spellings of it, is an error) into the registry,
  // copies every <dir>/drive_x folder onto the host root and applies the
  // image's description (image.txt, when there is one: the drives' kinds
  // and the user locale; see image_description.h). Returns the import's
  // warnings. The image is a customer's: a link, device, FIFO or socket in
  // it, or a file or image over the limits (files/plain_tree.h), is an
  // error before anything is copied.
  RegImportReport LoadImage(const std::string& dir, const RegImportOptions& options = {});
  // The description of the image loaded last (empty when it had none).
  const ImageDescription& LoadedDescription() const { return description_; }
  // The whole registry as REGEDIT4 text (see regfile/reg_file.h for the form).
  std::string ExportRegistry() const;
  // Writes system.reg, copies the drive folders into `dir` (which must be
  // new or an empty folder) and describes the drives' kinds and the user
  // locale in image.txt. Without `withLocale` the loaded image's locale (or
  // none) is kept: a locale the run only assumed is no fact of the PC.
  void SaveImage(const std::string& dir, bool withLocale = true);

  // ---- Platform (sim_platform_calls.cpp) ----
  RegResult RegCreateKeyExA(RegKey key, const char* subKey, std::uint32_t options,
                            std::uint32_t access, RegKey* result) override;
  RegResult RegOpenKeyExA(RegKey key, const char* subKey, std::uint32_t options,
                          std::uint32_t access, RegKey* result) override;
  RegResult RegQueryValueExA(RegKey key, const char* valueName, std::uint32_t* type,
                             std::uint8_t* data, std::uint32_t* dataSize) override;
  RegResult RegSetValueExA(RegKey key, const char* valueName, std::uint32_t type,
                           const std::uint8_t* data, std::uint32_t dataSize) override;
  RegResult RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                          std::uint32_t* nameSize) override;
  RegResult RegDeleteKeyA(RegKey key, const char* subKey) override;
  RegResult RegCloseKey(RegKey key) override;

  FileHandle CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                         std::uint32_t creation, std::uint32_t attributes) override;
  int ReadFile(FileHandle file, void* buffer, std::uint32_t count,
               std::uint32_t* done) override;
  int WriteFile(FileHandle file, const void* buffer, std::uint32_t count,
                std::uint32_t* done) override;
  int CloseHandle(FileHandle file) override;
  std::uint32_t SetFilePointer(FileHandle file, std::int32_t distance,
                               std::uint32_t method) override;
  int MoveFileA(const char* existingPath, const char* newPath) override;
  int DeleteFileA(const char* path) override;
  int CopyFileA(const char* source, const char* destination, int failIfExists) override;
  std::uint32_t GetFileAttributesA(const char* path) override;
  std::uint32_t GetPrivateProfileStringA(const char* section, const char* key,
                                         const char* defaultText, char* buffer,
                                         std::uint32_t size, const char* path) override;
  int WritePrivateProfileStringA(const char* section, const char* key,
                                 const char* value, const char* path) override;
  std::uint32_t GetModuleFileNameA(ProgramInstance instance, char* buffer,
                                   std::uint32_t size) override;

  int CreateProcessA(const char* applicationName, char* commandLine, int inheritHandles,
                     std::uint32_t creationFlags, const StartupRecord* startup,
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
                             std::uintptr_t wParam, std::intptr_t lParam) override;
  int PostMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                   std::intptr_t lParam) override;
  int ShowWindow(WindowHandle window, int showCommand) override;
  WindowHandle SetFocus(WindowHandle window) override;
  ThreadId GetWindowThreadProcessId(WindowHandle window, ProcessId* process) override;
  int AttachThreadInput(ThreadId thread, ThreadId toThread, int attach) override;
  int GetWindowTextA(WindowHandle window, char* buffer, int capacity) override;
  int InvalidateRect(WindowHandle window, int erase) override;

 private:
  SimSystem(std::string hostRoot, bool ownsHostRoot);

  // One Platform call: begins it in the journal, runs `op(fault, described)`
  // (described is null when the journal is off), records it and stops the
  // program when the call is the one to stop after.
  template <class Op>
  auto Forward(const char* operation, FaultUse use, Op op);
  // The program is killed: its keys, files and process handles are closed.
  void KillProgram();
  // The program is killed after `call` and SimStopped is thrown.
  void StopIfDue(const SimJournal::Call& call);
  // After a Sleep: the restart a tool asked for, or a wait for the user that
  // nothing will ever end (SimWaitsForUser).
  void EndIfStuckOrRestarted();
  // "Windows asks for the disc in drive D: and the run waits for an answer".
  std::string MediumRequestText(char drive) const;
  // The description in image folder `root`; empty when there is none.
  static ImageDescription ReadDescription(const std::filesystem::path& root);

  // Declared in construction order: the parts that run scripts, events and
  // handlers keep a reference to the face.
  SimJournal journal_;
  SimClock clock_;
  SimDesktop desktop_;
  SimProcesses processes_;
  SimRegistry registry_;
  SimFiles files_;
  ImageDescription description_;
  std::string restartCause_;
  std::uint64_t stillSince_ = 0;
  bool still_ = false;
};

}  // namespace nl::sim
