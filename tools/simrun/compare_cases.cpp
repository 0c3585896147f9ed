#include "compare_cases.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <vector>

#include "case_image.h"
#include "changes.h"
#include "regfile/reg_account.h"
#include "report_text.h"

namespace simrun {

namespace fs = std::filesystem;

namespace {

// The image folder of `given`: the folder itself, or an image made from the
// case file into `madeIn`.
std::string ImageOf(const std::string& given, const std::string& sampleImage,
                    const std::string& madeIn) {
  if (fs::is_directory(given)) return given;
  WriteImageFromCase(madeIn, given, sampleImage);
  return madeIn;
}

}  // namespace

int CompareCasesOrImages(const std::string& first, const std::string& second,
                         const std::string& sampleImage, bool strict, const std::string& work) {
  try {
    const std::string before = ImageOf(first, sampleImage, work + "/first");
    const std::string after = ImageOf(second, sampleImage, work + "/second");
    std::vector<std::string> notes;
    const std::string account = nl::regfile::RegistryAccountOfFiles(
        ReadHostFile(before + "/system.reg"), ReadHostFile(after + "/system.reg"),
        ShownText(first), ShownText(second), strict, &notes);
    for (const std::string& note : notes)
      std::fprintf(stderr, "simrun: %s\n", ShownText(note).c_str());
    const std::string files = DriveChanges(before, after);
    std::cout << "== " << ShownText(first) << " against " << ShownText(second) << " ==\n"
              << "\n== Registry changes ==\n" << ShownLines(account)
              << "\n== File changes ==\n" << (files.empty() ? "(none)\n" : ShownLines(files));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "simrun: %s\n", ShownText(e.what()).c_str());
    return 2;
  }
}

}  // namespace simrun
