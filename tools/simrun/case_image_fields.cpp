#include "case_image_parts.h"

#include <cstdio>
#include <vector>

#include "regfile/reg_file.h"
#include "setup/setup_env.h"

namespace simrun {

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

std::string Field(const CaseFields& fields, const char* name) {
  const auto found = fields.find(name);
  return found == fields.end() ? std::string() : found->second.value;
}

// A Setup value of the case's registry as the installer reads it (the text
// up to its first zero, trailing backslashes dropped); false when absent.
bool SetupText(const nl::regfile::RegNode* root, const char* name, std::string* text) {
  if (root == nullptr) return false;
  std::vector<std::string> names;
  nl::regfile::SplitKeyPath(nl::kSetupKeyPath, &names);
  const nl::regfile::RegNode* key =
      nl::regfile::WalkKeys(const_cast<nl::regfile::RegNode*>(root), names);
  const nl::regfile::RegValue* value = key ? key->FindValue(name) : nullptr;
  if (!value) return false;
  *text = value->data.substr(0, value->data.find('\0'));
  while (!text->empty() && text->back() == '\\') text->pop_back();
  return true;
}

// GetDriveTypeA's answer and the medium, as an image's drive kind.
bool DriveKindOf(std::uint32_t type, bool medium, nl::sim::DriveKind* kind) {
  using nl::sim::DriveKind;
  switch (type) {
    case nl::sim::kDriveNoRootDir: *kind = DriveKind::kNone; return true;
    case nl::sim::kDriveFixed: *kind = DriveKind::kFixed; return true;
    case nl::sim::kDriveRemote: *kind = DriveKind::kNetwork; return true;
    case nl::sim::kDriveCdRom: *kind = medium ? DriveKind::kCdRom : DriveKind::kCdRomNoDisc; return true;
    case nl::sim::kDriveRemovable:
      *kind = medium ? DriveKind::kRemovable : DriveKind::kRemovableNoDisk;
      return true;
    default: return false;
  }
}

}  // namespace simrun
