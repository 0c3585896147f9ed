// A customer's case as hostile input: image folders that hold links,
// devices, FIFOs or oversized files, registry exports that would multiply
// or flood, paths Windows refuses, and customer texts with control bytes.
// Nothing outside the case is read or written, and each refusal names what
// it refused.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "../../tools/simrun/case_image.h"
#include "../../tools/simrun/changes.h"
#include "../../tools/simrun/report_text.h"
#include "platform/sim/files/plain_tree.h"
#include "platform/sim/files/sim_paths.h"
#include "platform/sim/sim_system.h"
#include "regfile/reg_file.h"

namespace nl::sim {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

const char kSecret[] = "the host's own file\n";

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// A scratch folder with a small valid image in `image` and a host file
// outside it in `outside`.
struct Case {
  fs::path top, image, outside, inf;
  Case() {
    char name[] = "/tmp/hostile-case-XXXXXX";
    top = ::mkdtemp(name);
    image = top / "image";
    outside = top / "outside" / "secret.txt";
    inf = image / "drive_c" / "WINDOWS" / "INF";
    Write(image / "system.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software]\n");
    Write(inf / "IRMINI.INF", "[Version]\r\n");
    Write(outside, kSecret);
  }
  ~Case() {
    std::error_code ignored;
    fs::remove_all(top, ignored);
  }
};

struct Refusal {
  const char* name;
  std::function<void(Case&)> lay;  // makes the image hostile
  const char* named;               // the message names it
};

// Image load: each is refused before a file is copied, naming the entry.
TEST(HostileCase, ImageLoadRefusesWhatIsNotAPlainFileOrFolder) {
  const std::vector<Refusal> table = {
      {"an INF file linked to a host file",
       [](Case& c) {
         fs::remove(c.inf / "IRMINI.INF");
         fs::create_symlink(c.outside, c.inf / "IRMINI.INF");
       },
       "IRMINI.INF\" is a symbolic link"},
      {"a folder linked to a host folder",
       [](Case& c) { fs::create_directory_symlink(c.outside.parent_path(), c.image / "drive_c" / "share"); },
       "share\" is a symbolic link"},
      {"a drive folder that is a link",
       [](Case& c) { fs::create_directory_symlink(c.image / "drive_c", c.image / "drive_d"); },
       "drive_d\" is a symbolic link"},
      {"system.reg linked to a host file",
       [](Case& c) {
         fs::remove(c.image / "system.reg");
         fs::create_symlink(c.outside, c.image / "SYSTEM.REG");
       },
       "SYSTEM.REG\" is a symbolic link"},
      {"a FIFO among the INF files (reading it would wait forever)",
       [](Case& c) { ASSERT_EQ(::mkfifo((c.inf / "INFRARED.INF").c_str(), 0644), 0); },
       "INFRARED.INF\" is a FIFO"},
      {"an INF file hard-linked to a host file",
       [](Case& c) {
         fs::remove(c.inf / "IRMINI.INF");
         fs::create_hard_link(c.outside, c.inf / "IRMINI.INF");
       },
       "IRMINI.INF\" has other hard links"},
      {"a sparse file over the file limit (a few KB in an archive)",
       [](Case& c) {
         const int fd = ::open((c.inf / "BIG.INF").c_str(), O_WRONLY | O_CREAT, 0644);
         ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kMaxCaseFileBytes + 1)), 0);
         ::close(fd);
       },
       "BIG.INF\" is 65 MB, over the limit of 64 MB"},
      {"two INF files differing only in letter case",
       [](Case& c) { Write(c.inf / "irmini.inf", "other"); },
       "differ only in letter case"},
      {"two registry files differing only in letter case",
       [](Case& c) { Write(c.image / "SYSTEM.REG", "REGEDIT4\n"); },
       "holds two registry files"},
  };
  for (const Refusal& row : table) {
    SCOPED_TRACE(row.name);
    Case c;
    row.lay(c);
    SimSystem sim;
    try {
      sim.LoadImage(c.image.string());
      ADD_FAILURE() << "loaded";
    } catch (const std::exception& e) {
      EXPECT_THAT(e.what(), HasSubstr(row.named));
    }
    EXPECT_FALSE(sim.Files().FileExists("C:\\WINDOWS\\INF\\IRMINI.INF"));
    EXPECT_EQ(Read(c.outside), kSecret);
  }
}

// Image save (--keep): a folder holding anything is refused, so no stale
// file mixes in and no link laid there is written through.
TEST(HostileCase, ImageSaveWritesOnlyIntoANewOrEmptyFolder) {
  Case c;
  SimSystem sim;
  sim.LoadImage(c.image.string());
  fs::create_symlink(c.outside, c.top / "system.reg");  // the folder holds a link
  try {
    sim.SaveImage(c.top.string());
    ADD_FAILURE() << "saved";
  } catch (const CaseFileError& e) {
    EXPECT_THAT(e.what(), HasSubstr("is not empty"));
  }
  EXPECT_EQ(Read(c.outside), kSecret);
  EXPECT_THROW(sim.SaveImage(c.image.string()), CaseFileError);  // the image itself
  fs::create_directory(c.top / "empty");
  sim.SaveImage((c.top / "empty").string());
  EXPECT_EQ(Read(c.top / "empty/drive_c/WINDOWS/INF/IRMINI.INF"), "[Version]\r\n");
  // An image made from NLDIAG.EXE's case is written the same way: not into
  // an empty folder elsewhere that a link names.
  fs::create_directory(c.top / "elsewhere");
  fs::create_directory_symlink(c.top / "elsewhere", c.top / "linked");
  const std::string source = NL_SOURCE_DIR;
  const std::string caseFile = source + "/tests/fuzz/case_corpus/small_german";
  const std::string sample = source + "/samples/de-win98";
  EXPECT_EQ(simrun::MakeImageFromCase((c.top / "linked").string(), caseFile, sample), 2);
  EXPECT_TRUE(fs::is_empty(c.top / "elsewhere"));
  EXPECT_EQ(simrun::MakeImageFromCase((c.top / "made").string(), caseFile, sample), 1);
  EXPECT_TRUE(fs::exists(c.top / "made/system.reg"));
}

// Input files (--reg, --inf): only plain files are read, within the limit.
TEST(HostileCase, InputFilesMustBePlainFiles) {
  Case c;
  ASSERT_EQ(::mkfifo((c.top / "fifo.reg").c_str(), 0644), 0);
  fs::create_symlink(c.outside, c.top / "link.inf");
  const std::vector<std::pair<std::string, const char*>> table = {
      {(c.top / "fifo.reg").string(), "is a FIFO"},
      {"/dev/zero", "is a character device"},
      {c.inf.string(), "is a folder"},
      {(c.top / "link.inf").string(), "is a symbolic link"},
  };
  for (const auto& [path, named] : table) {
    SCOPED_TRACE(path);
    try {
      ReadPlainFile(path);
      ADD_FAILURE() << "read";
    } catch (const CaseFileError& e) {
      EXPECT_THAT(e.what(), HasSubstr(named));
    }
  }
  EXPECT_EQ(ReadPlainFile(c.outside.string()), kSecret);
}

// Exports whose cost would outgrow their size.
TEST(HostileCase, RegistryExportsAreBoundedAndNamed) {
  // 16 chains of keys 512 levels deep with names of 255 characters, only
  // the deepest key of each named: about 2 MB, hundreds of MB written out.
  std::string deep = "REGEDIT4\n";
  for (int chain = 0; chain < 16; ++chain) {
    deep += "[HKEY_LOCAL_MACHINE";
    for (std::size_t level = 0; level < regfile::kMaxKeyDepth; ++level)
      deep += "\\" + std::string(regfile::kMaxKeyNameLength - 3, 'k') + std::to_string(100 + chain);
    deep += "]\n";
  }
  regfile::RegNode root;
  root.name = "HKEY_LOCAL_MACHINE";
  try {
    regfile::ImportRegFile(deep, &root);
    ADD_FAILURE() << "imported";
  } catch (const regfile::RegFileError& e) {
    EXPECT_THAT(e.what(), HasSubstr("paths would take more than"));
  }

  // 100,000 lines each warned about: 100 in full, then one count per kind.
  std::string flood = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n";
  for (int i = 0; i < 50000; ++i) flood += "x\n\"v\"=hex:zz\n";
  static const char kNulName[] = "\"a\0b\"=\"nul in a value name\"\n";
  flood += std::string(kNulName, sizeof kNulName - 1);
  regfile::RegNode flooded;
  const regfile::RegImportReport report = regfile::ImportRegFile(flood, &flooded);
  ASSERT_EQ(report.warnings.size(), 103u);
  EXPECT_THAT(report.warnings[100],
              HasSubstr("system.reg: 1 more warning of the kind \"a NUL byte in a value name\""));
  EXPECT_THAT(report.warnings[101], HasSubstr("49950 more warnings of the kind \"a bad byte in the hex list\""));
  EXPECT_THAT(report.warnings[102],
              HasSubstr("49950 more warnings of the kind \"neither a key, a value nor a comment\""));
  EXPECT_EQ(flooded.FindSubkey("A")->values.size(), 0u);
}

// Names Windows 95/98 refuses fail in the simulated system too.
TEST(HostileCase, NamesWindowsRefusesFail) {
  const std::vector<std::pair<const char*, bool>> table = {
      {"C:\\WINDOWS\\INF\\IRMINI.INF", true}, {"C:\\WINDOWS\\..\\NLSETUP\\.\\nl-430.sys", true},
      {"C:\\LPT1\\COM1\\PRN.txt", false},     {"C:\\WIN\\nul", false},
      {"C:\\WIN\\Con.inf", false},            {"C:\\WIN\\AUX", false},
      {"C:\\WIN\\COM4", false},               {"C:\\WIN\\COM5", true},
      {"C:\\WIN\\LPT3.x", false},             {"C:\\WIN\\LPT4", true},
      {"C:\\WIN\\a*.inf", false},             {"C:\\WIN\\a?.inf", false},
      {"C:\\WIN\\a<b", false},                {"C:\\WIN\\a>b", false},
      {"C:\\WIN\\a|b", false},                {"C:\\WIN\\a\"b", false},
      {"C:\\WIN\\a:b", false},                {"C:\\WIN\\tab\there", false},
      {"C:\\WIN\\CONFIG.SYS", true},          {"C:\\WIN\\inner dot.and space", true},
  };
  for (const auto& [path, valid] : table) {
    WinPath parsed;
    EXPECT_EQ(ParseWinPath(path, WinPath{}, &parsed), valid) << path;
  }
  SimSystem sim;
  sim.Files().WriteFileText("C:\\NLSETUP\\nl-430.sys", "driver");
  EXPECT_EQ(sim.CopyFileA("C:\\NLSETUP\\nl-430.sys", "C:\\LPT1\\COM1\\PRN.txt", 0), 0);
}

// The file changes: a file over the diff size is compared a piece at a time
// and shown by size only; names and lines keep no control byte.
TEST(HostileCase, FileChangesAreBoundedAndEscaped) {
  Case c;
  const fs::path before = c.top / "before", after = c.top / "after";
  const std::string big(5u << 20, 'a');
  Write(before / "drive_c/BIG.INF", big);
  Write(after / "drive_c/BIG.INF", big.substr(0, big.size() - 1) + "b");
  Write(before / "drive_c/same.bin", big);
  Write(after / "drive_c/same.bin", big);
  Write(after / "drive_c/COPY.BIN", big);
  Write(before / "drive_c/\x1b[2Kname\rx.inf", "line\r\n");
  Write(after / "drive_c/\x1b[2Kname\rx.inf", "line\r\n\x1b[8m\rdriver-copy reached\r\n\x80\r\n");
  const std::string changes = simrun::DriveChanges(before.string(), after.string());
  EXPECT_THAT(changes, HasSubstr("changed: C:\\BIG.INF (5242880 bytes), over 4 MB: compared by size"));
  EXPECT_THAT(changes, HasSubstr("added: C:\\COPY.BIN (5242880 bytes), a copy of C:\\BIG.INF"));
  EXPECT_THAT(changes, ::testing::Not(HasSubstr("same.bin")));
  const std::string shown = simrun::ShownLines(changes);
  EXPECT_THAT(shown, HasSubstr("changed: C:\\\\x1B[2Kname\\x0Dx.inf (35 bytes)"));
  EXPECT_THAT(shown, HasSubstr("+\\x1B[8m\\x0Ddriver-copy reached\r\n+\xE2\x82\xAC\r\n"));
  EXPECT_EQ(shown.find('\x1b'), std::string::npos);
  // The JSON list: the same files, names escaped and decoded as code page 1252.
  Write(after / "drive_c/\xE4.INF", "x");
  std::vector<std::string> listed;
  for (const nl::findings::FileChange& file : simrun::FileChangeList(before.string(), after.string()))
    listed.push_back(file.change + " " + file.path);
  EXPECT_EQ(listed, (std::vector<std::string>{"changed C:\\\\x1B[2Kname\\x0Dx.inf",
                                              "changed C:\\BIG.INF", "added C:\\COPY.BIN",
                                              "added C:\\\xC3\xA4.INF"}));
}

}  // namespace
}  // namespace nl::sim
