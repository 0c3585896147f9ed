#include "setup/setup_env.h"

#include <cstring>

#include "platform/common/registry_text.h"
#include "setup/text.h"

namespace nl {

namespace {

void DropTrailingBackslashes(char* text) {
  std::size_t length = std::strlen(text);
  while (length > 0 && text[length - 1] == '\\') text[--length] = 0;
}

}  // namespace

bool ReadSetupValue(Platform& os, const char* valueName, char* buffer,
                    std::size_t capacity) {
  if (capacity == 0 || capacity > kValueTextCapacity) return false;
  RegKey key = 0;
  // No specific rights are asked for: the 9x registry does not check them.
  if (os.RegOpenKeyExA(kHkeyLocalMachine, kSetupKeyPath, 0, 0, &key) !=
      kErrorSuccess) {
    return false;
  }
  char text[kValueTextCapacity + 1];
  bool read = ReadValueText(os, key, valueName, capacity, text);
  os.RegCloseKey(key);
  if (!read) return false;
  DropTrailingBackslashes(text);
  // A text that filled the whole buffer without a zero, and is still that
  // long, cannot be handed on zero-terminated: it counts as unreadable.
  return CopyText(buffer, capacity, text);
}

bool GetSetupScratchPath(InstallRun& run, const char* fileName, char* out,
                         std::size_t capacity) {
  if (run.scratchDir[0] == 0) {
    // A failed lookup is not remembered: the next request asks again.
    ReadSetupValue(run.os, kScratchDirValue, run.scratchDir,
                   sizeof run.scratchDir);
  }
  if (run.scratchDir[0] == 0) return false;
  return JoinPath(out, capacity, run.scratchDir, fileName);
}

void GetModuleDirectory(Platform& os, ProgramInstance instance, char* out,
                        std::size_t capacity) {
  if (capacity == 0) return;
  out[0] = 0;
  char path[kMaxPath];
  std::uint32_t length = os.GetModuleFileNameA(instance, path, sizeof path);
  // A name cut to fit the buffer would give a wrong directory.
  if (length == 0 || length >= sizeof path) return;
  path[length] = 0;

  // Drive part: a letter and its colon, when the path starts with one.
  std::size_t driveLength =
      (length >= 2 && path[1] == ':') ? 2 : 0;
  // Directory part: up to and including the last separator; then cut at that
  // separator so the directory has no trailing backslash.
  std::size_t lastSeparator = 0;
  bool hasSeparator = false;
  for (std::size_t i = driveLength; i < length; ++i) {
    if (path[i] == '\\' || path[i] == '/') {
      lastSeparator = i;
      hasSeparator = true;
    }
  }
  std::size_t keep = hasSeparator ? lastSeparator : driveLength;
  if (keep >= capacity) return;
  std::memcpy(out, path, keep);
  out[keep] = 0;
}

bool IsGermanLocale(Platform& os) {
  return IsGermanLocaleId(os.GetUserDefaultLCID());
}

}  // namespace nl
