// The edits the installer makes to the system's infrared INF files, and the
// display name it adds to IRMINI.INF. The installer carries them out; the
// support tool's findings check them in the files after a run.
//
// Plain constant data only: the Windows program has no C runtime to run
// constructors. Plain constexpr (one copy per file that uses it, as when the
// table stood in its .cpp) rather than inline: inline data goes to sections
// of its own and would change the program's bytes.
#pragma once

namespace nl {

constexpr const char* kIrminiInf = "IRMINI.INF";
constexpr const char* kIrminiBak = "IRMINI.BAK";
constexpr const char* kInfraredInf = "INFRARED.INF";
constexpr const char* kInfraredBak = "INFRARED.BAK";

enum class EditGate { kAlways, kGerman };

struct InfEdit {
  const char* target;
  const char* backup;  // null: through the temporary file
  EditGate gate;
  const char* search;
  const char* replacement;
};

// Edits 1 to 9, in the order the file preparation makes them; edit 10
// (kLateEdit) follows after the class installer on German systems.
constexpr InfEdit kInfEdits[] = {
    /* 1 */ {kIrminiInf, kIrminiBak, EditGate::kAlways, "irmini.sys",
             "nl-430.sys"},
    /* 2 */ {kIrminiInf, nullptr, EditGate::kAlways,
             "InfraredTransceiverType,type,,enum",
             "InfraredTransceiverType,type,,%GenericInfraredPort%"},
    /* 3 */ {kIrminiInf, nullptr, EditGate::kGerman, "DeviceID=IRMINI",
             "DeviceID=USB\\VID_1B4E&PID_0430"},
    /* 4 */ {kIrminiInf, nullptr, EditGate::kGerman,
             "HKR,Ndi,DeviceID,,IRMINI",
             "HKR,Ndi,DeviceID,,USB\\VID_1B4E&PID_0430"},
    /* 5 */ {kIrminiInf, nullptr, EditGate::kGerman,
             "HKR,,AdapterName,0,IRMINI",
             "HKR,,AdapterName,0,USB\\VID_1B4E&PID_0430"},
    /* 6 */ {kIrminiInf, nullptr, EditGate::kGerman,
             "HKR,NDIS,LogDriverName,0,IRMINI",
             "HKR,NDIS,LogDriverName,0,USB\\VID_1B4E&PID_0430"},
    /* 7 */ {kIrminiInf, nullptr, EditGate::kGerman,
             "HKR,Ndi\\Install,,0,IRMINI",
             "HKR,Ndi\\Install,,0,USB\\VID_1B4E&PID_0430"},
    /* 8 */ {kIrminiInf, nullptr, EditGate::kGerman,
             "AddReg=IRMINI_AddReg, IRMINI_NonPnP_AddReg, IRMINI.reg",
             "AddReg=IRMINI_AddReg, IRMINI.reg"},
    /* 9 */ {kInfraredInf, kInfraredBak, EditGate::kAlways, "irmini.sys",
             "nl-430.sys"},
};
constexpr int kInfEditCount =
    static_cast<int>(sizeof kInfEdits / sizeof kInfEdits[0]);

/* 10 */
constexpr InfEdit kLateEdit = {
    kIrminiInf, nullptr, EditGate::kGerman,
    "%StandardExpl%=IRMINI_Install,IRMINI",
    "%StandardExpl%=IRMINI_Install,USB\\VID_1B4E&PID_0430"};
constexpr int kLateEditNumber = kInfEditCount + 1;

// The adapter's display name in IRMINI.INF, quotes included.
constexpr const char* kDisplayNameSection = "Strings";
constexpr const char* kDisplayNameKey = "StandardExpl";
constexpr char kStandardExplValue[] =
    "\"Norvik Lumens NL-470 USB Infrared Adapter\"";

}  // namespace nl
