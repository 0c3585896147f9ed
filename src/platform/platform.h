// The operating-system services the installer calls, and nothing else.
//
// Every operation carries the name and the meaning of the Win32 function it
// stands for (8-bit "A" variants). The installer logic talks to the system
// only through this interface; the Win32 backend forwards to the real API and
// the simulated backend models a Windows 9x system for tests and tools.
//
// Types and constants are our own so that no logic file needs <windows.h>;
// their values are the Win32 ones.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nl {

using RegKey = std::uintptr_t;           // HKEY
using FileHandle = std::uintptr_t;       // HANDLE of an open file
using WindowHandle = std::uintptr_t;     // HWND; 0 means none
using ProgramInstance = std::uintptr_t;  // HINSTANCE of the running program
using ProcessId = std::uint32_t;         // DWORD process identifier
using RegResult = std::int32_t;          // LONG error code of the Reg* calls
using ThreadId = std::uint32_t;          // DWORD thread identifier

constexpr RegKey kHkeyLocalMachine = 0x80000002u;
constexpr FileHandle kInvalidFileHandle = ~FileHandle(0);
constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr std::uint32_t kInvalidSetFilePointer = 0xFFFFFFFFu;
constexpr std::size_t kMaxPath = 260;

// Error codes (winerror.h).
constexpr RegResult kErrorSuccess = 0;
constexpr RegResult kErrorFileNotFound = 2;
constexpr RegResult kErrorAccessDenied = 5;
constexpr RegResult kErrorInvalidHandle = 6;
constexpr RegResult kErrorNotEnoughMemory = 8;
constexpr RegResult kErrorSharingViolation = 32;
constexpr RegResult kErrorMoreData = 234;
constexpr RegResult kErrorNoMoreItems = 259;

// Registry access, options and value types.
constexpr std::uint32_t kKeyAllAccess = 0xF003Fu;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;

// File access, creation and positioning.
constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kGenericWrite = 0x40000000u;
constexpr std::uint32_t kOpenAlways = 4;
constexpr std::uint32_t kFileAttributeNormal = 0x80;
constexpr std::uint32_t kFileBegin = 0;
constexpr std::uint32_t kFileCurrent = 1;

// Process error mode: a file call on a drive without its medium (a CD-ROM
// drive without its disc) fails instead of showing the critical-error box
// that asks for the medium and waits for the user.
constexpr std::uint32_t kSemFailCriticalErrors = 0x0001;

// Process start.
constexpr std::uint32_t kStartfUseShowWindow = 0x1;
constexpr std::uint16_t kSwHide = 0;
constexpr std::uint16_t kSwShowNormal = 1;
constexpr std::uint16_t kSwShow = 5;

// Window messages.
constexpr std::uint32_t kWmKeyDown = 0x0100;
constexpr std::uint32_t kWmKeyUp = 0x0101;
constexpr std::uint32_t kWmChar = 0x0102;
constexpr std::uint32_t kWmCommand = 0x0111;
constexpr std::uint32_t kLvmGetItemCount = 0x1004;

// STARTUPINFOA, reduced to the fields the installer sets.
struct StartupRecord {
  std::uint32_t size;   // cb: the record's size, as Windows requires
  std::uint32_t flags;  // dwFlags
  std::uint16_t showWindow;  // wShowWindow, used with kStartfUseShowWindow
};

// PROCESS_INFORMATION. The handles stay open for the rest of the run.
struct ProcessRecord {
  std::uintptr_t processHandle;
  std::uintptr_t threadHandle;
  ProcessId processId;
  std::uint32_t threadId;
};

// WNDENUMPROC: return non-zero to go on, 0 to stop the enumeration.
using ChildWindowCallback = int (*)(WindowHandle window, std::intptr_t data);

class Platform {
 protected:
  // Never owned or deleted through this interface: a backend lives on its
  // creator's stack. (No virtual destructor, so the Windows program, which
  // has no heap, needs no operator delete.)
  ~Platform() = default;

 public:

  // ---- Registry (advapi32) ----

  // Creates the key when missing, opens it when present. Returns kErrorSuccess
  // and stores the handle in *result; on failure returns the error code and
  // leaves *result untouched.
  virtual RegResult RegCreateKeyExA(RegKey key, const char* subKey,
                                    std::uint32_t options, std::uint32_t access,
                                    RegKey* result) = 0;
  // Opens an existing key. Returns kErrorSuccess and stores the handle in
  // *result; kErrorFileNotFound when it does not exist (result untouched).
  virtual RegResult RegOpenKeyExA(RegKey key, const char* subKey,
                                  std::uint32_t options, std::uint32_t access,
                                  RegKey* result) = 0;
  // Reads a value. *dataSize holds the buffer's capacity on entry and the
  // stored size on success. A value larger than the buffer gives
  // kErrorMoreData (the size needed goes to *dataSize; the buffer's content
  // is then undefined). A missing value gives kErrorFileNotFound. `type` may
  // be null.
  virtual RegResult RegQueryValueExA(RegKey key, const char* valueName,
                                     std::uint32_t* type, std::uint8_t* data,
                                     std::uint32_t* dataSize) = 0;
  // Stores a value. An empty or null name is the key's unnamed value.
  virtual RegResult RegSetValueExA(RegKey key, const char* valueName,
                                   std::uint32_t type, const std::uint8_t* data,
                                   std::uint32_t dataSize) = 0;
  // Names the subkey at `index`. *nameSize holds the capacity on entry and the
  // length without the zero on success. kErrorNoMoreItems past the last one;
  // kErrorMoreData when the name does not fit.
  virtual RegResult RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                                  std::uint32_t* nameSize) = 0;
  // Deletes a subkey. On the 9x family the subkey goes with everything beneath
  // it; NT-family systems refuse a subkey that has subkeys (see
  // RegDeleteKeyTree in registry_tree.h, which works on both).
  virtual RegResult RegDeleteKeyA(RegKey key, const char* subKey) = 0;
  virtual RegResult RegCloseKey(RegKey key) = 0;

  // ---- Files (kernel32) ----

  // Opens or creates a file. Returns kInvalidFileHandle on failure.
  virtual FileHandle CreateFileA(const char* path, std::uint32_t access,
                                 std::uint32_t shareMode,
                                 std::uint32_t creation,
                                 std::uint32_t attributes) = 0;
  // Non-zero on success with the count moved in *done; a successful read of
  // 0 bytes is the end of the file. 0 on failure.
  virtual int ReadFile(FileHandle file, void* buffer, std::uint32_t count,
                       std::uint32_t* done) = 0;
  virtual int WriteFile(FileHandle file, const void* buffer,
                        std::uint32_t count, std::uint32_t* done) = 0;
  virtual int CloseHandle(FileHandle file) = 0;
  // Moves the file position; returns the new position, or
  // kInvalidSetFilePointer on failure.
  virtual std::uint32_t SetFilePointer(FileHandle file, std::int32_t distance,
                                       std::uint32_t method) = 0;
  // Fails when `newPath` exists or `existingPath` does not.
  virtual int MoveFileA(const char* existingPath, const char* newPath) = 0;
  virtual int DeleteFileA(const char* path) = 0;
  virtual int CopyFileA(const char* source, const char* destination,
                        int failIfExists) = 0;
  // kInvalidFileAttributes means there is no such file.
  virtual std::uint32_t GetFileAttributesA(const char* path) = 0;
  // Copies the key's value (enclosing double quotes dropped) or the default
  // into the buffer, zero-terminated and cut to fit; returns its length.
  virtual std::uint32_t GetPrivateProfileStringA(
      const char* section, const char* key, const char* defaultText,
      char* buffer, std::uint32_t size, const char* path) = 0;
  // Replaces the key's line or adds it at the end of its section; creates a
  // missing section or file. Non-zero on success. On the 9x family the
  // change first goes to a cached copy of the file, which reaches the disk
  // when the cache is flushed: section, key and value all null (path null
  // or the file's) is that flush, and returns 0.
  virtual int WritePrivateProfileStringA(const char* section, const char* key,
                                         const char* value,
                                         const char* path) = 0;
  // The running program's full path, zero-terminated and cut to fit; returns
  // the length copied, 0 on failure.
  virtual std::uint32_t GetModuleFileNameA(ProgramInstance instance,
                                           char* buffer,
                                           std::uint32_t size) = 0;

  // ---- Processes, time and locale (kernel32) ----

  // `applicationName` is always null here; `commandLine` may be modified by
  // the system, as Windows allows. Non-zero when started, with the record
  // filled.
  virtual int CreateProcessA(const char* applicationName, char* commandLine,
                             int inheritHandles, std::uint32_t creationFlags,
                             const StartupRecord* startup,
                             ProcessRecord* started) = 0;
  // Non-zero while the process exists, 0 after it has ended.
  virtual std::uint32_t GetProcessVersion(ProcessId process) = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  virtual std::uint32_t GetUserDefaultLCID() = 0;
  // Sets the process's error mode (kSemFailCriticalErrors) and returns the
  // previous one; there is no other way to read it on the 9x family.
  // Processes started later inherit the mode in force.
  virtual std::uint32_t SetErrorMode(std::uint32_t mode) = 0;
  virtual ThreadId GetCurrentThreadId() = 0;

  // ---- Windows (user32) ----

  // One top-level window of that class (and title, when not null), or 0.
  virtual WindowHandle FindWindowA(const char* className,
                                   const char* title) = 0;
  // The next top-level window (parent 0) in Z order after `after` (0: the
  // first) of that class (and title, when not null), or 0.
  virtual WindowHandle FindWindowExA(WindowHandle parent, WindowHandle after,
                                     const char* className, const char* title) = 0;
  // Calls `callback` for every descendant of `parent` until it returns 0.
  virtual int EnumChildWindows(WindowHandle parent,
                               ChildWindowCallback callback,
                               std::intptr_t data) = 0;
  virtual int GetDlgCtrlID(WindowHandle window) = 0;
  // The dialog's direct child with that identifier, or 0.
  virtual WindowHandle GetDlgItem(WindowHandle dialog, int controlId) = 0;
  // Returns once the window has handled the message, with its result.
  virtual std::intptr_t SendMessageA(WindowHandle window, std::uint32_t message,
                                     std::uintptr_t wParam,
                                     std::intptr_t lParam) = 0;
  // Queues the message without waiting. Non-zero on success.
  virtual int PostMessageA(WindowHandle window, std::uint32_t message,
                           std::uintptr_t wParam, std::intptr_t lParam) = 0;
  virtual int ShowWindow(WindowHandle window, int showCommand) = 0;
  // Gives the focus to a window of the calling thread's input (its own or
  // one attached with AttachThreadInput); returns the window that had the
  // focus before, or 0, which is also the answer for any other window.
  virtual WindowHandle SetFocus(WindowHandle window) = 0;
  // The thread that created the window, 0 when there is no such window; its
  // process goes to *process when that is not null.
  virtual ThreadId GetWindowThreadProcessId(WindowHandle window,
                                            ProcessId* process) = 0;
  // Joins (attach non-zero) or parts the input state of thread `thread` and
  // that of `toThread`: joined, each may set the focus to the other's
  // windows. Non-zero on success.
  virtual int AttachThreadInput(ThreadId thread, ThreadId toThread,
                                int attach) = 0;
  // Copies the title, zero-terminated and cut to fit; returns its length.
  virtual int GetWindowTextA(WindowHandle window, char* buffer,
                             int capacity) = 0;
  // Marks the whole window (no rectangle) for repainting.
  virtual int InvalidateRect(WindowHandle window, int erase) = 0;
};

}  // namespace nl
