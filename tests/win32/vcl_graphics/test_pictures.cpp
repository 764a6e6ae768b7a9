#include "tests/win32/vcl_graphics/test_pictures.h"

#include <cstring>

#include "engine/base/palettes.h"

namespace pelindra {

void PrintTo(const Dib& dib, std::ostream* os) {
  *os << dib.width() << " x " << dib.height() << " at " << dib.bitsPerPixel() << " bits";
}

}  // namespace pelindra

namespace vcl::test {

pelindra::Dib pattern(pelindra::PixelFormat format, int width, int height) {
  pelindra::Dib dib(width, height, format);
  if (dib.isIndexed()) dib.colors() = pelindra::standardPalette(dib.bitsPerPixel());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      if (dib.isIndexed())
        dib.setIndex(x, y, unsigned(x * 3 + y * 5) % unsigned(dib.colors().size()));
      else
        dib.setPixel(x, y, pelindra::rgb(std::uint8_t(x * 19), std::uint8_t(y * 37), std::uint8_t(x * y * 7)));
    }
  return dib;
}

static void put16(std::vector<std::uint8_t>& v, unsigned x) {
  v.push_back(std::uint8_t(x)), v.push_back(std::uint8_t(x >> 8));
}
static void put32(std::vector<std::uint8_t>& v, std::uint32_t x) { put16(v, x & 0xFFFF), put16(v, x >> 16); }

// A 32-bit icon image: blue, with its left half masked out (transparent, so
// black in the colour pixels).
std::vector<std::uint8_t> image32(int side) {
  std::vector<std::uint8_t> d;
  put32(d, 40), put32(d, std::uint32_t(side)), put32(d, std::uint32_t(side * 2)), put16(d, 1), put16(d, 32);
  d.resize(40, 0);
  for (int i = 0; i < side * side; ++i) d.insert(d.end(), {std::uint8_t(i % side < side / 2 ? 0 : 255), 0, 0, 0});
  const int andStride = (side + 31) / 32 * 4;
  for (int y = 0; y < side; ++y)
    for (int b = 0; b < andStride; ++b) {
      std::uint8_t bits = 0;
      for (int k = 0; k < 8; ++k)
        if (b * 8 + k < side / 2) bits |= std::uint8_t(0x80 >> k);
      d.push_back(bits);
    }
  return d;
}

// A 4-bit icon image, all red, no mask.
std::vector<std::uint8_t> image4(int side) {
  std::vector<std::uint8_t> d;
  put32(d, 40), put32(d, std::uint32_t(side)), put32(d, std::uint32_t(side * 2)), put16(d, 1), put16(d, 4);
  d.resize(40, 0);
  for (int i = 0; i < 16; ++i) d.insert(d.end(), {0, 0, std::uint8_t(i == 1 ? 255 : 0), 0});
  d.insert(d.end(), std::size_t((side * 4 + 31) / 32 * 4 * side), 0x11);
  d.insert(d.end(), std::size_t((side + 31) / 32 * 4 * side), 0);
  return d;
}

std::vector<std::uint8_t> iconFile(const std::vector<std::vector<std::uint8_t>>& images, int type) {
  std::vector<std::uint8_t> f;
  put16(f, 0), put16(f, unsigned(type)), put16(f, unsigned(images.size()));
  std::uint32_t offset = std::uint32_t(6 + 16 * images.size());
  for (const auto& img : images) {
    std::uint32_t side = 0;
    std::memcpy(&side, img.data() + 4, 4);
    f.push_back(std::uint8_t(side)), f.push_back(std::uint8_t(side)), f.push_back(0), f.push_back(0);
    put16(f, 1), put16(f, 32), put32(f, std::uint32_t(img.size())), put32(f, offset);
    offset += std::uint32_t(img.size());
  }
  for (const auto& img : images) f.insert(f.end(), img.begin(), img.end());
  return f;
}

}  // namespace vcl::test
