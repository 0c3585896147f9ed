// An image's description: what a registry export does not hold about the
// customer's PC, in a small text file beside system.reg that a person can
// read and edit ("image.txt"):
//
//   ; simrun image description
//   locale = 0x0407
//   drive C = fixed
//   drive D = cdrom-no-disc
//   missing = INFRARED.INF
//   system locale = 0x0407
//   windows = 4.10.2222 A
//   collected = 1999-06-01 12:00:00
//   tool RUNDLL32.EXE = present, 34304 bytes, crc32 0x1234ABCD
//   case = 2
//   pc driver = present, 4096 bytes, crc32 0x89ABCDEF
//   port COM1 = Enum\BIOS\*PNP0501\0D
//   driver database DRVDATA.BIN = present, 81920 bytes, written 0x01BEAC26463BA000
//
// One "name = value" per line; blank lines and lines starting with ";" or
// "#" are skipped. `locale` is the user default locale identifier (a number,
// hexadecimal with 0x); `drive X` gives the kind of drive X: (sim_drives.h
// lists the words); `missing` names a fact the customer's case does not
// hold, so that a finding resting on it is unknown rather than guessed: a
// key below HKEY_LOCAL_MACHINE the export lacks, or an INF file not given.
// The rest are facts of the PC the case told, for the reader and the
// support answer; the simulator runs without them: `system locale` (the
// locale Windows was installed with), `windows` (VersionNumber and
// SubVersionNumber), `collected` (the PC's date and time when the case was
// taken) and `tool NAME` (a system tool's file the command lines need, as
// the case found it); `case` (the format of the case the image was made
// from; an image without it was made from no case) and `pc driver` (the
// PC's own nl-430.sys beside the program, another than the one shipped,
// given by size and checksum alone: the image holds the shipped one);
// `port NAME` (a port in use and the device that has it) and `driver
// database NAME` (Windows 95's DRVDATA.BIN and DRVIDX.BIN as the case found
// them); `lacked` (a sentence on what the case did not hold, for the
// reports on the image).
// A drive the description does not name is a fixed disk
// when the image has its drive_x folder and no drive otherwise, so images
// without a description keep their meaning.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/files/sim_drives.h"

namespace nl::sim {

constexpr const char* kImageDescriptionFile = "image.txt";

struct ImageDescription {
  std::optional<std::uint32_t> locale;  // the user default locale identifier
  std::map<char, DriveKind> drives;     // upper-case letter -> kind
  std::set<std::string> missing;        // "Enum\\Root\\Net", "IRMINI.INF"
  std::optional<std::uint32_t> systemLocale;
  std::string windows;                       // "4.10.2222 A"; empty: not told
  std::string collected;                     // "1999-06-01 12:00:00"
  std::map<std::string, std::string> tools;  // "RUNDLL32.EXE" -> its state
  int caseFormat = 0;                        // 0: not made from a case
  std::string pcDriver;                      // empty: the image holds the PC's
  std::map<std::string, std::string> ports;           // "COM1" -> its device
  std::map<std::string, std::string> driverDatabase;  // "DRVDATA.BIN" -> its state
  std::vector<std::string> lacked;  // what the case lacked, in words ("lacked = ...")
};

// Reads the text of a description; throws std::runtime_error naming the file
// and the line of the first line it cannot read.
ImageDescription ParseImageDescription(const std::string& text,
                                       const std::string& fileName);
// The text of a description, with comments that explain the words.
std::string FormatImageDescription(const ImageDescription& description);

}  // namespace nl::sim
