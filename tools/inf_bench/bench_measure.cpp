#include "bench_measure.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <stdexcept>

namespace inf_bench {

namespace {

double Seconds() {
  return std::chrono::duration<double>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double ProcessorSeconds() {
  struct timespec now {};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec / 1e9;
}

double Ms(const struct timeval& time) {
  return time.tv_sec * 1000.0 + time.tv_usec / 1000.0;
}

// Waits for the child and records its peak memory and processor time.
void WaitForChild(pid_t pid, const char* what, Sample* sample) {
  int status = 0;
  struct rusage usage {};
  if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    throw std::runtime_error(std::string(what) + " failed");
  }
  sample->peakRssKb = usage.ru_maxrss;
  sample->cpuMs = Ms(usage.ru_utime) + Ms(usage.ru_stime);
}

}  // namespace

Sample MeasureInChild(const std::function<void()>& setUp,
                      const std::function<void()>& work) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::close(pipeEnds[0]);
    int code = 0;
    double times[2] = {0, 0};  // wall, processor
    try {
      setUp();
      double start = Seconds();
      double cpuStart = ProcessorSeconds();
      work();
      times[0] = (Seconds() - start) * 1000.0;
      times[1] = (ProcessorSeconds() - cpuStart) * 1000.0;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "inf_bench: %s\n", e.what());
      code = 1;
    }
    bool sent = ::write(pipeEnds[1], times, sizeof times) == sizeof times;
    ::_exit(sent ? code : 1);
  }
  ::close(pipeEnds[1]);
  double times[2];
  bool received = ::read(pipeEnds[0], times, sizeof times) == sizeof times;
  ::close(pipeEnds[0]);
  Sample sample;
  WaitForChild(pid, "measurement", &sample);
  if (!received) throw std::runtime_error("measurement sent no time");
  sample.ms = times[0];
  sample.cpuMs = times[1];  // of the work alone
  return sample;
}

Sample MeasureCommand(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::fflush(nullptr);
  double start = Seconds();
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  Sample sample;
  WaitForChild(pid, argv[0].c_str(), &sample);
  sample.ms = (Seconds() - start) * 1000.0;
  return sample;
}

Sample Summarize(std::vector<Sample> samples) {
  Sample summary;
  if (samples.empty()) return summary;
  std::size_t middle = samples.size() / 2;
  std::nth_element(samples.begin(), samples.begin() + middle, samples.end(),
                   [](const Sample& a, const Sample& b) { return a.ms < b.ms; });
  summary.ms = samples[middle].ms;
  std::nth_element(
      samples.begin(), samples.begin() + middle, samples.end(),
      [](const Sample& a, const Sample& b) { return a.cpuMs < b.cpuMs; });
  summary.cpuMs = samples[middle].cpuMs;
  for (const Sample& sample : samples)
    summary.peakRssKb = std::max(summary.peakRssKb, sample.peakRssKb);
  return summary;
}

}  // namespace inf_bench
