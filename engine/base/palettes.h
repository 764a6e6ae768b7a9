#pragma once
// The platform's fixed colour tables, and a nearest-colour lookup over any
// table. Depth reduction maps every pixel to its nearest entry.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/base/dib.h"

namespace pelindra {

// Black and white, as a 1-bit bitmap's default table.
std::vector<RgbQuad> blackWhitePalette();
// The 16 colours of a 4-bit bitmap's default table, in index order: the dark
// colours and light grey (0-7), then grey and the bright colours (8-15).
std::vector<RgbQuad> standard16Palette();
// The system's 20 static colours (the default palette stock object): the
// first ten and the last ten entries of a 256-colour system palette.
std::vector<RgbQuad> system20Palette();
// The 256-colour halftone palette: entry i is red (i & 7) * 32, green
// ((i >> 3) & 7) * 32, blue (i >> 6) * 64, except that entries 0-9 and
// 246-255 hold the 20 system colours.
std::vector<RgbQuad> halftonePalette();
// The table a depth reduction maps to: black and white for 1 bit, the 16
// standard colours for 4 bits, the halftone palette for 8 bits.
std::vector<RgbQuad> standardPalette(int bitsPerPixel);

// Nearest entry of a colour table by squared RGB distance, the first entry
// winning ties. Answers are remembered per exact colour, so repeated colours
// cost one probe; a new colour is compared only with the entries that can be
// nearest anywhere in its 16 x 16 x 16 block of the colour cube.
class NearestColor {
 public:
  explicit NearestColor(std::span<const RgbQuad> table);
  unsigned operator()(Color color);

 private:
  unsigned search(Color color);

  std::vector<RgbQuad> table_;
  // Direct-mapped cache: the colour with its answer in the low byte. An
  // empty cell holds a value no colour can have.
  static constexpr std::size_t kCells = 1 << 14;
  std::vector<std::uint32_t> keys_;
  std::vector<std::uint8_t> answers_;
  // Per block of the cube, built on first use: the entries, in table order,
  // whose nearest point of the block is no farther than the smallest
  // farthest-point distance of any entry. Every entry that is nearest (or
  // equally near) for some colour of the block is among them.
  static constexpr int kBlockShift = 4;
  static constexpr std::size_t kBlocks = 1 << (3 * (8 - kBlockShift));
  std::vector<std::vector<std::uint8_t>> candidates_;
};

}  // namespace pelindra
