// Stand-in for the system's rundll32.exe in the Wine runs. By its command
// line it plays the infrared class installer, the hardware wizard or the
// network control panel, with dialogs that carry the control identifiers the
// installer looks for, and it writes every message the installer sends them
// to a log that the tests read back. Like the real tools, a tool that shows
// a dialog waits for it to be answered: by the installer, or by the
// simulated user of a scenario that plays one.
#pragma once

#include <windows.h>

#include "standins/tool_controls.h"

// ---- Log ----

// Appends one line "<ms> <pid> <role> <text>" to the log. The log is the file
// named by NL_STANDIN_LOG, or standin.log beside this program; every instance
// appends to it.
void Log(const char* format, ...);
void SetLogRole(const char* role);
// Describes what an lParam names: "none", "ctl=<id>" or "invalid".
const char* DescribeWindow(LPARAM window, char* buffer, int capacity);

// ---- Scenario options ----

// NL_STANDIN holds comma-separated "role=behaviour" items, e.g.
// "wizard=late+slowpage,panel=stubborn,user=clicks". The behaviours for a
// role, or "normal" (the text holds until the next call); BehaviourIs tells
// whether one of them is `behaviour`.
const char* Behaviour(const char* role);
bool BehaviourIs(const char* role, const char* behaviour);
// A number option such as "grow=1500", or the fallback.
int NumberOption(const char* name, int fallback);

// ---- Windows ----

// Builds a dialog of the system dialog class from an empty template: the
// caller's procedure creates the controls on WM_INITDIALOG, before a visible
// top-level dialog is shown. `parent` 0 gives a top-level dialog, otherwise a
// child page.
//
// The installer finds a dialog the moment its window exists, before its
// controls do. The stand-ins therefore create the controls the installer
// looks up later before the ones it searches first (the forward button
// before the page holding 502, the list-view 1581 before the list 1580), so
// that whoever finds one finds the others; and the installer's first call on
// the wizard (hiding it) waits until our thread has finished the dialog.
HWND CreateStandinDialog(HWND parent, const char* title, int x, int y,
                         int width, int height, DLGPROC procedure,
                         bool visible);
// A child control whose keyboard, focus and item-count messages are logged.
HWND CreateLoggedControl(HWND parent, const char* className, const char* text,
                         DWORD style, int id, int x, int y, int width,
                         int height);
// Logs the show-state changes of a top-level dialog ("show", "hide") and
// tells the simulated user of them and of its end; call from its procedure.
void TrackVisibility(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Logs a WM_COMMAND that reached a dialog. A press of the simulated user is
// logged by the user ("user press ..."), not here.
void LogCommand(const char* where, WPARAM wParam, LPARAM lParam);
// The hidden window of class "RunDll" that rundll32 keeps while it runs.
HWND CreateRunDllWindow();

// Ends the program's message loop after `delay` ms (0: at once).
void EndAfter(DWORD delay);
// Runs the message loop until EndAfter fires, or until the safety limit.
int RunMessageLoop();

// ---- The simulated user ----

// NL_STANDIN user=away (nobody at the PC: the default), clicks (a user who
// answers what the screen asks of them) or finish (as clicks, and they also
// finish a wizard they are shown). answer=no or answer=skip change an
// answer of a user at the PC (see the prompts of each tool).
bool UserAtComputer();
bool UserFinishesWizard();
bool UserAnswers(const char* answer);
// The user presses `button` of `dialog` once it has been visible for 3 s
// without a break, logging "user press ctl=<id> on "<title>""; again 3 s
// later while the dialog is still visible. A hidden dialog is never
// touched. Does nothing when nobody is at the PC.
void LeaveToUser(HWND dialog, int button);
// For TrackVisibility: a watched dialog was shown or hidden, or is gone.
void UserSeesShowState(HWND dialog, bool visible);
void UserForgets(HWND dialog);
// Whether the command being handled is the user's press.
bool UserIsPressing();

// ---- Prompts ----

struct PromptButton {
  int id;
  const char* text;
};
// A box of the system dialog class in this process, visible, as the
// system's message boxes: a text and buttons. Logs "prompt <name> shown
// title="..." hwnd=..." and, when a button is pressed, "prompt <name>
// answered ctl=<id>"; the box is then gone and `answered` runs with the
// button. One prompt at a time.
HWND ShowPrompt(const char* name, const char* title, const char* text,
                const PromptButton* buttons, int count,
                void (*answered)(int button));

// ---- Processes ----

// Starts a second copy of this program with `arguments` after its name.
bool StartCopyOfSelf(const char* arguments);
// As Windows restarting ends every program: ends the process that started
// this one, logging "ended parent pid=<id> name=<file> result=<0|1>".
void EndParentProcess();

// ---- Roles ----

void StartClassInstaller();
void StartHardwareWizard();
void StartNetworkPanel();
// The "New Hardware Found" box of the wizard's behaviour "newhw": in the
// wizard, ShowNewHardwareBoxBeside starts it and waits until it is there;
// StartNewHardwareBox plays it in the second process (command line
// "NewHardwareFound <wizard process id>").
constexpr char kNewHardwareCommand[] = "NewHardwareFound ";
void ShowNewHardwareBoxBeside();
void StartNewHardwareBox(const char* arguments);

// Control identifiers the installer relies on, shared with the simulated
// stand-ins.
using namespace nl;
