#include "standins/stand_in_tools.h"

#include <memory>
#include <set>
#include <sstream>

#include "platform/sim/files/sim_profile_text.h"
#include "standins/stand_in_parts.h"
#include "standins/stand_in_user.h"

namespace nl::sim {

namespace {

constexpr const char* kSetupKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
constexpr const char* kDriverFile = "nl-430.sys";

std::string JoinedPath(const std::string& dir, const std::string& name) {
  return dir + (dir.empty() || dir.back() != '\\' ? "\\" : "") + name;
}

// ---- Class installer ----

struct InstallerState {
  ProcessId pid = 0;
  int dialogsShown = 0;
  int presses = 0;
  WindowHandle dialog = 0;
  std::string waitsFor;  // what its window on screen asks of the user
};

// Windows installs the adapter from the INF's source, SourcePath: without
// the driver file there it asks for it and waits for the user.
void AskForDriverFile(SimSystem& system, std::shared_ptr<InstallerState> state,
                      const StandInOptions& options, const std::string& cause,
                      std::shared_ptr<StandInRecord> record) {
  Prompt prompt;
  prompt.title = "Datentr\xE4ger einlegen";
  prompt.text = std::string("Die Datei '") + kDriverFile +
                "' auf (Unbekannt) wurde nicht gefunden. Legen Sie den Datentr\xE4ger ein.";
  prompt.buttons = {{kOkButton, "OK"}, {kCancelButton, "\xDC" "berspringen"}};
  const ProcessId pid = state->pid;
  // OK with a folder typed into "Copy files from": Windows copies the file
  // from there to the system folder, where drivers go, and goes on; a
  // folder without it gets the question again.
  const std::string from = options.from;
  prompt.onAnswer = [pid, from, state, options, cause, record](SimSystem& sys, int button) {
    if (button == kOkButton && !from.empty()) {
      const std::string source = from + "\\" + kDriverFile;
      if (!sys.Files().FileExists(source)) {
        AskForDriverFile(sys, state, StandInOptions{}, cause, record);
        return;
      }
      sys.Files().MakeDirectory(kSystemFolder);
      sys.Files().WriteFileText(std::string(kSystemFolder) + "\\" + kDriverFile,
                                sys.Files().ReadFileText(source));
    }
    sys.Clock().After(300, [pid](SimSystem& s) { s.Processes().EndProcess(pid); });
  };
  record->prompts.push_back(prompt.title);
  state->dialog = ShowPrompt(system, pid, prompt);
  state->waitsFor = "the class installer asks for " + std::string(kDriverFile) + " (\"" +
                    prompt.title + "\"): " + cause + "; the run waits for the user's answer";
  // Where the file is, the user cannot know: only a scenario's answer skips
  // it, or types the folder it names.
  if (UserIsThere(options.user) && options.answer == "skip")
    LetUserPress(system, state->dialog, kCancelButton);
  else if (UserIsThere(options.user) && !options.from.empty())
    LetUserPress(system, state->dialog, kOkButton);
}

void ShowInstallerDialog(SimSystem& system, std::shared_ptr<InstallerState> state,
                         const StandInOptions& options, std::shared_ptr<StandInRecord> record) {
  ++state->dialogsShown;
  WindowHandle dialog = system.Desktop().CreateWindow(
      "#32770", "Hardware-Installation", 0, 0, state->pid);
  state->dialog = dialog;
  state->waitsFor = "the class installer waits for the user at its page";
  if (!Plays(options.installer, "noforward")) {
    system.Desktop().CreateWindow("Button", "Weiter >", dialog, kForwardButton,
                        state->pid);
  }
  system.Desktop().CreateWindow("Button", "Abbrechen", dialog, kCancelButton, state->pid);
  WindowHandle page = system.Desktop().CreateWindow("#32770", "", dialog, 0, state->pid);
  system.Desktop().CreateWindow("Button", "Infrarotgeraet suchen", page,
                      kInstallerPageControl, state->pid);
  system.Desktop().SetMessageHandler(
      dialog, [state, options, dialog, record](SimSystem& sys,
                                               const SimMessage& message) {
        ProcessId pid = state->pid;
        if (IsCommandFor(message, kCancelButton)) {
          state->waitsFor.clear();
          sys.Desktop().DestroyWindow(dialog);
          sys.Clock().After(300, [pid](SimSystem& s) { s.Processes().EndProcess(pid); });
          return std::intptr_t{0};
        }
        if (!IsCommandFor(message, kForwardButton)) return std::intptr_t{0};
        ++state->presses;
        sys.Desktop().DestroyWindow(dialog);
        if (Plays(options.installer, "twice") && state->dialogsShown == 1) {
          ShowInstallerDialog(sys, state, options, record);
          return std::intptr_t{0};
        }
        std::string cause = DriverMissingFromSource(sys);
        if (cause.empty() && Plays(options.installer, "file"))
          cause = std::string(kDriverFile) + " is not where Windows looks for it";
        if (!cause.empty()) {
          AskForDriverFile(sys, state, options, cause, record);
          return std::intptr_t{0};
        }
        state->waitsFor.clear();
        sys.Clock().After(300, [pid](SimSystem& s) { s.Processes().EndProcess(pid); });
        return std::intptr_t{0};
      });
  // The user goes on where the page lets them, and cancels where it does not.
  if (UserIsThere(options.user))
    LetUserPress(system, dialog,
                 Plays(options.installer, "noforward") ? kCancelButton : kForwardButton);
}

// Like the system's class installer, which lists the models of the INF
// files, the stand-in reads IRMINI.INF from disk when it starts: as it is
// now, or, playing Windows 95's driver database, as it was before the run.
void ReadDisplayName(SimSystem& system, StandInRecord* record, const std::string* before) {
  ++record->installerStarts;
  record->installerFoundDisplayName = false;
  record->installerDisplayName.clear();
  std::string bytes;
  if (before) {
    bytes = *before;
  } else {
    const std::string dir = system.Registry().ValueText(kSetupKey, "SetupScratchDir");
    const std::string inf = JoinedPath(dir, "IRMINI.INF");
    if (dir.empty() || !system.Files().FileExists(inf)) return;
    try {
      bytes = system.Files().ReadFileText(inf);
    } catch (const std::runtime_error&) {
      return;  // held or unreadable: the installer finds no models there
    }
  }
  record->installerFoundDisplayName = FindProfileValue(
      bytes, "Strings", "StandardExpl", &record->installerDisplayName);
}

void StartClassInstaller(SimSystem& system, ProcessId pid, const StandInOptions& options,
                         std::shared_ptr<StandInRecord> record,
                         std::shared_ptr<const std::string> irminiBefore) {
  ReadDisplayName(system, record.get(),
                  Plays(options.installer, "olddb") ? irminiBefore.get() : nullptr);
  auto state = std::make_shared<InstallerState>();
  state->pid = pid;
  system.Processes().SetWaitsForUser(pid, [state](SimSystem& sys) {
    return sys.Desktop().IsWindow(state->dialog) ? state->waitsFor : std::string();
  });
  // A lingering RunDll window belongs to a helper that outlives the process.
  bool linger = Plays(options.installer, "linger");
  WindowHandle runDll =
      system.Desktop().CreateWindow("RunDll", "", 0, 0, linger ? 0 : pid);
  system.Desktop().SetWindowVisible(runDll, false);
  if (linger) {
    system.Clock().After(3000 + 4000, [runDll](SimSystem& sys) {
      sys.Desktop().DestroyWindow(runDll);
    });
  }
  if (Plays(options.installer, "absent")) {
    system.Clock().After(3000, [pid](SimSystem& sys) { sys.Processes().EndProcess(pid); });
  } else if (Plays(options.installer, "late")) {
    system.Clock().After(2500, [state, options, record](SimSystem& sys) {
      if (sys.Processes().IsAlive(state->pid)) ShowInstallerDialog(sys, state, options, record);
    });
  } else {
    ShowInstallerDialog(system, state, options, record);
  }
}

// ---- Network panel ----

// After its OK, the network panel installs what changed, from the Windows CD.
void AskForWindowsDisc(SimSystem& system, ProcessId pid, const StandInOptions& options,
                       std::shared_ptr<StandInRecord> record) {
  Prompt prompt;
  prompt.title = "Datentr\xE4ger einlegen";
  prompt.text = "Legen Sie die CD-ROM mit der Bezeichnung 'Windows 98 CD-ROM' ein.";
  prompt.buttons = {{kOkButton, "OK"}, {kCancelButton, "Abbrechen"}};
  prompt.onAnswer = [pid](SimSystem& sys, int) { sys.Processes().EndProcess(pid); };
  record->prompts.push_back(prompt.title);
  const WindowHandle box = ShowPrompt(system, pid, prompt);
  system.Processes().SetWaitsForUser(pid, [box](SimSystem& sys) {
    return sys.Desktop().IsWindow(box)
               ? std::string("the network panel asks for the Windows CD (\"Datentr\xE4ger "
                             "einlegen\")")
               : std::string();
  });
  // No disc is known to be at hand: a user who is there cancels.
  if (UserIsThere(options.user)) LetUserPress(system, box, kCancelButton);
}

void StartNetworkPanel(SimSystem& system, ProcessId pid, const StandInOptions& options,
                       std::shared_ptr<StandInRecord> record) {
  if (Plays(options.panel, "absent")) {
    system.Clock().After(2000, [pid](SimSystem& sys) { sys.Processes().EndProcess(pid); });
    return;
  }
  bool untitled = Plays(options.panel, "notitle");
  WindowHandle dialog =
      system.Desktop().CreateWindow("#32770", untitled ? "" : "Netzwerk", 0, 0, pid);
  system.Desktop().CreateWindow("Button", "OK", dialog, kOkButton, pid);
  system.Desktop().CreateWindow("Button", "Abbrechen", dialog, kCancelButton, pid);
  system.Processes().SetWaitsForUser(pid, [dialog](SimSystem& sys) {
    return sys.Desktop().IsWindow(dialog)
               ? std::string("the network panel waits for the user at its dialog")
               : std::string();
  });
  auto presses = std::make_shared<int>(0);
  int needed = Plays(options.panel, "stubborn") ? 3 : 1;
  const bool disc = Plays(options.panel, "disc") || SourceDriveLacksMedium(system);
  system.Desktop().SetMessageHandler(
      dialog, [pid, presses, needed, disc, dialog, options, record](SimSystem& sys,
                                                                    const SimMessage& message) {
        if (!IsCommandFor(message, kOkButton) || ++*presses < needed) return std::intptr_t{0};
        if (disc) {
          sys.Desktop().DestroyWindow(dialog);
          AskForWindowsDisc(sys, pid, options, record);
        } else {
          sys.Processes().EndProcess(pid);
        }
        return std::intptr_t{0};
      });
  if (UserIsThere(options.user)) LetUserPress(system, dialog, kOkButton);
}

void Script(SimSystem& system, const char* commandLine,
            const std::string& behaviour, ProgramScript start) {
  if (Plays(behaviour, "failstart")) {
    system.Processes().FailStart(commandLine);
    return;
  }
  system.Processes().ScriptProgram(commandLine, std::move(start));
}

// The behaviours of a role: each part known, at least one.
bool AllKnown(const std::string& value, const std::set<std::string>& behaviours) {
  std::istringstream parts(value);
  std::string part;
  bool any = false;
  while (std::getline(parts, part, '+')) {
    if (!behaviours.count(part)) return false;
    any = true;
  }
  return any;
}

}  // namespace

bool Plays(const std::string& behaviours, const std::string& wanted) {
  std::istringstream parts(behaviours);
  std::string part;
  while (std::getline(parts, part, '+')) {
    if (part == wanted) return true;
  }
  return false;
}

bool IsCommandFor(const SimMessage& message, int controlId) {
  return message.message == kWmCommand &&
         (message.wParam & 0xFFFF) == static_cast<std::uintptr_t>(controlId);
}

bool SourceDriveLacksMedium(SimSystem& system) {
  const std::string source = system.Registry().ValueText(kSetupKey, "SourcePath");
  if (source.size() < 2 || source[1] != ':') return false;
  const DriveKind kind = system.Files().DriveKindOf(static_cast<char>(std::toupper(
      static_cast<unsigned char>(source[0]))));
  return kind == DriveKind::kCdRomNoDisc || kind == DriveKind::kRemovableNoDisk;
}

std::string DriverMissingFromSource(SimSystem& system) {
  const std::string source = system.Registry().ValueText(kSetupKey, "SourcePath");
  if (SourceDriveLacksMedium(system))
    return "drive " + source.substr(0, 2) + " of SourcePath \"" + source + "\" has no medium";
  bool there = false;
  try {
    there = !source.empty() && system.Files().FileExists(JoinedPath(source, kDriverFile));
  } catch (const std::exception&) {
    there = false;  // a name Windows refuses holds no file either
  }
  if (there) return "";
  return std::string(kDriverFile) + " is not in SourcePath \"" + source + "\"";
}

bool ParseStandInOptions(const std::string& text, StandInOptions* options) {
  static const std::set<std::string> kInstaller = {
      "normal", "late", "absent", "noforward", "twice", "linger", "file", "olddb", "failstart"};
  static const std::set<std::string> kWizard = {
      "normal", "late", "absent", "exit", "slowpage", "no1580", "restart", "newhw", "failstart"};
  static const std::set<std::string> kPanel = {"normal", "stubborn", "absent",
                                               "notitle", "disc", "failstart"};
  static const std::set<std::string> kUser = {"clicks", "finish", "away"};
  static const std::set<std::string> kAnswer = {"yes", "no", "skip"};
  StandInOptions parsed = *options;
  std::istringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    if (item.empty()) continue;
    std::size_t equals = item.find('=');
    if (equals == std::string::npos) return false;
    std::string role = item.substr(0, equals);
    std::string value = item.substr(equals + 1);
    if (role == "installer" && AllKnown(value, kInstaller)) {
      parsed.installer = value;
    } else if (role == "wizard" && AllKnown(value, kWizard)) {
      parsed.wizard = value;
    } else if (role == "panel" && AllKnown(value, kPanel)) {
      parsed.panel = value;
    } else if (role == "user" && kUser.count(value)) {
      parsed.user = value;
    } else if (role == "answer" && kAnswer.count(value)) {
      parsed.answer = value;
    } else if (role == "from" && value.size() >= 3 && value.size() < 200 && value[1] == ':' &&
               value[2] == '\\') {
      parsed.from = value;
    } else if (role == "grow" && !value.empty() && value.size() <= 6 &&
               value.find_first_not_of("0123456789") == std::string::npos) {
      parsed.growMs = std::stoi(value);
    } else {
      return false;
    }
  }
  *options = parsed;
  return true;
}

std::shared_ptr<const StandInRecord> InstallStandInTools(
    SimSystem& system, const StandInOptions& options) {
  auto record = std::make_shared<StandInRecord>();
  // What the INF files held before the run, for a driver database that
  // kept them.
  auto irminiBefore = std::make_shared<std::string>();
  const std::string dir = system.Registry().ValueText(kSetupKey, "SetupScratchDir");
  try {
    if (!dir.empty() && system.Files().FileExists(JoinedPath(dir, "IRMINI.INF")))
      *irminiBefore = system.Files().ReadFileText(JoinedPath(dir, "IRMINI.INF"));
  } catch (const std::exception&) {
    irminiBefore->clear();
  }
  Script(system, kClassInstallerCommandLine, options.installer,
         [options, record, irminiBefore](SimSystem& sys, ProcessId pid) {
           StartClassInstaller(sys, pid, options, record, irminiBefore);
         });
  Script(system, kHardwareWizardCommandLine, options.wizard,
         [options, record](SimSystem& sys, ProcessId pid) {
           StartHardwareWizard(sys, pid, options, record);
         });
  Script(system, kNetworkPanelCommandLine, options.panel,
         [options, record](SimSystem& sys, ProcessId pid) {
           StartNetworkPanel(sys, pid, options, record);
         });
  return record;
}

}  // namespace nl::sim
