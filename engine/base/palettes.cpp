#include "engine/base/palettes.h"

#include <algorithm>
#include <cstdlib>
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
      answers_(kCells, 0),
      candidates_(table_.size() > 16 ? kBlocks : 0) {}

unsigned NearestColor::operator()(Color color) {
  color &= 0xffffff;
  const std::size_t cell = ((color * 2654435761u) >> 18) & (kCells - 1);
  if (keys_[cell] != color) {
    keys_[cell] = color;
    answers_[cell] = std::uint8_t(search(color));
  }
  return answers_[cell];
}

unsigned NearestColor::search(Color color) {
  // Small tables are searched whole; the block lists pay off from a few dozen entries.
  if (candidates_.empty()) return nearestEntry(table_, color);
  const int channel[3] = {int(redOf(color)), int(greenOf(color)), int(blueOf(color))};
  const std::size_t block = std::size_t(channel[0] >> kBlockShift) << (2 * (8 - kBlockShift)) |
                            std::size_t(channel[1] >> kBlockShift) << (8 - kBlockShift) |
                            std::size_t(channel[2] >> kBlockShift);
  std::vector<std::uint8_t>& list = candidates_[block];
  if (list.empty()) {
    const int size = 1 << kBlockShift;
    int low[3], high[3];
    for (int c = 0; c < 3; ++c) {
      low[c] = channel[c] >> kBlockShift << kBlockShift;
      high[c] = low[c] + size - 1;
    }
    std::vector<long> nearest(table_.size());
    long bound = std::numeric_limits<long>::max();
    for (std::size_t i = 0; i < table_.size(); ++i) {
      const int entry[3] = {table_[i].red, table_[i].green, table_[i].blue};
      long nearSum = 0, farSum = 0;
      for (int c = 0; c < 3; ++c) {
        const long near = entry[c] < low[c] ? low[c] - entry[c] : entry[c] > high[c] ? entry[c] - high[c] : 0;
        const long far = std::max(std::abs(entry[c] - low[c]), std::abs(entry[c] - high[c]));
        nearSum += near * near;
        farSum += far * far;
      }
      nearest[i] = nearSum;
      bound = std::min(bound, farSum);
    }
    for (std::size_t i = 0; i < table_.size(); ++i)
      if (nearest[i] <= bound) list.push_back(std::uint8_t(i));
  }
  unsigned best = list.front();
  long bestDistance = std::numeric_limits<long>::max();
  for (const std::uint8_t i : list) {
    const long dr = long(table_[i].red) - channel[0];
    const long dg = long(table_[i].green) - channel[1];
    const long db = long(table_[i].blue) - channel[2];
    const long d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) bestDistance = d, best = i;
  }
  return best;
}

}  // namespace pelindra
