// What each system tool needs on the PC to do its part, as far as the
// customer's case can show it. A stand-in plays the tool in every run, so a
// tool's goal the run reached is only assumed: a need the facts show unmet
// makes it not reached with that cause, one the case cannot show makes it
// unknown.
#include "findings/goals.h"
#include "findings/journal_facts.h"
#include "setup/driver_prep.h"
#include "setup/inf_edit_table.h"

namespace nl::findings {

namespace {

struct ToolFile {
  const char* name;
  const char* folder;  // as the causes name it
};

constexpr ToolFile kRundll32 = {"RUNDLL32.EXE", "the Windows folder"};
constexpr ToolFile kSysdm = {"SYSDM.CPL", "the system folder"};
constexpr ToolFile kShell32 = {"SHELL32.DLL", "the system folder"};
constexpr ToolFile kNetcpl = {"NETCPL.CPL", "the system folder"};

// The files a tool's command line names must be on the PC. Only an image
// made from a case says what the PC has; the sample images are whole.
Decision ToolFiles(const RunFacts& facts, std::initializer_list<ToolFile> files,
                   const std::string& role) {
  if (facts.caseFormat == 0) return Reached();
  if (facts.caseFormat < 2)
    return Unknown("the case, from an older NLDIAG.EXE, does not show the system tools' files " +
                   role + " needs");
  for (const ToolFile& file : files) {
    const auto found = facts.tools.find(file.name);
    if (found == facts.tools.end())
      return Unknown(std::string("the case does not show ") + file.name + ", which " + role +
                     " needs");
    // Windows looks for the file in other folders too (the program's, the
    // system folder, the Windows folder, PATH), which the case does not
    // show: missing where Windows keeps it, it is most likely missing.
    if (found->second.rfind("present", 0) != 0)
      return Unknown(std::string(file.name) + " is not in " + file.folder + ", where Windows keeps "
                     "it (" + found->second + "): " + role + " most likely cannot start, unless "
                     "a copy in another folder Windows searches stands in");
  }
  return Reached();
}

Decision ClassInstallerNeeds(const RunFacts& facts) {
  const Decision files = ToolFiles(facts, {kRundll32, kSysdm}, "the class installer");
  if (!files.reached) return files;
  // Without a usable SetupScratchDir the facts hold no INF file; Windows'
  // own tool finds its INF folder without that value.
  const bool scratchKnown = facts.scratchDir.known && !facts.scratchDir.tooLong &&
                            !facts.scratchDir.path.empty() && facts.scratchDirExists;
  const auto inf = facts.scratchAfter.find(kInfraredInf);
  if (scratchKnown && (inf == facts.scratchAfter.end() || !inf->second.exists))
    return NotReached(std::string(kInfraredInf) + " is not in the setup scratch directory, so the "
                      "class installer has no INF file to install the infrared class from");
  if (scratchKnown && !inf->second.bytes.empty() &&
      !ContainsIgnoreCase(inf->second.bytes, "[ClassInstall"))
    return NotReached(std::string(kInfraredInf) + " holds no [ClassInstall] section, so the class "
                      "installer cannot install the infrared class from it");
  // Asked for the file, the user gave Windows the folder that holds it.
  if (facts.driverGivenByUser) return Reached();
  if (facts.sourcePath.path.empty())
    return NotReached("Windows asks for " + std::string(kDriverFileName) + " when it installs the "
                      "adapter: SourcePath is empty (driver-copy not reached)");
  if (!facts.source.driverThere)
    return NotReached("Windows asks for " + std::string(kDriverFileName) + " when it installs the "
                      "adapter: the file is not in SourcePath " + Quote(facts.sourcePath.path) +
                      " (driver-copy not reached)");
  return Reached();
}

Decision HardwareWizardNeeds(const RunFacts& facts) {
  const Decision files = ToolFiles(facts, {kRundll32, kSysdm}, "the hardware wizard");
  if (!files.reached) return files;
  const Decision model = DecideModelLine(facts);
  if (model.unknown) return model;
  if (!model.reached)
    return NotReached("the wizard's model list cannot offer the adapter: the model line is not "
                      "in " + std::string(kIrminiInf) + " (model-line: " + model.cause + ")");
  return Reached();
}

}  // namespace

Decision ToolNeeds(const RunFacts& facts, const std::string& goal) {
  if (goal == "class-installer") return ClassInstallerNeeds(facts);
  if (goal == "hardware-wizard") return HardwareWizardNeeds(facts);
  if (goal == "network-panel")
    return ToolFiles(facts, {kRundll32, kShell32, kNetcpl}, "the network panel");
  return Reached();
}

}  // namespace nl::findings
