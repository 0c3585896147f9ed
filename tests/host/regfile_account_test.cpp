// The key-by-key account of registry changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regfile/reg_account.h"

namespace nl::regfile {
namespace {

std::string Account(const std::string& before, const std::string& after) {
  std::vector<std::string> notes;
  const std::string account =
      RegistryAccountOfFiles("REGEDIT4\n" + before, "REGEDIT4\n" + after, "a.reg", "b.reg",
                             true, &notes);
  EXPECT_TRUE(notes.empty());
  return account;
}

// Each kind of change once, beside a key whose only change is the letter
// case of a value name (no change to Windows).
TEST(RegAccount, NamesEachKindOfChangeInRegedit4Notation) {
  const std::string before =
      "[HKEY_LOCAL_MACHINE\\Gone]\n\"v\"=\"1\"\n[HKEY_LOCAL_MACHINE\\Gone\\Sub]\n@=dword:2\n"
      "[HKEY_LOCAL_MACHINE\\Kept]\n\"Case\"=\"same\"\n\"Old\"=hex:01\n\"Port\"=\"1\"\n"
      "\"Typed\"=\"4\"\n";
  const std::string after =
      "[HKEY_LOCAL_MACHINE\\Kept]\n\"CASE\"=\"same\"\n\"New\"=\"n\"\n\"Port\"=\"0\"\n"
      "\"Typed\"=dword:4\n[HKEY_LOCAL_MACHINE\\Kept\\Added]\n\"x\"=hex(2):25,00\n";
  EXPECT_EQ(Account(before, after),
            "; Keys deleted: 1, keys added: 1, values added: 2, values deleted: 1, "
            "values modified: 2\n"
            "\n; Keys deleted, with what they held\n"
            "[-HKEY_LOCAL_MACHINE\\Gone]\n; \"v\"=\"1\"\n; [HKEY_LOCAL_MACHINE\\Gone\\Sub]\n"
            "; @=dword:00000002\n"
            "\n; Keys added, with their values\n"
            "[HKEY_LOCAL_MACHINE\\Kept\\Added]\n\"x\"=hex(2):25,00\n"
            "\n; Values added\n[HKEY_LOCAL_MACHINE\\Kept]\n\"New\"=\"n\"\n"
            "\n; Values deleted\n[HKEY_LOCAL_MACHINE\\Kept]\n\"Old\"=-\n; was \"Old\"=hex:01\n"
            "\n; Values modified, each with what it was\n[HKEY_LOCAL_MACHINE\\Kept]\n"
            "\"Port\"=\"0\"\n; was \"Port\"=\"1\"\n\"Typed\"=dword:00000004\n; was \"Typed\"=\"4\"\n");
  EXPECT_EQ(Account(before, before), "(no changes)\n");
}

}  // namespace
}  // namespace nl::regfile
