// Whole runs on the German sample system with one registry text or key
// broken: texts of the wrong type, too long, unterminated, empty or made of
// backslashes, missing values and a missing Setup key (hostile_run.h has the
// checks every run must pass).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../support/hostile_run.h"
#include "regfile/reg_tree.h"

namespace nl {
namespace {

using namespace nl::testing;

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
         MissInfFiles(e, "SetupScratchDir");
       }},
      {"SourcePath", kSetupKey, "SourcePath", 512, "C:\\WINDOWS\\OPTIONS\\CABS",
       true,
       [](Effects& e, bool empty) {
         // An empty source directory is the root of the current drive,
         // where no setup looks: the copy is made and reaches nothing.
         e.driverCopy = empty ? kRootDriverCopy : "";
         e.Miss("driver-copy", empty ? "where no setup looks" : "SourcePath");
       }},
      {"AdapterName", kIrminiAdapterKey, "AdapterName", 512, "IRMINI", false,
       [](Effects& e, bool) {
         e.adapterPort = false;
         e.Miss("adapter-port", "AdapterName");
       }},
      {"CompatibleIds", kRootNetEntry, "CompatibleIDs", 512, "IRMINI", false,
       [](Effects& e, bool) {
         e.rootNetEntryRemoved = false;
         // Nothing matches as the program reads it: net-root holds, with
         // nothing to delete, and the entry stays.
       }},
      {"DeviceVxDs", kNetTransEntry, "DeviceVxDs", 512, "IRDA.SYS", false,
       [](Effects& e, bool) {
         e.netTransEntryRemoved = false;
         // Nothing matches as the program reads it: net-trans holds, with
         // nothing to delete, and the entry stays.
       }},
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


std::vector<HostileCase> RegistryCatalogue() {
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


  // The Setup key.
  {
    HostileCase c;
    c.name = "SetupKeyMissing";
    c.change = RemoveSetupKey;
    c.effects.infs = InfResult::kUntouched;
    c.effects.description = kDefaultClassDescription;
    c.effects.driverCopy = "";
    MissInfFiles(c.effects, "SetupScratchDir");
    c.effects.Miss("driver-copy", "SourcePath");
    cases.push_back(c);
  }
  return cases;
}

class HostileRegistry : public ::testing::TestWithParam<HostileParam> {};

TEST_P(HostileRegistry, RunEndsSoundlyKeepsOriginalsAndDoesTheRest) { RunHostileCase(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Catalogue, HostileRegistry,
                         ::testing::Combine(::testing::ValuesIn(RegistryCatalogue()),
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

}  // namespace
}  // namespace nl
