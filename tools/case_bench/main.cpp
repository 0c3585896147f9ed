// case_bench: runs `simrun --make-image DIR --case FILE` on generated
// hostile case files and prints, per case, its size, simrun's exit code,
// the wall time, the peak memory (ru_maxrss) and the bytes it printed.
//
//   case_bench [--simrun PATH] [--case TEXT]
//
// --simrun names the simrun to measure (by default the one beside
// case_bench), so that two builds can be compared on the same cases;
// --case runs only the cases whose name contains TEXT. Each case runs once,
// in a child process, with its output going to files that are then sized.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMiB = 1024 * 1024;
const std::string kHead = "NLDIAG case file 1\r\n";

struct BenchCase {
  const char* name;
  std::function<std::string()> make;
};

// `count` parts, each named once: every part line is read and judged.
std::string Parts(std::size_t count) {
  std::string out = kHead;
  char line[32];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(line, sizeof line, "== part%06zu\r\n", i);
    out += line;
  }
  return out + "== end\r\n";
}

// Short lines outside every part, each warned about, up to `size` bytes.
std::string Junk(std::size_t size) {
  std::string out = kHead;
  while (out.size() + 2 + 8 <= size) out += "x\n";
  return out + "== end\r\n";
}

// One system field of `size` bytes, printed back as the case's Windows
// version; `fill` makes its bytes.
std::string BigField(std::size_t size, const char* fill) {
  std::string out = kHead + "== system\r\nwindows-version = ";
  const std::size_t fillLength = std::strlen(fill);
  out.reserve(out.size() + size + 16);
  for (std::size_t i = 0; i < size; ++i) out += fill[i % fillLength];
  return out + "\r\n== end\r\n";
}

struct Figures {
  int exitCode = -1;
  double seconds = 0;
  long peakKb = 0;
  std::uintmax_t printed = 0, warned = 0;  // bytes on stdout, stderr
};

// simrun runs in the sources' folder, where it finds the sample image.
Figures Run(const std::string& simrun, const std::string& source, const fs::path& casePath,
            const fs::path& work) {
  const fs::path image = work / "image", out = work / "stdout", err = work / "stderr";
  fs::remove_all(image);
  Figures figures;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) {
    std::perror("fork");
    std::exit(2);
  }
  if (pid == 0) {
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (outFd < 0 || errFd < 0 || ::chdir(source.c_str()) != 0) ::_exit(127);
    ::dup2(outFd, 1);
    ::dup2(errFd, 2);
    ::execl(simrun.c_str(), simrun.c_str(), "--make-image", image.c_str(), "--case",
            casePath.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  figures.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  figures.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  figures.peakKb = usage.ru_maxrss;
  figures.printed = fs::file_size(out);
  figures.warned = fs::file_size(err);
  return figures;
}

std::string Beside(const char* self, const char* name) {
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  return ((error ? fs::path(self) : exe).parent_path() / name).string();
}

}  // namespace

int main(int argc, char** argv) {
  std::string simrun = Beside(argv[0], "simrun"), only;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--simrun" && i + 1 < argc) {
      simrun = fs::absolute(argv[++i]).string();
    } else if (arg == "--case" && i + 1 < argc) {
      only = argv[++i];
    } else {
      std::fprintf(stderr, "usage: case_bench [--simrun PATH] [--case TEXT]\n");
      return 2;
    }
  }
  // The sources' folder, from this file's own path.
  const std::string source = fs::path(__FILE__).parent_path().parent_path().parent_path().string();
  const std::vector<BenchCase> cases = {
      {"a whole case (small_german)",
       [&] {
         std::ifstream in(source + "/tests/fuzz/case_corpus/small_german", std::ios::binary);
         return std::string(std::istreambuf_iterator<char>(in), {});
       }},
      {"160,000 part lines", [] { return Parts(160000); }},
      {"320,000 part lines", [] { return Parts(320000); }},
      {"64 MB of junk lines", [] { return Junk(64 * kMiB); }},
      {"a 60 MB windows-version, printable", [] { return BigField(60 * kMiB, "A"); }},
      {"a 60 MB windows-version, control bytes", [] { return BigField(60 * kMiB, "\x1b\x01"); }},
  };
  char name[] = "/tmp/case-bench-XXXXXX";
  if (::mkdtemp(name) == nullptr) {
    std::perror("mkdtemp");
    return 2;
  }
  const fs::path work = name;
  std::printf("simrun: %s\n\n", simrun.c_str());
  std::printf("| case | KB | exit | wall s | peak KB | stdout bytes | stderr bytes |\n");
  std::printf("|---|---|---|---|---|---|---|\n");
  for (const BenchCase& c : cases) {
    if (!only.empty() && std::string(c.name).find(only) == std::string::npos) continue;
    const fs::path casePath = work / "NLCASE.TXT";
    std::size_t size = 0;
    {
      const std::string text = c.make();
      size = text.size();
      std::ofstream(casePath, std::ios::binary) << text;
    }
    const Figures f = Run(simrun, source, casePath, work);
    std::printf("| %s | %.0f | %d | %.2f | %ld | %ju | %ju |\n", c.name,
                static_cast<double>(size) / 1024, f.exitCode, f.seconds, f.peakKb, f.printed,
                f.warned);
    std::fflush(stdout);
  }
  fs::remove_all(work);
  return 0;
}
