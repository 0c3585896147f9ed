// The files of the simulated system: real host files below a host folder,
// one folder per drive (sim_paths.h), the files the program has open, the
// sharing and read-only rules of Windows, and the private-profile ("INI")
// calls with the profile cache of the 9x family (sim_profile_text.h holds
// the text rules).
//
// Rules worth knowing when writing tests:
// - Setup and inspection calls take Windows paths; relative ones start at
//   the current directory (default "C:\").
// - Each drive letter has a kind (sim_drives.h): a drive with a folder and
//   no kind set is a fixed disk, one without is no drive. The program's
//   calls on a drive without its medium fail quietly when its error mode
//   (SetErrorMode) holds SEM_FAILCRITICALERRORS; without it Windows would
//   ask for the medium and wait for the user: the call fails, and the face
//   ends the run there (SimWaitsForUser). Writes to a CD-ROM fail. The setup
//   and inspection calls below see every drive folder as it is.
// - A file another program holds open (HoldOpen) shares nothing unless the
//   hold says otherwise: the program's opens and copies from it fail where
//   the holder's access and sharing refuse them, and its moves fail until
//   Release. Deleting it works, as on Windows 95/98, which delete a file
//   that is open: the holder keeps its copy, the name is gone. Read-only
//   files cannot be opened for writing, replaced or deleted.
// - GetPrivateProfileStringA of Windows 95/98 reads a file that another
//   handle has open (the program's own or another program's hold) only
//   when every such handle reads and shares reading alone; a handle that
//   writes, that does not share reading or that shares writing as well
//   makes the read answer with the default, as for a missing file. A
//   changed copy in the profile cache (below) answers for its file all the
//   same.
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
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/files/sim_drives.h"
#include "platform/sim/files/sim_paths.h"
#include "platform/sim/sim_call.h"

namespace nl::sim {

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

class SimFiles {
 public:
  // Files below `hostRoot`, removed again by the destructor when `owned`;
  // drive C: is created when missing.
  SimFiles(std::string hostRoot, bool owned);
  ~SimFiles();
  SimFiles(const SimFiles&) = delete;
  SimFiles& operator=(const SimFiles&) = delete;

  // ---- Platform calls (sim_file_calls.cpp, sim_profile_calls.cpp) ----
  FileHandle CreateFileA(Fault fault, const char* path, std::uint32_t access,
                         std::uint32_t shareMode, std::uint32_t creation,
                         std::uint32_t attributes, Described* out);
  int ReadFile(Fault fault, FileHandle file, void* buffer, std::uint32_t count,
               std::uint32_t* done, Described* out);
  int WriteFile(Fault fault, FileHandle file, const void* buffer, std::uint32_t count,
                std::uint32_t* done, Described* out);
  // CloseHandle of a file handle; false (and nothing described) when the
  // handle is no open file.
  bool CloseFile(FileHandle file);
  std::uint32_t SetFilePointer(Fault fault, FileHandle file, std::int32_t distance,
                               std::uint32_t method, Described* out);
  int MoveFileA(Fault fault, const char* existingPath, const char* newPath,
                Described* out);
  int DeleteFileA(Fault fault, const char* path, Described* out);
  int CopyFileA(Fault fault, const char* source, const char* destination,
                int failIfExists, Described* out);
  std::uint32_t GetFileAttributesA(Fault fault, const char* path, Described* out);
  std::uint32_t GetPrivateProfileStringA(Fault fault, const char* section,
                                         const char* key, const char* defaultText,
                                         char* buffer, std::uint32_t size,
                                         const char* path, Described* out);
  int WritePrivateProfileStringA(Fault fault, const char* section, const char* key,
                                 const char* value, const char* path, Described* out);
  // Returns the previous mode. The mode is the program's process's; the
  // processes it starts keep their own prompts.
  std::uint32_t SetErrorMode(std::uint32_t mode, Described* out);

  // ---- for the face ----

  // The drive whose medium Windows asked for in the last call (the call
  // then waits for the user), cleared by asking; 0 when none.
  char TakeMediumRequest();

  // "file#n" for the n-th file the program opened, else the handle.
  std::string FileName(FileHandle file) const;
  // The program was killed: its files are closed, what was written stays.
  void CloseProgramFiles();
  // Copies every drive_x folder of `dir` onto the host root (image load),
  // or the host root's drive folders into `dir` (image save).
  void CopyDrivesFrom(const std::string& dir);
  void CopyDrivesTo(const std::string& dir);

  // ---- setup and inspection (sim_file_setup.cpp; Windows paths) ----

  // Creates the drive's host folder; drives without one are missing.
  void AddDrive(char letter);
  // Gives the drive its kind; a kind with a medium gets the host folder.
  void SetDriveKind(char letter, DriveKind kind);
  DriveKind DriveKindOf(char letter) const;
  // Every drive that is there (a folder or a kind set), by letter.
  std::map<char, DriveKind> DriveKinds() const;
  // The program's error mode (SetErrorMode); 0 at the start.
  std::uint32_t ErrorMode() const { return errorMode_; }
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
  // Another program opens the file, by default for reading and writing
  // without sharing: the program's opens that the hold's access and sharing
  // refuse fail, and so do its moves, until Release (which ends the latest
  // hold). Throws when the file is missing.
  void HoldOpen(const std::string& path,
                std::uint32_t access = kGenericRead | kGenericWrite,
                std::uint32_t share = 0);
  void Release(const std::string& path);
  std::size_t OpenFileCount() const { return files_.size(); }
  // Windows paths of the program's open files, in handle order.
  std::vector<std::string> OpenFilePaths() const;
  const std::string& HostRoot() const { return hostRoot_; }
  // The program's process has ended (returned or killed): a changed profile
  // copy it left unflushed is written back over the file now.
  void ProgramEnded();
  // Whether a changed profile copy waits to be written to disk.
  bool HasUnwrittenProfile() const { return profileCopy_.has_value(); }

 private:
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
  struct ProfileCopy {
    std::string host;
    std::string bytes;
  };
  // How a handle or another program's hold has a file open.
  struct Opener {
    bool reads = false;
    bool writes = false;
    std::uint32_t share = 0;
  };

  // Paths, sharing and buffered transfers (sim_open_files.cpp).
  // For the program's calls only: whether the drive of `path` answers a
  // read (or a write); notes a request for the medium when Windows would
  // ask for it.
  bool DriveAnswers(const char* path, bool write);
  bool Resolve(const char* path, std::string* host, std::string* winPath);
  std::string ResolveOrThrow(const std::string& path);
  // The program's handles and the other programs' holds on the file.
  std::vector<Opener> OpenersOf(const std::string& host) const;
  bool OpenAllows(const std::string& host, bool read, bool write,
                  std::uint32_t share) const;
  bool IsOpenOrHeld(const std::string& host) const;
  bool Flush(OpenFile& file);
  void FlushAll();
  void DropReadAhead(const std::string& host);
  std::size_t ReadAt(OpenFile& file, char* out, std::size_t count);
  bool WriteAt(OpenFile& file, const char* in, std::size_t count);

  // The profile cache (sim_profile_calls.cpp). Before a profile call on
  // `host`: a copy of another file goes to disk.
  void WriteBackOtherProfile(const std::string& host);
  bool WriteBackProfile();
  // Whether a profile read may use the file despite its openers.
  bool ProfileReadShared(const std::string& host) const;

  std::string hostRoot_;
  bool ownsHostRoot_ = false;
  WinPath currentDir_;
  std::map<FileHandle, OpenFile> files_;
  std::uint64_t fileSerial_ = 0;
  std::map<std::string, std::vector<Opener>> held_;  // host path -> holds
  std::map<char, DriveKind> driveKinds_;  // kinds set; others by folder
  std::uint32_t errorMode_ = 0;
  char mediumRequest_ = 0;
  // The changed copy of the most recently used profile file, not yet on
  // disk. (An unchanged copy answers as the disk would, so none is kept.)
  std::optional<ProfileCopy> profileCopy_;
};

}  // namespace nl::sim
