// The kinds of drive a letter of the simulated system stands for, as
// Windows tells them apart (GetDriveTypeA) and as they behave for the
// program's file calls.
//
// - fixed: a hard disk; everything works.
// - cdrom: a CD-ROM drive with its disc: reads work, every write fails (the
//   medium is read-only).
// - cdrom-no-disc, removable-no-disk: a drive without its medium. A file
//   call on it makes Windows ask for the medium in its critical-error box
//   and wait for the user, unless the process's error mode holds
//   SEM_FAILCRITICALERRORS: then the call fails quietly.
// - removable: a floppy or other removable disk with its medium: like a
//   fixed disk.
// - network: a network share. Modelled as a writable folder, but what a
//   share holds and allows is the server's: a tool should say so rather
//   than guess.
// - none: no drive of that letter; every call fails quietly, whatever the
//   error mode.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace nl::sim {

enum class DriveKind {
  kNone,
  kFixed,
  kCdRom,
  kCdRomNoDisc,
  kRemovable,
  kRemovableNoDisk,
  kNetwork,
};

// GetDriveTypeA's answers.
constexpr std::uint32_t kDriveUnknown = 0;
constexpr std::uint32_t kDriveNoRootDir = 1;
constexpr std::uint32_t kDriveRemovable = 2;
constexpr std::uint32_t kDriveFixed = 3;
constexpr std::uint32_t kDriveRemote = 4;
constexpr std::uint32_t kDriveCdRom = 5;

// "fixed", "cdrom", "cdrom-no-disc", "removable", "removable-no-disk",
// "network", "none": the words of an image's description.
const char* DriveKindName(DriveKind kind);
// False when `name` is none of the words above (letter case ignored).
bool ParseDriveKind(std::string_view name, DriveKind* kind);
// In words for a report: "a CD-ROM drive without its disc".
const char* DriveKindPhrase(DriveKind kind);

// What GetDriveTypeA answers for the drive's root.
std::uint32_t DriveTypeOf(DriveKind kind);
// Whether a medium is in the drive (false for none).
bool HasMedium(DriveKind kind);
// Whether a file call on the drive waits for its medium (or fails quietly
// under SEM_FAILCRITICALERRORS).
bool AsksForMedium(DriveKind kind);
// Whether its medium takes no writes.
bool IsReadOnlyMedium(DriveKind kind);

}  // namespace nl::sim
