#pragma once
// Small pictures for the picture-operation suites.

#include <functional>
#include <vector>

#include "engine/base/dib.h"

namespace pelindra::test {

constexpr Color kBlack = rgb(0, 0, 0), kWhite = rgb(255, 255, 255), kRed = rgb(255, 0, 0), kLime = rgb(0, 255, 0),
                kBlue = rgb(0, 0, 255), kYellow = rgb(255, 255, 0), kMagenta = rgb(255, 0, 255),
                kCyan = rgb(0, 255, 255);

// A picture of the given format painted by paint(x, y). Indexed formats get
// the colour table `colors` (which must hold every painted colour).
inline Dib Paint(int width, int height, PixelFormat format, const std::function<Color(int, int)>& paint,
                 const std::vector<Color>& colors = {}) {
  Dib dib(width, height, format);
  if (dib.isIndexed()) {
    dib.colors().clear();
    for (const Color c : colors) dib.colors().push_back(toQuad(c));
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) dib.setPixel(x, y, paint(x, y));
  return dib;
}

inline Dib Solid(int width, int height, Color color) {
  return Paint(width, height, PixelFormat::Bits24, [&](int, int) { return color; });
}

// Every pixel as a colour, row by row from the top.
inline std::vector<Color> Colors(const Dib& dib) {
  std::vector<Color> out;
  for (int y = 0; y < dib.height(); ++y)
    for (int x = 0; x < dib.width(); ++x) out.push_back(dib.pixel(x, y));
  return out;
}

inline const std::vector<PixelFormat>& AllFormats() {
  static const std::vector<PixelFormat> formats{PixelFormat::Bits1,  PixelFormat::Bits4,  PixelFormat::Bits8,
                                                PixelFormat::Bits15, PixelFormat::Bits16, PixelFormat::Bits24,
                                                PixelFormat::Bits32};
  return formats;
}

}  // namespace pelindra::test
