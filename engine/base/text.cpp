#include "engine/base/text.h"

namespace pelindra {

namespace {

// Windows-1252 characters 0x80..0x9F; the rest of the upper half is Latin-1.
constexpr char16_t cp1252_high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

bool isUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || i + n > s.size() || (n == 2 && c < 0xC2)) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

std::string textToUtf8(std::string_view text) {
  if (isUtf8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    const char32_t u = c < 0x80 ? c : c < 0xA0 ? cp1252_high[c - 0x80] : c;
    if (u < 0x80) {
      out += char(u);
    } else if (u < 0x800) {
      out += char(0xC0 | u >> 6);
      out += char(0x80 | (u & 0x3F));
    } else {
      out += char(0xE0 | u >> 12);
      out += char(0x80 | (u >> 6 & 0x3F));
      out += char(0x80 | (u & 0x3F));
    }
  }
  return out;
}

}  // namespace pelindra
