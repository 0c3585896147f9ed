#include "findings/remedies.h"

#include <algorithm>

#include "findings/pc_facts.h"
#include "setup/driver_prep.h"
#include "setup/inf_edit_table.h"
#include "setup/setup_env.h"

namespace nl::findings {

namespace {

RemedyStep Step(std::string text, std::vector<std::string> goals,
                PcChange change = PcChange::kNone, std::string path = "") {
  RemedyStep step;
  step.step = std::move(text);
  step.goals = std::move(goals);
  step.change = change;
  step.path = std::move(path);
  return step;
}

bool NotReachedGoal(const std::vector<Finding>& findings, const char* goal) {
  const Finding* finding = FindingFor(findings, goal);
  return finding && finding->status == Status::kNotReached;
}

bool Mentions(const std::vector<Finding>& findings, const char* goal, const std::string& text) {
  const Finding* finding = FindingFor(findings, goal);
  return finding && finding->cause.find(text) != std::string::npos;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(0, slash);
}

// Steps for a driver copy that fails or copies the wrong file.
void DriverSteps(const RunFacts& facts, const std::vector<Finding>& findings,
                 std::vector<RemedyStep>* steps) {
  if (!NotReachedGoal(findings, "driver-copy")) return;
  const bool wrongFile = !facts.otherPcDriver.empty() ||
                         Mentions(findings, "driver-copy", "not the one shipped") ||
                         (!facts.driverSource.empty() && !facts.driverSourceExists);
  if (wrongFile && !facts.driverSource.empty()) {
    steps->push_back(Step("Replace " + std::string(kDriverFileName) + " in " +
                          FolderOf(facts.driverSource) + " by the one on the adapter's disk, then "
                          "start NLSETUP.EXE again",
                      {"driver-copy", "class-installer"}, PcChange::kPutShippedDriver,
                      facts.driverSource));
    return;
  }
  const std::string& source = facts.sourcePath.path;
  const bool cdOut = facts.sourcePath.known && source.size() >= 2 && source[1] == ':' &&
                     facts.source.driveKind == sim::DriveKind::kCdRomNoDisc;
  if (cdOut) {
    RemedyStep disc = Step("Insert the Windows CD in drive " + source.substr(0, 2) +
                        ", then start NLSETUP.EXE again",
                    {"driver-copy", "class-installer"}, PcChange::kInsertDisc);
    disc.drive = source[0];
    steps->push_back(disc);
  }
  if (facts.sourcePath.known && source.empty())
    steps->push_back(Step("Set SourcePath (HKEY_LOCAL_MACHINE\\" + std::string(kSetupKeyPath) +
                          ") to C:\\WINDOWS\\OPTIONS\\CABS, where a PC that came with Windows "
                          "keeps its setup files, then start NLSETUP.EXE again",
                      {"driver-copy", "class-installer"}, PcChange::kSetSourcePath,
                      "C:\\WINDOWS\\OPTIONS\\CABS"));
  if (!facts.driverSource.empty())
    steps->push_back(Step("When Windows asks for " + std::string(kDriverFileName) + ", type " +
                          FolderOf(facts.driverSource) + " (the folder of NLSETUP.EXE) and press OK",
                      {"class-installer"}, PcChange::kAnswerFrom, FolderOf(facts.driverSource)));
}

void InfSteps(const RunFacts& facts, const std::vector<Finding>& findings,
              std::vector<RemedyStep>* steps) {
  for (const char* file : {kIrminiInf, kInfraredInf}) {
    const auto found = facts.scratchBefore.find(file);
    const bool missing = facts.scratchDir.known && !facts.scratchDir.path.empty() &&
                         facts.scratchDirExistedBefore && found != facts.scratchBefore.end() &&
                         !found->second.exists && !facts.missing.count(file);
    if (missing && (NotReachedGoal(findings, "inf-edits") || NotReachedGoal(findings, "class-installer")))
      steps->push_back(Step("Put Windows' infrared support back so that " + facts.scratchDir.path + "\\" +
                            file + " is there again (Control Panel, Add/Remove Programs, Windows "
                            "Setup, Communications, Infrared; the Windows CD is asked for), then "
                            "start NLSETUP.EXE again",
                        {"inf-edits", "class-installer"}));
  }
}

void PcSteps(const RunFacts& facts, const std::vector<Finding>& findings,
             std::vector<RemedyStep>* steps) {
  if (facts.caseFormat == 1)
    steps->push_back(Step("Collect the case again with the NLDIAG.EXE of this kit and send it: a "
                          "case from an older NLDIAG.EXE lacks the system tools' files, the "
                          "driver's bytes and Windows' version",
                          {"class-installer", "hardware-wizard", "network-panel"}));
  const WindowsRelease release = ReleaseOf(facts.windows);
  if (release.usb == UsbSupport::kNone)
    steps->push_back(Step("Update Windows: " + release.name + " has no USB support, and no download "
                          "adds it; Windows 98 Second Edition has it (KB Q253756)",
                      {"class-installer", "hardware-wizard"}));
  if (release.usb == UsbSupport::kWithSupplement)
    steps->push_back(Step("Look in Control Panel, Add/Remove Programs for \"USB Supplement to OSR2\": "
                          "without it Windows 95 OSR 2 has no USB support (KB Q158238)",
                      {"class-installer", "hardware-wizard"}));
  const bool systemGerman = (facts.systemLocale & 0xFF) == 7;
  if (facts.systemLocale && systemGerman && !facts.german) {
    RemedyStep locale = Step("Set German in Control Panel, Regional Settings, restart Windows, and start "
                      "NLSETUP.EXE again",
                      {"model-line", "hardware-wizard", "virtual-ports", "adapter-port"},
                      PcChange::kSetUserLocale);
    locale.locale = facts.systemLocale;
    steps->push_back(locale);
  }
  if (release.windows95)
    for (const auto& [file, state] : facts.driverDatabase)
      if (state.rfind("present", 0) == 0) {
        steps->push_back(Step("Rename DRVDATA.BIN and DRVIDX.BIN in C:\\WINDOWS\\INF (Windows builds "
                          "them again), then start NLSETUP.EXE again (KB Q139206)",
                          {"class-installer"}));
        break;
      }
  if (facts.german)
    for (const char* port : {"COM4", "LPT3"}) {
      const auto used = facts.portsInUse.find(port);
      if (used != facts.portsInUse.end() && used->second.rfind("Enum\\INFRARED", 0) != 0)
        steps->push_back(Step("In Device Manager, give the device on " + std::string(port) + " (" +
                              used->second + ") another port, so that the virtual infrared port "
                              "can have " + port + " (KB Q149450)",
                              {"virtual-ports"}));
    }
  if (AdapterNodeState(facts).find("failed") != std::string::npos)
    steps->push_back(Step("Remove the adapter in Device Manager (it shows with a problem), unplug it, "
                      "start NLSETUP.EXE again, then plug the adapter in",
                      {"class-installer", "hardware-wizard"}));
  for (const char* goal : {"class-installer", "hardware-wizard", "network-panel"})
    if (Mentions(findings, goal, "cannot start, unless")) {
      const std::string& cause = FindingFor(findings, goal)->cause;  // "SYSDM.CPL is not in ..."
      steps->push_back(Step("Put Windows' own " + cause.substr(0, cause.find(' ')) + " back from "
                            "the Windows CD (on Windows 98 with System File Checker, SFC.EXE), then "
                            "start NLSETUP.EXE again",
                            {goal}));
    }
}

}  // namespace

std::vector<RemedyStep> ProposeRemedies(const RunFacts& facts, const std::vector<Finding>& findings) {
  std::vector<RemedyStep> steps;
  PcSteps(facts, findings, &steps);
  InfSteps(facts, findings, &steps);
  DriverSteps(facts, findings, &steps);
  // One step for several goals is given once, for all of them.
  std::vector<RemedyStep> merged;
  for (RemedyStep& step : steps) {
    auto same = std::find_if(merged.begin(), merged.end(),
                             [&](const RemedyStep& m) { return m.step == step.step; });
    if (same == merged.end()) {
      merged.push_back(std::move(step));
      continue;
    }
    for (const std::string& goal : step.goals)
      if (std::find(same->goals.begin(), same->goals.end(), goal) == same->goals.end())
        same->goals.push_back(goal);
  }
  return merged;
}

// A goal that stays unknown with the change rests on what the case lacks:
// the step is not checkable, unless another goal is shown not reached.
CheckedRemedy CheckedFrom(const RemedyStep& step, const std::vector<Finding>& findingsWithIt) {
  CheckedRemedy checked{step, "reaches", {}};
  bool unknown = false, notReached = false;
  for (const std::string& goal : step.goals) {
    const Finding* finding = FindingFor(findingsWithIt, goal);
    const Status status = finding ? finding->status : Status::kNotReached;
    if (status == Status::kReached || status == Status::kAssumed) checked.reaches.push_back(goal);
    else if (status == Status::kUnknown) unknown = true;
    else notReached = true;
  }
  if (notReached) checked.checked = "does not reach";
  else if (unknown) checked.checked = "not checkable";
  return checked;
}

CheckedRemedy NotCheckable(const RemedyStep& step) { return {step, "not checkable", {}}; }

std::string RemediesText(const std::vector<CheckedRemedy>& remedies) {
  if (remedies.empty()) return "nothing to do\n";
  const auto joined = [](const std::vector<std::string>& goals) {
    std::string text;
    for (const std::string& goal : goals) text += (text.empty() ? "" : ", ") + goal;
    return text;
  };
  std::string text;
  int number = 0;
  for (const CheckedRemedy& remedy : remedies) {
    text += std::to_string(++number) + ". " + remedy.step.step + "\n   for " +
            joined(remedy.step.goals);
    if (remedy.checked == "not checkable")
      text += "; not checkable: its effect rests on what the case does not hold";
    else if (remedy.step.change == PcChange::kAnswerFrom)
      text += "; checked by a run with that answer: " + remedy.checked;
    else
      text += "; checked by a run on the changed image: " + remedy.checked;
    if (remedy.checked != "reaches" && !remedy.reaches.empty())
      text += " (reaches only " + joined(remedy.reaches) + ")";
    text += "\n";
  }
  return text;
}

}  // namespace nl::findings
