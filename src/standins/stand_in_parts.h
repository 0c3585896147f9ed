// What the stand-in tools share: the controls they carry, the options test,
// the causes of their prompts, and where each tool is started.
#pragma once

#include <memory>
#include <string>

#include "platform/sim/sim_system.h"
#include "standins/stand_in_tools.h"
#include "standins/tool_controls.h"

namespace nl::sim {

// The process of the boxes Windows itself puts up ("New Hardware Found").
constexpr ProcessId kSystemBoxProcess = 0x0F00;

// Whether a role's behaviours ("late" or "late+twice") include `wanted`.
bool Plays(const std::string& behaviours, const std::string& wanted);
bool IsCommandFor(const SimMessage& message, int controlId);

// Why the device installation cannot take nl-430.sys from SourcePath ("" when
// it can): the file is not there, or the drive has no medium in it.
std::string DriverMissingFromSource(SimSystem& system);
// Whether SourcePath's drive is one without its medium.
bool SourceDriveLacksMedium(SimSystem& system);

void StartHardwareWizard(SimSystem& system, ProcessId pid, const StandInOptions& options,
                         std::shared_ptr<StandInRecord> record);

}  // namespace nl::sim
