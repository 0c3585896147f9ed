#include "platform/common/registry_text.h"

#include <cstdint>
#include <cstring>

namespace nl {

bool ReadValueText(Platform& os, RegKey key, const char* name,
                   std::size_t capacity, char* text) {
  if (capacity > kValueTextCapacity) return false;
  // Read into a zeroed scratch buffer one byte larger than the capacity, so a
  // value that fills the capacity without a zero still ends inside it.
  char raw[kValueTextCapacity + 1];
  std::memset(raw, 0, sizeof raw);
  std::uint32_t size = static_cast<std::uint32_t>(capacity);
  std::uint32_t type = 0;
  RegResult result = os.RegQueryValueExA(
      key, name, &type, reinterpret_cast<std::uint8_t*>(raw), &size);
  if (result != kErrorSuccess || size > capacity) return false;
  const void* zero = std::memchr(raw, 0, size);
  std::size_t length =
      zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - raw)
           : size;
  std::memcpy(text, raw, length);
  text[length] = 0;
  return true;
}

RegResult SetTextValue(Platform& os, RegKey key, const char* name,
                       const char* text) {
  return os.RegSetValueExA(key, name, kRegSz,
                           reinterpret_cast<const std::uint8_t*>(text),
                           static_cast<std::uint32_t>(std::strlen(text) + 1));
}

bool CreateMachineKey(Platform& os, const char* path, RegKey* key) {
  return os.RegCreateKeyExA(kHkeyLocalMachine, path, 0, kKeyAllAccess, key) ==
         kErrorSuccess;
}

}  // namespace nl
