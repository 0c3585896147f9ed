// Whole runs on the German sample system with one thing about the system
// broken: registry texts of the wrong type, too long, unterminated, empty or
// made of backslashes; setup directories that are too long or missing; INF
// files that are empty, binary, huge, read-only or held open by another
// program; a missing driver file, drive or Setup key.
//
// Every run must return 0 without hanging, close every key and file, and keep
// the original content of both INF files (in the file itself, its backup or
// the temporary file); and it must still do everything the broken state does
// not prevent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "../support/hostile_system.h"
#include "../support/substitution_model.h"
#include "platform/sim/files/sim_profile_text.h"
#include "regfile/reg_tree.h"

namespace nl {
namespace {

using namespace nl::testing;

constexpr const char* kSampleClassDescription = "Infrarotger\xe4te";
constexpr const char* kDefaultClassDescription = "Infrared devices";
constexpr const char* kClassKey =
    "System\\CurrentControlSet\\Services\\Class\\Infrared";
constexpr const char* kIrminiAdapterKey =
    "System\\CurrentControlSet\\Services\\Class\\Net\\0001";
constexpr const char* kRootNetEntry = "Enum\\Root\\Net\\0000";
constexpr const char* kNetTransEntry =
    "System\\CurrentControlSet\\Services\\Class\\NetTrans\\0001";
constexpr const char* kUsbAdapterEntry =
    "System\\CurrentControlSet\\Services\\Class\\Net\\0000";
constexpr const char* kRootDriverCopy = "C:\\nl-430.sys";

// One run on the sample system and what it started from.
struct HostileRun {
  sim::SimSystem sim;
  std::uint32_t lcid;
  std::string infDir = kSampleInfDir;  // where the INF files under test lie
  std::string programDriver = kProgramDriver;  // the driver beside the program
  std::string irminiOriginal;
  std::string infraredOriginal;
  RunOutcome outcome;

  explicit HostileRun(std::uint32_t locale) : lcid(locale) {
    PrepareSampleSystem(sim, lcid);
  }
  bool German() const { return lcid == kGermanLcid; }
  std::string Inf(const char* name) const { return InDir(infDir, name); }
  std::optional<std::string> File(const std::string& path) {
    if (!sim.Files().FileExists(path)) return std::nullopt;
    return sim.Files().ReadFileText(path);
  }
  // The originals are the files as they are now, unless the change gave
  // them (the files then hold what an earlier run made of them).
  bool originalsGiven = false;
  void Run() {
    if (!originalsGiven) {
      irminiOriginal = sim.Files().ReadFileText(Inf("IRMINI.INF"));
      infraredOriginal = sim.Files().ReadFileText(Inf("INFRARED.INF"));
    }
    outcome = RunWholeProgram(sim);
  }
};

// ---- Checks every run must pass ----

void ExpectSoundEnd(const HostileRun& run) {
  EXPECT_EQ(run.outcome.ending, RunEnding::kReturned)
      << "the run did not return: " << run.outcome.error;
  EXPECT_EQ(run.outcome.exitCode, 0);
  EXPECT_EQ(run.outcome.openKeys, 0u) << "registry keys left open";
  EXPECT_EQ(run.outcome.openFiles, 0u) << "files left open";
}

void ExpectOriginalKept(HostileRun& run, const char* inf, const char* bak,
                        const std::string& original) {
  for (const std::string& path :
       {run.Inf(inf), run.Inf(bak), run.Inf("NL-TEMP.INF")}) {
    if (run.File(path) == original) return;
  }
  ADD_FAILURE() << "the original content of " << inf
                << " is lost: it is neither in " << inf << ", " << bak
                << " nor NL-TEMP.INF";
}

void ExpectOriginalsKept(HostileRun& run) {
  ExpectOriginalKept(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal);
  ExpectOriginalKept(run, "INFRARED.INF", "INFRARED.BAK",
                     run.infraredOriginal);
}

// ---- What a run does despite the broken state ----

enum class InfResult {
  kEdited,     // both files edited, their backups hold the originals
  kUntouched,  // neither file touched, no backup, no temporary file
  kOwnCheck,   // the case checks the files itself
};

struct Effects {
  InfResult infs = InfResult::kEdited;
  // Unset: the class name of INFRARED.INF as the system reads it.
  std::optional<std::string> description;
  std::string driverCopy = kCopiedDriver;  // empty: no copy anywhere
  bool adapterPort = true;                 // German runs only
  bool rootNetEntryRemoved = true;
  bool netTransEntryRemoved = true;
};

void ExpectInfEdited(HostileRun& run, const char* inf, const char* bak,
                     const std::string& original, const std::string& edited) {
  EXPECT_EQ(run.File(run.Inf(inf)), edited) << inf << " is not as edited";
  EXPECT_EQ(run.File(run.Inf(bak)), original) << bak << " is not the original";
}

void ExpectInfsEdited(HostileRun& run) {
  ExpectInfEdited(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal,
                  IrminiAfterRun(run.irminiOriginal, run.German()));
  ExpectInfEdited(run, "INFRARED.INF", "INFRARED.BAK", run.infraredOriginal,
                  InfraredAfterRun(run.infraredOriginal));
  EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
}

void ExpectInfUntouched(HostileRun& run, const char* inf, const char* bak,
                        const std::string& original) {
  EXPECT_EQ(run.File(run.Inf(inf)), original) << inf << " was changed";
  EXPECT_FALSE(run.sim.Files().FileExists(run.Inf(bak))) << bak << " was made";
}

void ExpectInfsUntouched(HostileRun& run) {
  ExpectInfUntouched(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal);
  ExpectInfUntouched(run, "INFRARED.INF", "INFRARED.BAK",
                     run.infraredOriginal);
  EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
}

std::string DescriptionFromInf(const std::string& infrared) {
  std::string value;
  if (!sim::FindProfileValue(infrared, "Strings", "Class.Desc", &value) ||
      value.empty()) {
    return kDefaultClassDescription;
  }
  return value.substr(0, 511);
}

bool WasStarted(const HostileRun& run, const char* commandLine) {
  const auto& starts = run.sim.Processes().Starts();
  return std::any_of(starts.begin(), starts.end(), [&](const auto& start) {
    return start.commandLine == commandLine && start.started;
  });
}

void ExpectDriverCopy(HostileRun& run, const std::string& where) {
  for (const char* path : {kCopiedDriver, kRootDriverCopy}) {
    if (path == where) {
      EXPECT_EQ(run.File(path), run.File(run.programDriver))
          << "no driver copy at " << path;
    } else {
      EXPECT_FALSE(run.sim.Files().FileExists(path)) << "a driver copy at " << path;
    }
  }
}

void ExpectAdapterPort(HostileRun& run, bool written) {
  const sim::RegValue* port = run.sim.Registry().FindValue(kIrminiAdapterKey, "Port");
  const std::string params = std::string(kIrminiAdapterKey) + "\\Ndi\\Params\\Port";
  if (written) {
    EXPECT_EQ(run.sim.Registry().ValueText(kIrminiAdapterKey, "Port"), "0");
    EXPECT_EQ(run.sim.Registry().ValueText(params, ""), "0");
  } else {
    EXPECT_EQ(port, nullptr) << "the adapter got a port";
    EXPECT_EQ(run.sim.Registry().ValueText(params, ""), "1");
  }
}

void ExpectEffects(HostileRun& run, const Effects& effects) {
  if (effects.infs == InfResult::kEdited) ExpectInfsEdited(run);
  if (effects.infs == InfResult::kUntouched) ExpectInfsUntouched(run);

  EXPECT_EQ(run.sim.Registry().ValueText("Enum\\INFRARED\\KnownDevices", "IRMINI"),
            "IRMINI");
  EXPECT_EQ(run.sim.Registry().ValueText(kClassKey, ""),
            effects.description ? *effects.description
                                : DescriptionFromInf(run.infraredOriginal));
  EXPECT_EQ(run.sim.Registry().ValueText(kClassKey, "Installer"), "infrared.dll");
  EXPECT_EQ(run.sim.Registry().ValueText(kClassKey, "Link"),
            "{6bdd1fc5-810f-11d0-bec7-08002be2092f}");
  ASSERT_NE(run.sim.Registry().FindValue(kClassKey, "PortSubClass"), nullptr);

  ExpectDriverCopy(run, effects.driverCopy);

  EXPECT_TRUE(WasStarted(run, sim::kClassInstallerCommandLine));
  EXPECT_EQ(WasStarted(run, sim::kHardwareWizardCommandLine), run.German());
  EXPECT_EQ(run.sim.Registry().ValueText("Enum\\INFRARED\\Framer", "PortName"),
            run.German() ? "COM0" : "");
  EXPECT_EQ(run.sim.Registry().ValueText("Enum\\INFRARED\\VirtualPorts",
                              "VirtualComPortName"),
            run.German() ? "COM4" : "");
  ExpectAdapterPort(run, run.German() && effects.adapterPort);
  EXPECT_TRUE(WasStarted(run, sim::kNetworkPanelCommandLine));

  EXPECT_FALSE(run.sim.Registry().KeyExists(kUsbAdapterEntry));
  EXPECT_EQ(run.sim.Registry().KeyExists(kRootNetEntry), !effects.rootNetEntryRemoved);
  EXPECT_EQ(run.sim.Registry().KeyExists(kNetTransEntry), !effects.netTransEntryRemoved);
  EXPECT_TRUE(run.sim.Registry().KeyExists("Enum\\Root\\Net\\0001"));
}

// ---- The catalogue ----

struct HostileCase {
  std::string name;
  std::function<void(HostileRun&)> change;
  Effects effects;
  std::function<void(HostileRun&)> extraCheck;  // may be empty
};

// A registry text the program reads, and what it does with it.
struct ValueUnderTest {
  const char* label;
  std::string key;
  const char* name;
  std::size_t capacity;  // of the program's buffer
  std::string working;   // a text the program acts on
  bool isPath;           // trailing backslashes are dropped
  // What changes when the program cannot use the text; `empty` for a text
  // that is empty once its trailing backslashes are gone.
  std::function<void(Effects&, bool empty)> ignored;
};

std::vector<ValueUnderTest> ValuesUnderTest() {
  return {
      {"ScratchDir", kSetupKey, "SetupScratchDir", 260, "C:\\WINDOWS\\INF",
       true,
       [](Effects& e, bool) {
         e.infs = InfResult::kUntouched;
         e.description = kDefaultClassDescription;
       }},
      {"SourcePath", kSetupKey, "SourcePath", 512, "C:\\WINDOWS\\OPTIONS\\CABS",
       true,
       [](Effects& e, bool empty) {
         // An empty source directory is the root of the current drive.
         e.driverCopy = empty ? kRootDriverCopy : "";
       }},
      {"AdapterName", kIrminiAdapterKey, "AdapterName", 512, "IRMINI", false,
       [](Effects& e, bool) { e.adapterPort = false; }},
      {"CompatibleIds", kRootNetEntry, "CompatibleIDs", 512, "IRMINI", false,
       [](Effects& e, bool) { e.rootNetEntryRemoved = false; }},
      {"DeviceVxDs", kNetTransEntry, "DeviceVxDs", 512, "IRDA.SYS", false,
       [](Effects& e, bool) { e.netTransEntryRemoved = false; }},
  };
}

enum class Use { kActs, kIgnores, kEmpty };

struct ValueShape {
  const char* label;
  std::uint32_t type;
  std::string data;
  Use use;
};

std::string Bytes(std::initializer_list<std::string> parts) {
  std::string out;
  for (const std::string& part : parts) out += part;
  return out;
}
const std::string kZero(1, '\0');

// `text` filled up to `size` bytes with `fill`.
std::string PadTo(std::string text, std::size_t size, char fill) {
  text.resize(size, fill);
  return text;
}

std::vector<ValueShape> ShapesOf(const ValueUnderTest& v) {
  const std::string& w = v.working;
  // Padding that keeps a path usable, and one that keeps a name matching
  // up to its zero.
  const char keep = v.isPath ? '\\' : '\0';
  std::vector<ValueShape> shapes = {
      // Its first four bytes read as a number: the text ends with the value.
      {"Dword", kRegDword, w.substr(0, 4), Use::kIgnores},
      {"BinaryTextThenJunk", kRegBinary, Bytes({w, kZero, "\xff\x01junk"}),
       Use::kActs},
      {"BinaryWithoutZero", kRegBinary, w, Use::kActs},
      {"MultiStringFirst", kRegMultiSz, Bytes({w, kZero, "OTHER", kZero, kZero}),
       Use::kActs},
      {"MultiStringSecond", kRegMultiSz,
       Bytes({"OTHER", kZero, w, kZero, kZero}), Use::kIgnores},
      {"OneByteTooLong", kRegSz, PadTo(w, v.capacity, keep) + kZero,
       Use::kIgnores},
      {"Over513Bytes", kRegSz, PadTo(w, 512, keep) + kZero, Use::kIgnores},
      {"Over64KB", kRegSz, PadTo(w, 65535, keep) + kZero, Use::kIgnores},
      {"Empty", kRegSz, kZero, Use::kEmpty},
      {"ZeroBytes", kRegSz, "", Use::kEmpty},
      {"OnlyBackslashes", kRegSz, "\\\\\\\\\\" + kZero,
       v.isPath ? Use::kEmpty : Use::kIgnores},
  };
  if (v.isPath) {
    shapes.push_back({"FullWithoutZeroEndingInBackslashes", kRegSz,
                      PadTo(w, v.capacity, '\\'), Use::kActs});
    shapes.push_back({"FullWithZeroEndingInBackslashes", kRegSz,
                      PadTo(w, v.capacity - 1, '\\') + kZero, Use::kActs});
    shapes.push_back({"FullWithoutZero", kRegSz,
                      PadTo("C:\\", v.capacity, 'X'), Use::kIgnores});
    // Readable, but no file name fits behind it.
    shapes.push_back({"LongestText", kRegSz,
                      PadTo("C:\\", v.capacity - 1, 'X') + kZero,
                      Use::kIgnores});
  } else {
    shapes.push_back({"FullWithoutZero", kRegSz, PadTo(w, v.capacity, ' '),
                      Use::kIgnores});
    shapes.push_back({"FullWithZero", kRegSz,
                      PadTo(w, v.capacity - 1, '\0') + kZero, Use::kActs});
  }
  return shapes;
}

void RemoveValue(HostileRun& run, const std::string& key,
                 const std::string& name) {
  std::vector<std::string> names;
  ASSERT_TRUE(regfile::SplitKeyPath(key.c_str(), &names));
  sim::RegNode* node = regfile::WalkKeys(&run.sim.Registry().Root(), names);
  ASSERT_NE(node, nullptr);
  ASSERT_NE(node->FindValue(name), nullptr);
  ASSERT_EQ(node->FindValue(name)->name, name);
  ASSERT_TRUE(node->RemoveValue(name));
}

void RemoveSetupKey(HostileRun& run) {
  sim::RegNode* parent = regfile::WalkKeys(
      &run.sim.Registry().Root(),
      {"SOFTWARE", "Microsoft", "Windows", "CurrentVersion"});
  ASSERT_NE(parent, nullptr);
  regfile::RemoveSubkey(parent, "Setup");
}

// Random bytes of every value, with the texts the edits look for mixed in.
std::string BinaryInf(unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  const std::vector<std::string> texts = {
      "irmini.sys", "IRMINI.SYS", "IrMiNi.SyS", "DeviceID=IRMINI",
      "InfraredTransceiverType,type,,enum", "HKR,Ndi\\Install,,0,irmini",
      "%StandardExpl%=IRMINI_Install,IRMINI", std::string("\0\0\0\0", 4)};
  std::string out;
  for (int piece = 0; piece < 64; ++piece) {
    int run = byte(random);
    for (int i = 0; i < run; ++i) out += static_cast<char>(byte(random));
    out += texts[static_cast<std::size_t>(byte(random)) % texts.size()];
  }
  return out + "irmini.sy";  // an occurrence cut off by the end of the file
}

void CopyInfsTo(HostileRun& run, const std::string& dir) {
  run.sim.Files().MakeDirectory(dir);
  for (const char* name : {"IRMINI.INF", "INFRARED.INF"}) {
    run.sim.Files().WriteFileText(InDir(dir, name),
                          run.sim.Files().ReadFileText(InDir(kSampleInfDir, name)));
  }
  run.sim.Registry().SetText(kSetupKey, "SetupScratchDir", dir);
  run.infDir = dir;
}

// An INF file as the sample image holds it.
std::string SampleInf(const char* name) {
  std::ifstream in(SampleImage() + "/drive_c/WINDOWS/INF/" + name,
                   std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The number of the first call of `operation` whose arguments end with
// `lastArgument`, in a run on the untouched sample.
std::uint64_t CallNumberInUntouchedRun(std::uint32_t lcid,
                                       const std::string& operation,
                                       const std::string& lastArgument) {
  HostileRun twin(lcid);
  twin.Run();
  for (const sim::JournalEntry& entry : twin.sim.Journal().Entries()) {
    const std::string& args = entry.arguments;
    if (entry.operation == operation && args.size() >= lastArgument.size() &&
        args.compare(args.size() - lastArgument.size(), lastArgument.size(),
                     lastArgument) == 0) {
      return entry.index;
    }
  }
  ADD_FAILURE() << "no " << operation << " call ending in " << lastArgument;
  return 0;
}

void GiveSampleOriginals(HostileRun& run) {
  run.irminiOriginal = SampleInf("IRMINI.INF");
  run.infraredOriginal = SampleInf("INFRARED.INF");
  run.originalsGiven = true;
}

void ExpectSampleInfsUntouched(HostileRun& run) {
  for (const char* name : {"IRMINI.INF", "INFRARED.INF"}) {
    EXPECT_EQ(run.File(InDir(kSampleInfDir, name)), SampleInf(name));
  }
  for (const char* name : {"IRMINI.BAK", "INFRARED.BAK", "NL-TEMP.INF"}) {
    EXPECT_FALSE(run.sim.Files().FileExists(InDir(kSampleInfDir, name)));
  }
}

std::vector<HostileCase> Catalogue() {
  std::vector<HostileCase> cases;

  // Registry texts in every hostile shape.
  for (const ValueUnderTest& value : ValuesUnderTest()) {
    for (const ValueShape& shape : ShapesOf(value)) {
      HostileCase c;
      c.name = std::string(value.label) + "_" + shape.label;
      std::string key = value.key;
      std::string name = value.name;
      std::uint32_t type = shape.type;
      std::string data = shape.data;
      c.change = [key, name, type, data](HostileRun& run) {
        ASSERT_TRUE(run.sim.Registry().KeyExists(key));
        run.sim.Registry().SetValue(key, name, type, data);
      };
      if (shape.use != Use::kActs) {
        value.ignored(c.effects, shape.use == Use::kEmpty);
      }
      cases.push_back(c);
    }
    HostileCase missing;
    missing.name = std::string(value.label) + "_Missing";
    std::string key = value.key;
    std::string name = value.name;
    missing.change = [key, name](HostileRun& run) {
      RemoveValue(run, key, name);
    };
    value.ignored(missing.effects, false);
    cases.push_back(missing);
  }

  // Setup directories.
  {
    HostileCase c;
    c.name = "SetupKeyMissing";
    c.change = RemoveSetupKey;
    c.effects.infs = InfResult::kUntouched;
    c.effects.description = kDefaultClassDescription;
    c.effects.driverCopy = "";
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.name = "ScratchDirNotOnDisk";
    c.change = [](HostileRun& run) {
      run.sim.Registry().SetText(kSetupKey, "SetupScratchDir", "C:\\NOWHERE\\INF");
    };
    c.effects.infs = InfResult::kUntouched;
    c.effects.description = kDefaultClassDescription;
    c.extraCheck = [](HostileRun& run) {
      EXPECT_FALSE(run.sim.Files().FileExists("C:\\NOWHERE"));
    };
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.name = "SourcePathOnMissingDrive";
    c.change = [](HostileRun& run) {
      run.sim.Registry().SetText(kSetupKey, "SourcePath", "E:\\WIN98\\CABS\\");
    };
    c.effects.driverCopy = "";
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.name = "DriverFileMissing";
    c.change = [](HostileRun& run) {
      std::filesystem::remove(run.sim.Files().HostPath(kProgramDriver));
    };
    c.effects.driverCopy = "";
    cases.push_back(c);
  }
  // The program's own directory near the path limit: at 248 characters the
  // driver's path just fits, at 249 it does not; a file name longer than
  // the program's buffer gives no directory at all.
  for (std::size_t length : {248u, 249u, 300u}) {
    HostileCase c;
    c.name = "ProgramDirOf" + std::to_string(length) + "Characters";
    c.change = [length](HostileRun& run) {
      const std::string dir = LongDirectory(length);
      run.sim.Files().MakeDirectory(dir);
      run.programDriver = InDir(dir, "nl-430.sys");
      run.sim.Files().WriteFileText(run.programDriver, "driver beside a long path");
      // A short program name, so the driver's path is what runs out.
      run.sim.Processes().SetProgramPath(InDir(dir, "N.EXE"));
    };
    if (length != 248) c.effects.driverCopy = "";
    cases.push_back(c);
  }
  // Scratch directories near the path limit: no composed path fits at 259
  // and 250 characters; at 248 only "IRMINI.INF" and "IRMINI.BAK" fit, and
  // since every rewrite goes through "NL-TEMP.INF" nothing is edited; at
  // 247 "NL-TEMP.INF" fits as well, but not "INFRARED.INF".
  for (std::size_t length : {259u, 250u}) {
    HostileCase c;
    c.name = "ScratchDirOf" + std::to_string(length) + "Characters";
    c.change = [length](HostileRun& run) {
      CopyInfsTo(run, LongDirectory(length));
    };
    c.effects.infs = InfResult::kUntouched;
    c.effects.description = kDefaultClassDescription;
    c.extraCheck = ExpectSampleInfsUntouched;
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.name = "ScratchDirOf248Characters";
    c.change = [](HostileRun& run) { CopyInfsTo(run, LongDirectory(248)); };
    c.effects.infs = InfResult::kOwnCheck;
    c.effects.description = kDefaultClassDescription;
    c.extraCheck = [](HostileRun& run) {
      // The rewrite's temporary file does not fit, so no backup is made,
      // and without one the display name is not written either.
      ExpectInfUntouched(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal);
      ExpectInfUntouched(run, "INFRARED.INF", "INFRARED.BAK",
                         run.infraredOriginal);
      ExpectSampleInfsUntouched(run);
    };
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.name = "ScratchDirOf247Characters";
    c.change = [](HostileRun& run) { CopyInfsTo(run, LongDirectory(247)); };
    c.effects.infs = InfResult::kOwnCheck;
    c.effects.description = kDefaultClassDescription;
    c.extraCheck = [](HostileRun& run) {
      ExpectInfEdited(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal,
                      IrminiAfterRun(run.irminiOriginal, run.German()));
      ExpectInfUntouched(run, "INFRARED.INF", "INFRARED.BAK",
                         run.infraredOriginal);
      EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
      ExpectSampleInfsUntouched(run);
    };
    cases.push_back(c);
  }

  // INF files.
  {
    HostileCase c;
    c.name = "InfFilesEmpty";
    c.change = [](HostileRun& run) {
      run.sim.Files().WriteFileText(run.Inf("IRMINI.INF"), "");
      run.sim.Files().WriteFileText(run.Inf("INFRARED.INF"), "");
    };
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.name = "InfFilesBinary";
    c.change = [](HostileRun& run) {
      run.sim.Files().WriteFileText(run.Inf("IRMINI.INF"), BinaryInf(7));
      run.sim.Files().WriteFileText(run.Inf("INFRARED.INF"), BinaryInf(8));
    };
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.name = "ClassNameOverlong";
    // A class name longer than the 511 characters the program reads.
    c.change = [](HostileRun& run) {
      run.sim.Files().WriteFileText(
          run.Inf("INFRARED.INF"),
          "[Strings]\r\nClass.Desc=\"" + std::string(600, 'K') +
              "\"\r\n[Infrared.CopyFiles]\r\nirmini.sys\r\n");
    };
    c.effects.description = std::string(511, 'K');
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.name = "InfFilesReadOnly";
    c.change = [](HostileRun& run) {
      run.sim.Files().SetReadOnly(run.Inf("IRMINI.INF"));
      run.sim.Files().SetReadOnly(run.Inf("INFRARED.INF"));
    };
    cases.push_back(c);
  }
  {
    // The backup cannot be made, so the file is the only copy of its
    // original: no edit and no display name may rewrite it.
    HostileCase c;
    c.name = "IrminiHeldOpen";
    c.change = [](HostileRun& run) { run.sim.Files().HoldOpen(run.Inf("IRMINI.INF")); };
    c.effects.infs = InfResult::kOwnCheck;
    c.extraCheck = [](HostileRun& run) {
      ExpectInfUntouched(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal);
      ExpectInfEdited(run, "INFRARED.INF", "INFRARED.BAK",
                      run.infraredOriginal,
                      InfraredAfterRun(run.infraredOriginal));
      EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
    };
    cases.push_back(c);
  }
  {
    // The move that makes the backup fails once, with the file in place and
    // free afterwards: the later edits must still leave the only copy alone.
    HostileCase c;
    c.name = "IrminiBackupMoveFails";
    c.change = [](HostileRun& run) {
      run.sim.Journal().FailCall(CallNumberInUntouchedRun(
          run.lcid, "MoveFileA", "\"C:\\WINDOWS\\INF\\IRMINI.BAK\""));
    };
    c.effects.infs = InfResult::kOwnCheck;
    c.extraCheck = [](HostileRun& run) {
      ExpectInfUntouched(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal);
      ExpectInfEdited(run, "INFRARED.INF", "INFRARED.BAK",
                      run.infraredOriginal,
                      InfraredAfterRun(run.infraredOriginal));
      EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
    };
    cases.push_back(c);
  }
  {
    // Released while the class installer runs: the late edit must still
    // leave the only copy alone.
    HostileCase c;
    c.name = "IrminiHeldOpenUntilInstallerRuns";
    c.change = [](HostileRun& run) {
      std::string path = run.Inf("IRMINI.INF");
      run.sim.Files().HoldOpen(path);
      run.sim.Clock().At(500, [path](sim::SimSystem& s) { s.Files().Release(path); });
    };
    c.effects.infs = InfResult::kOwnCheck;
    c.extraCheck = [](HostileRun& run) {
      ExpectInfUntouched(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal);
      EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
    };
    cases.push_back(c);
  }
  {
    // An earlier run's backup exists, but the edited file cannot be put
    // aside: it stays as the earlier run left it.
    HostileCase c;
    c.name = "IrminiHeldOpenAfterEarlierRun";
    c.change = [](HostileRun& run) {
      std::string original = run.sim.Files().ReadFileText(run.Inf("IRMINI.INF"));
      run.sim.Files().WriteFileText(run.Inf("IRMINI.BAK"), original);
      run.sim.Files().WriteFileText(run.Inf("IRMINI.INF"),
                            IrminiAfterRun(original, run.German()));
      run.sim.Files().HoldOpen(run.Inf("IRMINI.INF"));
      GiveSampleOriginals(run);
    };
    c.effects.infs = InfResult::kOwnCheck;
    c.extraCheck = [](HostileRun& run) {
      EXPECT_EQ(run.File(run.Inf("IRMINI.INF")),
                IrminiAfterRun(run.irminiOriginal, run.German()));
      EXPECT_EQ(run.File(run.Inf("IRMINI.BAK")), run.irminiOriginal);
      EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
    };
    cases.push_back(c);
  }
  {
    // The backup of an earlier run cannot be put back after the edited file
    // was deleted: the backup keeps the original, and the display name
    // makes a file of its own.
    HostileCase c;
    c.name = "IrminiBackupHeldOpen";
    c.change = [](HostileRun& run) {
      std::string original = run.sim.Files().ReadFileText(run.Inf("IRMINI.INF"));
      run.sim.Files().WriteFileText(run.Inf("IRMINI.BAK"), original);
      run.sim.Files().WriteFileText(run.Inf("IRMINI.INF"),
                            IrminiAfterRun(original, run.German()));
      run.sim.Files().HoldOpen(run.Inf("IRMINI.BAK"));
      GiveSampleOriginals(run);
    };
    c.effects.infs = InfResult::kOwnCheck;
    c.extraCheck = [](HostileRun& run) {
      EXPECT_EQ(run.File(run.Inf("IRMINI.BAK")), run.irminiOriginal);
      EXPECT_EQ(run.File(run.Inf("IRMINI.INF")),
                sim::SetProfileValue("", "Strings", "StandardExpl",
                                     kStandardExplValue));
      EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
    };
    cases.push_back(c);
  }
  {
    HostileCase c;
    c.name = "InfraredHeldOpen";
    c.change = [](HostileRun& run) {
      run.sim.Files().HoldOpen(run.Inf("INFRARED.INF"));
    };
    c.effects.infs = InfResult::kOwnCheck;
    // The class name cannot be read from a file another program holds.
    c.effects.description = kDefaultClassDescription;
    c.extraCheck = [](HostileRun& run) {
      ExpectInfEdited(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal,
                      IrminiAfterRun(run.irminiOriginal, run.German()));
      ExpectInfUntouched(run, "INFRARED.INF", "INFRARED.BAK",
                         run.infraredOriginal);
    };
    cases.push_back(c);
  }
  return cases;
}

void PrintTo(const HostileCase& hostile, std::ostream* out) {
  *out << hostile.name;
}

std::string CaseName(
    const ::testing::TestParamInfo<std::tuple<HostileCase, std::uint32_t>>&
        info) {
  return std::get<0>(info.param).name +
         (std::get<1>(info.param) == kGermanLcid ? "_German" : "_English");
}

class HostileState : public ::testing::TestWithParam<
                         std::tuple<HostileCase, std::uint32_t>> {};

TEST_P(HostileState, RunEndsSoundlyKeepsOriginalsAndDoesTheRest) {
  const HostileCase& hostile = std::get<0>(GetParam());
  HostileRun run(std::get<1>(GetParam()));
  hostile.change(run);
  ASSERT_FALSE(HasFatalFailure());
  run.Run();
  ExpectSoundEnd(run);
  ExpectOriginalsKept(run);
  ExpectEffects(run, hostile.effects);
  if (hostile.extraCheck) hostile.extraCheck(run);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, HostileState,
                         ::testing::Combine(::testing::ValuesIn(Catalogue()),
                                            ::testing::Values(kGermanLcid,
                                                              kEnglishLcid)),
                         CaseName);

// The untouched sample, as a reference for the catalogue's expectations.
TEST(HostileStateReference, UntouchedSampleRunsAsTheCatalogueExpects) {
  for (std::uint32_t lcid : {kGermanLcid, kEnglishLcid}) {
    HostileRun run(lcid);
    run.Run();
    ExpectSoundEnd(run);
    ExpectOriginalsKept(run);
    ExpectEffects(run, Effects());
    EXPECT_EQ(run.sim.Registry().ValueText(kClassKey, ""), kSampleClassDescription);
  }
}

// Read-only originals are moved aside like any other file, so a second run
// puts them back and edits them again the same way.
TEST(HostileStateReadOnly, SecondRunOnReadOnlyOriginalsGivesTheSameFiles) {
  for (std::uint32_t lcid : {kGermanLcid, kEnglishLcid}) {
    HostileRun run(lcid);
    run.sim.Files().SetReadOnly(run.Inf("IRMINI.INF"));
    run.sim.Files().SetReadOnly(run.Inf("INFRARED.INF"));
    run.Run();
    ExpectSoundEnd(run);
    ExpectInfsEdited(run);
    const std::string irmini = run.irminiOriginal;
    const std::string infrared = run.infraredOriginal;

    run.outcome = RunWholeProgram(run.sim);
    ExpectSoundEnd(run);
    ExpectInfsEdited(run);  // against the first run's originals
    EXPECT_EQ(run.sim.GetFileAttributesA(run.Inf("IRMINI.BAK").c_str()),
              sim::kFileAttributeReadOnly);
  }
}

// An INF file made read-only after an earlier run cannot be deleted when its
// backup is put back, so this run edits it in place through the temporary
// file. The move hands the read-only attribute on to the temporary file,
// which then cannot be deleted: it is left behind, and from then on every
// edit through the temporary file fails at its first step, in this run and
// in every later one.
TEST(HostileStateReadOnly, EditedFileMadeReadOnlyLeavesNoTemporaryFileBehind) {
  for (std::uint32_t lcid : {kGermanLcid, kEnglishLcid}) {
    SCOPED_TRACE(lcid == kGermanLcid ? "German" : "English");
    HostileRun run(lcid);
    GiveSampleOriginals(run);
    for (const char* name : {"IRMINI", "INFRARED"}) {
      const std::string inf = run.Inf((std::string(name) + ".INF").c_str());
      const std::string original = run.sim.Files().ReadFileText(inf);
      run.sim.Files().WriteFileText(run.Inf((std::string(name) + ".BAK").c_str()),
                            original);
      run.sim.Files().WriteFileText(inf, name == std::string("IRMINI")
                                     ? IrminiAfterRun(original, run.German())
                                     : InfraredAfterRun(original));
      run.sim.Files().SetReadOnly(inf);
    }
    run.Run();
    ExpectSoundEnd(run);
    ExpectOriginalsKept(run);
    EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")))
        << "FAULT (temporary INF rewrite): NL-TEMP.INF took over the "
           "read-only attribute of the file it was moved from and was left "
           "behind";

    // The next run puts the backups back and must edit as a first run does.
    run.outcome = RunWholeProgram(run.sim);
    ExpectSoundEnd(run);
    ExpectOriginalsKept(run);
    EXPECT_EQ(run.File(run.Inf("IRMINI.INF")),
              IrminiAfterRun(run.irminiOriginal, run.German()))
        << "FAULT (temporary INF rewrite): a left-behind read-only "
           "NL-TEMP.INF blocks every edit through the temporary file";
  }
}

// ---- A 100 MB INF file ----
//
// The file is a short head holding the class name, then tiles of INF lines
// picked pseudo-randomly. No occurrence crosses a tile, so the edited file is
// the edited tiles in the same order, and both the file and its backup are
// checked tile by tile while streaming: no 100 MB text is ever built here.
// The tile lengths share no factor with the program's read size, so
// occurrences fall across its read boundaries.

constexpr std::uint64_t kBigFileBytes = 100ull * 1024 * 1024;
constexpr int kTileCount = 7;
const char kBigFileHead[] =
    "[Version]\r\nClass=Infrared\r\n[Strings]\r\n"
    "Class.Desc=\"Gro\xdf-Infrarotger\xe4te\"\r\n[Infrared.CopyFiles]\r\n";

// Long lines of comma-separated pieces, so the system's own reading of the
// file for the class name stays light.
std::string Tile(int index) {
  static const char* const kPieces[] = {
      "HKR", "Ndi\\params\\Port", "%Port%", "irmini.sys", "IrMiNi.SyS",
      "irmini.sysIRMINI.SYS", "iirmini.sys", "irmini.sy", "xyz xyz xyz",
  };
  const std::size_t length = 40000 + 3331 * static_cast<std::size_t>(index);
  std::mt19937 random(1000 + index);
  std::string tile;
  while (tile.size() + 4096 < length) {
    for (int piece = 0; piece < 300; ++piece) {
      tile += kPieces[random() % (sizeof kPieces / sizeof kPieces[0])];
      tile += ',';
    }
    tile += "\r\n";
  }
  // A comment line brings the tile to its exact length.
  tile += ';';
  tile.append(length - tile.size() - 2, 'x');
  return tile + "\r\n";
}

// The tile at each place of the file.
int TileAt(std::uint64_t slot) {
  std::uint64_t x = slot * 0x9E3779B97F4A7C15ull;
  x ^= x >> 29;
  return static_cast<int>(x % kTileCount);
}

// Reads a file piece by piece and compares it with the expected pieces.
class StreamComparison {
 public:
  explicit StreamComparison(const std::string& hostPath)
      : in_(hostPath, std::ios::binary) {}
  bool Next(const std::string& expected) {
    buffer_.resize(expected.size());
    in_.read(&buffer_[0], static_cast<std::streamsize>(buffer_.size()));
    return in_.gcount() == static_cast<std::streamsize>(expected.size()) &&
           buffer_ == expected;
  }
  bool AtEnd() { return in_.peek() == std::char_traits<char>::eof(); }

 private:
  std::ifstream in_;
  std::string buffer_;
};

// Compares the whole file with the head and the tiles as given.
::testing::AssertionResult FileIsTiles(const std::string& hostPath,
                                       const std::string& head,
                                       const std::vector<std::string>& tiles,
                                       std::uint64_t slots) {
  StreamComparison file(hostPath);
  if (!file.Next(head)) return ::testing::AssertionFailure() << "head differs";
  for (std::uint64_t slot = 0; slot < slots; ++slot) {
    if (!file.Next(tiles[static_cast<std::size_t>(TileAt(slot))])) {
      return ::testing::AssertionFailure() << "tile " << slot << " differs";
    }
  }
  if (!file.AtEnd()) return ::testing::AssertionFailure() << "longer";
  return ::testing::AssertionSuccess();
}

TEST(HostileStateBigFile, HundredMegabyteInfraredInfIsEditedWhole) {
  HostileRun run(kGermanLcid);
  std::vector<std::string> tiles, editedTiles;
  for (int i = 0; i < kTileCount; ++i) {
    tiles.push_back(Tile(i));
    editedTiles.push_back(InfraredAfterRun(tiles.back()));
    ASSERT_NE(editedTiles.back(), tiles.back());
  }
  std::uint64_t slots = 0;
  {
    std::ofstream out(run.sim.Files().HostPath(run.Inf("INFRARED.INF")),
                      std::ios::binary | std::ios::trunc);
    std::uint64_t size = sizeof kBigFileHead - 1;
    out << kBigFileHead;
    while (size < kBigFileBytes) {
      const std::string& tile = tiles[static_cast<std::size_t>(TileAt(slots++))];
      out << tile;
      size += tile.size();
    }
    ASSERT_TRUE(out.good());
  }
  run.irminiOriginal = run.sim.Files().ReadFileText(run.Inf("IRMINI.INF"));
  run.outcome = RunWholeProgram(run.sim);

  ExpectSoundEnd(run);
  EXPECT_TRUE(FileIsTiles(run.sim.Files().HostPath(run.Inf("INFRARED.BAK")),
                          kBigFileHead, tiles, slots))
      << "INFRARED.BAK is not the original";
  EXPECT_TRUE(FileIsTiles(run.sim.Files().HostPath(run.Inf("INFRARED.INF")),
                          kBigFileHead, editedTiles, slots))
      << "INFRARED.INF is not edited as it should be";
  EXPECT_FALSE(run.sim.Files().FileExists(run.Inf("NL-TEMP.INF")));
  ExpectInfEdited(run, "IRMINI.INF", "IRMINI.BAK", run.irminiOriginal,
                  IrminiAfterRun(run.irminiOriginal, true));
  EXPECT_EQ(run.sim.Registry().ValueText(kClassKey, ""), "Gro\xdf-Infrarotger\xe4te");
  ExpectDriverCopy(run, kCopiedDriver);
  EXPECT_FALSE(run.sim.Registry().KeyExists(kNetTransEntry));
}

}  // namespace
}  // namespace nl
