// Text written to the case file through a small buffer: the collector runs
// without a C runtime, so it formats its own numbers and line ends.
#pragma once

#include <cstddef>
#include <cstdint>

#include "diag/diag_system.h"

namespace nl::diag {

// CRC-32 (the polynomial of zip and PNG), continued over pieces: start with
// 0, pass the previous result.
std::uint32_t Crc32(std::uint32_t crc, const void* bytes, std::size_t count);

// "0123456789abcdef", for the lower-case digits the registry part writes.
extern const char kLowerHexDigits[];

class CaseOutput {
 public:
  CaseOutput(DiagSystem& os, FileHandle file) : os_(os), file_(file) {}

  void Text(const char* text);
  void Bytes(const void* bytes, std::size_t count);
  void Char(char c);
  void Decimal(std::uint32_t value);
  // "0x" and `digits` hexadecimal digits (more when the value needs them).
  void Hex(std::uint32_t value, int digits);
  void HexByte(std::uint8_t value);  // two digits, no prefix
  // `digits` upper-case hexadecimal digits, no prefix.
  void HexDigits(std::uint32_t value, int digits);
  // Text from the PC (a path, a version text) on one line: control bytes
  // become "?", so that the line stays one line.
  void LineText(const char* text, std::size_t count);
  void EndLine();  // CRLF
  // A "name = " at the start of a line.
  void Field(const char* name);
  // "absent (error 2)", "unreadable (error 5)" and the like.
  void Failure(const char* what, std::uint32_t error);

  // The checksum of the text given from StartDigest to EndDigest, written
  // or not (the rest of the case costs no checksum); while dry, text is only
  // counted in it, not written. A subtree read once dry and once for real
  // tells by its two digests whether it changed in between.
  void StartDigest() {
    digest_ = 0;
    digesting_ = true;
  }
  std::uint32_t EndDigest() {
    digesting_ = false;
    return digest_;
  }
  void SetDry(bool dry) { dry_ = dry; }

  // Writes what is buffered; false once any write failed.
  bool Flush();
  bool ok() const { return ok_; }

 private:
  DiagSystem& os_;
  FileHandle file_;
  char buffer_[2048];  // a frame under 4 KB needs no stack probe
  std::size_t used_ = 0;
  bool ok_ = true;
  bool dry_ = false;
  bool digesting_ = false;
  std::uint32_t digest_ = 0;
};


}  // namespace nl::diag
