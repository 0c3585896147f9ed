// Where the setup directories and the program itself are, and whether the
// user's locale is German.
#pragma once

#include <cstddef>
#include <cstdint>

#include "setup/install_run.h"

namespace nl {

// The Setup key (below HKEY_LOCAL_MACHINE) and its values naming the setup
// scratch directory, which holds the INF files, and the setup source
// directory, which gets the driver file.
constexpr const char* kSetupKeyPath =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
constexpr const char* kScratchDirValue = "SetupScratchDir";
constexpr const char* kSourcePathValue = "SourcePath";

// Reads a value of the Setup key as text into `buffer` (capacity in bytes),
// whatever its registry type, and drops its trailing backslashes. A value that
// does not fit, or that cannot be read, leaves the buffer as it was and gives
// false. A value that fills the whole capacity without a zero byte is read up
// to the capacity; it is used when, without its trailing backslashes, it
// leaves room for the zero, and counts as unreadable otherwise.
bool ReadSetupValue(Platform& os, const char* valueName, char* buffer,
                    std::size_t capacity);

// Composes "<scratch dir>\<fileName>" into `out`. The scratch directory is
// looked up once and then cached for the run; while it is unknown every call
// asks the registry again. False, with `out` untouched, when the directory is
// unknown or the composed path does not fit `capacity`.
bool GetSetupScratchPath(InstallRun& run, const char* fileName, char* out,
                         std::size_t capacity);

// The directory of the running program without a trailing backslash
// (C:\SETUP\FIX.EXE gives C:\SETUP; C:\FIX.EXE gives C:). An empty text when
// the program's file name cannot be obtained.
void GetModuleDirectory(Platform& os, ProgramInstance instance, char* out,
                        std::size_t capacity);

// True when the low eight bits of the locale identifier are 7 (German, any
// region).
constexpr bool IsGermanLocaleId(std::uint32_t lcid) { return (lcid & 0xFF) == 7; }

// IsGermanLocaleId of the user default locale, asked afresh on every call.
bool IsGermanLocale(Platform& os);

}  // namespace nl
