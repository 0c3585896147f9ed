// What the parts of an image made from a case share: small readers of the
// case's fields and the planning of the PC's own folders and facts.
#pragma once

#include <cstdint>
#include <string>

#include "case_file.h"
#include "case_image.h"
#include "platform/sim/files/sim_drives.h"
#include "regfile/reg_tree.h"

namespace simrun {

std::string Hex32(std::uint32_t value);
// The value of a field, or empty.
std::string Field(const CaseFields& fields, const char* name);
// A Setup value of the case's registry as the installer reads it (the text
// up to its first zero, trailing backslashes dropped); false when absent.
bool SetupText(const nl::regfile::RegNode* root, const char* name, std::string* text);
// GetDriveTypeA's answer and the medium, as an image's drive kind.
bool DriveKindOf(std::uint32_t type, bool medium, nl::sim::DriveKind* kind);

// The program's folder and the SourcePath drive with the driver file the
// case found there (case_image_pc.cpp).
void PlanProgramFolder(const CaseFile& caseFile, const std::string& shippedDriver,
                       CaseImagePlan* plan);
void PlanSourceDrive(const CaseFile& caseFile, const std::string& shippedDriver,
                     CaseImagePlan* plan);
// What the case tells of the PC beyond what the run uses, into image.txt.
void PlanFactsOfThePc(const CaseFile& caseFile, CaseImagePlan* plan);

}  // namespace simrun
