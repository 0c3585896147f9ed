// The image before the run: the customer who calls has usually run the
// installation once already, and the export shows the PC after that run.
// The goals are decided by the same checks as the run's findings, on facts
// whose "after" is the image itself and in which no call was made.
#include "findings/findings.h"
#include "findings/goals.h"
#include "setup/inf_edit_table.h"
#include "setup/inf_replace.h"

namespace nl::findings {

namespace {

// The facts of the image alone, from the "before" parts of a run's facts.
RunFacts ImageFacts(const RunFacts& facts) {
  RunFacts image;
  image.imageOnly = true;
  image.german = facts.german;  // the run's locale
  image.missing = facts.missing;
  image.registryBefore = image.registryAfter = facts.registryBefore;
  image.scratchDir = facts.scratchDir;
  image.sourcePath = facts.sourcePath;
  image.scratchDirExists = image.scratchDirExistedBefore = facts.scratchDirExistedBefore;
  image.scratchBefore = image.scratchAfter = facts.scratchBefore;
  image.source = image.sourceBefore = facts.sourceBefore;
  return image;
}

bool InScratch(const RunFacts& facts, const char* name) {
  auto it = facts.scratchBefore.find(name);
  return it != facts.scratchBefore.end() && it->second.exists;
}

}  // namespace

std::vector<Finding> DecideBeforeRun(const RunFacts& facts) {
  return DecideFindings(ImageFacts(facts));
}

std::vector<std::string> EarlierRunTraces(const RunFacts& facts) {
  std::vector<std::string> traces;
  const std::string where = " in " + facts.scratchDir.path;
  for (const InfEdit& edit : kInfEdits) {
    if (!edit.backup || !InScratch(facts, edit.backup)) continue;
    traces.push_back(std::string(edit.backup) + where + ": an earlier run got as far as " +
                     "backing up " + edit.target + "; this run starts again from that backup");
  }
  // Edited by an earlier run whose backup a clean-up removed: the run backs
  // up the edited file, and Windows' original is then lost.
  for (const InfEdit& edit : kInfEdits) {
    if (!edit.backup || InScratch(facts, edit.backup) || !InScratch(facts, edit.target)) continue;
    const std::string& bytes = facts.scratchBefore.at(edit.target).bytes;
    if (bytes.find(edit.replacement) == std::string::npos) continue;
    traces.push_back(std::string(edit.target) + where + " holds the edits of an earlier run and " +
                     edit.backup + " is gone: the run backs up the edited file, so Windows' "
                     "original " + edit.target + " is lost (the Windows CD holds it)");
  }
  if (InScratch(facts, kTempInfName))
    traces.push_back(std::string(kTempInfName) + where +
                     ": an earlier run was interrupted in an INF rewrite");
  const RunFacts image = ImageFacts(facts);
  if (InScratch(facts, kIrminiInf) && DecideDisplayName(image).reached)
    traces.push_back(std::string(kIrminiInf) + " holds the display name already (" +
                     kDisplayNameKey + " in its " + kDisplayNameSection + " section)");
  return traces;
}

}  // namespace nl::findings
