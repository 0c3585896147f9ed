// What the facts the case told of the PC mean for the adapter, beyond the
// goals of the run: the Windows release and its USB support, the two
// locales, Windows 95's driver database and an infrared device installed
// before, the ports the virtual infrared ports would clash with, and the
// adapter's own USB node. Plain sentences for the report's head.
#pragma once

#include <string>
#include <vector>

#include "findings/run_facts.h"
#include "platform/sim/image_description.h"

namespace nl::findings {

// The facts an image's description tells of the PC, into `facts`: what
// the case lacked, the tools' files, the PC's own driver, the Windows
// version, the system locale, the ports and the driver database.
void RecordDescribedFacts(const sim::ImageDescription& told, RunFacts* facts);

enum class UsbSupport { kNone, kWithSupplement, kPresent, kUnknown };

struct WindowsRelease {
  std::string name;        // "Windows 98 Second Edition"; empty: not told
  UsbSupport usb = UsbSupport::kUnknown;
  bool windows95 = false;  // any Windows 95 release
};

// From VersionNumber and SubVersionNumber as the case gives them
// ("4.00.950", "4.00.1111 B", "4.10.2222 A").
WindowsRelease ReleaseOf(const std::string& windows);

// The adapter's USB node before the run, in words; empty when neither the
// case nor the image says anything of it.
std::string AdapterNodeState(const RunFacts& facts);

// What keeps the adapter from working on this PC whatever the run does
// (a Windows without USB support); empty when the facts show nothing.
std::string PcBlocker(const RunFacts& facts);

// One sentence per fact that matters, in the order above.
std::vector<std::string> PcFactLines(const RunFacts& facts);

}  // namespace nl::findings
