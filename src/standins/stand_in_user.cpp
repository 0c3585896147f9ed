#include "standins/stand_in_user.h"

#include <memory>

namespace nl::sim {

namespace {

constexpr std::uint64_t kLookEveryMs = 500;

void LookAgain(SimSystem& system, WindowHandle dialog, int controlId,
               std::shared_ptr<std::uint64_t> visibleFor) {
  system.Clock().WatchAfter(kLookEveryMs, [dialog, controlId, visibleFor](SimSystem& sys) {
    if (!sys.Desktop().IsWindow(dialog)) return;
    *visibleFor = sys.Desktop().IsVisible(dialog) ? *visibleFor + kLookEveryMs : 0;
    if (*visibleFor >= kUserThinksMs) {
      sys.Desktop().PressByUser(dialog, controlId);
      return;
    }
    LookAgain(sys, dialog, controlId, visibleFor);
  });
}

}  // namespace

void LetUserPress(SimSystem& system, WindowHandle dialog, int controlId) {
  LookAgain(system, dialog, controlId, std::make_shared<std::uint64_t>(0));
}

WindowHandle ShowPrompt(SimSystem& system, ProcessId owner, const Prompt& prompt) {
  WindowHandle box = system.Desktop().CreateWindow("#32770", prompt.title, 0, 0, owner);
  system.Desktop().CreateWindow("Static", prompt.text, box, 0xFFFF, owner);
  for (const auto& [id, caption] : prompt.buttons)
    system.Desktop().CreateWindow("Button", caption, box, id, owner);
  auto onAnswer = prompt.onAnswer;
  system.Desktop().SetMessageHandler(
      box, [box, onAnswer, buttons = prompt.buttons](SimSystem& sys, const SimMessage& message) {
        if (message.message != kWmCommand) return std::intptr_t{0};
        const int id = static_cast<int>(message.wParam & 0xFFFF);
        for (const auto& button : buttons) {
          if (button.first != id) continue;
          sys.Desktop().DestroyWindow(box);
          if (onAnswer) onAnswer(sys, id);
          break;
        }
        return std::intptr_t{0};
      });
  return box;
}

}  // namespace nl::sim
