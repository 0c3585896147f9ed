// The goals the installer reaches in files: the INF edits, the display name
// and the driver copy.
#include <cstdlib>

#include "findings/goals.h"
#include "findings/journal_facts.h"
#include "platform/platform.h"
#include "platform/sim/files/sim_paths.h"
#include "platform/sim/files/sim_profile_text.h"
#include "regfile/ignore_case.h"
#include "setup/driver_prep.h"
#include "setup/inf_edit_table.h"
#include "setup/inf_replace.h"

namespace nl::findings {

namespace {

constexpr const char* kNoScratchDir =
    "the Setup key has no SetupScratchDir (or an empty one), so the INF files were not found";
constexpr std::size_t kLongestPath = kMaxPath - 1;  // characters, before the zero

// Why the program could not reach the scratch directory; "" when it could.
std::string ScratchDirProblem(const RunFacts& facts) {
  const SetupFolder& dir = facts.scratchDir;
  if (dir.tooLong)
    return "the Setup key's SetupScratchDir does not fit the " + std::to_string(kMaxPath) +
           " bytes the program reads it into, so the INF files were not found";
  if (!dir.known || dir.path.empty()) return kNoScratchDir;
  if (!facts.scratchDirExists)
    return "the SetupScratchDir folder " + Quote(dir.path) + " does not exist";
  return "";
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
  if (facts.imageOnly) return "";  // no run to explain
  const char* backup = BackupOf(target);
  // Every rewrite goes through the temporary file, and the first edit of a
  // file makes its backup: the program cannot name a path that is too long.
  for (const char* name : {target, backup ? backup : target, kTempInfName}) {
    const std::string path = ScratchPath(facts, name);
    if (path.size() > kLongestPath)
      return "; the path " + Quote(path) + " is too long (" + std::to_string(path.size()) +
             " characters, at most " + std::to_string(kLongestPath) + "), so " + target +
             " was left alone";
  }
  if (!FileIn(facts.scratchAfter, target).exists) {
    // Not there before the run: nothing is written into it, nor made of it.
    if (!FileIn(facts.scratchBefore, target).exists)
      return "; " + std::string(target) + " is not in " + facts.scratchDir.path +
             ", and the program makes no file of that name";
    // There before, missing after: perhaps its backup could not be put back.
    std::string text = "; " + std::string(target) + " is missing";
    if (const CallFact* failed = FirstFailedCallNaming(facts, ScratchPath(facts, target)))
      text += " (a call failed: " + failed->Text() + ")";
    return text;
  }
  if (backup && !FileIn(facts.scratchAfter, backup).exists)
    return "; " + std::string(backup) + " could not be made, so " + target +
           ", the only copy of the customer's file, was left alone";
  std::string text;
  if (const CallFact* failed = FirstFailedCallNaming(facts, ScratchPath(facts, target)))
    text += "; a call failed: " + failed->Text();
  if (FileIn(facts.scratchBefore, kTempInfName).exists)
    text += " (NL-TEMP.INF was left in " + facts.scratchDir.path + " by an earlier run)";
  return text;
}

// "" when edit `number` is in its file after the run; otherwise why not.
std::string EditProblem(const RunFacts& facts, const InfEdit& edit, int number) {
  const std::string label = "edit " + std::to_string(number);
  const FileFact& customer = CustomerFile(facts, edit.target);
  if (!customer.exists)
    return label + ": " + edit.target + " is not in " + facts.scratchDir.path;
  // A file an earlier run edited, its backup gone, holds the edit already.
  if (!ContainsIgnoreCase(customer.bytes, edit.search) &&
      customer.bytes.find(edit.replacement) != std::string::npos)
    return "";
  if (!ContainsIgnoreCase(customer.bytes, edit.search))
    return label + ": the customer's " + edit.target + " does not hold " + Quote(edit.search);
  const FileFact& after = FileIn(facts.scratchAfter, edit.target);
  if (after.exists && !ContainsIgnoreCase(after.bytes, edit.search) &&
      after.bytes.find(edit.replacement) != std::string::npos)
    return "";
  if (facts.imageOnly) return label + " is not in " + edit.target;
  return label + " (" + Quote(edit.search) + " to " + Quote(edit.replacement) +
         ") is not in " + edit.target + Evidence(facts, edit.target);
}

// "edit 1 is not in X; edit 2 is not in X" -> "edits 1, 2 are not in X".
std::vector<std::string> MergedNotIn(const std::vector<std::string>& problems) {
  std::vector<std::string> out;
  std::string target, numbers;
  int count = 0;
  auto flush = [&]() {
    if (count) out.push_back((count > 1 ? "edits " : "edit ") + numbers +
                             (count > 1 ? " are" : " is") + " not in " + target);
    count = 0;
    numbers.clear();
  };
  for (const std::string& problem : problems) {
    const std::size_t at = problem.find(" is not in ");
    if (problem.compare(0, 5, "edit ") != 0 || at == std::string::npos ||
        problem.find(' ', 5) != at) {
      flush();
      out.push_back(problem);
      continue;
    }
    const std::string file = problem.substr(at + 11);
    if (count && file != target) flush();
    target = file;
    numbers += (count++ ? ", " : "") + problem.substr(5, at - 5);
  }
  flush();
  return out;
}

// "edit 1: X; edit 2: X; edit 4: X" -> "edits 1, 2, 4: X", and
// "edits 1 to 8: X" for a run of them: one cause said once.
std::vector<std::string> MergedSameCause(const std::vector<std::string>& problems) {
  std::vector<std::string> out;
  std::vector<int> numbers;
  std::string cause;
  auto flush = [&]() {
    if (numbers.empty()) return;
    bool run = numbers.size() > 2;
    for (std::size_t i = 1; i < numbers.size(); ++i) run = run && numbers[i] == numbers[i - 1] + 1;
    std::string label = numbers.size() == 1 ? "edit " : "edits ";
    if (run) {
      label += std::to_string(numbers.front()) + " to " + std::to_string(numbers.back());
    } else {
      for (std::size_t i = 0; i < numbers.size(); ++i)
        label += (i ? ", " : "") + std::to_string(numbers[i]);
    }
    out.push_back(label + ": " + cause);
    numbers.clear();
  };
  for (const std::string& problem : problems) {
    if (problem.empty()) continue;
    const std::size_t colon = problem.find(": ");
    const bool numbered = problem.compare(0, 5, "edit ") == 0 && colon != std::string::npos &&
                          colon > 5 &&
                          problem.find_first_not_of("0123456789", 5) == colon;
    if (!numbered) {
      flush();
      out.push_back(problem);
      continue;
    }
    const std::string rest = problem.substr(colon + 2);
    if (!numbers.empty() && rest != cause) flush();
    cause = rest;
    numbers.push_back(std::stoi(problem.substr(5, colon - 5)));
  }
  flush();
  return out;
}

Decision FromEdits(const RunFacts& facts, const std::vector<std::string>& problems) {
  const std::string scratch = ScratchDirProblem(facts);
  if (!scratch.empty()) return NotReached(scratch);
  std::string cause;
  for (const std::string& problem :
       facts.imageOnly ? MergedNotIn(problems) : MergedSameCause(problems))
    if (!problem.empty()) cause += (cause.empty() ? "" : "; ") + problem;
  return cause.empty() ? Reached() : NotReached(cause);
}

const CallFact* LastCall(const RunFacts& facts, const char* operation) {
  const CallFact* found = nullptr;
  for (const CallFact& call : facts.calls)
    if (call.operation == operation) found = &call;
  return found;
}

// Why no copy was attempted although SourcePath was read: one of the two
// paths of the copy does not fit the program's buffer for it.
std::string NoCopyCause(const RunFacts& facts) {
  const std::string name = std::string("\\") + kDriverFileName;
  const std::string destination = facts.sourcePath.path + name;
  if (destination.size() >= kSourcePathCapacity)
    return "the copy's destination " + Quote(destination) + " does not fit the program's " +
           std::to_string(kSourcePathCapacity) + " bytes";
  const CallFact* module = LastCall(facts, "GetModuleFileNameA");
  const std::vector<std::string> texts = module ? QuotedTexts(module->result) : std::vector<std::string>();
  if (texts.empty()) return "the program's own path could not be obtained";
  const std::string& program = texts[0];
  if (std::strtoul(module->result.c_str(), nullptr, 10) >= kMaxPath)
    return "the program's path " + Quote(program) + " is cut off at " +
           std::to_string(kLongestPath) + " characters, so its directory is unknown";
  const std::string source = program.substr(0, program.rfind('\\')) + name;
  return "the path of " + std::string(kDriverFileName) + " in the program's directory, " +
         Quote(source) + ", is too long (" + std::to_string(source.size()) +
         " characters, at most " + std::to_string(kLongestPath) + ")";
}

}  // namespace

bool ContainsIgnoreCase(const std::string& text, const std::string& part) {
  if (part.size() > text.size()) return false;
  for (std::size_t at = 0; at + part.size() <= text.size(); ++at)
    if (regfile::EqualsIgnoreCase(std::string_view(text).substr(at, part.size()), part))
      return true;
  return false;
}

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
  const std::string scratch = ScratchDirProblem(facts);
  if (!scratch.empty()) return NotReached(scratch);
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

// nl-430.sys is in SourcePath: reached when it is the one shipped, as far as
// the facts show.
static Decision DecideDriverCopied(const RunFacts& facts) {
  if (!facts.otherPcDriver.empty())
    return NotReached("the PC's " + std::string(kDriverFileName) + " beside the program is not the "
                      "one shipped (" + facts.otherPcDriver + "): the run copies that file, and "
                      "the adapter would get it");
  if (!facts.shippedDriver.empty() && !facts.driverInSource.empty() &&
      facts.driverInSource != facts.shippedDriver)
    return NotReached("the " + std::string(kDriverFileName) + " in SourcePath is not the one shipped (" +
                      std::to_string(facts.driverInSource.size()) + " bytes, the shipped one " +
                      std::to_string(facts.shippedDriver.size()) + "): the adapter would get that file");
  return Reached();
}

Decision DecideDriverCopy(const RunFacts& facts) {
  const std::string& folder = facts.sourcePath.path;
  if (!facts.sourcePath.known)
    return NotReached("the Setup key has no SourcePath, so there was nowhere to copy " +
                      std::string(kDriverFileName) + " to");
  if (facts.sourcePath.tooLong)
    return NotReached("the Setup key's SourcePath does not fit the " +
                      std::to_string(kSourcePathCapacity) + " bytes the program reads it into, so " +
                      kDriverFileName + " was not copied");
  // An empty SourcePath (or one of backslashes alone) makes the destination
  // "\nl-430.sys": the root of the current drive, where no setup looks.
  if (folder.empty())
    return NotReached("SourcePath is empty: the copy lands in the root of drive C:, where no "
                      "setup looks");
  if (facts.source.driveKind == sim::DriveKind::kNetwork)
    return Unknown("SourcePath " + Quote(folder) + " is on a network share: the image cannot " +
                   "know what the share holds or allows");
  if (facts.source.driverThere) return DecideDriverCopied(facts);
  if (facts.imageOnly)
    return NotReached(std::string(kDriverFileName) + " is not in SourcePath " + Quote(folder));
  const CallFact* copy = LastCall(facts, "CopyFileA");
  if (!copy)
    return NotReached("no copy was attempted to SourcePath " + Quote(folder) + ": " +
                      NoCopyCause(facts));
  if (!facts.waiting.empty() && !facts.calls.empty() && copy == &facts.calls.back())
    return NotReached(facts.waiting);
  if (!CallFailed(*copy))
    return NotReached(std::string(kDriverFileName) + " was copied but is not in " + folder +
                      " after the run");
  const std::string drive = "drive " + folder.substr(0, 2) + " of SourcePath " + Quote(folder);
  const sim::DriveKind kind = facts.source.driveKind;
  if (kind == sim::DriveKind::kNone)
    return NotReached("there is no " + drive + ": " + copy->Text());
  if (!facts.source.driveExists)
    return NotReached(drive + " is " + sim::DriveKindPhrase(kind) + ": " + copy->Text());
  if (sim::IsReadOnlyMedium(kind))
    return NotReached(drive + " is " + sim::DriveKindPhrase(kind) +
                      ", which is read-only: " + copy->Text());
  // A name Windows refuses (a device name such as LPT1, a reserved
  // character, a name of dots and blanks only) fails the copy whatever is
  // there; the dots and blanks a name ends in are only dropped.
  const std::vector<std::string> paths = QuotedTexts(copy->arguments);
  sim::WinPath parsed;
  if (paths.size() >= 2 && !sim::ParseWinPath(paths[1], {}, &parsed))
    return NotReached("SourcePath " + Quote(folder) + " holds a name Windows refuses (a " +
                      "device name, a reserved character or a name of dots and blanks only): " +
                      copy->Text());
  if (!facts.source.folderExists)
    return NotReached("the SourcePath folder " + Quote(folder) + " does not exist: " +
                      copy->Text());
  if (!facts.driverSourceExists)
    return NotReached(std::string(kDriverFileName) + " is not beside the program (" +
                      facts.driverSource + "): " + copy->Text());
  return NotReached("the copy failed: " + copy->Text());
}

}  // namespace nl::findings
