#include "platform/sim/image_description.h"

#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "platform/sim/sim_text.h"

namespace nl::sim {

namespace {

std::string Trim(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  const std::size_t end = text.find_last_not_of(" \t\r");
  return text.substr(begin, end - begin + 1);
}

// A locale identifier: a decimal or 0x-prefixed hexadecimal number that
// fits 32 bits.
bool ParseLocale(const std::string& text, std::uint32_t* locale) {
  if (text.empty() || text.size() > 10) return false;
  for (char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c)) && c != 'x' && c != 'X') return false;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 0);
  if (!end || *end || value > 0xFFFFFFFFul) return false;
  *locale = static_cast<std::uint32_t>(value);
  return true;
}

}  // namespace

ImageDescription ParseImageDescription(const std::string& text,
                                       const std::string& fileName) {
  ImageDescription description;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    const std::string where = fileName + " line " + std::to_string(number) + ": ";
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') continue;
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string::npos)
      throw std::runtime_error(where + "not \"name = value\": " + Quoted(trimmed));
    const std::string name = Trim(trimmed.substr(0, equals));
    const std::string value = Trim(trimmed.substr(equals + 1));
    if (EqualsIgnoreCase(name, "locale") || EqualsIgnoreCase(name, "system locale")) {
      std::uint32_t locale = 0;
      if (!ParseLocale(value, &locale))
        throw std::runtime_error(where + "the locale must be a number such as 0x0409, not " +
                                 Quoted(value));
      (EqualsIgnoreCase(name, "locale") ? description.locale : description.systemLocale) = locale;
      continue;
    }
    if (EqualsIgnoreCase(name, "windows")) {
      description.windows = value;
      continue;
    }
    if (EqualsIgnoreCase(name, "collected")) {
      description.collected = value;
      continue;
    }
    if (EqualsIgnoreCase(name, "case")) {
      if (value != "1" && value != "2")
        throw std::runtime_error(where + "the case format is 1 or 2, not " + Quoted(value));
      description.caseFormat = value[0] - '0';
      continue;
    }
    if (EqualsIgnoreCase(name, "lacked")) {
      description.lacked.push_back(value);
      continue;
    }
    if (EqualsIgnoreCase(name, "pc driver")) {
      description.pcDriver = value;
      continue;
    }
    if (name.size() > 5 && EqualsIgnoreCase(name.substr(0, 5), "port ")) {
      description.ports[Trim(name.substr(5))] = value;
      continue;
    }
    if (name.size() > 16 && EqualsIgnoreCase(name.substr(0, 16), "driver database ")) {
      description.driverDatabase[Trim(name.substr(16))] = value;
      continue;
    }
    if (name.size() > 5 && EqualsIgnoreCase(name.substr(0, 5), "tool ")) {
      description.tools[Trim(name.substr(5))] = value;
      continue;
    }
    if (EqualsIgnoreCase(name, "missing")) {
      if (value.empty()) throw std::runtime_error(where + "missing names nothing");
      description.missing.insert(value);
      continue;
    }
    const bool driveLine = name.size() >= 7 && EqualsIgnoreCase(name.substr(0, 6), "drive ");
    const std::string letter = driveLine ? Trim(name.substr(6)) : "";
    const bool letterOk = (letter.size() == 1 || (letter.size() == 2 && letter[1] == ':')) &&
                          std::isalpha(static_cast<unsigned char>(letter[0]));
    if (!driveLine || !letterOk)
      throw std::runtime_error(where + "unknown name " + Quoted(name) +
                               " (locale, drive X, missing, system locale, windows, collected, "
                               "tool NAME, case, pc driver, port NAME, driver database NAME or lacked)");
    DriveKind kind;
    if (!ParseDriveKind(value, &kind))
      throw std::runtime_error(where + "unknown drive kind " + Quoted(value) +
                               " (fixed, cdrom, cdrom-no-disc, removable, "
                               "removable-no-disk, network or none)");
    description.drives[FoldUpper(letter[0])] = kind;
  }
  return description;
}

std::string FormatImageDescription(const ImageDescription& description) {
  std::string text =
      "; simrun image description: what a registry export does not hold.\n"
      "; locale: the user's default locale identifier (0x0407 German, 0x0409 English).\n"
      "; drive X: fixed, cdrom (with its disc, read-only), cdrom-no-disc,\n"
      ";   removable, removable-no-disk, network or none. A drive not named here is\n"
      ";   a fixed disk when the image has its drive_x folder, else none.\n"
      "; missing: a key (below HKEY_LOCAL_MACHINE) or INF file the case does not\n"
      ";   hold: what rests on it is unknown.\n"
      "; system locale, windows, collected, tool NAME: what the case told of the PC\n"
      ";   (the locale Windows was installed with, VersionNumber and SubVersionNumber,\n"
      ";   when the case was taken, a system tool's file); the run does not use them.\n"
      "; case: the format of the case the image was made from. pc driver: the PC's\n"
      ";   own nl-430.sys beside the program, not the one shipped; the image holds\n"
      ";   the shipped one in its place. port NAME: a port in use and its device.\n"
      "; driver database NAME: Windows 95's DRVDATA.BIN or DRVIDX.BIN as found.\n"
      "; lacked: what the case did not hold, in words.\n";
  if (description.locale) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%04x", static_cast<unsigned>(*description.locale));
    text += std::string("locale = ") + hex + "\n";
  }
  for (const auto& [letter, kind] : description.drives)
    text += std::string("drive ") + letter + " = " + DriveKindName(kind) + "\n";
  for (const std::string& what : description.missing) text += "missing = " + what + "\n";
  if (description.systemLocale) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%04x", static_cast<unsigned>(*description.systemLocale));
    text += std::string("system locale = ") + hex + "\n";
  }
  if (!description.windows.empty()) text += "windows = " + description.windows + "\n";
  if (!description.collected.empty()) text += "collected = " + description.collected + "\n";
  for (const auto& [tool, state] : description.tools) text += "tool " + tool + " = " + state + "\n";
  if (description.caseFormat) text += "case = " + std::to_string(description.caseFormat) + "\n";
  if (!description.pcDriver.empty()) text += "pc driver = " + description.pcDriver + "\n";
  for (const auto& [port, device] : description.ports) text += "port " + port + " = " + device + "\n";
  for (const auto& [file, state] : description.driverDatabase)
    text += "driver database " + file + " = " + state + "\n";
  for (const std::string& line : description.lacked) text += "lacked = " + line + "\n";
  return text;
}

}  // namespace nl::sim
