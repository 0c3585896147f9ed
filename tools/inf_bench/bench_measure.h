// Runs one measurement in a forked child, so its peak memory can be read
// from wait4 on its own.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace inf_bench {

struct Sample {
  double ms = 0;         // wall time of the measured work
  double cpuMs = 0;      // processor time (user + system)
  long peakRssKb = 0;    // ru_maxrss of the child
};

// Forks; the child runs `setUp` (not timed), then `work` (timed, inside the
// child, wall and processor time). Throws when the child fails.
Sample MeasureInChild(const std::function<void()>& setUp,
                      const std::function<void()>& work);

// Forks and executes `argv`; timed from the fork to the child's end, and
// the child's whole processor time, since starting the program is part of
// using it. Throws when it fails.
Sample MeasureCommand(const std::vector<std::string>& argv);

// The medians of the samples' times and the highest of their peaks.
Sample Summarize(std::vector<Sample> samples);

}  // namespace inf_bench
