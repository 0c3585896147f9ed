// The user at the simulated PC, and the prompt boxes of the system tools.
//
// The user sees only visible windows. A user who is there ("clicks", the
// default, or "finish") answers a tool's dialog the way its screen asks, a
// few seconds after it became visible: the class installer's forward
// button, the network panel's OK, a restart prompt's Yes (Windows tells the
// user to restart, and the user does). That user does not make the hardware
// wizard's device selection, which only the program knows; "finish" also
// finishes a wizard the user can see. A hidden window is never answered,
// and with "away" nothing is.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/sim_system.h"

namespace nl::sim {

// How long the user looks at a visible dialog before clicking.
constexpr std::uint64_t kUserThinksMs = 3000;

// The user presses `controlId` of `dialog` once the dialog has stayed
// visible for kUserThinksMs (hidden, the count starts again), unless it has
// gone. Watching is no work of the system (SimClock::WatchAfter).
void LetUserPress(SimSystem& system, WindowHandle dialog, int controlId);

// A prompt box of a tool: a visible "#32770" of the tool's process with its
// buttons (identifier, caption). `onAnswer` runs with the button pressed.
struct Prompt {
  std::string title;
  std::string text;
  std::vector<std::pair<int, std::string>> buttons;
  std::function<void(SimSystem&, int button)> onAnswer;
};
WindowHandle ShowPrompt(SimSystem& system, ProcessId owner, const Prompt& prompt);

// Whether the user answers what a tool shows: "away" never.
inline bool UserIsThere(const std::string& user) { return user != "away"; }

}  // namespace nl::sim
