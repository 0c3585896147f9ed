// The goals reached through the system tools the installer starts.
#include <cstdio>
#include <utility>

#include "automation/system_tool_table.h"
#include "findings/goals.h"
#include "findings/journal_facts.h"

namespace nl::findings {

namespace {

constexpr const char* kDialogClassCall = "\"#32770\"";

// The last start of `commandLine`; null when it was never asked for.
const ProcessFact* StartOf(const RunFacts& facts, const char* commandLine) {
  const ProcessFact* found = nullptr;
  for (const ProcessFact& process : facts.processes)
    if (process.commandLine == commandLine) found = &process;
  return found;
}

// The calls from the last start of `commandLine` up to the next process
// start: what the program did with that tool.
std::vector<const CallFact*> CallsWith(const RunFacts& facts, const char* commandLine) {
  std::vector<const CallFact*> calls;
  bool ours = false;
  for (const CallFact& call : facts.calls) {
    if (call.operation == "CreateProcessA") {
      const std::vector<std::string> texts = QuotedTexts(call.arguments);
      ours = !texts.empty() && texts[0] == commandLine;
      if (ours) calls.clear();
    }
    if (ours) calls.push_back(&call);
  }
  return calls;
}

std::string CommandText(int id) {
  char text[32];
  std::snprintf(text, sizeof text, "WM_COMMAND, 0x%x,", static_cast<unsigned>(id));
  return text;
}

bool Sent(const std::vector<const CallFact*>& calls, const char* operation, int id) {
  for (const CallFact* call : calls)
    if (call->operation == operation &&
        call->arguments.find(CommandText(id)) != std::string::npos)
      return true;
  return false;
}

bool DialogFound(const std::vector<const CallFact*>& calls) {
  for (const CallFact* call : calls)
    if (call->operation == "FindWindowA" &&
        call->arguments.compare(0, std::string(kDialogClassCall).size(), kDialogClassCall) == 0 &&
        call->result != "0x0")
      return true;
  return false;
}

bool ControlSeen(const std::vector<const CallFact*>& calls, int id) {
  for (const CallFact* call : calls)
    if (call->operation == "GetDlgCtrlID" && call->result == std::to_string(id)) return true;
  return false;
}

std::string NotStarted(const char* role, const char* commandLine) {
  return role + std::string(" (") + Quote(commandLine) + ") could not be started";
}

}  // namespace

std::string EarlyEndCause(const RunFacts& facts) {
  const ProcessFact* wizard = StartOf(facts, kWizardCommandLine);
  if (!facts.german || !wizard || wizard->started) return "";
  return "the run ended early: " + NotStarted("the hardware wizard", kWizardCommandLine);
}

Decision DecideClassInstaller(const RunFacts& facts) {
  const ProcessFact* installer = StartOf(facts, kClassInstallerCommandLine);
  if (!installer) return NotReached("the class installer was never started");
  if (!installer->started)
    return NotReached(NotStarted("the class installer", kClassInstallerCommandLine));
  // A tool still up when the run waits is what the run waits for.
  if (!installer->ended && !facts.waiting.empty()) return NotReached(facts.waiting);
  if (!installer->ended) return NotReached("the class installer was still running at the end");
  return Reached();
}

Decision DecideHardwareWizard(const RunFacts& facts) {
  const ProcessFact* wizard = StartOf(facts, kWizardCommandLine);
  if (!wizard) return NotReached("the hardware wizard was never started");
  if (!wizard->started)
    return NotReached(NotStarted("the hardware wizard", kWizardCommandLine) +
                      "; the run ended there");
  const std::vector<const CallFact*> calls = CallsWith(facts, kWizardCommandLine);
  const std::string waits = wizard->ended || facts.waiting.empty() ? "" : "; " + facts.waiting;
  if (!Sent(calls, "PostMessageA", kWizardFinishButton)) {
    if (!DialogFound(calls))
      return NotReached("the hardware wizard showed no dialog (window class \"#32770\") "
                        "in time, so nothing was typed or pressed in it");
    const std::pair<int, const char*> controls[] = {
        {kWizardLetterControl, "the first page's letter box"},
        {kWizardManufacturerList, "the manufacturer list"},
        {kWizardModelList, "the model list"}};
    for (const auto& control : controls)
      if (!ControlSeen(calls, control.first))
        return NotReached("the hardware wizard's dialog never showed control " +
                          std::to_string(control.first) + " (" + control.second +
                          "), so it was not stepped through and its finish button was "
                          "not pressed" + waits);
    return NotReached("the hardware wizard's finish button (" +
                      std::to_string(kWizardFinishButton) + ") was never pressed" + waits);
  }
  if (!wizard->ended && !waits.empty()) return NotReached(facts.waiting);
  if (!wizard->ended) return NotReached("the hardware wizard was still running at the end");
  return Reached();
}

Decision DecideNetworkPanel(const RunFacts& facts) {
  const ProcessFact* panel = StartOf(facts, kNetworkPanelCommandLine);
  if (!panel) return NotReached("the network panel was never started");
  if (!panel->started)
    return NotReached(NotStarted("the network panel", kNetworkPanelCommandLine));
  const std::vector<const CallFact*> calls = CallsWith(facts, kNetworkPanelCommandLine);
  if (!Sent(calls, "SendMessageA", kPanelOkButton)) {
    if (!DialogFound(calls))
      return NotReached("the network panel showed no dialog with an OK button in ten tries");
    for (const CallFact* call : calls)
      if (call->operation == "GetWindowTextA")
        return NotReached(call->result.compare(0, 1, "0") == 0
                              ? "the network panel's dialog has no title, so the program "
                                "could not follow it and pressed nothing"
                              : "the network panel's OK button was never pressed");
    return NotReached("the network panel's dialog showed no OK button (" +
                      std::to_string(kPanelOkButton) + ") in ten tries");
  }
  if (!panel->ended) return NotReached("the network panel was still open at the end");
  return Reached();
}

}  // namespace nl::findings
