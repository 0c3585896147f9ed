#include "diag/collect_ports.h"

#include <cstring>

#include "diag/case_format.h"
#include "setup/text.h"

namespace nl::diag {
namespace {

// The device tree is Enum\<enumerator>\<device>\<instance>; the walk stops
// after this many keys, which no PC of the 9x family comes near.
constexpr std::uint32_t kMostKeys = 4000;

struct PortWalk {
  DiagSystem& os;
  CaseOutput& out;
  std::uint32_t keys = 0;
  std::uint32_t found = 0;
  char path[kMaxKeyPath];
};

// The text of a value read into `data` (up to its first zero).
std::uint32_t TextLength(const std::uint8_t* data, std::uint32_t size) {
  std::uint32_t length = 0;
  while (length < size && data[length] != 0) ++length;
  return length;
}

void LookAtInstance(PortWalk& walk, RegKey key) {
  bool isPort = false;
  std::uint8_t portName[64];
  std::uint32_t portLength = 0;
  for (std::uint32_t index = 0; index < 256; ++index) {
    char name[64];
    std::uint8_t data[64];
    std::uint32_t nameSize = sizeof name, dataSize = sizeof data, type = 0;
    const RegResult status =
        walk.os.RegEnumValueA(key, index, name, &nameSize, &type, data, &dataSize);
    if (status == kErrorNoMoreItems) break;
    if (status != kErrorSuccess || nameSize >= sizeof name) continue;
    name[nameSize] = '\0';
    const std::uint32_t length = TextLength(data, dataSize);
    if (EqualsIgnoreAsciiCase(name, "Class")) {
      data[length < sizeof data ? length : sizeof data - 1] = 0;
      isPort = EqualsIgnoreAsciiCase(reinterpret_cast<const char*>(data), "Ports");
    } else if (EqualsIgnoreAsciiCase(name, "PortName")) {
      portLength = length;
      std::memcpy(portName, data, length);
    }
  }
  if (!isPort || portLength == 0) return;
  ++walk.found;
  walk.out.LineText(reinterpret_cast<const char*>(portName), portLength);
  walk.out.Text(" = ");
  walk.out.LineText(walk.path, std::strlen(walk.path));
  walk.out.EndLine();
}

// Walks `depth` more levels below the key at walk.path.
void Walk(PortWalk& walk, RegKey key, std::size_t length, int depth) {
  if (depth == 0) {
    LookAtInstance(walk, key);
    return;
  }
  for (std::uint32_t index = 0; walk.keys < kMostKeys; ++index) {
    char name[256];
    std::uint32_t nameSize = sizeof name;
    if (walk.os.RegEnumKeyExA(key, index, name, &nameSize) != kErrorSuccess) return;
    if (nameSize >= sizeof name || length + 1 + nameSize >= sizeof walk.path) continue;
    ++walk.keys;
    walk.path[length] = '\\';
    std::memcpy(walk.path + length + 1, name, nameSize);
    walk.path[length + 1 + nameSize] = '\0';
    RegKey child = 0;
    if (walk.os.RegOpenKeyExA(key, walk.path + length + 1, kKeyRead, &child) == kErrorSuccess) {
      Walk(walk, child, length + 1 + nameSize, depth - 1);
      walk.os.RegCloseKey(child);
    }
    walk.path[length] = '\0';
  }
}

}  // namespace

void WritePorts(DiagSystem& os, CaseOutput& out) {
  out.Text("== ");
  out.Text(kPartPorts);
  out.EndLine();
  PortWalk walk{os, out, 0, 0, "Enum"};
  RegKey root = 0;
  const RegResult opened = os.RegOpenKeyExA(kHkeyLocalMachine, walk.path, kKeyRead, &root);
  if (opened != kErrorSuccess) {
    out.Field("ports");
    out.Failure("unreadable", static_cast<std::uint32_t>(opened));
    out.EndLine();
    return;
  }
  Walk(walk, root, std::strlen(walk.path), 3);
  os.RegCloseKey(root);
  out.Field("found");
  out.Decimal(walk.found);
  if (walk.keys >= kMostKeys) out.Text(" (stopped at the limit)");
  out.EndLine();
}

}  // namespace nl::diag
