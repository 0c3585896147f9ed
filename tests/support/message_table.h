// Sequence checks for the dialog automation on the simulated system.
//
// Expected window messages are written as tables, one row per message
// (window, message, wParam, lParam, sent or posted), and compared in order
// with what the simulated windows received; the first difference is reported
// with the rows around it. The other window, process and timing calls are
// checked as a timeline: one line per call with its virtual time, the
// window and process numbers replaced by the names the test gave them.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/sim_system.h"

namespace nl::testing {

enum Delivery { kSent, kPosted };

struct ExpectedMessage {
  WindowHandle window;
  std::uint32_t message;
  std::uintptr_t wParam;
  // The product is a 32-bit program: its lParam is compared as 32 bits.
  std::uint32_t lParam;
  Delivery delivery;
};

// A window handle carried in an lParam, as the 32-bit program sends it.
inline std::uint32_t Low32(WindowHandle handle) {
  return static_cast<std::uint32_t>(handle);
}

// Names for window handles and process identifiers in reports and
// timelines.
using HandleNames = std::map<std::uint64_t, std::string>;

inline std::string HexText(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx",
                static_cast<unsigned long long>(value));
  return text;
}

inline std::string HandleName(const HandleNames& names, std::uint64_t value) {
  auto it = names.find(value);
  return it != names.end() ? it->second : HexText(value);
}

inline std::string MessageText(std::uint32_t message) {
  switch (message) {
    case kWmKeyDown: return "WM_KEYDOWN";
    case kWmKeyUp: return "WM_KEYUP";
    case kWmChar: return "WM_CHAR";
    case kWmCommand: return "WM_COMMAND";
    case kLvmGetItemCount: return "LVM_GETITEMCOUNT";
    default: return HexText(message);
  }
}

inline std::string RowText(const HandleNames& names, WindowHandle window,
                           std::uint32_t message, std::uintptr_t wParam,
                           std::uint32_t lParam, bool posted) {
  std::ostringstream out;
  out << "{" << HandleName(names, window) << ", " << MessageText(message)
      << ", " << HexText(wParam) << ", " << HandleName(names, lParam) << ", "
      << (posted ? "posted" : "sent") << "}";
  return out.str();
}

inline std::string RowText(const HandleNames& names, const sim::SimMessage& m) {
  return RowText(names, m.window, m.message, m.wParam,
                 static_cast<std::uint32_t>(m.lParam), m.posted);
}

inline std::string RowText(const HandleNames& names, const ExpectedMessage& m) {
  return RowText(names, m.window, m.message, m.wParam, m.lParam,
                 m.delivery == kPosted);
}

inline bool SameMessage(const sim::SimMessage& actual,
                        const ExpectedMessage& expected) {
  return actual.window == expected.window &&
         actual.message == expected.message &&
         actual.wParam == expected.wParam &&
         static_cast<std::uint32_t>(actual.lParam) == expected.lParam &&
         actual.posted == (expected.delivery == kPosted);
}

// The messages received, in order, must be exactly the table.
inline ::testing::AssertionResult MessageSequenceIs(
    const std::vector<sim::SimMessage>& actual,
    const std::vector<ExpectedMessage>& expected,
    const HandleNames& names = {}) {
  std::size_t i = 0;
  while (i < actual.size() && i < expected.size() &&
         SameMessage(actual[i], expected[i])) {
    ++i;
  }
  if (i == actual.size() && i == expected.size()) {
    return ::testing::AssertionSuccess();
  }
  auto failure = ::testing::AssertionFailure();
  failure << "message " << i << " differs (" << actual.size()
          << " received, " << expected.size() << " expected)\n";
  std::size_t from = i >= 2 ? i - 2 : 0;
  for (std::size_t row = from; row < i + 3; ++row) {
    if (row >= actual.size() && row >= expected.size()) break;
    failure << (row == i ? "> " : "  ") << row << "  expected "
            << (row < expected.size() ? RowText(names, expected[row])
                                      : std::string("(none)"))
            << "\n" << (row == i ? "> " : "  ") << row << "  received "
            << (row < actual.size()
                    ? RowText(names, actual[row]) + " at " +
                          std::to_string(actual[row].time) + " ms"
                    : std::string("(none)"))
            << "\n";
  }
  return failure;
}

// Replaces every hexadecimal number of `text` that has a name.
inline std::string NameHandles(const std::string& text,
                               const HandleNames& names) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, 2, "0x") == 0) {
      std::size_t end = i + 2;
      while (end < text.size() && std::isxdigit(
                                      static_cast<unsigned char>(text[end]))) {
        ++end;
      }
      std::uint64_t value = std::stoull(text.substr(i + 2, end - i - 2), nullptr, 16);
      auto it = names.find(value);
      out += it != names.end() ? it->second : text.substr(i, end - i);
      i = end;
    } else {
      out += text[i++];
    }
  }
  return out;
}

// The window, process, locale and timing calls of the journal, one line
// each: "1000 ShowWindow(wizard, SW_HIDE) = 1". Runs of messages sent or
// posted in a row become one line, "1000 SendMessageA x3", as the messages
// themselves are checked with a table. EnumChildWindows shows only the
// parent, and the identifier queries of its callback are left out.
inline std::vector<std::string> WindowTimeline(const sim::SimSystem& system,
                                               const HandleNames& names) {
  static const std::set<std::string> kShown = {
      "CreateProcessA", "GetProcessVersion", "Sleep",       "GetUserDefaultLCID",
      "FindWindowA",    "EnumChildWindows",  "GetDlgItem",  "ShowWindow",
      "SetFocus",       "GetWindowTextA",    "InvalidateRect",
      "SendMessageA",   "PostMessageA",      "GetCurrentThreadId",
      "GetWindowThreadProcessId", "AttachThreadInput"};
  std::vector<std::string> lines;
  std::string runOp;
  std::uint64_t runTime = 0;
  int runLength = 0;
  auto closeRun = [&] {
    if (runLength > 0) {
      lines.push_back(std::to_string(runTime) + " " + runOp + " x" +
                      std::to_string(runLength));
    }
    runLength = 0;
  };
  for (const sim::JournalEntry& entry : system.Journal().Entries()) {
    if (!kShown.count(entry.operation)) continue;
    if (entry.operation == "SendMessageA" || entry.operation == "PostMessageA") {
      if (runLength == 0 || runOp != entry.operation) {
        closeRun();
        runOp = entry.operation;
        runTime = entry.time;
      }
      ++runLength;
      continue;
    }
    closeRun();
    std::string arguments = entry.arguments;
    if (entry.operation == "EnumChildWindows") {
      arguments = arguments.substr(0, arguments.find(','));
    }
    lines.push_back(std::to_string(entry.time) + " " + entry.operation + "(" +
                    NameHandles(arguments, names) + ") = " +
                    NameHandles(entry.result, names));
  }
  closeRun();
  return lines;
}

// The lines must be exactly the expected ones; the first difference is
// reported with the whole received timeline.
inline ::testing::AssertionResult LinesAre(
    const std::vector<std::string>& actual,
    const std::vector<std::string>& expected) {
  std::size_t i = 0;
  while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) {
    ++i;
  }
  if (i == actual.size() && i == expected.size()) {
    return ::testing::AssertionSuccess();
  }
  auto failure = ::testing::AssertionFailure();
  failure << "line " << i << " differs (" << actual.size() << " received, "
          << expected.size() << " expected)\n  expected: "
          << (i < expected.size() ? expected[i] : std::string("(none)"))
          << "\n  received: "
          << (i < actual.size() ? actual[i] : std::string("(none)"))
          << "\nreceived:\n";
  for (std::size_t row = 0; row < actual.size(); ++row) {
    failure << (row == i ? "> " : "  ") << actual[row] << "\n";
  }
  return failure;
}

}  // namespace nl::testing
