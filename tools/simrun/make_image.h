// An image from what a customer sends: the registry export (regedit /e) and
// the INF files of the setup scratch directory. The export says where the
// INF files go (SetupScratchDir) and where the driver copy goes
// (SourcePath); the program's folder with the adapter's driver file comes
// from the sample image.
#pragma once

#include <string>
#include <vector>

namespace simrun {

struct MakeImageRequest {
  std::string folder;          // the image to write; new or empty
  std::string registryExport;  // the customer's .reg file
  std::vector<std::string> infFiles;
  // SourcePath lies on a CD-ROM drive without its disc: its drive is left
  // out of the image. Otherwise its folder is created.
  bool sourceDriveWithoutDisc = false;
  std::string sampleImage;  // where the driver file is taken from
};

// Writes the image and prints what it did, what it assumed and what is
// missing. 0 when the image is complete, 1 when something is missing (the
// image is written all the same), 2 when it could not be written.
int MakeImageCommand(const MakeImageRequest& request);

}  // namespace simrun
