#include "diag/case_output.h"

#include <cstring>

namespace nl::diag {

void CaseOutput::Bytes(const void* bytes, std::size_t count) {
  const char* in = static_cast<const char*>(bytes);
  if (digesting_) digest_ = Crc32(digest_, in, count);
  if (dry_) return;
  while (count != 0) {
    if (used_ == sizeof buffer_ && !Flush()) return;
    std::size_t room = sizeof buffer_ - used_;
    std::size_t part = count < room ? count : room;
    std::memcpy(buffer_ + used_, in, part);
    used_ += part;
    in += part;
    count -= part;
  }
}

void CaseOutput::Text(const char* text) { Bytes(text, std::strlen(text)); }

void CaseOutput::Char(char c) { Bytes(&c, 1); }

void CaseOutput::Decimal(std::uint32_t value) {
  char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count != 0) Char(digits[--count]);
}

const char kLowerHexDigits[] = "0123456789abcdef";

void CaseOutput::HexDigits(std::uint32_t value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (int i = digits - 1; i >= 0; --i) Char(kDigits[(value >> (4 * i)) & 0xF]);
}

void CaseOutput::Hex(std::uint32_t value, int digits) {
  Text("0x");
  int needed = 1;
  while (needed < 8 && (value >> (4 * needed)) != 0) ++needed;
  HexDigits(value, needed < digits ? digits : needed);
}

void CaseOutput::HexByte(std::uint8_t value) {
  Char(kLowerHexDigits[value >> 4]);
  Char(kLowerHexDigits[value & 0xF]);
}

void CaseOutput::LineText(const char* text, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    Char(c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c));
  }
}

void CaseOutput::EndLine() { Bytes("\r\n", 2); }

void CaseOutput::Field(const char* name) {
  Text(name);
  Text(" = ");
}

void CaseOutput::Failure(const char* what, std::uint32_t error) {
  Text(what);
  Text(" (error ");
  Decimal(error);
  Char(')');
}

bool CaseOutput::Flush() {
  if (!ok_) {
    used_ = 0;
    return false;
  }
  std::uint32_t done = 0;
  if (used_ != 0 &&
      (!os_.WriteFile(file_, buffer_, static_cast<std::uint32_t>(used_), &done) ||
       done != used_)) {
    ok_ = false;
  }
  used_ = 0;
  return ok_;
}

std::uint32_t Crc32(std::uint32_t crc, const void* bytes, std::size_t count) {
  const unsigned char* in = static_cast<const unsigned char*>(bytes);
  crc = ~crc;
  while (count-- != 0) {
    crc ^= *in++;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

}  // namespace nl::diag
