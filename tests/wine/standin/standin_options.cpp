#include <cstdlib>
#include <cstring>

#include "standin.h"

namespace {

// Finds "name=" as a whole item of NL_STANDIN and copies its value.
bool FindOption(const char* name, char* value, int capacity) {
  char options[512];
  DWORD length = GetEnvironmentVariableA("NL_STANDIN", options, sizeof options);
  if (length == 0 || length >= sizeof options) return false;
  const std::size_t nameLength = std::strlen(name);
  for (char* item = options; item != nullptr && *item != '\0';) {
    char* next = std::strchr(item, ',');
    if (next != nullptr) *next++ = '\0';
    if (std::strncmp(item, name, nameLength) == 0 && item[nameLength] == '=') {
      std::strncpy(value, item + nameLength + 1, capacity - 1);
      value[capacity - 1] = '\0';
      return true;
    }
    item = next;
  }
  return false;
}

}  // namespace

const char* Behaviour(const char* role) {
  // Read afresh at every call; the text holds until the next one.
  static char value[64];
  if (!FindOption(role, value, sizeof value)) return "normal";
  return value;
}

bool BehaviourIs(const char* role, const char* behaviour) {
  // Several behaviours of one role are joined with '+'.
  const std::size_t length = std::strlen(behaviour);
  for (const char* item = Behaviour(role); *item != '\0';) {
    const char* end = std::strchr(item, '+');
    const std::size_t itemLength = end ? end - item : std::strlen(item);
    if (itemLength == length && std::strncmp(item, behaviour, length) == 0) {
      return true;
    }
    if (end == nullptr) break;
    item = end + 1;
  }
  return false;
}

int NumberOption(const char* name, int fallback) {
  char value[32];
  if (!FindOption(name, value, sizeof value)) return fallback;
  return std::atoi(value);
}
