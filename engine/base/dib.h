#pragma once
// A device-independent bitmap laid out exactly like a Windows DIB: rows are
// stored bottom-up and padded to 32 bits, palette entries are blue, green,
// red, reserved. Windows code hands the bits to GDI without reinterpretation.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace pelindra {

// Colour depths in the order Windows pictures number them (device = 0 ... custom = 8).
enum class PixelFormat { Device, Bits1, Bits4, Bits8, Bits15, Bits16, Bits24, Bits32, Custom };

struct RgbQuad {
  std::uint8_t blue = 0, green = 0, red = 0, reserved = 0;
  friend bool operator==(const RgbQuad&, const RgbQuad&) = default;
};

// A colour as Windows' COLORREF stores it: 0x00BBGGRR.
using Color = std::uint32_t;
constexpr Color rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return Color(r) | Color(g) << 8 | Color(b) << 16;
}
constexpr std::uint8_t redOf(Color c) { return std::uint8_t(c); }
constexpr std::uint8_t greenOf(Color c) { return std::uint8_t(c >> 8); }
constexpr std::uint8_t blueOf(Color c) { return std::uint8_t(c >> 16); }
constexpr Color toColor(RgbQuad q) { return rgb(q.red, q.green, q.blue); }
constexpr RgbQuad toQuad(Color c) { return {blueOf(c), greenOf(c), redOf(c), 0}; }

// Nearest entry of a colour table by squared RGB distance, the first entry
// winning ties; 0 for an empty table.
unsigned nearestEntry(std::span<const RgbQuad> table, Color color);

// Raised when a bitmap of the asked size cannot be represented or exceeds the
// allocation cap; readers turn it into their own failure.
class DibSizeError : public std::length_error {
 public:
  using std::length_error::length_error;
};

class Dib {
 public:
  // Largest pixel buffer a Dib will allocate (1 GiB); callers may check first.
  static constexpr std::size_t kMaxBytes = std::size_t(1) << 30;

  Dib() = default;
  // A zero-filled bitmap. bitsPerPixel is 1, 4, 8, 16, 24 or 32; 16 means 5-5-5
  // unless rgb565 is set. Indexed formats get a colour table of 2^bits black
  // entries, which the caller may shorten or fill.
  Dib(int width, int height, int bitsPerPixel, bool rgb565 = false);
  Dib(int width, int height, PixelFormat format);

  static std::size_t strideFor(int width, int bitsPerPixel);
  static bool fits(int width, int height, int bitsPerPixel);

  bool empty() const { return width_ == 0 || height_ == 0; }
  int width() const { return width_; }
  int height() const { return height_; }
  int bitsPerPixel() const { return bits_; }
  bool isRgb565() const { return rgb565_; }
  bool isIndexed() const { return bits_ <= 8 && bits_ > 0; }
  PixelFormat pixelFormat() const;
  std::size_t stride() const { return stride_; }

  // Row y counted from the top, as a scan line of the picture.
  std::uint8_t* scanLine(int y) { return data_.data() + rowOffset(y); }
  const std::uint8_t* scanLine(int y) const { return data_.data() + rowOffset(y); }
  // All rows as stored: bottom row first.
  std::span<std::uint8_t> bits() { return data_; }
  std::span<const std::uint8_t> bits() const { return data_; }

  std::vector<RgbQuad>& colors() { return colors_; }
  const std::vector<RgbQuad>& colors() const { return colors_; }

  // Palette index of an indexed pixel (0 for other formats).
  unsigned index(int x, int y) const;
  void setIndex(int x, int y, unsigned index);
  // The colour of a pixel, through the colour table for indexed formats. An
  // index beyond the table reads as black.
  Color pixel(int x, int y) const;
  // Stores a colour; indexed formats store the nearest table entry.
  void setPixel(int x, int y, Color color);
  // Nearest entry of the colour table by squared RGB distance (first wins ties).
  unsigned nearestIndex(Color color) const;

  friend bool operator==(const Dib&, const Dib&) = default;

 private:
  std::size_t rowOffset(int y) const { return std::size_t(height_ - 1 - y) * stride_; }

  int width_ = 0;
  int height_ = 0;
  int bits_ = 0;
  bool rgb565_ = false;
  std::size_t stride_ = 0;
  std::vector<std::uint8_t> data_;
  std::vector<RgbQuad> colors_;
};

}  // namespace pelindra
