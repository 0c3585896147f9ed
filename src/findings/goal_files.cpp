// The goals the installer reaches in files: the INF edits, the display name
// and the driver copy.
#include "findings/goals.h"
#include "findings/journal_facts.h"
#include "platform/sim/files/sim_profile_text.h"
#include "regfile/ignore_case.h"
#include "setup/driver_prep.h"
#include "setup/inf_edit_table.h"

namespace nl::findings {

namespace {

constexpr const char* kNoScratchDir =
    "the Setup key has no SetupScratchDir, so the INF files were not found";

bool ContainsIgnoreCase(const std::string& text, const std::string& part) {
  if (part.size() > text.size()) return false;
  for (std::size_t at = 0; at + part.size() <= text.size(); ++at)
    if (regfile::EqualsIgnoreCase(std::string_view(text).substr(at, part.size()), part))
      return true;
  return false;
}

const FileFact& FileIn(const std::map<std::string, FileFact>& files, const char* name) {
  static const FileFact kMissing;
  auto it = files.find(name);
  return it == files.end() ? kMissing : it->second;
}

// The backup the edits name for `target` (IRMINI.BAK for IRMINI.INF).
const char* BackupOf(const char* target) {
  for (const InfEdit& edit : kInfEdits)
    if (edit.backup && std::string(edit.target) == target) return edit.backup;
  return nullptr;
}

// The customer's file as the edits start from it: an earlier run's backup is
// put back first.
const FileFact& CustomerFile(const RunFacts& facts, const char* target) {
  const char* backup = BackupOf(target);
  const FileFact& saved = FileIn(facts.scratchBefore, backup ? backup : "");
  return saved.exists ? saved : FileIn(facts.scratchBefore, target);
}

std::string ScratchPath(const RunFacts& facts, const char* name) {
  return facts.scratchDir.path + "\\" + name;
}

// Why IRMINI.INF may have been left alone, or a failed call on the file.
std::string Evidence(const RunFacts& facts, const char* target) {
  const char* backup = BackupOf(target);
  if (!FileIn(facts.scratchAfter, target).exists) return "; " + std::string(target) + " is missing";
  if (backup && !FileIn(facts.scratchAfter, backup).exists)
    return "; " + std::string(backup) + " could not be made, so " + target +
           ", the only copy of the customer's file, was left alone";
  std::string text;
  if (const CallFact* failed = FirstFailedCallNaming(facts, ScratchPath(facts, target)))
    text += "; a call failed: " + failed->Text();
  if (FileIn(facts.scratchBefore, "NL-TEMP.INF").exists)
    text += " (NL-TEMP.INF was left in " + facts.scratchDir.path + " by an earlier run)";
  return text;
}

// "" when edit `number` is in its file after the run; otherwise why not.
std::string EditProblem(const RunFacts& facts, const InfEdit& edit, int number) {
  const std::string label = "edit " + std::to_string(number);
  const FileFact& customer = CustomerFile(facts, edit.target);
  if (!customer.exists)
    return label + ": " + edit.target + " is not in " + facts.scratchDir.path;
  if (!ContainsIgnoreCase(customer.bytes, edit.search))
    return label + ": the customer's " + edit.target + " does not hold " + Quote(edit.search);
  const FileFact& after = FileIn(facts.scratchAfter, edit.target);
  if (after.exists && !ContainsIgnoreCase(after.bytes, edit.search) &&
      after.bytes.find(edit.replacement) != std::string::npos)
    return "";
  return label + " (" + Quote(edit.search) + " to " + Quote(edit.replacement) +
         ") is not in " + edit.target + Evidence(facts, edit.target);
}

Decision FromEdits(const RunFacts& facts, const std::vector<std::string>& problems) {
  if (!facts.scratchDir.known || facts.scratchDir.path.empty()) return NotReached(kNoScratchDir);
  std::string cause;
  for (const std::string& problem : problems)
    if (!problem.empty()) cause += (cause.empty() ? "" : "; ") + problem;
  return cause.empty() ? Reached() : NotReached(cause);
}

const CallFact* LastCall(const RunFacts& facts, const char* operation) {
  const CallFact* found = nullptr;
  for (const CallFact& call : facts.calls)
    if (call.operation == operation) found = &call;
  return found;
}

}  // namespace

Decision DecideInfEdits(const RunFacts& facts) {
  std::vector<std::string> problems;
  for (int i = 0; i < kInfEditCount; ++i)
    if (kInfEdits[i].gate == EditGate::kAlways || facts.german)
      problems.push_back(EditProblem(facts, kInfEdits[i], i + 1));
  return FromEdits(facts, problems);
}

Decision DecideModelLine(const RunFacts& facts) {
  return FromEdits(facts, {EditProblem(facts, kLateEdit, kLateEditNumber)});
}

Decision DecideDisplayName(const RunFacts& facts) {
  if (!facts.scratchDir.known || facts.scratchDir.path.empty()) return NotReached(kNoScratchDir);
  const FileFact& inf = FileIn(facts.scratchAfter, kIrminiInf);
  std::string wanted = kStandardExplValue;
  wanted = wanted.substr(1, wanted.size() - 2);  // as a profile reader gives it
  std::string found;
  if (inf.exists && sim::FindProfileValue(inf.bytes, kDisplayNameSection, kDisplayNameKey, &found) &&
      found == wanted)
    return Reached();
  const std::string where = std::string(kIrminiInf) + " has no " + kDisplayNameKey + "=" +
                            kStandardExplValue + " in its " + kDisplayNameSection + " section";
  return NotReached(where + Evidence(facts, kIrminiInf));
}

Decision DecideDriverCopy(const RunFacts& facts) {
  const std::string& folder = facts.sourcePath.path;
  if (!facts.sourcePath.known)
    return NotReached("the Setup key has no SourcePath, so there was nowhere to copy " +
                      std::string(kDriverFileName) + " to");
  if (facts.source.driverThere) return Reached();
  const CallFact* copy = LastCall(facts, "CopyFileA");
  if (!copy) return NotReached("no copy was attempted to SourcePath " + Quote(folder));
  if (!CallFailed(*copy))
    return NotReached(std::string(kDriverFileName) + " was copied but is not in " + folder +
                      " after the run");
  if (!facts.source.driveExists)
    return NotReached("drive " + folder.substr(0, 2) + " of SourcePath " + Quote(folder) +
                      " is not there (a CD-ROM drive without its disc?): " + copy->Text());
  if (!facts.source.folderExists)
    return NotReached("the SourcePath folder " + Quote(folder) + " does not exist: " +
                      copy->Text());
  if (!facts.driverSourceExists)
    return NotReached(std::string(kDriverFileName) + " is not beside the program (" +
                      facts.driverSource + "): " + copy->Text());
  return NotReached("the copy failed: " + copy->Text());
}

}  // namespace nl::findings
