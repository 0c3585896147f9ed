// A simulated Windows 9x system for host tests and tools.
//
// SimSystem answers every Platform call from a model: a registry tree, real
// host files below a host folder (one folder per drive), a virtual clock,
// scripted processes and windows. Tests set the system up with the setup
// calls below (which are not Platform calls: they are neither counted nor
// journaled), run the installer logic against it and then inspect the
// registry, the files, the message log and the journal of Platform calls.
//
// Rules worth knowing when writing tests:
// - Registry subkeys are enumerated in the order the image's system.reg
//   lists them, the order regedit wrote them in from the customer's
//   enumeration (Wine and the NT family sort them by name). A key created
//   by the run goes after its existing siblings: an assumption about where
//   Windows 9x puts a new key in its list, matching a re-added key found
//   last in a customer's export (regfile/reg_tree.h).
// - FindWindowA returns the most recently created top-level window, visible
//   or hidden, whose class matches ignoring ASCII case and, when a title is
//   given, whose title matches exactly.
// - EnumChildWindows visits the descendants depth first in creation order:
//   a child, then its children, then the next child.
// - A window's message handler answers every message sent to it; a window
//   without a handler answers LVM_GETITEMCOUNT with its SetItemCount value
//   and everything else with 0.
// - Sleep delivers the messages posted so far, then advances the clock,
//   firing the scheduled events in time order (messages posted by an event
//   are delivered right after it).
// - Scripts, events and message handlers should change the system through
//   the setup calls; Platform calls made from them are counted and journaled
//   like the program's own.
// - GetPrivateProfileStringA with a null section or key (the name listings)
//   is not modelled: it answers with the default.
// - The private-profile cache of Windows 95/98/Me: WritePrivateProfileStringA
//   changes a cached copy of the most recently used profile file, not the
//   file. The program's profile reads of that file see the copy; its file
//   calls, the setup and inspection calls below and other processes (the
//   stand-in tools) see the disk. A call with section, key and value all
//   null (with or without a file name) writes the copy to disk and returns
//   0; a profile call on another file first writes the copy back; and so
//   does ProgramEnded, the latest moment the system may choose, so that a
//   missing flush shows as a lost edit. A copy that cannot be written back
//   is lost.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_paths.h"
#include "platform/sim/sim_text.h"
#include "regfile/reg_file.h"
#include "regfile/reg_tree.h"

namespace nl::sim {

// The simulated registry is a tree of the .reg file library, and system
// images load and save through it.
using regfile::RegImportOptions;
using regfile::RegImportReport;
using regfile::RegNode;
using regfile::RegValue;

// Thrown by the call after which StopAfterCall stops the program.
struct SimStopped : std::runtime_error {
  using std::runtime_error::runtime_error;
};
// Thrown by Sleep when virtual time would pass the time limit.
struct SimTimeLimit : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Error codes the simulator returns beyond the ones the logic knows.
constexpr RegResult kErrorInvalidParameter = 87;
constexpr RegResult kErrorBadPathname = 161;

// Creation dispositions and share flags beyond the ones the logic uses.
constexpr std::uint32_t kCreateNew = 1;
constexpr std::uint32_t kCreateAlways = 2;
constexpr std::uint32_t kOpenExisting = 3;
constexpr std::uint32_t kTruncateExisting = 5;
constexpr std::uint32_t kFileShareRead = 1;
constexpr std::uint32_t kFileShareWrite = 2;
constexpr std::uint32_t kFileEnd = 2;
constexpr std::uint32_t kFileAttributeReadOnly = 0x01;
constexpr std::uint32_t kFileAttributeDirectory = 0x10;

// One Platform call: its number (1-based), the virtual time it was made at,
// its name, its arguments and its result as text.
struct JournalEntry {
  std::uint64_t index = 0;
  std::uint64_t time = 0;
  std::string operation;
  std::string arguments;
  std::string result;
  // "RegCloseKey(key#3) = 0"
  std::string Text() const;
};

// A message sent or posted to a window.
struct SimMessage {
  std::uint64_t time = 0;  // virtual ms when it was sent or posted
  WindowHandle window = 0;
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  bool posted = false;
};

using MessageHandler =
    std::function<std::intptr_t(class SimSystem&, const SimMessage&)>;
using ProgramScript = std::function<void(class SimSystem&, ProcessId)>;

// The arguments of one CreateProcessA call, and what came of it.
struct ProcessStart {
  std::uint64_t time = 0;
  bool applicationNameGiven = false;
  std::string commandLine;
  int inheritHandles = 0;
  std::uint32_t creationFlags = 0;
  bool startupGiven = false;
  StartupRecord startup{};
  bool started = false;
  ProcessId processId = 0;  // 0 when not started
};

struct OpenKeyInfo {
  RegKey handle;
  std::string path;  // below HKEY_LOCAL_MACHINE, as opened
};

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

  // ---- Platform ----
  RegResult RegCreateKeyExA(RegKey key, const char* subKey,
                            std::uint32_t options, std::uint32_t access,
                            RegKey* result) override;
  RegResult RegOpenKeyExA(RegKey key, const char* subKey, std::uint32_t options,
                          std::uint32_t access, RegKey* result) override;
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

  WindowHandle FindWindowA(const char* className, const char* title) override;
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
  int GetWindowTextA(WindowHandle window, char* buffer, int capacity) override;
  int InvalidateRect(WindowHandle window, int erase) override;

  // ---- Registry setup and inspection ----

  // RegDeleteKeyA then refuses (kErrorAccessDenied) a key with subkeys, as
  // the NT family does; by default it removes the whole subtree (9x).
  void SetNtKeyDeletion(bool on) { ntKeyDeletion_ = on; }
  // Writes a value, creating the keys on the way. `path` is below HKLM.
  void SetValue(const std::string& path, const std::string& valueName,
                std::uint32_t type, const std::string& data);
  void SetText(const std::string& path, const std::string& valueName,
               const std::string& text);  // REG_SZ with its zero byte
  void CreateKey(const std::string& path);
  bool KeyExists(const std::string& path) const;
  // Null when the key or value is missing.
  const RegValue* FindValue(const std::string& path,
                            const std::string& valueName) const;
  // The value as text up to its first zero byte; empty when missing.
  std::string ValueText(const std::string& path,
                        const std::string& valueName) const;
  // Subkey names in enumeration order; empty when the key is missing.
  std::vector<std::string> SubkeyNames(const std::string& path) const;
  std::size_t OpenKeyCount() const { return keys_.size(); }
  std::vector<OpenKeyInfo> OpenKeys() const;
  RegNode& RegistryRoot() { return *registry_; }

  // ---- File setup and inspection (Windows paths) ----

  // Creates the drive's host folder; drives without one are missing.
  void AddDrive(char letter);
  // Relative paths and paths without a drive start here; default "C:\".
  void SetCurrentDirectory(const std::string& path);
  // Writes the file, creating missing folders; throws when the drive is
  // missing.
  void WriteFileText(const std::string& path, const std::string& bytes);
  // The file's bytes; throws std::runtime_error when it cannot be read.
  std::string ReadFileText(const std::string& path);
  void MakeDirectory(const std::string& path);  // with its parents
  bool FileExists(const std::string& path);     // a file or a folder
  // The host path the Windows path maps to (it may not exist yet); empty
  // when the drive or a folder on the way is missing. Pending writes of open
  // handles are flushed first, so the host file is current.
  std::string HostPath(const std::string& path);
  void SetReadOnly(const std::string& path, bool readOnly = true);
  // Another program opens the file without sharing: opens, moves and
  // deletes of it fail until Release. Throws when the file is missing.
  void HoldOpen(const std::string& path);
  void Release(const std::string& path);
  std::size_t OpenFileCount() const { return files_.size(); }
  // Windows paths of the program's open files, in handle order.
  std::vector<std::string> OpenFilePaths() const;
  const std::string& HostRoot() const { return hostRoot_; }

  // ---- Program, locale ----

  // The program's process has ended (returned or killed): a changed profile
  // copy it left unflushed is written back over the file now.
  void ProgramEnded();
  // Whether a changed profile copy waits to be written to disk.
  bool HasUnwrittenProfile() const { return profileCopy_.has_value(); }

  // GetModuleFileNameA's answer; default "C:\NLSETUP\NLSETUP.EXE".
  void SetProgramPath(const std::string& path) { programPath_ = path; }
  void SetUserDefaultLcid(std::uint32_t lcid) { lcid_ = lcid; }

  // ---- Clock and events ----

  std::uint64_t Now() const { return now_; }
  // Runs `fn` when the clock reaches `timeMs` during a Sleep of the program
  // (at once on the next Sleep when that time has passed already).
  void At(std::uint64_t timeMs, std::function<void(SimSystem&)> fn);
  void After(std::uint64_t delayMs, std::function<void(SimSystem&)> fn) {
    At(now_ + delayMs, std::move(fn));
  }
  // A Sleep that would carry the clock past `ms` throws SimTimeLimit.
  // Default: one hour of virtual time.
  void SetTimeLimit(std::uint64_t ms) { timeLimit_ = ms; }

  // ---- Processes ----

  // CreateProcessA with exactly this command line starts a process and runs
  // `onStart` at once (it usually creates windows and schedules events).
  // Unscripted command lines fail to start, like a missing program.
  void ScriptProgram(const std::string& commandLine, ProgramScript onStart);
  // This command line fails to start even when scripted.
  void FailStart(const std::string& commandLine);
  // Ends the process and destroys its windows.
  void EndProcess(ProcessId pid);
  bool IsAlive(ProcessId pid) const;
  const std::vector<ProcessStart>& Starts() const { return starts_; }
  // Process and thread handles returned by CreateProcessA and not closed.
  std::size_t OpenProcessHandleCount() const { return processHandles_.size(); }

  // ---- Windows ----

  // A window owned by `ownerPid`; `parent` 0 makes it top level. Visible.
  WindowHandle CreateWindow(const std::string& className,
                            const std::string& title, WindowHandle parent,
                            int controlId, ProcessId ownerPid);
  // Destroys the window and its descendants.
  void DestroyWindow(WindowHandle window);
  bool IsWindow(WindowHandle window) const;
  bool IsVisible(WindowHandle window) const;
  // Shows or hides a window without a ShowWindow call of the program.
  void SetWindowVisible(WindowHandle window, bool visible);
  void SetWindowTitle(WindowHandle window, const std::string& title);
  WindowHandle FocusedWindow() const { return focus_; }
  int InvalidateCount(WindowHandle window) const;
  void SetMessageHandler(WindowHandle window, MessageHandler handler);
  void SetItemCount(WindowHandle window, std::intptr_t count);
  // Every message sent or posted to a live window, in order.
  const std::vector<SimMessage>& Messages() const { return messages_; }
  std::vector<SimMessage> MessagesTo(WindowHandle window) const;

  // ---- Journal and faults ----

  // Entries name registry handles "key#n" and file handles "file#n" (the
  // n-th key or file the program opened), HKEY_LOCAL_MACHINE "HKLM", windows
  // and process identifiers in hex; texts are quoted (sim_text.h Quoted).
  // Injected faults are marked "[injected failure]" or "[injected short
  // transfer]" after the result.
  const std::vector<JournalEntry>& Journal() const { return journal_; }
  // One line per call: "   12     1500ms  RegCloseKey(key#3) = 0".
  std::string JournalText() const;
  // JournalEntry::Text() of every call, for sequence assertions.
  std::vector<std::string> JournalCalls() const;
  // Off: calls are still counted and faults still apply, but nothing is
  // recorded (for long runs such as benchmarks).
  void SetJournalEnabled(bool on) { journalOn_ = on; }
  std::uint64_t CallCount() const { return callCount_; }
  // Call number n fails the way the real function fails (Sleep,
  // GetUserDefaultLCID, RegCloseKey and CloseHandle cannot fail).
  void FailCall(std::uint64_t n) { failCalls_.insert(n); }
  // Every call of this operation fails.
  void FailOperation(const std::string& operation) { failOps_.insert(operation); }
  // Call number n, when it is a ReadFile or WriteFile, moves fewer bytes
  // than it would have: half, rounded down (so 0 for a single byte); the call
  // still succeeds. Other calls ignore it.
  void ShortCall(std::uint64_t n) { shortCalls_.insert(n); }
  // After call n completes, the program is killed: its open keys, files and
  // process handles are closed (what was written stays) and SimStopped is
  // thrown. Processes it started go on running.
  void StopAfterCall(std::uint64_t n) { stopAfter_ = n; }
  void ClearFaults();

  // ---- System images ----

  // Imports <dir>/system.reg (found ignoring letter case; an image without
  // one is an error) into the registry and copies every <dir>/drive_x
  // folder onto the host root. Returns the import's warnings.
  RegImportReport LoadImage(const std::string& dir, const RegImportOptions& options = {});
  // The whole registry as REGEDIT4 text (see regfile/reg_file.h for the form).
  std::string ExportRegistry() const;
  // Writes system.reg and copies the drive folders into `dir`.
  void SaveImage(const std::string& dir);

 private:
  enum class Fault { kNone, kFail, kShort };
  struct Call {
    std::uint64_t number = 0;
    Fault fault = Fault::kNone;
    bool journal = false;
    std::size_t entry = 0;
  };
  struct Described {
    std::string arguments;
    std::string result;
  };
  struct OpenKey {
    std::shared_ptr<RegNode> node;
    std::string path;
    std::uint64_t serial;
  };
  struct OpenFile {
    int fd = -1;
    std::string host;
    std::string winPath;
    std::uint64_t serial = 0;
    bool canRead = false;
    bool canWrite = false;
    std::uint32_t share = 0;
    std::uint64_t pos = 0;
    // Read-ahead and write-behind, so byte-at-a-time use stays fast.
    std::vector<char> readBuf;
    std::uint64_t readStart = 0;
    std::size_t readLen = 0;
    std::string writeBuf;
    std::uint64_t writeStart = 0;
  };
  struct SimWindow {
    WindowHandle handle = 0;
    std::string className;
    std::string title;
    WindowHandle parent = 0;
    int controlId = 0;
    ProcessId owner = 0;
    bool visible = true;
    bool alive = true;
    int invalidated = 0;
    std::vector<WindowHandle> children;  // creation order
    MessageHandler handler;
    std::intptr_t itemCount = 0;
  };
  struct SimProcess {
    ProcessId pid = 0;
    std::string commandLine;
    bool alive = true;
  };
  struct Event {
    std::uint64_t time;
    std::uint64_t seq;
    std::function<void(SimSystem&)> fn;
  };

  // Which injected faults a call can suffer: Sleep, GetUserDefaultLCID and
  // the closing calls cannot fail; only ReadFile and WriteFile run short.
  enum class FaultUse { kFail, kFailOrShort, kNone };

  // Call machinery (sim_journal.cpp).
  Call BeginCall(const char* operation, FaultUse use = FaultUse::kFail);
  template <class Describe>
  void EndCall(const Call& call, Describe describe) {
    if (call.journal) Record(call, describe());
    StopIfDue(call);
  }
  void Record(const Call& call, Described described);
  void StopIfDue(const Call& call);
  void CloseProgramHandles();
  std::string KeyName(RegKey key) const;
  std::string FileName(FileHandle file) const;

  // Registry (sim_registry_calls.cpp).
  RegNode* NodeOf(RegKey key, RegResult* error);
  RegKey NewKeyHandle(RegNode* node);
  RegResult OpenKeyCall(const char* operation, bool create, RegKey key,
                        const char* subKey, std::uint32_t options,
                        std::uint32_t access, RegKey* result);
  std::shared_ptr<RegNode> SharedNode(RegNode* node);
  const RegNode* FindNode(const std::string& path) const;

  // Files (sim_files.cpp).
  bool Resolve(const char* path, std::string* host, std::string* winPath);
  std::string ResolveOrThrow(const std::string& path);
  bool OpenAllows(const std::string& host, bool read, bool write,
                  std::uint32_t share) const;
  bool IsOpenOrHeld(const std::string& host) const;
  bool Flush(OpenFile& file);
  void FlushAll();
  void DropReadAhead(const std::string& host);
  std::size_t ReadAt(OpenFile& file, char* out, std::size_t count);
  bool WriteAt(OpenFile& file, const char* in, std::size_t count);
  bool ReadWholeFile(const std::string& host, std::string* bytes) const;
  bool WriteWholeFile(const std::string& host, const std::string& bytes) const;

  // Profile cache (sim_profile_calls.cpp).
  struct ProfileCopy {
    std::string host;
    std::string bytes;
  };
  // Before a profile call on `host`: a copy of another file goes to disk.
  void WriteBackOtherProfile(const std::string& host);
  bool WriteBackProfile();

  // Clock and windows (sim_clock.cpp, sim_windows.cpp).
  void DeliverPosted();
  SimWindow* LiveWindow(WindowHandle window);
  const SimWindow* LiveWindow(WindowHandle window) const;
  std::intptr_t Deliver(const SimMessage& message);

  std::string hostRoot_;
  bool ownsHostRoot_ = false;

  std::shared_ptr<RegNode> registry_;
  std::map<RegKey, OpenKey> keys_;
  std::uint64_t keySerial_ = 0;
  bool ntKeyDeletion_ = false;

  WinPath currentDir_;
  std::map<FileHandle, OpenFile> files_;
  std::uint64_t fileSerial_ = 0;
  std::map<std::string, int> held_;  // host path -> hold count
  std::string programPath_ = "C:\\NLSETUP\\NLSETUP.EXE";
  // The changed copy of the most recently used profile file, not yet on
  // disk. (An unchanged copy answers as the disk would, so none is kept.)
  std::optional<ProfileCopy> profileCopy_;
  std::uint32_t lcid_ = 0x407;

  std::uint64_t now_ = 0;
  std::uint64_t timeLimit_ = 3600u * 1000u;
  std::uint64_t eventSeq_ = 0;
  std::vector<Event> events_;  // kept sorted by (time, seq)

  std::map<std::string, ProgramScript> scripts_;
  std::set<std::string> failStarts_;
  std::map<ProcessId, SimProcess> processes_;
  std::set<std::uintptr_t> processHandles_;
  std::vector<ProcessStart> starts_;
  ProcessId nextPid_ = 0x1000;
  std::uintptr_t nextProcessHandle_ = 0x40000;

  std::map<WindowHandle, SimWindow> windows_;
  std::vector<WindowHandle> topLevel_;  // creation order
  WindowHandle nextWindow_ = 0x10000;
  WindowHandle focus_ = 0;
  std::vector<SimMessage> messages_;
  std::deque<SimMessage> posted_;

  std::vector<JournalEntry> journal_;
  bool journalOn_ = true;
  std::uint64_t callCount_ = 0;
  std::set<std::uint64_t> failCalls_;
  std::set<std::uint64_t> shortCalls_;
  std::set<std::string> failOps_;
  std::uint64_t stopAfter_ = 0;
};

}  // namespace nl::sim
