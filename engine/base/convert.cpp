#include "engine/base/convert.h"

#include <stdexcept>
#include <string>

#include "engine/base/palettes.h"

namespace pelindra {

namespace {

bool indicesFit(const Dib& source, int bits) {
  const std::size_t capacity = std::size_t(1) << bits;
  if (!source.isIndexed() || source.colors().size() > capacity) return false;
  if (source.bitsPerPixel() <= bits) return true;
  for (int y = 0; y < source.height(); ++y)
    for (int x = 0; x < source.width(); ++x)
      if (source.index(x, y) >= capacity) return false;
  return true;
}

}  // namespace

Dib convertDib(const Dib& source, int bitsPerPixel, bool rgb565, std::span<const RgbQuad> palette) {
  if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 &&
      bitsPerPixel != 32)
    throw std::invalid_argument("cannot convert to " + std::to_string(bitsPerPixel) + " bits per pixel");
  const bool targetIndexed = bitsPerPixel <= 8;
  if (targetIndexed && palette.size() > (std::size_t(1) << bitsPerPixel))
    throw std::invalid_argument("a palette of " + std::to_string(palette.size()) + " colours does not fit " +
                                std::to_string(bitsPerPixel) + " bits per pixel");
  if (source.bitsPerPixel() == bitsPerPixel && palette.empty() && (bitsPerPixel != 16 || source.isRgb565() == rgb565))
    return source;

  Dib target(source.width(), source.height(), bitsPerPixel, rgb565);
  const int w = source.width(), h = source.height();
  if (!targetIndexed) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) target.setPixel(x, y, source.pixel(x, y));
    return target;
  }
  if (palette.empty() && indicesFit(source, bitsPerPixel)) {
    target.colors() = source.colors();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) target.setIndex(x, y, source.index(x, y));
    return target;
  }
  const std::vector<RgbQuad> standard = palette.empty() ? standardPalette(bitsPerPixel) : std::vector<RgbQuad>{};
  const std::span<const RgbQuad> table = palette.empty() ? std::span<const RgbQuad>(standard) : palette;
  target.colors().assign(table.begin(), table.end());
  NearestColor nearest(table);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) target.setIndex(x, y, nearest(source.pixel(x, y)));
  return target;
}

}  // namespace pelindra
