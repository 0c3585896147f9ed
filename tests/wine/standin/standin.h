// Stand-in for the system's rundll32.exe in the Wine runs. By its command
// line it plays the infrared class installer, the hardware wizard or the
// network control panel, with dialogs that carry the control identifiers the
// installer looks for, and it writes every message the installer sends them
// to a log that the tests read back.
#pragma once

#include <windows.h>

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
// "wizard=late+slowpage,panel=stubborn". The behaviours for a role, or
// "normal"; BehaviourIs tells whether one of them is `behaviour`.
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
// Logs the show-state changes of a top-level dialog; call from its procedure.
void LogVisibility(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Logs a WM_COMMAND that reached a dialog.
void LogCommand(const char* where, WPARAM wParam, LPARAM lParam);
// The hidden window of class "RunDll" that rundll32 keeps while it runs.
HWND CreateRunDllWindow();

// Ends the program's message loop after `delay` ms (0: at once).
void EndAfter(DWORD delay);
// Runs the message loop until EndAfter fires, or until the safety limit.
int RunMessageLoop();

// ---- Roles ----

void StartClassInstaller();
void StartHardwareWizard();
void StartNetworkPanel();

// Control identifiers the installer relies on.
constexpr int kForwardButton = 12324;
constexpr int kFinishButton = 12325;
constexpr int kOkButton = 1;
constexpr int kInstallerPageControl = 502;
constexpr int kWizardFirstControl = 1551;
constexpr int kManufacturerList = 1580;
constexpr int kModelList = 1581;
