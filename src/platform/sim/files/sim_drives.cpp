#include "platform/sim/files/sim_drives.h"

#include "regfile/ignore_case.h"

namespace nl::sim {

namespace {

struct DriveKindRow {
  DriveKind kind;
  const char* name;
  const char* phrase;
  std::uint32_t driveType;
};

const DriveKindRow kDriveKinds[] = {
    {DriveKind::kNone, "none", "no drive", kDriveNoRootDir},
    {DriveKind::kFixed, "fixed", "a fixed disk", kDriveFixed},
    {DriveKind::kCdRom, "cdrom", "a CD-ROM drive with its disc", kDriveCdRom},
    {DriveKind::kCdRomNoDisc, "cdrom-no-disc", "a CD-ROM drive without its disc", kDriveCdRom},
    {DriveKind::kRemovable, "removable", "a removable disk drive with its disk",
     kDriveRemovable},
    {DriveKind::kRemovableNoDisk, "removable-no-disk",
     "a removable disk drive without its disk", kDriveRemovable},
    {DriveKind::kNetwork, "network", "a network share", kDriveRemote},
};

const DriveKindRow& RowOf(DriveKind kind) {
  for (const DriveKindRow& row : kDriveKinds)
    if (row.kind == kind) return row;
  return kDriveKinds[0];
}

}  // namespace

const char* DriveKindName(DriveKind kind) { return RowOf(kind).name; }
const char* DriveKindPhrase(DriveKind kind) { return RowOf(kind).phrase; }
std::uint32_t DriveTypeOf(DriveKind kind) { return RowOf(kind).driveType; }

bool ParseDriveKind(std::string_view name, DriveKind* kind) {
  for (const DriveKindRow& row : kDriveKinds)
    if (regfile::EqualsIgnoreCase(name, row.name)) {
      *kind = row.kind;
      return true;
    }
  return false;
}

bool HasMedium(DriveKind kind) {
  return kind != DriveKind::kNone && !AsksForMedium(kind);
}

bool AsksForMedium(DriveKind kind) {
  return kind == DriveKind::kCdRomNoDisc || kind == DriveKind::kRemovableNoDisk;
}

bool IsReadOnlyMedium(DriveKind kind) { return kind == DriveKind::kCdRom; }

}  // namespace nl::sim
