// simrun: runs the installer once against a simulated Windows 9x system
// loaded from a system image and shows what it did.
//
//   simrun [--image DIR] [--locale 0x409] [--journal] [--keep DIR] [--strict]
//          [--json]
//   simrun --compare CASE-OR-IMAGE CASE-OR-IMAGE [--strict]
//   simrun --compare-reg BEFORE.reg AFTER.reg [--strict]
//   simrun --make-image DIR --reg EXPORT.reg --inf FILE [--inf FILE]
//          [--cd-disc | --no-disc | --network]
//   simrun --make-image DIR --case NLCASE.TXT
//
// Text is shown as UTF-8 (registry text, file names and INF lines are code
// page 1252), every customer text with its control bytes escaped
// (report_text.h). The case is untrusted input: see
// platform/sim/files/plain_tree.h for what it may hold.
// --image   the system image (default: samples/de-win98 of the source tree)
// --locale  the user default locale identifier (default: the image's, from
//           its image.txt; German, 0x407, when it has none)
// --journal print every system call the program made, in order
// --keep    write the system as it is after the run as an image into DIR
//           (a new or empty folder, checked before the run)
// --strict  a line of a .reg file that regedit would skip is an error
//           rather than a warning
// --json    print the whole report as one JSON document instead of text
// --compare  what differs between two states of a PC, each a case file or
//           an image: the registry account and the file changes
//           (compare_cases.h)
// --compare-reg  only print the account of the registry changes from one
//           .reg file to another (how the Wine runs are reported too)
// --make-image  lay out an image from what a customer sends (make_image.h),
//           or from the case NLDIAG.EXE wrote, given with --case (case_image.h)
//
// Prints the goals as the image holds them before the run and what an
// earlier run left there, the findings (each goal of the installation, reached or not and
// why; findings/findings.h), the processes started, the account of the
// registry changes (regfile/reg_account.h) and the file changes. The system tools the program
// starts are played by the stand-ins (src/standins), in the behaviours
// --standin chooses.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "changes.h"
#include "compare_cases.h"
#include "findings/findings.h"
#include "findings/report_json.h"
#include "findings/pc_facts.h"
#include "findings/verdict.h"
#include "findings/run_facts.h"
#include "case_image.h"
#include "make_image.h"
#include "remedy_runs.h"
#include "run_image.h"
#include "text_report.h"
#include "platform/sim/files/plain_tree.h"
#include "report_text.h"
#include "main/install_sequence.h"
#include "regfile/reg_account.h"
#include "regfile/reg_decode.h"
#include "platform/sim/sim_system.h"
#include "standins/stand_in_tools.h"

namespace fs = std::filesystem;

namespace {


struct Options {
  std::string image;
  std::optional<std::uint32_t> locale;  // as given; else the image's
  std::string standIn;
  int runs = 1;
  bool journal = false;
  std::string keep;
  bool strict = false;
  bool json = false;
  std::string compareBefore, compareAfter;
  std::string compareFirst, compareSecond;  // --compare: cases or images
  simrun::MakeImageRequest makeImage;
  std::string caseFile;  // --make-image from NLDIAG.EXE's case file
};

[[noreturn]] void Usage(const char* problem) {
  if (problem) std::fprintf(stderr, "simrun: %s\n", problem);
  std::fprintf(stderr,
               "usage: simrun [--image DIR] [--locale 0x409] [--standin OPTIONS] [--runs N]\n"
               "              [--journal] [--keep DIR] [--strict] [--json]\n"
               "       simrun --compare CASE-OR-IMAGE CASE-OR-IMAGE [--strict]\n"
               "       simrun --compare-reg BEFORE.reg AFTER.reg [--strict]\n"
               "       simrun --make-image DIR --reg EXPORT.reg --inf IRMINI.INF\n"
               "              --inf INFRARED.INF [--cd-disc | --no-disc | --network]\n"
               "       simrun --make-image DIR --case NLCASE.TXT\n");
  std::exit(2);
}

// The sample image: beside the source tree the tool was built from, or in
// the current folder.
std::string DefaultImage() {
  std::vector<fs::path> candidates;
  if (const char* root = ::getenv("NL_SOURCE_DIR")) candidates.push_back(fs::path(root) / "samples/de-win98");
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  for (fs::path at = exe.parent_path(); !ec && !at.empty() && at != at.root_path(); at = at.parent_path())
    candidates.push_back(at / "samples/de-win98");
  candidates.push_back("samples/de-win98");
  for (const fs::path& p : candidates)
    if (fs::is_directory(p)) return p.string();
  Usage("no image given and samples/de-win98 not found");
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(("missing value after " + arg).c_str());
      return argv[++i];
    };
    if (arg == "--image") {
      options.image = value();
    } else if (arg == "--locale") {
      const std::string text = value();
      char* end = nullptr;
      options.locale = static_cast<std::uint32_t>(std::strtoul(text.c_str(), &end, 0));
      if (!end || *end) Usage("the locale must be a number such as 0x409");
    } else if (arg == "--standin") {
      options.standIn = value();
    } else if (arg == "--runs") {
      const std::string text = value();
      char* end = nullptr;
      const long runs = std::strtol(text.c_str(), &end, 10);
      if (!end || *end || runs < 1 || runs > 100) Usage("--runs takes a number from 1 to 100");
      options.runs = static_cast<int>(runs);
    } else if (arg == "--journal") {
      options.journal = true;
    } else if (arg == "--keep") {
      options.keep = value();
    } else if (arg == "--strict") {
      options.strict = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--make-image") {
      options.makeImage.folder = value();
    } else if (arg == "--reg") {
      options.makeImage.registryExport = value();
    } else if (arg == "--inf") {
      options.makeImage.infFiles.push_back(value());
    } else if (arg == "--case") {
      options.caseFile = value();
    } else if (arg == "--no-disc") {
      options.makeImage.sourceDriveWithoutDisc = true;
    } else if (arg == "--cd-disc") {
      options.makeImage.sourceDriveWithDisc = true;
    } else if (arg == "--network") {
      options.makeImage.sourceOnNetwork = true;
    } else if (arg == "--compare") {
      options.compareFirst = value();
      options.compareSecond = value();
    } else if (arg == "--compare-reg") {
      options.compareBefore = value();
      options.compareAfter = value();
    } else if (arg == "-h" || arg == "--help") {
      Usage(nullptr);
    } else {
      Usage(("unknown argument " + arg).c_str());
    }
  }
  if (!options.caseFile.empty() &&
      (options.makeImage.folder.empty() || !options.makeImage.registryExport.empty() ||
       !options.makeImage.infFiles.empty() || options.makeImage.sourceDriveWithoutDisc ||
       options.makeImage.sourceDriveWithDisc || options.makeImage.sourceOnNetwork))
    Usage("--case goes with --make-image DIR alone: the case holds the rest");
  if (!options.makeImage.folder.empty() && options.makeImage.registryExport.empty() &&
      options.caseFile.empty())
    Usage("--make-image needs --reg EXPORT.reg or --case NLCASE.TXT");
  if (options.makeImage.folder.empty() &&
      (!options.makeImage.registryExport.empty() || !options.makeImage.infFiles.empty() ||
       options.makeImage.sourceDriveWithoutDisc || options.makeImage.sourceDriveWithDisc ||
       options.makeImage.sourceOnNetwork))
    Usage("--reg, --inf, --cd-disc, --no-disc and --network go with --make-image");
  if (options.makeImage.sourceDriveWithoutDisc + options.makeImage.sourceDriveWithDisc +
          options.makeImage.sourceOnNetwork > 1)
    Usage("--cd-disc, --no-disc and --network each say what the SourcePath drive is: give one");
  if (options.image.empty() && options.compareBefore.empty() && options.compareFirst.empty() &&
      options.makeImage.folder.empty())
    options.image = DefaultImage();
  return options;
}

std::string MakeTempFolder() {
  char folder[] = "/tmp/simrun-XXXXXX";
  if (!::mkdtemp(folder)) throw std::runtime_error("cannot create a temporary folder");
  return folder;
}

// A message on the standard error, control bytes escaped: warnings and
// errors quote the customer's files.
void Say(const std::string& text) {
  std::fprintf(stderr, "simrun: %s\n", simrun::ShownText(text).c_str());
}

int CompareRegFiles(const Options& options) {
  try {
    std::vector<std::string> notes;
    const std::string account = nl::regfile::RegistryAccountOfFiles(
        simrun::ReadHostFile(options.compareBefore), simrun::ReadHostFile(options.compareAfter),
        options.compareBefore, options.compareAfter, options.strict, &notes);
    for (const std::string& note : notes) Say(note);
    std::cout << simrun::ShownLines(account);
    return 0;
  } catch (const std::exception& e) {
    Say(e.what());
    return 2;
  }
}

int RunImage(const Options& options) {
  // --keep writes a new image: a folder already holding files is refused
  // before the run, not after it.
  if (!options.keep.empty()) {
    try {
      nl::sim::PrepareEmptyFolder(options.keep);
    } catch (const std::exception& e) {
      Say(std::string("--keep: ") + e.what());
      return 2;
    }
  }
  const std::string work = MakeTempFolder();
  int status = 0;
  try {
    simrun::SimRunSetup setup;
    setup.image = options.image;
    setup.locale = options.locale;
    setup.runs = options.runs;
    setup.strict = options.strict;
    if (!nl::sim::ParseStandInOptions(options.standIn, &setup.standIns))
      Usage(("unknown stand-in options " + options.standIn).c_str());
    setup.shippedDriver = simrun::ShippedDriver(DefaultImage());
    simrun::SimRun run = simrun::RunSimulated(work + "/system", setup, nullptr, work + "/before");
    for (const std::string& warning : run.warnings) Say(warning);
    nl::sim::SimSystem& sim = *run.sim;
    const nl::findings::RunFacts& facts = run.facts;
    const std::string& registryBefore = run.registryBefore;
    const std::string& ending = run.ending;
    const std::uint32_t locale = run.locale;
    const char* localeSource = run.localeSource;
    status = run.status;

    nl::findings::RunReport report;
    report.image = options.image;
    report.locale = locale;
    report.localeSource = localeSource;
    report.ending = ending;
    report.calls = sim.Journal().CallCount();
    report.virtualMs = sim.Clock().Now();
    report.beforeRun = nl::findings::DecideBeforeRun(facts);
    report.earlierRun = nl::findings::EarlierRunTraces(facts);
    const nl::sim::ImageDescription& told = sim.LoadedDescription();
    if (!told.collected.empty())
      report.pcFacts.push_back("the case was taken on " + told.collected + " by the PC's clock");
    for (const std::string& fact : nl::findings::PcFactLines(facts)) report.pcFacts.push_back(fact);
    for (const std::string& lacked : told.lacked) report.pcFacts.push_back("the case lacked: " + lacked);
    report.findings = nl::findings::DecideFindings(facts);
    report.remedies = simrun::CheckRemedies(setup, facts, report.findings, work);
    report.remediesChecked = true;
    report.blocker = nl::findings::PcBlocker(facts);
    report.purposefulDeletions = nl::findings::PurposefulDeletions(facts);
    report.registryBefore = facts.registryBefore;
    report.registryAfter = facts.registryAfter;
    for (const nl::sim::ProcessStart& start : sim.Processes().Starts())
      report.processes.push_back({start.time, start.commandLine, start.started, start.processId});
    sim.Files().HostPath("C:\\");  // lands writes still held back by open files
    // The JSON report gives the changes as data; the text report gives the
    // registry account and the files with their diffs.
    if (options.json) {
      report.files = simrun::FileChangeList(work + "/before", work + "/system");
      std::cout << nl::findings::ReportJson(report);
    } else {
      // From the two exports, as any pair of .reg files is compared.
      std::vector<std::string> notes;
      report.registryChanges = nl::regfile::RegistryAccountOfFiles(
          registryBefore, sim.ExportRegistry(), "before/system.reg", "after/system.reg", true,
          &notes);
      simrun::TextReportHead head{options.image, options.standIn, options.runs};
      simrun::PrintTextReport(head, report, simrun::DriveChanges(work + "/before", work + "/system"),
                              options.journal ? sim.Journal().Text() : "");
    }
    std::ostream& notesOut = options.json ? std::cerr : std::cout;
    if (sim.Files().OpenFileCount() || sim.Registry().OpenKeyCount())
      notesOut << "\nleft open: " << sim.Files().OpenFileCount() << " files, " << sim.Registry().OpenKeyCount()
               << " registry keys\n";
    if (!options.keep.empty()) {
      // A locale the run only assumed stays unsaid in the kept image, so
      // that its next run says it assumes it too.
      sim.SaveImage(options.keep, std::string(localeSource) != "assumed");
      notesOut << "\nkept the system after the run in " << simrun::ShownText(options.keep) << "\n";
    }
  } catch (const std::exception& e) {
    Say(e.what());
    status = 2;
  }
  std::error_code ignored;
  fs::remove_all(work, ignored);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  if (!options.compareBefore.empty()) return CompareRegFiles(options);
  if (!options.compareFirst.empty()) {
    const std::string work = MakeTempFolder();
    const int status = simrun::CompareCasesOrImages(options.compareFirst, options.compareSecond,
                                                    DefaultImage(), options.strict, work);
    std::error_code ignored;
    fs::remove_all(work, ignored);
    return status;
  }
  if (!options.caseFile.empty())
    return simrun::MakeImageFromCase(options.makeImage.folder, options.caseFile, DefaultImage());
  if (!options.makeImage.folder.empty()) {
    simrun::MakeImageRequest request = options.makeImage;
    request.sampleImage = DefaultImage();
    return simrun::MakeImageCommand(request);
  }
  return RunImage(options);
}
