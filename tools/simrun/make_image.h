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
  // What the SourcePath drive is, when the customer says (at most one):
  // a CD-ROM drive without its disc (no folder is made), with its disc
  // (read-only), or a network share. Otherwise a fixed disk is assumed.
  // The kind goes into the image's description (image.txt).
  bool sourceDriveWithoutDisc = false;
  bool sourceDriveWithDisc = false;
  bool sourceOnNetwork = false;
  std::string sampleImage;  // where the driver file is taken from
};

// Writes the image and prints what it did, what it assumed and what is
// missing. 0 when the image is complete, 1 when something is missing (the
// image is written all the same), 2 when it could not be written.
int MakeImageCommand(const MakeImageRequest& request);

}  // namespace simrun
