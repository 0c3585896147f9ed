// The case file NLDIAG.EXE writes (NLCASE.TXT) and simrun reads: its name,
// the words that mark its parts and its limits. Plain constant data, shared
// by the writer (the Windows program) and the reader (simrun).
//
// The file is text in the PC's code page with CRLF line ends, readable in
// Notepad. It starts with kCaseFirstLine; a line "== <part>" opens each part
// and "== end" closes the file, so that a file cut short in sending shows as
// such. Lines starting with ";" are comments. Inside a part, a line is
// "name = value"; the registry part is a REGEDIT4 file as regedit writes
// one; a file's bytes are lines of hexadecimal digits, kHexBytesPerLine
// bytes a line. README.md describes every line.
#pragma once

#include <cstdint>

#include "registry/infrared_class_table.h"
#include "registry/network_entry_table.h"
#include "setup/driver_prep.h"
#include "setup/inf_edit_table.h"
#include "setup/inf_replace.h"
#include "setup/setup_env.h"

namespace nl::diag {

constexpr const char* kCaseFileName = "NLCASE.TXT";
// Version 2 adds the parts marked below and the system part's version
// numbers and date; simrun reads both versions.
constexpr const char* kCaseFirstLine = "NLDIAG case file 2";
constexpr const char* kCaseFirstLineVersion1 = "NLDIAG case file 1";

constexpr const char* kPartSystem = "system";
constexpr const char* kPartRegistry = "registry";
constexpr const char* kPartRegistryStatus = "registry status";
constexpr const char* kPartFilePrefix = "file ";  // "== file IRMINI.INF"
constexpr const char* kPartProgramFolder = "program folder";
constexpr const char* kPartSourceDrive = "source drive";
constexpr const char* kPartEnd = "end";
// Since version 2.
constexpr const char* kPartDriverBesideProgram = "driver beside the program";
constexpr const char* kPartDriverInSource = "driver in SourcePath";
constexpr const char* kPartInfFolderFilePrefix = "inf folder file ";  // "== inf folder file IRMINI.INF"
constexpr const char* kPartSystemTools = "system tools";
constexpr const char* kPartDriverDatabase = "driver database";  // Windows 95 only
constexpr const char* kPartPorts = "ports";

// What the collector takes: the keys the installation reads or writes,
// below HKEY_LOCAL_MACHINE: the Setup key's values, and the other keys with
// everything beneath them.
constexpr const char* kRegistryRoot = "HKEY_LOCAL_MACHINE";
using nl::kAdapterEnumPath;
struct CaseSubtree {
  const char* path;
  bool valuesOnly;
};
constexpr CaseSubtree kCaseSubtrees[] = {
    {kSetupKeyPath, true},
    {kInfraredEnumPath, false},
    {kNetworkEntries[0].keyPath, false},
    {kClassKeyPath, false},
    {kNetworkEntries[1].keyPath, false},
    {kNetworkEntries[2].keyPath, false},
    // The adapter's own node: whether Windows has seen it, installed it, or
    // failed to (its ConfigFlags). Since version 2.
    {kAdapterEnumPath, false},
};

// Limits. A subtree with more keys or values is written up to the limit and
// marked "too large"; a value with more data, a file larger than its limit
// is recorded as too large, without its bytes.
constexpr std::uint32_t kMaxKeysPerSubtree = 2000;
constexpr std::uint32_t kMaxValuesPerSubtree = 20000;
constexpr std::uint32_t kMaxKeyDepth = 32;         // below the subtree's key
constexpr std::uint32_t kMaxValueData = 65536;     // bytes of one value
constexpr std::uint32_t kMaxValueName = 1024;      // bytes of one value name
constexpr std::uint32_t kMaxKeyPath = 1024;        // bytes of a key's path
constexpr std::uint32_t kMaxFileBytes = 1048576;   // a setup file's bytes
constexpr std::uint32_t kMaxChecksummedBytes = 16u * 1048576u;  // program folder
constexpr std::uint32_t kHexBytesPerLine = 32;

// The key of the Windows version numbers (the Setup key's parent).
constexpr const char* kCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// The setup files the case carries, from the setup scratch directory.
constexpr const char* kCaseSetupFiles[] = {
    kIrminiInf, kInfraredInf, kIrminiBak, kInfraredBak, kTempInfName,
};
// The files looked for beside the collector: the driver and the installer.
constexpr const char* kInstallerFileName = "NLSETUP.EXE";

}  // namespace nl::diag
