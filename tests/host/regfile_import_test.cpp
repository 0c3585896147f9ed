// .reg files as regedit reads them: the forms real files use, lines skipped
// with a warning, and the limits.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "regfile/reg_file.h"

namespace nl::regfile {
namespace {

struct Imported {
  std::string exported;
  RegImportReport report;
};

Imported Import(const std::string& bytes) {
  RegNode root;
  Imported out;
  out.report = ImportRegFile(bytes, &root);
  out.exported = ExportRegFile(root);
  return out;
}

std::string Utf16(const std::string& ascii, const std::string& extraUnits = "") {
  std::string out = "\xFF\xFE";
  for (char c : ascii) out += std::string{c, '\0'};
  return out + extraUnits;
}

const std::string kKey = "[HKEY_LOCAL_MACHINE\\K]\n";

TEST(RegImport, ReadsTheFormsRealFilesUse) {
  struct Case {
    const char* what;
    std::string file;
    std::string exported;  // after "REGEDIT4\n\n"
  };
  const Case cases[] = {
      {"CR line ends, comments, blanks, short dword, final 0x1A",
       "REGEDIT4\r# note\r[HKEY_LOCAL_MACHINE\\K]\r\"a\" = \"x\" ; why\r"
       "\"b\"=dword:C\r\"c\"=hex: 01 , 2,\\\r   03\r\x1A",
       kKey + "\"a\"=\"x\"\n\"b\"=dword:0000000c\n\"c\"=hex:01,02,03\n\n"},
      {"deletions in file order",
       "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K\\Sub]\n\"x\"=\"1\"\n[HKEY_LOCAL_MACHINE\\K]\n"
       "\"a\"=\"1\"\n\"b\"=\"2\"\n\"a\"=-\n[-HKEY_LOCAL_MACHINE\\K\\Sub]\n\"lost\"=\"3\"\n",
       kKey + "\"b\"=\"2\"\n\n"},
      {"other roots skipped with their values, hex lists going on over lines too",
       "REGEDIT4\n[HKEY_CURRENT_USER\\X]\n\"u\"=\"1\"\n\"h\"=hex:01,\\\n  02\n"
       "[HKEY_USERS\\.DEFAULT]\n" + kKey +
           "\"a\"=\"1\"\n",
       kKey + "\"a\"=\"1\"\n\n"},
      {"version 5 in UTF-16LE, text converted to code page 1252",
       Utf16("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n"
             "\"a\"=\"") + std::string("\xE4\0\xAC\x20", 4) +
           Utf16("\"\r\n\"e\"=hex(2):41,00,e4,00,00,00\r\n").substr(2),
       kKey + "\"a\"=\"\xE4\x80\"\n\"e\"=hex(2):41,e4,00\n\n"},
      {"version 5 in UTF-8",
       "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n"
       "@=\"\xC3\xA4\xE2\x82\xAC\"\n",
       kKey + "@=\"\xE4\x80\"\n\n"},
  };
  for (const Case& c : cases) {
    const Imported got = Import(c.file);
    EXPECT_EQ(got.exported, "REGEDIT4\n\n" + c.exported) << c.what;
    EXPECT_TRUE(got.report.warnings.empty()) << c.what << ": " << got.report.warnings[0];
  }
  EXPECT_EQ(Import(cases[2].file).report.otherRootKeys, 2u);
}

// Each line regedit would skip is skipped alone, with the file, the line and
// why; the rest of the file still loads. Under --strict the line is an error.
TEST(RegImport, SkipsBadLinesWithAWarningOrFailsWhenStrict) {
  const std::pair<std::string, std::string> bad[] = {
      {"Name\"=\"lost its quote\"", "neither a key, a value nor a comment"},
      {"\"d\"=dword:123456789", "dword: needs 1 to 8 hex digits"},
      {"\"h\"=hex:01,zz", "a bad byte in the hex list"},
      {"\"t\"=\"open", "a text without its closing quote"},
      {"[HKEY_LOCAL_MACHINE\\K\\N" + std::string(1, '\0') + "UL]", "a NUL byte in a key name"},
      {"[HKEY_LOCAL_MACHINE\\K\\\\Empty]", "an empty key name in the path"},
      {"[HKEY_NOWHERE\\K]", "unknown root key \"HKEY_NOWHERE\""},
  };
  for (const auto& [line, why] : bad) {
    const std::string file = "REGEDIT4\n" + kKey + line + "\n" + kKey + "\"ok\"=\"1\"\n";
    const Imported got = Import(file);
    ASSERT_EQ(got.report.warnings.size(), 1u) << line;
    EXPECT_EQ(got.report.warnings[0], "system.reg line 3: " + why + "; line skipped");
    EXPECT_EQ(got.exported, "REGEDIT4\n\n" + kKey + "\"ok\"=\"1\"\n\n") << line;
    RegNode root;
    RegImportOptions strict;
    strict.strict = true;
    EXPECT_THROW(ImportRegFile(file, &root, strict), RegFileError) << line;
  }
  // A character replaced by '?' is reported, but the line is read.
  const Imported outside = Import(Utf16("Windows Registry Editor Version 5.00\r\n" + kKey +
                                        "@=\"", std::string("\x3B\x26\"\0\r\0\n\0", 8)));
  EXPECT_EQ(outside.report.warnings.at(0),
            "system.reg line 3: a character outside code page 1252 was read as '?'");
  EXPECT_EQ(outside.exported, "REGEDIT4\n\n" + kKey + "@=\"?\"\n\n");
}

TEST(RegImport, KeysBeyondTheWindowsLimitsAreErrorsAndDeepTreesDoNotRecurse) {
  std::string path = "HKEY_LOCAL_MACHINE";
  for (std::size_t i = 0; i < kMaxKeyDepth; ++i) path += "\\k";
  RegNode root;
  EXPECT_NO_THROW(ImportRegFile("REGEDIT4\n[" + path + "]\n", &root));
  EXPECT_THROW(ImportRegFile("REGEDIT4\n[" + path + "\\k]\n", &root), RegFileError);
  EXPECT_NO_THROW(ImportRegFile("REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + std::string(255, 'n') + "]\n", &root));
  EXPECT_THROW(ImportRegFile("REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + std::string(256, 'n') + "]\n", &root),
               RegFileError);
  EXPECT_THROW(ImportRegFile("REGEDIT5\n", &root), RegFileError);

  // Trees far deeper than a file may give, built through the tree itself:
  // export (11,000 levels, 121 MB of text) and release (200,000 levels)
  // must not overflow the stack.
  for (const std::size_t levels : {11000u, 200000u}) {
    auto deep = std::make_unique<RegNode>();
    RegNode* node = deep.get();
    for (std::size_t i = 0; i < levels; ++i) node = node->AddSubkey("k");
    if (levels < 100000) {
      // "[HKEY_LOCAL_MACHINE" + "\\k" per level + "]\n\n" for each key
      EXPECT_EQ(ExportRegFile(*deep).size(), 10 + 22 * levels + levels * (levels + 1));
    }
    deep.reset();
  }
}

}  // namespace
}  // namespace nl::regfile
