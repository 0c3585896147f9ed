#include "standins/stand_in_tools.h"

#include <memory>
#include <set>
#include <sstream>

#include "platform/sim/files/sim_profile_text.h"

namespace nl::sim {

namespace {

constexpr const char* kSetupKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
constexpr int kForwardButton = 12324;
constexpr int kFinishButton = 12325;
constexpr int kOkButton = 1;
constexpr int kCancelButton = 2;
constexpr int kInstallerPageControl = 502;
constexpr int kWizardFirstControl = 1551;
constexpr int kManufacturerList = 1580;
constexpr int kModelList = 1581;

// Whether a role's behaviours ("late" or "late+twice") include `wanted`.
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

// ---- Class installer ----

struct InstallerState {
  ProcessId pid = 0;
  int dialogsShown = 0;
  int presses = 0;
};

void ShowInstallerDialog(SimSystem& system, std::shared_ptr<InstallerState> state,
                         const StandInOptions& options) {
  ++state->dialogsShown;
  WindowHandle dialog = system.Desktop().CreateWindow(
      "#32770", "Hardware-Installation", 0, 0, state->pid);
  if (!Plays(options.installer, "noforward")) {
    system.Desktop().CreateWindow("Button", "Weiter >", dialog, kForwardButton,
                        state->pid);
  }
  WindowHandle page = system.Desktop().CreateWindow("#32770", "", dialog, 0, state->pid);
  system.Desktop().CreateWindow("Button", "Infrarotgeraet suchen", page,
                      kInstallerPageControl, state->pid);
  system.Desktop().SetMessageHandler(
      dialog, [state, options, dialog](SimSystem& sys,
                                       const SimMessage& message) {
        if (!IsCommandFor(message, kForwardButton)) return std::intptr_t{0};
        ++state->presses;
        ProcessId pid = state->pid;
        if (Plays(options.installer, "twice") && state->dialogsShown == 1) {
          sys.Desktop().DestroyWindow(dialog);
          ShowInstallerDialog(sys, state, options);
          return std::intptr_t{0};
        }
        sys.Clock().After(300, [pid](SimSystem& s) { s.Processes().EndProcess(pid); });
        return std::intptr_t{0};
      });
  // Without a press on this dialog it gives up after a few seconds.
  int pressesBefore = state->presses;
  system.Clock().After(3000, [state, pressesBefore](SimSystem& sys) {
    if (state->presses == pressesBefore) sys.Processes().EndProcess(state->pid);
  });
}

// Like the system's class installer, which lists the models of the INF
// files, the stand-in reads IRMINI.INF from disk when it starts.
void ReadDisplayName(SimSystem& system, StandInRecord* record) {
  ++record->installerStarts;
  record->installerFoundDisplayName = false;
  record->installerDisplayName.clear();
  const std::string dir = system.Registry().ValueText(kSetupKey, "SetupScratchDir");
  const std::string inf = dir + (dir.empty() || dir.back() != '\\' ? "\\" : "") + "IRMINI.INF";
  if (dir.empty() || !system.Files().FileExists(inf)) return;
  std::string bytes;
  try {
    bytes = system.Files().ReadFileText(inf);
  } catch (const std::runtime_error&) {
    return;  // held or unreadable: the installer finds no models there
  }
  record->installerFoundDisplayName = FindProfileValue(
      bytes, "Strings", "StandardExpl", &record->installerDisplayName);
}

void StartClassInstaller(SimSystem& system, ProcessId pid,
                         const StandInOptions& options, StandInRecord* record) {
  ReadDisplayName(system, record);
  auto state = std::make_shared<InstallerState>();
  state->pid = pid;
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
    system.Clock().After(2500, [state, options](SimSystem& sys) {
      if (sys.Processes().IsAlive(state->pid)) ShowInstallerDialog(sys, state, options);
    });
  } else {
    ShowInstallerDialog(system, state, options);
  }
}

// ---- Hardware wizard ----

struct WizardState {
  ProcessId pid = 0;
  WindowHandle dialog = 0;
  WindowHandle page = 0;
  WindowHandle models = 0;
  int pageNumber = 0;
  std::intptr_t modelCount = 0;
  std::uint64_t growUntil = 0;
};

void GrowModels(SimSystem& system, std::shared_ptr<WizardState> state) {
  if (!system.Desktop().IsWindow(state->models)) return;
  system.Desktop().SetItemCount(state->models, ++state->modelCount);
  if (system.Clock().Now() < state->growUntil) {
    system.Clock().After(100, [state](SimSystem& sys) { GrowModels(sys, state); });
  }
}

void ShowModelPage(SimSystem& system, std::shared_ptr<WizardState> state,
                   const StandInOptions& options) {
  state->pageNumber = 2;
  state->page = system.Desktop().CreateWindow("#32770", "", state->dialog, 0, state->pid);
  if (Plays(options.wizard, "no1580")) return;
  system.Desktop().CreateWindow("ListBox", "", state->page, kManufacturerList,
                      state->pid);
  state->models = system.Desktop().CreateWindow("SysListView32", "", state->page,
                                      kModelList, state->pid);
  state->modelCount = 1;
  system.Desktop().SetItemCount(state->models, state->modelCount);
  state->growUntil = system.Clock().Now() + static_cast<std::uint64_t>(options.growMs);
  system.Clock().After(100, [state](SimSystem& sys) { GrowModels(sys, state); });
}

void ShowWizard(SimSystem& system, std::shared_ptr<WizardState> state,
                const StandInOptions& options) {
  ProcessId pid = state->pid;
  WindowHandle dialog =
      system.Desktop().CreateWindow("#32770", "Hardware-Assistent", 0, 0, pid);
  state->dialog = dialog;
  system.Desktop().CreateWindow("Button", "Weiter >", dialog, kForwardButton, pid);
  system.Desktop().CreateWindow("Button", "Fertig stellen", dialog, kFinishButton, pid);
  state->page = system.Desktop().CreateWindow("#32770", "", dialog, 0, pid);
  system.Desktop().CreateWindow("Edit", "", state->page, kWizardFirstControl, pid);
  state->pageNumber = 1;
  system.Desktop().SetMessageHandler(
      dialog, [state, options](SimSystem& sys, const SimMessage& message) {
        if (IsCommandFor(message, kForwardButton)) {
          if (state->pageNumber == 1) {
            sys.Desktop().DestroyWindow(state->page);
            if (Plays(options.wizard, "slowpage")) {
              state->pageNumber = 0;
              sys.Clock().After(2500, [state, options](SimSystem& s) {
                if (s.Desktop().IsWindow(state->dialog)) ShowModelPage(s, state, options);
              });
            } else {
              ShowModelPage(sys, state, options);
            }
          } else if (state->pageNumber == 2) {
            state->pageNumber = 3;
          }
        } else if (IsCommandFor(message, kFinishButton)) {
          sys.Processes().EndProcess(state->pid);
        }
        return std::intptr_t{0};
      });
  // Without a finish command it ends by itself.
  system.Clock().After(15000, [pid](SimSystem& sys) { sys.Processes().EndProcess(pid); });
}

void StartHardwareWizard(SimSystem& system, ProcessId pid,
                         const StandInOptions& options) {
  if (Plays(options.wizard, "exit")) {
    system.Processes().EndProcess(pid);
    return;
  }
  WindowHandle runDll = system.Desktop().CreateWindow("RunDll", "", 0, 0, pid);
  system.Desktop().SetWindowVisible(runDll, false);
  auto state = std::make_shared<WizardState>();
  state->pid = pid;
  if (Plays(options.wizard, "absent")) {
    system.Clock().After(3000, [pid](SimSystem& sys) { sys.Processes().EndProcess(pid); });
  } else if (Plays(options.wizard, "late")) {
    system.Clock().After(1200, [state, options](SimSystem& sys) {
      if (sys.Processes().IsAlive(state->pid)) ShowWizard(sys, state, options);
    });
  } else {
    ShowWizard(system, state, options);
  }
}

// ---- Network panel ----

void StartNetworkPanel(SimSystem& system, ProcessId pid,
                       const StandInOptions& options) {
  if (Plays(options.panel, "absent")) {
    system.Clock().After(2000, [pid](SimSystem& sys) { sys.Processes().EndProcess(pid); });
    return;
  }
  bool untitled = Plays(options.panel, "notitle");
  WindowHandle dialog =
      system.Desktop().CreateWindow("#32770", untitled ? "" : "Netzwerk", 0, 0, pid);
  system.Desktop().CreateWindow("Button", "OK", dialog, kOkButton, pid);
  system.Desktop().CreateWindow("Button", "Abbrechen", dialog, kCancelButton, pid);
  if (untitled) {
    system.Clock().After(4000, [pid](SimSystem& sys) { sys.Processes().EndProcess(pid); });
    return;
  }
  auto presses = std::make_shared<int>(0);
  int needed = Plays(options.panel, "stubborn") ? 3 : 1;
  system.Desktop().SetMessageHandler(
      dialog, [pid, presses, needed](SimSystem& sys, const SimMessage& message) {
        if (IsCommandFor(message, kOkButton) && ++*presses >= needed) {
          sys.Processes().EndProcess(pid);
        }
        return std::intptr_t{0};
      });
}

void Script(SimSystem& system, const char* commandLine,
            const std::string& behaviour, ProgramScript start) {
  if (Plays(behaviour, "failstart")) {
    system.Processes().FailStart(commandLine);
    return;
  }
  system.Processes().ScriptProgram(commandLine, std::move(start));
}

}  // namespace

bool ParseStandInOptions(const std::string& text, StandInOptions* options) {
  static const std::set<std::string> kInstaller = {
      "normal", "late", "absent", "noforward", "twice", "linger", "failstart"};
  static const std::set<std::string> kWizard = {
      "normal", "late", "absent", "exit", "slowpage", "no1580", "failstart"};
  static const std::set<std::string> kPanel = {"normal", "stubborn", "absent",
                                               "notitle", "failstart"};
  std::istringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    if (item.empty()) continue;
    std::size_t equals = item.find('=');
    if (equals == std::string::npos) return false;
    std::string role = item.substr(0, equals);
    std::string value = item.substr(equals + 1);
    auto known = [&value](const std::set<std::string>& behaviours) {
      std::istringstream parts(value);
      std::string part;
      bool any = false;
      while (std::getline(parts, part, '+')) {
        if (!behaviours.count(part)) return false;
        any = true;
      }
      return any;
    };
    if (role == "installer" && known(kInstaller)) {
      options->installer = value;
    } else if (role == "wizard" && known(kWizard)) {
      options->wizard = value;
    } else if (role == "panel" && known(kPanel)) {
      options->panel = value;
    } else if (role == "grow" && !value.empty() && value.size() <= 6 &&
               value.find_first_not_of("0123456789") == std::string::npos) {
      options->growMs = std::stoi(value);
    } else {
      return false;
    }
  }
  return true;
}

std::shared_ptr<const StandInRecord> InstallStandInTools(
    SimSystem& system, const StandInOptions& options) {
  auto record = std::make_shared<StandInRecord>();
  Script(system, kClassInstallerCommandLine, options.installer,
         [options, record](SimSystem& sys, ProcessId pid) {
           StartClassInstaller(sys, pid, options, record.get());
         });
  Script(system, kHardwareWizardCommandLine, options.wizard,
         [options](SimSystem& sys, ProcessId pid) {
           StartHardwareWizard(sys, pid, options);
         });
  Script(system, kNetworkPanelCommandLine, options.panel,
         [options](SimSystem& sys, ProcessId pid) {
           StartNetworkPanel(sys, pid, options);
         });
  return record;
}

}  // namespace nl::sim
