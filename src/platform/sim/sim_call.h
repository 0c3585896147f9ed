// What the face (sim_system.h) and the parts of the simulated system share
// about one Platform call: the fault injected into it, and the text the
// journal shows for it.
//
// Every Platform operation of a part takes the call's fault first and a
// Described* last: the part answers the call as the real function would
// (failing it the way the real function fails when the fault says so) and,
// when the pointer is not null (the journal is on), fills in the call's
// arguments and result as text.
#pragma once

#include <string>

#include "platform/platform.h"

namespace nl::sim {

// kFail: the call fails the way the real function fails; kShort: a ReadFile
// or WriteFile moves half of what it would have.
enum class Fault { kNone, kFail, kShort };

struct Described {
  std::string arguments;
  std::string result;
};

// Fills in `out` when the journal wants the call described; `describe`
// runs only then, so runs without a journal do not build the texts.
template <class Describe>
void DescribeTo(Described* out, Describe describe) {
  if (out) *out = describe();
}

// Each simulated process runs one thread, numbered after the process: its
// identifier plus 2 (as CreateProcessA reports it). The program under test
// is process kProgramProcessId.
constexpr ProcessId kProgramProcessId = 0x0FFC;
constexpr ThreadId ThreadOfProcess(ProcessId pid) { return pid + 2; }
constexpr ProcessId ProcessOfThread(ThreadId thread) { return thread - 2; }
constexpr ThreadId kProgramThreadId = ThreadOfProcess(kProgramProcessId);

// Error codes the simulator returns beyond the ones the logic knows.
constexpr RegResult kErrorInvalidParameter = 87;
constexpr RegResult kErrorBadPathname = 161;

}  // namespace nl::sim
