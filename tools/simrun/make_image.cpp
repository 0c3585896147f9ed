#include "make_image.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "changes.h"
#include "platform/sim/files/plain_tree.h"
#include "platform/sim/processes/sim_processes.h"
#include "regfile/ignore_case.h"
#include "regfile/reg_decode.h"
#include "regfile/reg_file.h"
#include "report_text.h"
#include "setup/driver_prep.h"
#include "setup/inf_edit_table.h"
#include "setup/setup_env.h"

namespace fs = std::filesystem;

namespace simrun {

namespace {

// Every file is new in the new image folder: one given twice is an error,
// not a silent overwrite.
void WriteBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  nl::sim::WriteNewFile(path.string(), bytes);
}

// A Setup value as the program reads it (trailing backslashes dropped);
// false when missing.
bool SetupValue(const nl::regfile::RegNode& root, const char* name, std::string* text) {
  std::vector<std::string> names;
  nl::regfile::SplitKeyPath(nl::kSetupKeyPath, &names);
  const nl::regfile::RegNode* key =
      nl::regfile::WalkKeys(const_cast<nl::regfile::RegNode*>(&root), names);
  const nl::regfile::RegValue* value = key ? key->FindValue(name) : nullptr;
  if (!value) return false;
  *text = value->data.substr(0, value->data.find('\0'));
  while (!text->empty() && text->back() == '\\') text->pop_back();
  return true;
}

// "C:\WINDOWS\INF" -> <image>/drive_c/WINDOWS/INF; empty when the path has
// no drive letter, or a part that would lead out of the image ("..", or a
// host separator "/"): the path comes from the customer's export.
fs::path ImagePath(const fs::path& image, const std::string& windowsPath) {
  if (windowsPath.size() < 2 || windowsPath[1] != ':' ||
      !std::isalpha(static_cast<unsigned char>(windowsPath[0])))
    return {};
  fs::path path = image / ("drive_" + std::string(1, static_cast<char>(std::tolower(
                                          static_cast<unsigned char>(windowsPath[0])))));
  std::istringstream parts(windowsPath.substr(2));
  std::string part;
  while (std::getline(parts, part, '\\')) {
    if (part.empty() || part == ".") continue;
    if (part == ".." || part.find('/') != std::string::npos) return {};
    path /= part;
  }
  return path;
}

char DriveOf(const std::string& windowsPath) {
  return windowsPath.size() >= 2 && windowsPath[1] == ':'
             ? static_cast<char>(std::toupper(static_cast<unsigned char>(windowsPath[0])))
             : 0;
}

std::string Upper(std::string text) {
  for (char& c : text) c = nl::regfile::FoldUpper(c);
  return text;
}

}  // namespace

int MakeImageCommand(const MakeImageRequest& request) {
  std::vector<std::string> missing;
  try {
    const fs::path image = request.folder;
    // Every input is read, and refused when it is no plain file, before
    // anything of the image is written.
    const std::string exportBytes = ReadHostFile(request.registryExport);
    std::vector<std::string> infBytes;
    for (const std::string& inf : request.infFiles) infBytes.push_back(ReadHostFile(inf));
    nl::regfile::RegNode root;
    nl::regfile::RegImportOptions importOptions;
    importOptions.fileName = fs::path(request.registryExport).filename().string();
    const nl::regfile::RegImportReport loaded =
        nl::regfile::ImportRegFile(exportBytes, &root, importOptions);
    nl::sim::PrepareEmptyFolder(request.folder);
    for (const std::string& warning : loaded.warnings)
      std::fprintf(stderr, "simrun: %s\n", ShownText(warning).c_str());
    WriteBytes(image / "system.reg", nl::regfile::ExportRegFile(root));
    std::cout << "image " << ShownText(request.folder) << "\n  system.reg: HKEY_LOCAL_MACHINE of "
              << ShownText(request.registryExport);
    const std::string otherRoots = nl::regfile::OtherRootsNote(loaded, importOptions.fileName);
    std::cout << (otherRoots.empty() ? "" : " (" + ShownText(otherRoots) + ")") << "\n";

    std::string scratchDir;
    const bool scratchKnown = SetupValue(root, nl::kScratchDirValue, &scratchDir);
    const fs::path scratchFolder = scratchKnown ? ImagePath(image, scratchDir) : fs::path();
    if (!scratchKnown)
      missing.push_back("the export has no SetupScratchDir in " + std::string(nl::kSetupKeyPath) +
                        ": the INF files have no place");
    else if (scratchFolder.empty())
      missing.push_back("SetupScratchDir \"" + scratchDir + "\" is not a folder on a drive");
    std::vector<std::string> given;
    for (std::size_t i = 0; i < request.infFiles.size(); ++i) {
      const std::string& inf = request.infFiles[i];
      const std::string name = fs::path(inf).filename().string();
      given.push_back(Upper(name));
      if (scratchFolder.empty()) continue;
      WriteBytes(scratchFolder / name, infBytes[i]);
      std::cout << "  " << ShownText(scratchDir + "\\" + name) << ": from " << ShownText(inf) << "\n";
    }
    for (const char* wanted : {nl::kIrminiInf, nl::kInfraredInf})
      if (std::find(given.begin(), given.end(), wanted) == given.end())
        missing.push_back(std::string(wanted) + " was not given (--inf)");
    if (!scratchFolder.empty() && !fs::exists(scratchFolder))
      fs::create_directories(scratchFolder);

    const fs::path driver = fs::path(request.sampleImage) / "drive_c" / "NLSETUP" / nl::kDriverFileName;
    WriteBytes(ImagePath(image, nl::sim::kDefaultProgramFolder) / nl::kDriverFileName, ReadHostFile(driver.string()));
    std::cout << "  " << nl::sim::kDefaultProgramFolder << "\\" << nl::kDriverFileName
              << ": the adapter's driver file beside the program (from " << ShownText(driver.string())
              << ")\n";

    std::string sourcePath;
    if (!SetupValue(root, nl::kSourcePathValue, &sourcePath)) {
      missing.push_back("the export has no SourcePath: the driver copy will have no place");
    } else if (ImagePath(image, sourcePath).empty()) {
      missing.push_back("SourcePath \"" + sourcePath + "\" is not a folder on a drive");
    } else if (request.sourceDriveWithoutDisc) {
      const char drive = DriveOf(sourcePath);
      const bool driveNeeded = drive == 'C' || (scratchKnown && DriveOf(scratchDir) == drive);
      if (driveNeeded)
        throw std::runtime_error(std::string("--no-disc: drive ") + drive +
                                 ": holds the program or the INF files, so it has a disc");
      std::cout << "  SourcePath " << ShownText(sourcePath) << ": assumed a CD-ROM drive without its "
                << "disc (--no-disc); drive " << drive << ": left out of the image\n";
    } else {
      fs::create_directories(ImagePath(image, sourcePath));
      std::cout << "  SourcePath " << ShownText(sourcePath) << ": folder created, assumed present "
                << "(give --no-disc if it is a CD-ROM drive without its disc)\n";
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "simrun: %s\n", ShownText(e.what()).c_str());
    return 2;
  }
  for (const std::string& what : missing) std::cout << "missing: " << ShownText(what) << "\n";
  std::cout << "run it with: simrun --image " << ShownText(request.folder) << "\n";
  return missing.empty() ? 0 : 1;
}

}  // namespace simrun
