// System images: REGEDIT4 import and export, and the bundled sample image.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "main/install_sequence.h"
#include "regfile/reg_account.h"
#include "regfile/reg_file.h"
#include "standins/stand_in_tools.h"
#include "platform/sim/sim_system.h"

namespace nl::sim {
namespace {

const std::string kSample = std::string(NL_SOURCE_DIR) + "/samples/de-win98";

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string RoundTrip(const std::string& text) {
  RegNode root;
  root.name = "HKEY_LOCAL_MACHINE";
  ImportRegFile(text, &root);
  return ExportRegFile(root);
}

TEST(SimImage, TheSampleRegistryRoundTripsByteForByte) {
  SimSystem sim;
  sim.LoadImage(kSample);
  EXPECT_EQ(sim.ExportRegistry(), ReadHostFile(kSample + "/system.reg"));
}

TEST(SimImage, EveryKindOfValueRoundTrips) {
  SimSystem sim;
  sim.Registry().SetText("A\\B", "", "quote \" and backslash \\ and \xE4");
  sim.Registry().SetValue("A\\B", "NoZero", kRegSz, "abc");
  sim.Registry().SetValue("A\\B", "Inner", kRegSz, std::string("a\0b\0", 4));
  sim.Registry().SetValue("A\\B", "Tab", kRegSz, "a\tb\0");
  sim.Registry().SetValue("A\\B", "Empty", kRegSz, "");
  sim.Registry().SetValue("A\\B", "Expand", kRegExpandSz, std::string("%WINDIR%\0", 9));
  sim.Registry().SetValue("A\\B", "Multi", kRegMultiSz, std::string("IRMINI\0\0", 8));
  sim.Registry().SetValue("A\\B", "Dword", kRegDword, std::string("\x14\0\0\0", 4));
  sim.Registry().SetValue("A\\B", "ShortDword", kRegDword, std::string("\x01", 1));
  sim.Registry().SetValue("A\\B", "Long", kRegBinary, std::string(100, '\x7F'));
  sim.Registry().SetValue("A\\B", "None", 0, "");
  sim.Registry().SetValue("A\\B", "na\"me\\", kRegSz, std::string("v\0", 2));
  sim.Registry().CreateKey("A\\Empty Key");
  const std::string exported = sim.ExportRegistry();
  EXPECT_EQ(RoundTrip(exported), exported);
  EXPECT_NE(exported.find("@=\"quote \\\" and backslash \\\\ and \xE4\"\n"), std::string::npos);
  EXPECT_NE(exported.find("\"NoZero\"=hex(1):61,62,63\n"), std::string::npos);
  EXPECT_NE(exported.find("\"Dword\"=dword:00000014\n"), std::string::npos);
  EXPECT_NE(exported.find("\"Multi\"=hex(7):49,52,4d,49,4e,49,00,00\n"), std::string::npos);
  EXPECT_NE(exported.find("\"Empty\"=hex(1):\n"), std::string::npos);
  EXPECT_NE(exported.find("[HKEY_LOCAL_MACHINE\\A\\Empty Key]\n"), std::string::npos);

  RegNode root;
  ImportRegFile(exported, &root);
  const RegValue* inner = WalkKeys(&root, {"A", "B"})->FindValue("Inner");
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->type, kRegSz);
  EXPECT_EQ(inner->data, std::string("a\0b\0", 4));
  EXPECT_EQ(WalkKeys(&root, {"A", "B"})->FindValue("Long")->data, std::string(100, '\x7F'));
}

TEST(SimImage, ImportReadsContinuationsCommentsAndCrlf) {
  RegNode root;
  ImportRegFile(
      "REGEDIT4\r\n\r\n; a comment\r\n[HKEY_LOCAL_MACHINE\\Enum\\Root\\Net\\0000]\r\n"
      "\"CompatibleIDs\"=hex(7):49,52,\\\r\n  4d,49,4e,49,00,00\r\n\"Path\"=\"C:\\\\\"\r\n",
      &root);
  const RegNode* key = WalkKeys(&root, {"Enum", "Root", "Net", "0000"});
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->FindValue("CompatibleIDs")->data, std::string("IRMINI\0\0", 8));
  EXPECT_EQ(key->FindValue("CompatibleIDs")->type, kRegMultiSz);
  EXPECT_EQ(key->FindValue("Path")->data, std::string("C:\\\0", 4));
}

TEST(SimImage, LoadImageCopiesTheDriveAndSaveImageWritesItBack) {
  SimSystem sim;
  sim.LoadImage(kSample);
  EXPECT_EQ(sim.Registry().ValueText("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup", "SetupScratchDir"),
            "C:\\WINDOWS\\INF");
  EXPECT_EQ(sim.GetFileAttributesA("C:\\WINDOWS\\OPTIONS\\CABS"), kFileAttributeDirectory);
  EXPECT_EQ(sim.Files().ReadFileText("C:\\NLSETUP\\NL-430.SYS").substr(0, 2), "MZ");

  SimSystem copy;
  sim.Registry().SetText("Enum\\INFRARED\\KnownDevices", "IRMINI", "IRMINI");
  sim.SaveImage(copy.Files().HostRoot() + "/image");
  copy.LoadImage(copy.Files().HostRoot() + "/image");
  EXPECT_EQ(copy.ExportRegistry(), sim.ExportRegistry());
  EXPECT_EQ(copy.Files().ReadFileText("C:\\WINDOWS\\INF\\IRMINI.INF"),
            ReadHostFile(kSample + "/drive_c/WINDOWS/INF/IRMINI.INF"));
}

// The description goes with the image: drive kinds always, the locale only
// when it is a fact of the PC rather than the run's assumption.
TEST(SimImage, AKeptImageKeepsItsDrivesAndOnlyAKnownLocale) {
  for (const bool withLocale : {true, false}) {
    SimSystem sim;
    sim.LoadImage(kSample);
    sim.Files().SetDriveKind('D', DriveKind::kCdRomNoDisc);
    sim.Processes().SetUserDefaultLcid(0x409);
    SimSystem copy;
    sim.SaveImage(copy.Files().HostRoot() + "/image", withLocale);
    copy.LoadImage(copy.Files().HostRoot() + "/image");
    EXPECT_EQ(copy.Files().DriveKindOf('D'), DriveKind::kCdRomNoDisc);
    // The sample says German; the run said English.
    EXPECT_EQ(copy.LoadedDescription().locale, withLocale ? 0x409u : 0x407u);
  }
}

// The sample INF files must hold every text the installer edits, in the
// normal form a private-profile writer leaves (CRLF, no blank lines, no
// blanks around "=" or at line ends), so every profile writer agrees on them.
TEST(SimImage, TheSampleInfFilesHoldTheEditedTextsInNormalForm) {
  const std::string irmini = ReadHostFile(kSample + "/drive_c/WINDOWS/INF/IRMINI.INF");
  const std::string infrared = ReadHostFile(kSample + "/drive_c/WINDOWS/INF/INFRARED.INF");
  for (const char* text :
       {"InfraredTransceiverType,type,,enum", "DeviceID=IRMINI", "HKR,Ndi,DeviceID,,IRMINI",
        "HKR,,AdapterName,0,IRMINI", "HKR,NDIS,LogDriverName,0,IRMINI",
        "HKR,Ndi\\Install,,0,IRMINI",
        "AddReg=IRMINI_AddReg, IRMINI_NonPnP_AddReg, IRMINI.reg",
        "%StandardExpl%=IRMINI_Install,IRMINI", "irmini.sys", "IRMINI.SYS", "\r\nStandardExpl="})
    EXPECT_NE(irmini.find(text), std::string::npos) << text;
  EXPECT_NE(infrared.find("irmini.sys"), std::string::npos);
  EXPECT_NE(infrared.find("\r\nClass.Desc=\"Infrarotger\xE4te\"\r\n"), std::string::npos);
  for (const std::string* file : {&irmini, &infrared}) {
    EXPECT_EQ(file->find("\r\n\r\n"), std::string::npos);
    EXPECT_EQ(file->find(" \r\n"), std::string::npos);
    EXPECT_EQ(file->find(" ="), std::string::npos);
    EXPECT_EQ(file->find("= "), std::string::npos);
    for (std::size_t i = 0; i < file->size(); ++i) {
      if ((*file)[i] == '\n') {
        ASSERT_TRUE(i > 0 && (*file)[i - 1] == '\r') << "bare LF at " << i;
      }
    }
    EXPECT_EQ(file->substr(file->size() - 2), "\r\n");
  }
}

TEST(RegImport, TheImageRegistryIsFoundIgnoringCaseAndIsRequired) {
  SimSystem sim;
  const std::filesystem::path image = sim.Files().HostRoot() + "/image";
  std::filesystem::create_directories(image);
  EXPECT_THROW(sim.LoadImage(image.string()), regfile::RegFileError);
  std::ofstream(image / "SYSTEM.REG") << "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\nbad\n";
  const RegImportReport report = sim.LoadImage(image.string());
  EXPECT_NE(sim.Registry().Root().FindSubkey("K"), nullptr);
  ASSERT_EQ(report.warnings.size(), 1u);
  EXPECT_EQ(report.warnings[0].substr(0, 18), "SYSTEM.REG line 3:");
}

// The German run on the sample: the three network entries deleted, the
// port parameter modified, everything else added.
TEST(RegAccount, TheGermanSampleRunDeletesThreeKeysAndModifiesThePort) {
  SimSystem sim;
  sim.LoadImage(std::string(NL_SOURCE_DIR) + "/samples/de-win98");
  InstallStandInTools(sim);
  const std::string before = sim.ExportRegistry();
  InstallerMain(sim, 0x00400000);
  RegNode was, now;
  ImportRegFile(before, &was);
  ImportRegFile(sim.ExportRegistry(), &now);
  regfile::RegAccountCounts counts;
  const std::string account = regfile::RegistryAccount(was, now, &counts);
  EXPECT_EQ(counts.keysDeleted, 3u);
  EXPECT_EQ(counts.valuesDeleted, 0u);
  EXPECT_EQ(counts.valuesModified, 1u);
  for (const char* deleted : {"Enum\\Root\\Net\\0000]",
                              "Services\\Class\\Net\\0000]",
                              "Services\\Class\\NetTrans\\0001]"})
    EXPECT_NE(account.find(std::string("[-HKEY_LOCAL_MACHINE\\") +
                           (deleted[0] == 'E' ? "" : "System\\CurrentControlSet\\") + deleted),
              std::string::npos) << deleted;
  EXPECT_NE(account.find("Params\\Port]\n@=\"0\"\n; was @=\"1\"\n"), std::string::npos);
}

}  // namespace
}  // namespace nl::sim
