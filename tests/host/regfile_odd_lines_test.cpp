// Hand-written .reg files: the odd lines regedit reads in a way of its own,
// each file checked as a whole (what the registry holds afterwards and the
// warnings), as a REGEDIT4 file and as a version 5 file in UTF-16LE.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regfile/reg_file.h"

namespace nl::regfile {
namespace {

struct OddFile {
  const char* rule;
  std::string body;    // the lines after the header, line 2 onwards
  std::string body5;   // for the version 5 file, when it must differ
  std::string exported;  // after "REGEDIT4\n\n"
  std::vector<std::string> warnings;  // after "system.reg line "
};

const OddFile kOddFiles[] = {
    {"a comment after a continuing backslash",
     "[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:01,02,\\;first half\n  03,\\  ; more\n  04\n", "",
     "[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:01,02,03,04\n\n", {}},
    {"a backslash that does not follow a comma ends the value; the next line is read alone",
     "[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:01,20\\\n,63\n\"b\"=hex:01,7\\\n5,00\n"
     "\"c\"=hex:01,02\\\n[HKEY_LOCAL_MACHINE\\L]\n\"d\"=\"in L\"\n", "",
     "[HKEY_LOCAL_MACHINE\\K]\n\n[HKEY_LOCAL_MACHINE\\L]\n\"d\"=\"in L\"\n\n",
     {"3: a backslash that does not follow a comma in the hex list; line skipped",
      "4: neither a key, a value nor a comment; line skipped",
      "5: a backslash that does not follow a comma in the hex list; line skipped",
      "6: neither a key, a value nor a comment; line skipped",
      "7: a backslash that does not follow a comma in the hex list; line skipped"}},
    {"blank and ';' lines inside a hex list are skipped; a value line, '\\' or '#' there breaks it",
     "[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:01,\\\n; note\n\n  02,\\\n\n\"lost\"=\"swallowed\"\n"
     "\"b\"=hex:01,\\\n\\\n  02\n\"c\"=hex:01,\\\n# note\n\"d\"=\"kept\"\n"
     "\"e\"=hex:01,\\\n  ; note\n\n  02\n"
     "[HKEY_CURRENT_USER\\X]\n\"u\"=hex:01,\\\n[HKEY_LOCAL_MACHINE\\M]\n\"v\"=\"1\"\n", "",
     "[HKEY_LOCAL_MACHINE\\K]\n\"d\"=\"kept\"\n\"e\"=hex:01,02\n\n",
     {"8: a value line where the hex list of line 3 goes on (blank and ';' comment lines do not "
      "end it); lines 3 to 8 skipped",
      "10: a line holding only '\\' where the hex list of line 9 goes on; lines 9 and 10 skipped",
      "11: neither a key, a value nor a comment; line skipped",
      "13: a '#' comment where the hex list of line 12 goes on; lines 12 and 13 skipped",
      "21: a key line where the hex list of line 20 goes on; lines 20 and 21 skipped"}},
    {"backslashes ending a key path",
     "[HKEY_LOCAL_MACHINE\\K\\Gone]\n[HKEY_LOCAL_MACHINE\\K\\\\]\n\"a\"=\"1\"\n"
     "[HKEY_LOCAL_MACHINE\\K\\Sub\\\\\\]\n\"b\"=\"2\"\n[-HKEY_LOCAL_MACHINE\\K\\Gone\\\\]\n", "",
     "[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"1\"\n\n[HKEY_LOCAL_MACHINE\\K\\Sub]\n\"b\"=\"2\"\n\n", {}},
    {"\\0 in a quoted text or name drops the line",
     "[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"x\\0y\"\n\"b\\0\"=\"x\"\n\"c\"=\"x\\\\0y\"\n", "",
     "[HKEY_LOCAL_MACHINE\\K]\n\"c\"=\"x\\\\0y\"\n\n",
     {"3: \\0 in a text; line skipped", "4: \\0 in a value name; line skipped"}},
    {"blanks and tabs after dword:",
     "[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:  00000008\n\"b\"=dword:\t8 ; eight\n", "",
     "[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:00000008\n\"b\"=dword:00000008\n\n", {}},
    {"hex(2) and hex(7) keep the bytes written, without a zero added",
     "[HKEY_LOCAL_MACHINE\\K]\n\"e\"=hex(2):25,50,41,54,48,25\n\"m\"=hex(7):41,00,42\n",
     "[HKEY_LOCAL_MACHINE\\K]\n\"e\"=hex(2):25,00,50,00,41,00,54,00,48,00,25,00\n"
     "\"m\"=hex(7):41,00,00,00,42,00\n",
     "[HKEY_LOCAL_MACHINE\\K]\n\"e\"=hex(2):25,50,41,54,48,25\n\"m\"=hex(7):41,00,42\n\n", {}},
};

std::string Utf16(const std::string& text) {
  std::string out = "\xFF\xFE";
  for (char c : text) out += std::string{c, '\0'};
  return out;
}

TEST(RegImportOddLines, ReadsEachFileAsRegeditDoesInBothVersions) {
  for (const OddFile& f : kOddFiles) {
    const std::string files[] = {
        "REGEDIT4\n" + f.body,
        Utf16("Windows Registry Editor Version 5.00\r\n" + (f.body5.empty() ? f.body : f.body5))};
    for (const std::string& file : files) {
      const std::string version = file == files[0] ? "REGEDIT4: " : "version 5: ";
      RegNode root;
      const RegImportReport report = ImportRegFile(file, &root);
      EXPECT_EQ(ExportRegFile(root), "REGEDIT4\n\n" + f.exported) << version << f.rule;
      std::vector<std::string> expected;
      for (const std::string& w : f.warnings) expected.push_back("system.reg line " + w);
      EXPECT_EQ(report.warnings, expected) << version << f.rule;
      RegNode again;
      RegImportOptions strict;
      strict.strict = true;
      if (f.warnings.empty())
        EXPECT_NO_THROW(ImportRegFile(file, &again, strict)) << version << f.rule;
      else
        EXPECT_THROW(ImportRegFile(file, &again, strict), RegFileError) << version << f.rule;
    }
  }
}

}  // namespace
}  // namespace nl::regfile
