// The stand-in hardware wizard: a first page with control 1551, a second
// page with the manufacturer list 1580 and the model list-view 1581, whose
// items grow for a while. It waits for a click on every page, as the real
// wizard does, and ends only on its finish button.
#include <memory>

#include "standins/stand_in_parts.h"
#include "standins/stand_in_user.h"

namespace nl::sim {

namespace {

struct WizardState {
  ProcessId pid = 0;
  WindowHandle dialog = 0;
  WindowHandle page = 0;
  WindowHandle models = 0;
  WindowHandle prompt = 0;
  WindowHandle newHardwareBox = 0;
  int pageNumber = 0;
  bool wasHidden = false;
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

// Windows 98 asks to restart after installing a network adapter ("If you are
// prompted to restart the computer, do so"): Yes restarts Windows under the
// program, No ends the wizard.
void AskForRestart(SimSystem& system, std::shared_ptr<WizardState> state,
                   const StandInOptions& options, std::shared_ptr<StandInRecord> record) {
  Prompt prompt;
  prompt.title = "Ge\xE4nderte Systemeinstellungen";
  prompt.text = "Sie m\xFCssen den Computer neu starten, damit die neuen Einstellungen "
                "wirksam werden. M\xF6" "chten Sie den Computer jetzt neu starten?";
  prompt.buttons = {{kYesButton, "Ja"}, {kNoButton, "Nein"}};
  const ProcessId pid = state->pid;
  prompt.onAnswer = [pid](SimSystem& sys, int button) {
    sys.Processes().EndProcess(pid);
    if (button == kYesButton)
      sys.RestartWindows("Windows restarts: the user answered Yes to the hardware wizard's "
                         "prompt to restart the computer, and NLSETUP.EXE ends with it");
  };
  record->prompts.push_back(prompt.title);
  state->prompt = ShowPrompt(system, pid, prompt);
  if (UserIsThere(options.user))
    LetUserPress(system, state->prompt, options.answer == "no" ? kNoButton : kYesButton);
}

void Finish(SimSystem& system, std::shared_ptr<WizardState> state,
            const StandInOptions& options, std::shared_ptr<StandInRecord> record) {
  system.Desktop().DestroyWindow(state->newHardwareBox);
  if (Plays(options.wizard, "restart")) {
    system.Desktop().DestroyWindow(state->dialog);
    AskForRestart(system, state, options, record);
    return;
  }
  system.Processes().EndProcess(state->pid);
}

// What the wizard on screen (or off it) waits for.
std::string WizardWaitsFor(SimSystem& system, const WizardState& state) {
  if (system.Desktop().IsWindow(state.prompt))
    return "the hardware wizard asks to restart the computer (\"Ge\xE4nderte "
           "Systemeinstellungen\"): the run waits for the user's answer";
  if (!system.Desktop().IsWindow(state.dialog)) return "";
  if (!system.Desktop().IsVisible(state.dialog))
    return "the hardware wizard waits, hidden, for a click nobody can give: the run never ends";
  return state.wasHidden
             ? "the hardware wizard, shown again by the program, waits for the user to finish "
               "it: the run waits for the user"
             : "the hardware wizard waits for the user at its page: the run waits for the user";
}

void ShowWizard(SimSystem& system, std::shared_ptr<WizardState> state,
                const StandInOptions& options, std::shared_ptr<StandInRecord> record) {
  ProcessId pid = state->pid;
  WindowHandle dialog =
      system.Desktop().CreateWindow("#32770", "Hardware-Assistent", 0, 0, pid);
  state->dialog = dialog;
  system.Desktop().CreateWindow("Button", "Weiter >", dialog, kForwardButton, pid);
  system.Desktop().CreateWindow("Button", "Fertig stellen", dialog, kFinishButton, pid);
  state->page = system.Desktop().CreateWindow("#32770", "", dialog, 0, pid);
  system.Desktop().CreateWindow("Edit", "", state->page, kWizardFirstControl, pid);
  state->pageNumber = 1;
  if (Plays(options.wizard, "newhw")) {
    // Windows' own box for the adapter it found, on top of the wizard.
    state->newHardwareBox = system.Desktop().CreateWindow(
        "#32770", "Neue Hardwarekomponente gefunden", 0, 0, kSystemBoxProcess);
    system.Desktop().CreateWindow("Static", "USB-Infrarotadapter", state->newHardwareBox, 0xFFFF,
                                  kSystemBoxProcess);
  }
  system.Desktop().SetMessageHandler(
      dialog, [state, options, record](SimSystem& sys, const SimMessage& message) {
        if (!sys.Desktop().IsVisible(state->dialog)) state->wasHidden = true;
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
          Finish(sys, state, options, record);
        }
        return std::intptr_t{0};
      });
  system.Processes().SetWaitsForUser(pid, [state](SimSystem& sys) {
    // Hidden once, shown now: the program gave it back to the user.
    if (sys.Desktop().IsWindow(state->dialog) && !sys.Desktop().IsVisible(state->dialog))
      state->wasHidden = true;
    return WizardWaitsFor(sys, *state);
  });
  // Only a user told to finish it does; the device selection is the program's.
  if (options.user == "finish") LetUserPress(system, dialog, kFinishButton);
}

}  // namespace

void StartHardwareWizard(SimSystem& system, ProcessId pid, const StandInOptions& options,
                         std::shared_ptr<StandInRecord> record) {
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
    system.Clock().After(1200, [state, options, record](SimSystem& sys) {
      if (sys.Processes().IsAlive(state->pid)) ShowWizard(sys, state, options, record);
    });
  } else {
    ShowWizard(system, state, options, record);
  }
}

}  // namespace nl::sim
