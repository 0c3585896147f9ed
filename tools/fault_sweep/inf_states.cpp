#include "inf_states.h"

#include <vector>

#include "../../tests/support/substitution_model.h"
#include "platform/sim/files/sim_profile_text.h"

namespace sweep {

namespace {

struct Edit {
  const char* search;
  const char* replacement;
};

// IRMINI.INF's substitutions in the order a run makes them; the display-name
// write comes after the eighth.
const std::vector<Edit> kIrminiEdits = {
    {"irmini.sys", "nl-430.sys"},
    {"InfraredTransceiverType,type,,enum",
     "InfraredTransceiverType,type,,%GenericInfraredPort%"},
    {"DeviceID=IRMINI", "DeviceID=USB\\VID_1B4E&PID_0430"},
    {"HKR,Ndi,DeviceID,,IRMINI", "HKR,Ndi,DeviceID,,USB\\VID_1B4E&PID_0430"},
    {"HKR,,AdapterName,0,IRMINI", "HKR,,AdapterName,0,USB\\VID_1B4E&PID_0430"},
    {"HKR,NDIS,LogDriverName,0,IRMINI",
     "HKR,NDIS,LogDriverName,0,USB\\VID_1B4E&PID_0430"},
    {"HKR,Ndi\\Install,,0,IRMINI", "HKR,Ndi\\Install,,0,USB\\VID_1B4E&PID_0430"},
    {"AddReg=IRMINI_AddReg, IRMINI_NonPnP_AddReg, IRMINI.reg",
     "AddReg=IRMINI_AddReg, IRMINI.reg"},
};
const Edit kLateEdit = {"%StandardExpl%=IRMINI_Install,IRMINI",
                        "%StandardExpl%=IRMINI_Install,USB\\VID_1B4E&PID_0430"};

std::string Substitute(const std::string& text, const Edit& edit) {
  return nl::testing::ModelSubstitute(text, edit.search, edit.replacement);
}

// The display-name write, by the simulated system's profile text rules.
std::string WriteDisplayName(const std::string* text) {
  return nl::sim::SetProfileValue(text ? *text : "", "Strings", "StandardExpl",
                                  "\"Norvik Lumens NL-470 USB Infrared Adapter\"");
}

}  // namespace

InfStates ComputeInfStates(const std::string& irminiOriginal,
                           const std::string& infraredOriginal) {
  InfStates states;
  states.irminiOriginal = irminiOriginal;
  states.infraredOriginal = infraredOriginal;

  // Eight substitutions, the display name, the late substitution: every
  // selection of the ten, applied in that order.
  const unsigned steps = static_cast<unsigned>(kIrminiEdits.size()) + 2;
  for (unsigned mask = 0; mask < (1u << steps); ++mask) {
    std::string text = irminiOriginal;
    for (unsigned i = 0; i < kIrminiEdits.size(); ++i) {
      if (mask & (1u << i)) text = Substitute(text, kIrminiEdits[i]);
    }
    if (mask & (1u << kIrminiEdits.size())) text = WriteDisplayName(&text);
    if (mask & (1u << (kIrminiEdits.size() + 1))) text = Substitute(text, kLateEdit);
    states.irmini.insert(text);
  }
  states.infrared.insert(infraredOriginal);
  states.infrared.insert(Substitute(infraredOriginal, {"irmini.sys", "nl-430.sys"}));
  states.irminiOnlyDisplayName = WriteDisplayName(nullptr);
  return states;
}

}  // namespace sweep
