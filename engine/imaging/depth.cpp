#include "engine/imaging/depth.h"

#include <algorithm>
#include <array>
#include <vector>

#include "engine/base/convert.h"
#include "engine/imaging/rows.h"

namespace pelindra::imaging {

namespace detail {

const Dib& As24(const Dib& picture, Dib& storage) {
  if (picture.bitsPerPixel() == 24) return picture;
  storage = ToBgr24(picture);
  return storage;
}

}  // namespace detail

namespace {

using detail::As24;

// An empty bitmap of a format tells its bits per pixel and 16-bit layout;
// device and custom formats are 32 bit.
Dib shapeOf(PixelFormat format) { return Dib(0, 0, format); }

// The distinct colours of a 24-bit picture, as long as there are at most limit
// of them, gathered in a small open-addressing table.
class ColorSet {
 public:
  static constexpr unsigned kSlots = 1024;

  bool collect(const Dib& bgr, unsigned limit) {
    std::uint32_t last = ~0u;
    for (int y = 0; y < bgr.height(); ++y) {
      const std::uint8_t* p = bgr.scanLine(y);
      for (int x = 0; x < bgr.width(); ++x, p += 3) {
        const std::uint32_t c = key(p);
        if (c == last) continue;
        last = c;
        const unsigned slot = find(c);
        if (keys_[slot] == c) continue;
        if (colors_.size() == limit) return false;
        keys_[slot] = c;
        colors_.push_back(c);
      }
    }
    // A fixed order keeps the colour table independent of where colours occur.
    std::sort(colors_.begin(), colors_.end());
    return true;
  }

  std::vector<RgbQuad> palette() const {
    std::vector<RgbQuad> p;
    for (const std::uint32_t c : colors_)
      p.push_back({std::uint8_t(c), std::uint8_t(c >> 8), std::uint8_t(c >> 16), 0});
    return p;
  }

 private:
  static std::uint32_t key(const std::uint8_t* p) { return std::uint32_t(p[0]) | p[1] << 8 | p[2] << 16; }
  unsigned find(std::uint32_t c) const {
    unsigned slot = (c * 2654435761u) >> 22;
    while (keys_[slot] != c && keys_[slot] != kEmpty) slot = (slot + 1) & (kSlots - 1);
    return slot;
  }

  static constexpr std::uint32_t kEmpty = ~0u;
  std::array<std::uint32_t, kSlots> keys_ = filled();
  std::vector<std::uint32_t> colors_;

  static std::array<std::uint32_t, kSlots> filled() {
    std::array<std::uint32_t, kSlots> a;
    a.fill(kEmpty);
    return a;
  }
};

}  // namespace

Dib ToBgr24(const Dib& picture) { return convertDib(picture, 24); }

Dib ConvertDepth(const Dib& picture, PixelFormat format) {
  const Dib shape = shapeOf(format);
  if (picture.pixelFormat() == shape.pixelFormat()) return picture;
  const int bits = shape.bitsPerPixel();
  if (bits == 4 || bits == 8) {
    Dib storage;
    const Dib& bgr = As24(picture, storage);
    ColorSet set;
    if (set.collect(bgr, 1u << bits)) return convertDib(bgr, bits, false, set.palette());
  }
  return convertDib(picture, bits, shape.isRgb565());
}

Dib Grayscale(const Dib& picture) {
  const bool direct = picture.bitsPerPixel() == 24;
  Dib gray = direct ? Dib(picture.width(), picture.height(), 24) : ToBgr24(picture);
  const Dib& from = direct ? picture : gray;
  const int width = picture.width();
  for (int y = 0; y < picture.height(); ++y) {
    const std::uint8_t* in = from.scanLine(y);
    std::uint8_t* out = gray.scanLine(y);
    for (int x = 0; x < width; ++x, in += 3, out += 3) {
      const auto v = std::uint8_t((unsigned(in[0]) + in[1] + in[2]) / 3);
      out[0] = out[1] = out[2] = v;
    }
  }
  PixelFormat format = picture.pixelFormat();
  if (format == PixelFormat::Bits32 || format == PixelFormat::Custom || format == PixelFormat::Device)
    format = PixelFormat::Bits24;
  if (format == PixelFormat::Bits24) return gray;
  return ConvertDepth(gray, format);
}

}  // namespace pelindra::imaging
