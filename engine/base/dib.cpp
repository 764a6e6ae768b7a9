#include "engine/base/dib.h"

#include <limits>
#include <string>

namespace pelindra {

namespace {

bool validBits(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

int bitsOf(PixelFormat format) {
  switch (format) {
    case PixelFormat::Bits1: return 1;
    case PixelFormat::Bits4: return 4;
    case PixelFormat::Bits8: return 8;
    case PixelFormat::Bits15:
    case PixelFormat::Bits16: return 16;
    case PixelFormat::Bits24: return 24;
    case PixelFormat::Device:
    case PixelFormat::Bits32:
    case PixelFormat::Custom: return 32;
  }
  return 32;
}

std::uint8_t expand5(unsigned v) { return std::uint8_t((v << 3) | (v >> 2)); }
std::uint8_t expand6(unsigned v) { return std::uint8_t((v << 2) | (v >> 4)); }

}  // namespace

std::size_t Dib::strideFor(int width, int bitsPerPixel) {
  return ((std::size_t(width) * std::size_t(bitsPerPixel) + 31) / 32) * 4;
}

bool Dib::fits(int width, int height, int bitsPerPixel) {
  if (width < 0 || height < 0 || !validBits(bitsPerPixel)) return false;
  const std::size_t stride = strideFor(width, bitsPerPixel);
  return height == 0 || stride <= kMaxBytes / std::size_t(height);
}

Dib::Dib(int width, int height, int bitsPerPixel, bool rgb565)
    : width_(width), height_(height), bits_(bitsPerPixel), rgb565_(bitsPerPixel == 16 && rgb565) {
  if (!validBits(bitsPerPixel)) throw DibSizeError("unsupported bits per pixel " + std::to_string(bitsPerPixel));
  if (!fits(width, height, bitsPerPixel))
    throw DibSizeError("bitmap of " + std::to_string(width) + " x " + std::to_string(height) + " is too large");
  stride_ = strideFor(width, bitsPerPixel);
  data_.assign(stride_ * std::size_t(height), 0);
  if (isIndexed()) colors_.assign(std::size_t(1) << bits_, RgbQuad{});
}

Dib::Dib(int width, int height, PixelFormat format)
    : Dib(width, height, bitsOf(format), format == PixelFormat::Bits16) {}

PixelFormat Dib::pixelFormat() const {
  switch (bits_) {
    case 1: return PixelFormat::Bits1;
    case 4: return PixelFormat::Bits4;
    case 8: return PixelFormat::Bits8;
    case 16: return rgb565_ ? PixelFormat::Bits16 : PixelFormat::Bits15;
    case 24: return PixelFormat::Bits24;
    case 32: return PixelFormat::Bits32;
    default: return PixelFormat::Device;
  }
}

unsigned Dib::index(int x, int y) const {
  const std::uint8_t* row = scanLine(y);
  switch (bits_) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15u;
    case 8: return row[x];
    default: return 0;
  }
}

void Dib::setIndex(int x, int y, unsigned index) {
  std::uint8_t* row = scanLine(y);
  switch (bits_) {
    case 1: {
      const std::uint8_t bit = std::uint8_t(0x80u >> (x & 7));
      row[x >> 3] = std::uint8_t((index & 1u) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit));
      break;
    }
    case 4: {
      const int shift = (x & 1) ? 0 : 4;
      row[x >> 1] = std::uint8_t((row[x >> 1] & ~(15u << shift)) | ((index & 15u) << shift));
      break;
    }
    case 8: row[x] = std::uint8_t(index); break;
    default: break;
  }
}

Color Dib::pixel(int x, int y) const {
  if (isIndexed()) {
    const unsigned i = index(x, y);
    return i < colors_.size() ? toColor(colors_[i]) : 0;
  }
  const std::uint8_t* row = scanLine(y);
  switch (bits_) {
    case 16: {
      const unsigned v = unsigned(row[2 * x]) | unsigned(row[2 * x + 1]) << 8;
      if (rgb565_) return rgb(expand5(v >> 11), expand6((v >> 5) & 63), expand5(v & 31));
      return rgb(expand5((v >> 10) & 31), expand5((v >> 5) & 31), expand5(v & 31));
    }
    case 24: return rgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    case 32: return rgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
    default: return 0;
  }
}

void Dib::setPixel(int x, int y, Color color) {
  if (isIndexed()) {
    setIndex(x, y, nearestIndex(color));
    return;
  }
  std::uint8_t* row = scanLine(y);
  const unsigned r = redOf(color), g = greenOf(color), b = blueOf(color);
  switch (bits_) {
    case 16: {
      const unsigned v =
          rgb565_ ? ((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3)) : ((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
      row[2 * x] = std::uint8_t(v);
      row[2 * x + 1] = std::uint8_t(v >> 8);
      break;
    }
    case 24: row[3 * x] = std::uint8_t(b), row[3 * x + 1] = std::uint8_t(g), row[3 * x + 2] = std::uint8_t(r); break;
    case 32:
      row[4 * x] = std::uint8_t(b), row[4 * x + 1] = std::uint8_t(g), row[4 * x + 2] = std::uint8_t(r);
      row[4 * x + 3] = 0;
      break;
    default: break;
  }
}

unsigned Dib::nearestIndex(Color color) const { return nearestEntry(colors_, color); }

unsigned nearestEntry(std::span<const RgbQuad> table, Color color) {
  unsigned best = 0;
  long bestDistance = std::numeric_limits<long>::max();
  for (std::size_t i = 0; i < table.size(); ++i) {
    const long dr = long(table[i].red) - redOf(color);
    const long dg = long(table[i].green) - greenOf(color);
    const long db = long(table[i].blue) - blueOf(color);
    const long d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) bestDistance = d, best = unsigned(i);
  }
  return best;
}

}  // namespace pelindra
