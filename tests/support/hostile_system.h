// The bundled German sample system, disturbed one way at a time and run from
// start to end: how the run ended, and what the INF files must look like
// after a run that edited them.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "../support/substitution_model.h"
#include "main/install_sequence.h"
#include "platform/sim/files/sim_profile_text.h"
#include "platform/sim/sim_system.h"
#include "standins/stand_in_tools.h"

namespace nl::testing {

constexpr std::uint32_t kGermanLcid = 0x407;
constexpr std::uint32_t kEnglishLcid = 0x409;

constexpr const char* kSetupKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
constexpr const char* kSampleInfDir = "C:\\WINDOWS\\INF";
constexpr const char* kProgramDriver = "C:\\NLSETUP\\nl-430.sys";
constexpr const char* kCopiedDriver = "C:\\WINDOWS\\OPTIONS\\CABS\\nl-430.sys";
constexpr const char* kHardwareId = "USB\\VID_1B4E&PID_0430";
constexpr const char* kStandardExplValue =
    "\"Norvik Lumens NL-470 USB Infrared Adapter\"";

inline std::string SampleImage() {
  return std::string(NL_SOURCE_DIR) + "/samples/de-win98";
}

inline std::string InDir(const std::string& dir, const std::string& name) {
  return dir + "\\" + name;
}

// The sample system with the stand-in tools, in the given user locale.
inline void PrepareSampleSystem(sim::SimSystem& sim, std::uint32_t lcid) {
  sim.LoadImage(SampleImage());
  sim.Processes().SetUserDefaultLcid(lcid);
  // A healthy run takes seconds of virtual time; only a hang gets near this.
  sim.Clock().SetTimeLimit(30u * 60u * 1000u);
  // Where Windows asks for nl-430.sys, the user skips it: the catalogue is
  // about what the program does, and the run goes on as it would then.
  sim::StandInOptions tools;
  tools.answer = "skip";
  sim::InstallStandInTools(sim, tools);
}

enum class RunEnding { kReturned, kHung, kThrew };

struct RunOutcome {
  RunEnding ending = RunEnding::kThrew;
  int exitCode = -1;
  std::string error;
  std::size_t openKeys = 0;
  std::size_t openFiles = 0;
};

inline RunOutcome RunWholeProgram(sim::SimSystem& sim) {
  RunOutcome outcome;
  try {
    outcome.exitCode = InstallerMain(sim, 0x400000);
    outcome.ending = RunEnding::kReturned;
  } catch (const sim::SimTimeLimit& thrown) {
    outcome.ending = RunEnding::kHung;
    outcome.error = thrown.what();
  } catch (const std::exception& thrown) {
    outcome.ending = RunEnding::kThrew;
    outcome.error = thrown.what();
  }
  sim.Files().ProgramEnded();
  outcome.openKeys = sim.Registry().OpenKeyCount();
  outcome.openFiles = sim.Files().OpenFileCount();
  return outcome;
}

// A directory "C:\...\..." of exactly `length` characters (at least 4), made
// of names short enough for any host file system.
inline std::string LongDirectory(std::size_t length) {
  std::string dir = "C:";
  char letter = 'A';
  while (dir.size() < length) {
    std::size_t room = length - dir.size() - 1;  // after the next backslash
    std::size_t name = room > 60 ? 60 : room;
    // Never leave room for a backslash alone.
    if (room > 60 && room - 60 < 2) name = 50;
    dir += '\\';
    dir.append(name, letter);
    letter = letter == 'Z' ? 'A' : static_cast<char>(letter + 1);
  }
  return dir;
}

// ---- The edits of a complete run, as a plain model ----

// IRMINI.INF after phase 3: the driver file name and the transceiver type
// always, the hardware identity on German systems, then the display name.
inline std::string IrminiAfterPatch(const std::string& original, bool german) {
  const std::string id = kHardwareId;
  std::string text = ModelSubstitute(original, "irmini.sys", "nl-430.sys");
  text = ModelSubstitute(text, "InfraredTransceiverType,type,,enum",
                         "InfraredTransceiverType,type,,%GenericInfraredPort%");
  if (german) {
    text = ModelSubstitute(text, "DeviceID=IRMINI", "DeviceID=" + id);
    text = ModelSubstitute(text, "HKR,Ndi,DeviceID,,IRMINI",
                           "HKR,Ndi,DeviceID,," + id);
    text = ModelSubstitute(text, "HKR,,AdapterName,0,IRMINI",
                           "HKR,,AdapterName,0," + id);
    text = ModelSubstitute(text, "HKR,NDIS,LogDriverName,0,IRMINI",
                           "HKR,NDIS,LogDriverName,0," + id);
    text = ModelSubstitute(text, "HKR,Ndi\\Install,,0,IRMINI",
                           "HKR,Ndi\\Install,,0," + id);
    text = ModelSubstitute(
        text, "AddReg=IRMINI_AddReg, IRMINI_NonPnP_AddReg, IRMINI.reg",
        "AddReg=IRMINI_AddReg, IRMINI.reg");
  }
  return sim::SetProfileValue(text, "Strings", "StandardExpl",
                              kStandardExplValue);
}

// IRMINI.INF after a whole run: phase 3, then on German systems the model
// line of the display name gets the hardware identity.
inline std::string IrminiAfterRun(const std::string& original, bool german) {
  std::string text = IrminiAfterPatch(original, german);
  if (!german) return text;
  return ModelSubstitute(text, "%StandardExpl%=IRMINI_Install,IRMINI",
                         std::string("%StandardExpl%=IRMINI_Install,") +
                             kHardwareId);
}

inline std::string InfraredAfterRun(const std::string& original) {
  return ModelSubstitute(original, "irmini.sys", "nl-430.sys");
}

}  // namespace nl::testing
