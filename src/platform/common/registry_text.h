// Registry access as the installer uses it: keys created with full access,
// texts read into fixed buffers and written with their terminating zero.
#pragma once

#include <cstddef>

#include "platform/platform.h"

namespace nl {

// The largest read capacity the installer uses for a registry value.
constexpr std::size_t kValueTextCapacity = 512;

// Reads value `name` with a buffer of `capacity` bytes (at most
// kValueTextCapacity), whatever its type, and stores its text in `text`,
// which must hold capacity + 1 bytes: the bytes up to the first zero, or all
// of them when the value fills the buffer without one. A value larger than
// `capacity`, or one that cannot be read, gives false and leaves `text` as it
// was.
bool ReadValueText(Platform& os, RegKey key, const char* name,
                   std::size_t capacity, char* text);

// Stores `text` as REG_SZ with its terminating zero. `name` null or empty is
// the key's unnamed value.
RegResult SetTextValue(Platform& os, RegKey key, const char* name,
                       const char* text);

// Creates or opens `path` under HKEY_LOCAL_MACHINE with full access, no
// class and default options. True with the handle in *key on success.
bool CreateMachineKey(Platform& os, const char* path, RegKey* key);

}  // namespace nl
