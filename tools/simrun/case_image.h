// An image from a case file (simrun --make-image DIR --case NLCASE.TXT),
// with nothing assumed: the registry the case holds in the PC's order, the
// setup files where the PC keeps them, the program's folder as the case
// found it, the user's locale and the SourcePath drive's kind and medium in
// the image's description. What the case held and lacked is said.
#pragma once

#include <string>
#include <vector>

#include "case_file.h"
#include "platform/sim/image_description.h"

namespace simrun {

// What goes into the image, every path relative to the image folder and
// inside it ("drive_c/WINDOWS/INF/IRMINI.INF"), each folder spelled one way
// however the case writes it (Windows ignores letter case), and `what` it
// is for the case.
struct PlannedFile {
  std::string path, bytes, what;
};
struct PlannedFolder {
  std::string path, what;
};
struct CaseImagePlan {
  std::string systemReg;
  std::vector<PlannedFile> files;
  std::vector<PlannedFolder> folders;
  nl::sim::ImageDescription description;
  std::vector<std::string> held, lacked;
};

// `shippedDriver`: the adapter's driver file as shipped (the case holds only
// the size and checksum of the customer's copy). Every path is checked
// before any is written: two that the image cannot hold both (a file where
// a folder goes, or below a file) are a CaseError naming both.
CaseImagePlan PlanCaseImage(const CaseFile& caseFile, const std::string& shippedDriver);

// Writes the image of the case into `folder` (new or empty), warnings on
// the standard error; throws what reading or writing throws.
CaseImagePlan WriteImageFromCase(const std::string& folder, const std::string& casePath,
                                 const std::string& sampleImage);

// The adapter's driver file as shipped: the sample image's, beside its
// NLSETUP.EXE; throws when it cannot be read.
std::string ShippedDriver(const std::string& sampleImage);

// "C:\WINDOWS\INF" -> "drive_c/WINDOWS/INF"; empty when the path names no
// drive, or holds a part that could lead out of the image or that Windows
// would not take (".", "..", "/", control bytes, a part longer than 255).
std::string ImageRelativePath(const std::string& windowsPath);

// Reads the case, writes the image into `folder` (new or empty) and prints
// what the case held and lacked. 0 when it lacked nothing, 1 when it lacked
// something (the image is written all the same), 2 when the case could not
// be read or the image not written.
int MakeImageFromCase(const std::string& folder, const std::string& casePath,
                      const std::string& sampleImage);

}  // namespace simrun
