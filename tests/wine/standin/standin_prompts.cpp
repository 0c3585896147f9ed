// The boxes a tool shows to ask something of the user: a text and buttons,
// in a dialog of the system dialog class, as the system's message boxes.
#include "standin.h"

namespace {

struct Prompt {
  const char* name;
  const char* text;
  const PromptButton* buttons;
  int count;
  void (*answered)(int button);
};
Prompt g_prompt;

INT_PTR CALLBACK PromptProcedure(HWND box, UINT message, WPARAM wParam,
                                 LPARAM lParam) {
  TrackVisibility(box, message, wParam, lParam);
  switch (message) {
    case WM_INITDIALOG:
      // The buttons first: whoever sees the text sees them too.
      for (int i = 0; i < g_prompt.count; ++i) {
        CreateLoggedControl(box, "BUTTON", g_prompt.buttons[i].text,
                            i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON,
                            g_prompt.buttons[i].id, 20 + 120 * i, 120, 110, 24);
      }
      CreateWindowExA(0, "STATIC", g_prompt.text,
                      WS_CHILD | WS_VISIBLE | SS_LEFT, 20, 10, 360, 100, box,
                      nullptr, GetModuleHandleA(nullptr), nullptr);
      return TRUE;
    case WM_COMMAND:
      LogCommand("prompt", wParam, lParam);
      for (int i = 0; i < g_prompt.count; ++i) {
        const int button = g_prompt.buttons[i].id;
        if (LOWORD(wParam) != button) continue;
        Log("prompt %s answered ctl=%d", g_prompt.name, button);
        DestroyWindow(box);
        g_prompt.answered(button);
        break;
      }
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

HWND ShowPrompt(const char* name, const char* title, const char* text,
                const PromptButton* buttons, int count,
                void (*answered)(int button)) {
  g_prompt = Prompt{name, text, buttons, count, answered};
  HWND box = CreateStandinDialog(nullptr, title, 40, 40, 260, 100,
                                 PromptProcedure, true);
  Log("prompt %s shown title=\"%s\" hwnd=0x%lx", name, title,
      static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(box)));
  return box;
}
