#include "regfile/reg_decode.h"

#include <cstdint>

namespace nl::regfile {

namespace {

// Code page 1252's characters at 0x80-0x9F. The five bytes it leaves
// undefined map to the same code points, as Windows converts them.
constexpr std::uint16_t kHighRow[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The code page 1252 byte of a code point; -1 when it has none.
int Cp1252Byte(std::uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i)
    if (kHighRow[i] == cp) return 0x80 + i;
  return -1;
}

// Appends code points as code page 1252, counting lines for the report.
struct Writer {
  DecodedRegText* out;
  std::size_t line = 1;
  bool lastWasCr = false;

  void Put(std::uint32_t cp, bool broken = false) {
    const int b = broken ? -1 : Cp1252Byte(cp);
    if (b < 0 &&
        (out->replacedOnLines.empty() || out->replacedOnLines.back() != line))
      out->replacedOnLines.push_back(line);
    out->text += static_cast<char>(b < 0 ? '?' : b);
    if (cp == '\n' && !lastWasCr) ++line;
    if (cp == '\r') ++line;
    lastWasCr = cp == '\r';
  }
};

void FromUtf16(std::string_view b, Writer* w) {
  std::size_t i = 0;
  for (; i + 1 < b.size(); i += 2) {
    std::uint32_t u = static_cast<unsigned char>(b[i]) |
                      static_cast<std::uint32_t>(static_cast<unsigned char>(b[i + 1])) << 8;
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < b.size()) {
      const std::uint32_t low = static_cast<unsigned char>(b[i + 2]) |
          static_cast<std::uint32_t>(static_cast<unsigned char>(b[i + 3])) << 8;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        i += 2;  // a pair: never in code page 1252
        u = 0x10000;
      }
    }
    w->Put(u);
  }
  if (i < b.size()) w->Put(0, true);  // an odd last byte
}

void FromUtf8(std::string_view b, Writer* w) {
  for (std::size_t i = 0; i < b.size();) {
    const auto c = static_cast<unsigned char>(b[i]);
    int more = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2
             : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (more < 0 || i + static_cast<std::size_t>(more) >= b.size()) {
      w->Put(0, true);
      ++i;
      continue;
    }
    std::uint32_t cp = more == 0 ? c : c & (0x3F >> more);
    bool ok = true;
    for (int k = 1; k <= more; ++k) {
      const auto t = static_cast<unsigned char>(b[i + static_cast<std::size_t>(k)]);
      if ((t & 0xC0) != 0x80) ok = false;
      cp = cp << 6 | (t & 0x3F);
    }
    if (!ok) {
      w->Put(0, true);
      ++i;
      continue;
    }
    w->Put(cp);
    i += static_cast<std::size_t>(more) + 1;
  }
}

}  // namespace

DecodedRegText DecodeRegText(std::string_view bytes) {
  DecodedRegText out;
  Writer w{&out};
  if (bytes.substr(0, 2) == "\xFF\xFE") {
    out.text.reserve(bytes.size() / 2);
    FromUtf16(bytes.substr(2), &w);
  } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    out.text.reserve(bytes.size());
    FromUtf8(bytes.substr(3), &w);
  } else {
    out.text.assign(bytes);
  }
  return out;
}

bool Utf16ToCp1252(std::string_view bytes, std::string* out) {
  DecodedRegText decoded;
  Writer w{&decoded};
  FromUtf16(bytes, &w);
  *out = std::move(decoded.text);
  return decoded.replacedOnLines.empty();
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    const std::uint32_t cp = c >= 0x80 && c < 0xA0 ? kHighRow[c - 0x80] : c;
    if (cp < 0x80) {
      out += ch;
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace nl::regfile
