#include "engine/base/palettes.h"

#include <limits>
#include <stdexcept>

namespace pelindra {

namespace {

constexpr RgbQuad quad(std::uint32_t rrggbb) {
  return {std::uint8_t(rrggbb), std::uint8_t(rrggbb >> 8), std::uint8_t(rrggbb >> 16), 0};
}

constexpr std::array<std::uint32_t, 20> kSystem20 = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xc0c0c0, 0xc0dcc0, 0xa6caf0,
    0xfffbf0, 0xa0a0a4, 0x808080, 0xff0000, 0x00ff00, 0xffff00, 0x0000ff, 0xff00ff, 0x00ffff, 0xffffff};

constexpr std::array<std::uint32_t, 16> kStandard16 = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                                       0x008080, 0xc0c0c0, 0x808080, 0xff0000, 0x00ff00, 0xffff00,
                                                       0x0000ff, 0xff00ff, 0x00ffff, 0xffffff};

template <std::size_t N>
std::vector<RgbQuad> tableOf(const std::array<std::uint32_t, N>& colours) {
  std::vector<RgbQuad> table;
  for (const auto c : colours) table.push_back(quad(c));
  return table;
}

// No colour has bits above the low 24, so this never matches a real key.
constexpr std::uint32_t kEmptyCell = std::numeric_limits<std::uint32_t>::max();

}  // namespace

std::vector<RgbQuad> blackWhitePalette() { return {quad(0x000000), quad(0xffffff)}; }

std::vector<RgbQuad> standard16Palette() { return tableOf(kStandard16); }

std::vector<RgbQuad> system20Palette() { return tableOf(kSystem20); }

std::vector<RgbQuad> halftonePalette() {
  std::vector<RgbQuad> table(256);
  for (unsigned i = 0; i < 256; ++i)
    table[i] = {std::uint8_t((i >> 6) * 64), std::uint8_t(((i >> 3) & 7) * 32), std::uint8_t((i & 7) * 32), 0};
  for (std::size_t i = 0; i < 10; ++i) {
    table[i] = quad(kSystem20[i]);
    table[246 + i] = quad(kSystem20[10 + i]);
  }
  return table;
}

std::vector<RgbQuad> standardPalette(int bitsPerPixel) {
  switch (bitsPerPixel) {
    case 1: return blackWhitePalette();
    case 4: return standard16Palette();
    case 8: return halftonePalette();
    default: throw std::invalid_argument("no standard palette for " + std::to_string(bitsPerPixel) + " bits");
  }
}

NearestColor::NearestColor(std::span<const RgbQuad> table)
    : table_(table.begin(), table.begin() + std::ptrdiff_t(std::min<std::size_t>(table.size(), 256))),
      keys_(kCells, kEmptyCell),
      answers_(kCells, 0) {}

unsigned NearestColor::operator()(Color color) {
  color &= 0xffffff;
  const std::size_t cell = ((color * 2654435761u) >> 18) & (kCells - 1);
  if (keys_[cell] != color) {
    keys_[cell] = color;
    answers_[cell] = std::uint8_t(search(color));
  }
  return answers_[cell];
}

unsigned NearestColor::search(Color color) const { return nearestEntry(table_, color); }

}  // namespace pelindra
