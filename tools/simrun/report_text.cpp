#include "report_text.h"

#include <cstdio>

#include "regfile/reg_decode.h"

namespace simrun {

namespace {

bool IsControl(unsigned char c) {
  return c < 0x20 || c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 ||
         c == 0x9D;
}

}  // namespace

std::string EscapeControls(std::string_view text, bool keepLineEnds) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool lineEnd = c == '\n' || c == '\t' ||
                         (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
    if (!IsControl(c) || (keepLineEnds && lineEnd)) {
      out += text[i];
      continue;
    }
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02X", c);
    out += buf;
  }
  return out;
}

std::string ShownText(std::string_view cp1252) {
  return nl::regfile::Cp1252ToUtf8(EscapeControls(cp1252, false));
}

std::string ShownLines(std::string_view cp1252) {
  return nl::regfile::Cp1252ToUtf8(EscapeControls(cp1252, true));
}

}  // namespace simrun
