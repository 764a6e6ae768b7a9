#pragma once
// Colour reduction: fixed palettes, the octree palette, the four colour
// lookups, and ReduceColors, which maps a true-colour bitmap to an 8-bit one
// through a ditherer.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/base/dib.h"
#include "engine/gif/gif_image.h"

namespace pelindra {

// The 216-colour cube: entry 36 r + 6 g + b is (51 r, 51 g, 51 b).
Palette WebPaletteEntries();
PaletteHandle MakeWebPalette();
// The platform's stock default palette: its 20 static colours.
const Palette& SystemDefaultPalette();
// The halftone palette of an 8-bit screen.
const Palette& HalftonePalette();

struct TColorMatch {
  int Index = 0;
  std::uint8_t Red = 0, Green = 0, Blue = 0;
};

class TColorLookup {
 public:
  explicit TColorLookup(int colors) : colors_(colors) {}
  virtual ~TColorLookup() = default;
  virtual TColorMatch FindIndex(int red, int green, int blue) = 0;
  int Colors() const { return colors_; }

 protected:
  int colors_;
};

class TNetscapeColorLookup : public TColorLookup {
 public:
  TNetscapeColorLookup() : TColorLookup(216) {}
  TColorMatch FindIndex(int red, int green, int blue) override {
    const int r = (red + 3) / 51, g = (green + 3) / 51, b = (blue + 3) / 51;
    return {b + 6 * g + 36 * r, std::uint8_t(51 * r), std::uint8_t(51 * g), std::uint8_t(51 * b)};
  }
};

class TGrayScaleLookup : public TColorLookup {
 public:
  TGrayScaleLookup() : TColorLookup(256) {}
  TColorMatch FindIndex(int red, int green, int blue) override {
    const int v = (77 * red + 150 * green + 29 * blue) >> 8;
    return {v, std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)};
  }
};

class TMonochromeLookup : public TColorLookup {
 public:
  TMonochromeLookup() : TColorLookup(2) {}
  TColorMatch FindIndex(int red, int green, int blue) override {
    if (77 * red + 150 * green + 29 * blue < 32513) return {0, 0, 0, 0};
    return {1, 255, 255, 255};
  }
};

// Nearest entry by the sum of absolute differences, cached per 15-bit colour cell.
class TFastColorLookup : public TColorLookup {
 public:
  explicit TFastColorLookup(const Palette& palette);
  TColorMatch FindIndex(int red, int green, int blue) override;

 private:
  static int Key(int red, int green, int blue) { return (red >> 3) | ((green & 0xF8) << 2) | ((blue & 0xF8) << 7); }
  std::vector<PaletteEntry> entries_;
  std::vector<std::int16_t> cache_;
};

// The octree colour quantiser.
class TColorQuantizer {
 public:
  TColorQuantizer(int maxColors, int colorBits);
  void AddColor(int red, int green, int blue);
  int LeafCount() const { return leaf_count_; }
  // One entry per leaf in depth-first order, children 0..7.
  Palette ColorTable() const;

 private:
  struct Node {
    bool leaf = false;
    std::uint32_t pixels = 0, red = 0, green = 0, blue = 0;
    int next = -1;
    std::array<int, 8> children;
    Node() { children.fill(-1); }
  };
  int NewNode(int depth);
  void Reduce();
  void Walk(int node, Palette& out) const;

  std::vector<Node> nodes_;
  std::vector<int> free_;
  int root_ = -1;
  int leaf_count_ = 0;
  std::array<int, 8> reducible_;
  int max_colors_;
  int color_bits_;
  int last_color_ = -1;
  int last_leaf_ = -1;
};

// The octree palette of a 24-bit bitmap: at most n entries, one per leaf.
Palette OctreePalette(const Dib& source24, int n);

// Switches a bitmap to 24 bits per pixel in place (other formats are left as they are).
void ConvertTo24(Dib& bitmap);

// Scan-line access in a given pixel format; the bitmap itself is switched to it.
class TDIBReader {
 public:
  TDIBReader(Dib& bitmap, PixelFormat format);
  const std::uint8_t* ScanLine(int row) const { return bitmap_.scanLine(row); }

 private:
  Dib& bitmap_;
};

// Builds an 8- or 24-bit bitmap row by row and puts it into its target when finished.
class TDIBWriter {
 public:
  TDIBWriter(GIFBitmap& bitmap, const PaletteHandle& palette, int height, int width, PixelFormat format);
  ~TDIBWriter();
  std::uint8_t* ScanLine(int row);
  // Puts the DIB into the target bitmap (also done when the writer is freed).
  void Finish();

 private:
  GIFBitmap& bitmap_;
  PaletteHandle palette_;
  int height_, width_, bits_;
  std::unique_ptr<Dib> dib_;
};

// Reduces a bitmap to at most 256 colours (an 8-bit bitmap with the palette as
// colour table), or makes a 24-bit copy with NoReduction. Every method but
// NoReduction switches the source to 24 bits per pixel.
std::unique_ptr<GIFBitmap> ReduceColors(Dib& source, TColorReduction method, TDitherMode dither,
                                        const PaletteHandle& given, int depth);

}  // namespace pelindra
