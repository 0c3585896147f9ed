// inf_bench: how fast the INF rewrite runs and how much memory it needs,
// next to cp and GNU sed on the same files.
//
//   inf_bench [--quick] [--check]
//
// Generates INF-like files of 20 KB, 1 MB and 64 MB (one "irmini.sys" in
// changing letter case about every kilobyte) in a temporary folder, then
// times each of these several times, each run in a forked child:
//   rewrite  ReplaceInInfFile(IRMINI.INF, backup IRMINI.BAK, "irmini.sys",
//            "nl-430.sys"), the first INF edit of a run, through the
//            simulated system's host files (journal off), the scratch
//            directory already looked up;
//   temp     the same through the temporary file, which is deleted after;
//   cp       cp of the file to a new name;
//   sed      sed -i 's/irmini\.sys/nl-430.sys/Ig' on a copy of the file.
// Prints the median wall and processor times, the ratios and the peak memory
// (ru_maxrss), and whether the targets are met (on wall time). Each
// measurement starts after a sync, so none pays for writing back the last. Before timing, the rewrite's
// output is compared with sed's. --quick takes fewer repetitions; --check
// exits with 1 when a target is missed.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_files.h"
#include "bench_measure.h"
#include "platform/sim/sim_system.h"
#include "setup/inf_replace.h"
#include "setup/install_run.h"
#include "setup/setup_env.h"

namespace fs = std::filesystem;
using inf_bench::Sample;

namespace {

const char kSedScript[] = "s/irmini\\.sys/nl-430.sys/Ig";

struct Size {
  const char* label;
  std::uint64_t bytes;
  int repetitions;
  int quickRepetitions;
};

const Size kSizes[] = {
    {"20 KB", 20 * 1024, 101, 21},
    {"1 MB", 1024 * 1024, 31, 7},
    {"64 MB", 64 * 1024 * 1024, 7, 3},
};

struct Folder {
  std::string root;
  std::string inf;     // host path of C:\INF\IRMINI.INF
  std::string backup;  // host path of C:\INF\IRMINI.BAK
  std::string cpOut;
  std::string sedFile;
};

Folder MakeFolder() {
  const char* base = ::getenv("TMPDIR");
  std::string pattern =
      std::string(base && *base ? base : "/tmp") + "/inf-bench-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  Folder folder;
  folder.root = pattern;
  fs::create_directories(folder.root + "/drive_c/INF");
  folder.inf = folder.root + "/drive_c/INF/IRMINI.INF";
  folder.backup = folder.root + "/drive_c/INF/IRMINI.BAK";
  folder.cpOut = folder.root + "/cp-out.inf";
  folder.sedFile = folder.root + "/sed.inf";
  return folder;
}

// Every measurement starts with nothing left to write back to the disk, so
// none pays for the one before.
void SettleFiles() { ::sync(); }

// One rewrite of C:\INF\IRMINI.INF, freshly copied from `master`, on a
// simulated system over the folder. The system is made and the scratch
// directory looked up before the clock runs.
Sample MeasureRewrite(const std::string& master, const Folder& folder,
                      const char* backup) {
  inf_bench::CopyHostFile(master, folder.inf);
  fs::remove(folder.backup);
  SettleFiles();
  std::unique_ptr<nl::sim::SimSystem> sim;
  std::unique_ptr<nl::InstallRun> run;
  return inf_bench::MeasureInChild(
      [&] {
        sim = std::make_unique<nl::sim::SimSystem>(folder.root);
        sim->Journal().SetEnabled(false);
        sim->Registry().SetText("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup",
                     "SetupScratchDir", "C:\\INF");
        run = std::make_unique<nl::InstallRun>(nl::MakeInstallRun(*sim, 0));
        char path[nl::kMaxPath];
        if (!nl::GetSetupScratchPath(*run, "IRMINI.INF", path, sizeof path))
          throw std::runtime_error("scratch directory not found");
      },
      [&] {
        if (nl::ReplaceInInfFile(*run, "IRMINI.INF", backup, "irmini.sys",
                                 "nl-430.sys") != 1) {
          throw std::runtime_error("the rewrite replaced nothing");
        }
      });
}

Sample MeasureCp(const std::string& master, const Folder& folder) {
  fs::remove(folder.cpOut);
  SettleFiles();
  return inf_bench::MeasureCommand({"cp", master, folder.cpOut});
}

Sample MeasureSed(const std::string& master, const Folder& folder) {
  inf_bench::CopyHostFile(master, folder.sedFile);
  SettleFiles();
  return inf_bench::MeasureCommand({"sed", "-i", kSedScript, folder.sedFile});
}

// The rewrite must give exactly what sed gives, and keep the old content.
void CheckAgainstSed(const std::string& master, const Folder& folder) {
  MeasureRewrite(master, folder, "IRMINI.BAK");
  MeasureSed(master, folder);
  if (!inf_bench::SameContent(folder.inf, folder.sedFile))
    throw std::runtime_error("the rewrite's output differs from sed's");
  if (!inf_bench::SameContent(folder.backup, master))
    throw std::runtime_error("the backup differs from the old content");
}

struct Result {
  Sample rewrite, temp, cp, sed;
};

Result MeasureSize(const Size& size, bool quick, const Folder& folder) {
  std::string master = folder.root + "/master.inf";
  inf_bench::GenerateInfText(master, size.bytes);
  CheckAgainstSed(master, folder);
  std::vector<Sample> rewrite, temp, cp, sed;
  int repetitions = quick ? size.quickRepetitions : size.repetitions;
  for (int i = 0; i < repetitions; ++i) {
    rewrite.push_back(MeasureRewrite(master, folder, "IRMINI.BAK"));
    temp.push_back(MeasureRewrite(master, folder, nullptr));
    cp.push_back(MeasureCp(master, folder));
    sed.push_back(MeasureSed(master, folder));
  }
  return {inf_bench::Summarize(rewrite), inf_bench::Summarize(temp),
          inf_bench::Summarize(cp), inf_bench::Summarize(sed)};
}

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  bool check = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) {
      quick = true;
    } else if (std::strcmp(argv[i], "--check") == 0) {
      check = true;
    } else {
      std::fprintf(stderr, "usage: inf_bench [--quick] [--check]\n");
      return 2;
    }
  }
  Folder folder;
  std::vector<Result> results;
  try {
    folder = MakeFolder();
    std::printf("%-6s %35s %35s %13s %13s %23s\n", "", "wall ms",
                "processor ms", "rewrite/cp", "rewrite/sed", "peak KB");
    std::printf("%-6s %8s %8s %8s %8s %8s %8s %8s %8s %6s %6s %6s %6s %7s %7s %7s\n",
                "size", "rewrite", "temp", "cp", "sed", "rewrite", "temp", "cp",
                "sed", "wall", "proc", "wall", "proc", "rewrite", "cp", "sed");
    for (const Size& size : kSizes) {
      Result r = MeasureSize(size, quick, folder);
      results.push_back(r);
      std::printf(
          "%-6s %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f %6.2f %6.2f "
          "%6.2f %6.2f %7ld %7ld %7ld\n",
          size.label, r.rewrite.ms, r.temp.ms, r.cp.ms, r.sed.ms,
          r.rewrite.cpuMs, r.temp.cpuMs, r.cp.cpuMs, r.sed.cpuMs,
          r.rewrite.ms / r.cp.ms, r.rewrite.cpuMs / r.cp.cpuMs,
          r.rewrite.ms / r.sed.ms, r.rewrite.cpuMs / r.sed.cpuMs,
          r.rewrite.peakRssKb, r.cp.peakRssKb, r.sed.peakRssKb);
      std::fflush(stdout);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "inf_bench: %s\n", e.what());
    if (!folder.root.empty()) fs::remove_all(folder.root);
    return 1;
  }
  fs::remove_all(folder.root);

  const Result& small = results.front();
  const Result& large = results.back();
  long growthKb = large.rewrite.peakRssKb - small.rewrite.peakRssKb;
  bool fastAsCp = large.rewrite.ms <= 1.5 * large.cp.ms;
  bool fasterThanSed = large.rewrite.ms < large.sed.ms;
  bool smallQuick = small.rewrite.ms < 1.0;
  bool flatMemory = growthKb <= 2048;
  std::printf("output identical to sed's at every size\n");
  std::printf("64 MB within 1.5x cp:        %.2fx  %s\n",
              large.rewrite.ms / large.cp.ms, Verdict(fastAsCp));
  std::printf("64 MB faster than sed:       %.2fx  %s\n",
              large.rewrite.ms / large.sed.ms, Verdict(fasterThanSed));
  std::printf("20 KB under 1 ms:            %.3f ms  %s\n", small.rewrite.ms,
              Verdict(smallQuick));
  std::printf("peak memory 64 MB vs 20 KB:  %+ld KB  %s\n", growthKb,
              Verdict(flatMemory));
  bool allMet = fastAsCp && fasterThanSed && smallQuick && flatMemory;
  return check && !allMet ? 1 : 0;
}
