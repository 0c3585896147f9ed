// Mechanisms for driving other processes' dialogs: finding controls, typing,
// pressing buttons, starting processes and waiting for them.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace nl {

// The record handed through the child-window enumeration.
struct ChildSearch {
  WindowHandle found;     // meaningful only when foundFlag is 1
  std::int32_t wantedId;
  std::int32_t foundFlag;
};

constexpr const char* kDialogClass = "#32770";
constexpr const char* kRunDllClass = "RunDll";

// Searches every descendant of `dialog` (enumeration order) for the first
// control with `controlId`. Returns whether one was found.
bool FindChildByControlId(Platform& os, WindowHandle dialog,
                          std::int32_t controlId, ChildSearch& search);

// The lParam of a key-down or character message: repeat count 1 and the scan
// code in bits 16 to 23.
constexpr std::intptr_t KeystrokeLParam(std::uint8_t scanCode) {
  return (static_cast<std::intptr_t>(scanCode) << 16) + 1;
}
// The key-up lParam: the same with the previous-state and transition bits.
constexpr std::uint32_t KeyUpLParam(std::uint8_t scanCode) {
  return static_cast<std::uint32_t>(KeystrokeLParam(scanCode)) | 0xC0000000u;
}

// Sends key-down, character and key-up, each waiting to be handled.
void SendKeystroke(Platform& os, WindowHandle window, std::uint32_t keyCode,
                   std::uint32_t charCode, std::uint8_t scanCode);

// WM_COMMAND with wParam = controlId and lParam = control handle: sent and
// waited for, or posted.
void SendCommand(Platform& os, WindowHandle dialog, int controlId,
                 WindowHandle control);
// PostCommand is false when the message could not be queued.
bool PostCommand(Platform& os, WindowHandle dialog, int controlId,
                 WindowHandle control);

// Starts a command line shown normally. False when it cannot be started. The
// process's handles stay open for the rest of the run.
bool StartProcess(Platform& os, const char* commandLine, ProcessId* process);
bool ProcessExists(Platform& os, ProcessId process);
// Polls every 500 ms, without bound, until the process has ended.
void WaitForProcessExit(Platform& os, ProcessId process);
// The first top-level dialog ("#32770") in Z order that belongs to
// `process`, or 0. Other programs' dialogs (a "New Hardware Found" box
// Windows puts up beside a tool) are passed over.
WindowHandle FindDialogOfProcess(Platform& os, ProcessId process);
// Up to 10 times: returns when no such top-level window exists, else sleeps
// 1000 ms. `title` null means any title.
void WaitWhileWindowExists(Platform& os, const char* className,
                           const char* title);

}  // namespace nl
