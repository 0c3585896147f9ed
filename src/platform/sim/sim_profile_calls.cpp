// GetPrivateProfileStringA and WritePrivateProfileStringA of the simulated
// system. The file is opened the way Windows opens it (sharing reads and
// writes), so a file another handle holds without sharing cannot be used.
#include <sys/stat.h>

#include <cstring>

#include "platform/sim/sim_profile_text.h"
#include "platform/sim/sim_system.h"

namespace nl::sim {

std::uint32_t SimSystem::GetPrivateProfileStringA(const char* section,
                                                  const char* key,
                                                  const char* defaultText,
                                                  char* buffer,
                                                  std::uint32_t size,
                                                  const char* path) {
  const Call call = BeginCall("GetPrivateProfileStringA");
  FlushAll();
  // The default loses its trailing blanks, as Windows does.
  std::string text = defaultText ? defaultText : "";
  while (!text.empty() && text.back() == ' ') text.pop_back();
  bool fromFile = false;
  std::string host, bytes, value;
  if (call.fault != Fault::kFail && section && key && Resolve(path, &host, nullptr) &&
      OpenAllows(host, true, false, kFileShareRead | kFileShareWrite) &&
      ReadWholeFile(host, &bytes) && FindProfileValue(bytes, section, key, &value)) {
    text = value;
    fromFile = true;
  }
  std::uint32_t r = 0;
  if (buffer && size > 0) {
    r = static_cast<std::uint32_t>(text.size() < size ? text.size() : size - 1);
    std::memcpy(buffer, text.data(), r);
    buffer[r] = '\0';
  }
  EndCall(call, [&] {
    return Described{QuotedOrNull(section) + ", " + QuotedOrNull(key) + ", " +
                         QuotedOrNull(defaultText) + ", buffer, " +
                         std::to_string(size) + ", " + QuotedOrNull(path),
                     std::to_string(r) + " -> " + Quoted(std::string(buffer ? buffer : "", r)) +
                         (fromFile ? "" : " (default)")};
  });
  return r;
}

int SimSystem::WritePrivateProfileStringA(const char* section, const char* key,
                                          const char* value, const char* path) {
  const Call call = BeginCall("WritePrivateProfileStringA");
  FlushAll();
  int r = 0;
  std::string host, bytes;
  struct stat st;
  if (call.fault != Fault::kFail && section && Resolve(path, &host, nullptr)) {
    const bool exists = ::stat(host.c_str(), &st) == 0;
    bool ok = !exists || (S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) &&
                          OpenAllows(host, true, true, kFileShareRead | kFileShareWrite) &&
                          ReadWholeFile(host, &bytes));
    if (ok) {
      std::string updated;
      if (key && value)
        updated = SetProfileValue(bytes, section, key, value);
      else
        updated = RemoveProfileEntry(bytes, section, key);
      if (!exists && !(key && value)) {
        r = 1;  // nothing to remove from a file that is not there
      } else if (WriteWholeFile(host, updated)) {
        DropReadAhead(host);
        r = 1;
      }
    }
  }
  EndCall(call, [&] {
    return Described{QuotedOrNull(section) + ", " + QuotedOrNull(key) + ", " +
                         QuotedOrNull(value) + ", " + QuotedOrNull(path),
                     std::to_string(r)};
  });
  return r;
}

}  // namespace nl::sim
