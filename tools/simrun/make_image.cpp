#include "make_image.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>

#include "changes.h"
#include "platform/sim/files/plain_tree.h"
#include "platform/sim/files/sim_paths.h"
#include "platform/sim/image_description.h"
#include "platform/sim/processes/sim_processes.h"
#include "platform/sim/sim_text.h"
#include "registry/network_entry_table.h"
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
    // Windows 95/98 drop the dots and blanks a name ends in.
    part = nl::sim::WithoutTrailingDotsAndBlanks(part);
    if (part.empty()) return {};
    path /= part;
  }
  return path;
}

char DriveOf(const std::string& windowsPath) {
  return windowsPath.size() >= 2 && windowsPath[1] == ':'
             ? static_cast<char>(std::toupper(static_cast<unsigned char>(windowsPath[0])))
             : 0;
}

bool KeyPresent(const nl::regfile::RegNode& root, const char* path) {
  std::vector<std::string> names;
  return nl::regfile::SplitKeyPath(path, &names) &&
         nl::regfile::WalkKeys(const_cast<nl::regfile::RegNode*>(&root), names);
}

// The user's locale as Windows 95/98 keeps it: the "Locale" text (eight hex
// digits, "00000409") of the user's Control Panel\International, which is
// HKEY_CURRENT_USER, or HKEY_USERS\.DEFAULT on a PC without user profiles.
// `where` names the key it came from.
std::optional<std::uint32_t> ExportLocale(const std::string& exportBytes, std::string* where) {
  const std::pair<const char*, const char*> places[] = {
      {"HKEY_CURRENT_USER", "Control Panel\\International"},
      {"HKEY_USERS", ".DEFAULT\\Control Panel\\International"}};
  for (const auto& [rootKey, path] : places) {
    nl::regfile::RegNode root;
    nl::regfile::RegImportOptions options;
    options.rootKey = rootKey;
    try {
      nl::regfile::ImportRegFile(exportBytes, &root, options);
    } catch (const std::exception&) {
      return std::nullopt;  // the HKEY_LOCAL_MACHINE import said why
    }
    std::vector<std::string> names;
    nl::regfile::SplitKeyPath(path, &names);
    const nl::regfile::RegNode* key = nl::regfile::WalkKeys(&root, names);
    const nl::regfile::RegValue* value = key ? key->FindValue("Locale") : nullptr;
    if (!value || value->type != 1) continue;
    const std::string text = value->data.substr(0, value->data.find('\0'));
    char* end = nullptr;
    const unsigned long locale = std::strtoul(text.c_str(), &end, 16);
    if (text.empty() || text.size() > 8 || !end || *end) continue;
    *where = std::string(rootKey) + "\\" + path;
    return static_cast<std::uint32_t>(locale);
  }
  return std::nullopt;
}

std::string Upper(std::string text) {
  for (char& c : text) c = nl::regfile::FoldUpper(c);
  return text;
}

}  // namespace

int MakeImageCommand(const MakeImageRequest& request) {
  std::vector<std::string> missing;
  nl::sim::ImageDescription description;
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

    std::string localeKey;
    description.locale = ExportLocale(exportBytes, &localeKey);
    if (description.locale)
      std::cout << "  locale " << nl::sim::Hex(*description.locale) << ": from " << localeKey
                << "\n";
    else
      missing.push_back("the export has no Locale in Control Panel\\International (of "
                        "HKEY_CURRENT_USER or HKEY_USERS\\.DEFAULT): the run will assume "
                        "German (0x407) unless --locale is given");

    // The keys the installation reads: an export of one branch only lacks
    // them, and what rests on them is then unknown, not decided.
    for (const char* key : {nl::kSetupKeyPath, nl::kNetworkEntries[0].keyPath,
                            nl::kNetworkEntries[1].keyPath, nl::kNetworkEntries[2].keyPath})
      if (!KeyPresent(root, key)) {
        description.missing.insert(key);
        missing.push_back(std::string("the export does not hold ") + key +
                          ", which the installation reads: what rests on it is unknown");
      }
    const bool setupKnown = KeyPresent(root, nl::kSetupKeyPath);

    std::string scratchDir;
    const bool scratchKnown = SetupValue(root, nl::kScratchDirValue, &scratchDir);
    const fs::path scratchFolder = scratchKnown ? ImagePath(image, scratchDir) : fs::path();
    if (!scratchKnown && setupKnown)
      missing.push_back("the export has no SetupScratchDir in " + std::string(nl::kSetupKeyPath) +
                        ": the INF files have no place");
    else if (scratchKnown && scratchFolder.empty())
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
      if (std::find(given.begin(), given.end(), wanted) == given.end()) {
        description.missing.insert(wanted);
        missing.push_back(std::string(wanted) + " was not given (--inf): what rests on it is unknown");
      }
    if (!scratchFolder.empty() && !fs::exists(scratchFolder))
      fs::create_directories(scratchFolder);

    const fs::path driver = fs::path(request.sampleImage) / "drive_c" / "NLSETUP" / nl::kDriverFileName;
    WriteBytes(ImagePath(image, nl::sim::kDefaultProgramFolder) / nl::kDriverFileName, ReadHostFile(driver.string()));
    std::cout << "  " << nl::sim::kDefaultProgramFolder << "\\" << nl::kDriverFileName
              << ": the adapter's driver file beside the program (from " << ShownText(driver.string())
              << ")\n";
    // The drives the image has folders for are fixed disks unless said
    // otherwise below.
    for (const auto& entry : fs::directory_iterator(image)) {
      const std::string name = entry.path().filename().string();
      if (entry.is_directory() && nl::sim::IsDriveFolderName(name))
        description.drives[static_cast<char>(std::toupper(static_cast<unsigned char>(name[6])))] =
            nl::sim::DriveKind::kFixed;
    }

    std::string sourcePath;
    if (!SetupValue(root, nl::kSourcePathValue, &sourcePath)) {
      if (setupKnown) missing.push_back("the export has no SourcePath: the driver copy will have no place");
    } else if (sourcePath.compare(0, 2, "\\\\") == 0) {
      std::cout << "  SourcePath " << ShownText(sourcePath) << ": a network share; the image cannot know "
                << "what it holds or allows, so the driver copy is unknown\n";
    } else if (ImagePath(image, sourcePath).empty()) {
      missing.push_back("SourcePath \"" + sourcePath + "\" is not a folder on a drive");
    } else {
      const char drive = DriveOf(sourcePath);
      const bool said = request.sourceDriveWithoutDisc || request.sourceDriveWithDisc ||
                        request.sourceOnNetwork;
      const nl::sim::DriveKind kind = request.sourceDriveWithoutDisc ? nl::sim::DriveKind::kCdRomNoDisc
                                      : request.sourceDriveWithDisc  ? nl::sim::DriveKind::kCdRom
                                      : request.sourceOnNetwork      ? nl::sim::DriveKind::kNetwork
                                                                     : nl::sim::DriveKind::kFixed;
      const bool holdsInf = scratchKnown && DriveOf(scratchDir) == drive;
      if (said && (drive == 'C' || (holdsInf && kind != nl::sim::DriveKind::kNetwork)))
        throw std::runtime_error(std::string("drive ") + drive + ": holds the program or the " +
                                 "INF files the program rewrites, so it is not " +
                                 nl::sim::DriveKindPhrase(kind));
      if (nl::sim::HasMedium(kind)) fs::create_directories(ImagePath(image, sourcePath));
      description.drives[drive] = kind;
      std::cout << "  SourcePath " << ShownText(sourcePath) << ": drive " << drive << ": "
                << (said ? "is " : "assumed ") << nl::sim::DriveKindPhrase(kind)
                << (nl::sim::HasMedium(kind) ? ", folder created" : ", no folder") << "\n";
      if (!said && drive != 'C')
        std::cout << "    (if it is not: --cd-disc for a CD-ROM drive with its disc, --no-disc "
                  << "for one without, --network for a network share)\n";
      if (kind == nl::sim::DriveKind::kNetwork)
        std::cout << "    the image cannot know what the share holds or allows, so the driver "
                  << "copy is unknown\n";
    }
    WriteBytes(image / nl::sim::kImageDescriptionFile, nl::sim::FormatImageDescription(description));
    std::cout << "  " << nl::sim::kImageDescriptionFile << ": the locale, the drives' kinds"
              << (description.missing.empty() ? "" : " and what the case does not hold") << "\n";
  } catch (const std::exception& e) {
    std::fprintf(stderr, "simrun: %s\n", ShownText(e.what()).c_str());
    return 2;
  }
  for (const std::string& what : missing) std::cout << "missing: " << ShownText(what) << "\n";
  std::cout << "run it with: simrun --image " << ShownText(request.folder) << "\n";
  return missing.empty() ? 0 : 1;
}

}  // namespace simrun
