#include "engine/base/convert.h"

#include <gtest/gtest.h>

#include "engine/base/palettes.h"

namespace pelindra {
namespace {

TEST(Palettes, FixedTablesHoldThePlatformColours) {
  const auto system = system20Palette();
  const auto halftone = halftonePalette();
  ASSERT_EQ(halftone.size(), 256u);
  for (std::size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(halftone[i], system[i]) << i;
    EXPECT_EQ(halftone[246 + i], system[10 + i]) << i;
  }
  EXPECT_EQ(toColor(halftone[10]), rgb(0x40, 0x20, 0x00));
  EXPECT_EQ(toColor(halftone[245]), rgb(0xa0, 0xc0, 0xc0));

  // The 16 standard colours are the system colours without the four pastel ones.
  std::vector<RgbQuad> expected16;
  for (const auto& q : system) {
    const Color c = toColor(q);
    if (c != rgb(0xc0, 0xdc, 0xc0) && c != rgb(0xa6, 0xca, 0xf0) && c != rgb(0xff, 0xfb, 0xf0) &&
        c != rgb(0xa0, 0xa0, 0xa4))
      expected16.push_back(q);
  }
  EXPECT_EQ(standard16Palette(), expected16);
  EXPECT_EQ(standardPalette(1), blackWhitePalette());
  EXPECT_THROW(standardPalette(24), std::invalid_argument);
}

TEST(Palettes, NearestColourPicksTheFirstOfEquallyNearEntries) {
  const std::vector<RgbQuad> table = {toQuad(rgb(0, 0, 0)), toQuad(rgb(255, 255, 255)), toQuad(rgb(0, 0, 0)),
                                      toQuad(rgb(255, 0, 0))};
  NearestColor nearest(table);
  EXPECT_EQ(nearest(rgb(0, 0, 0)), 0u);
  EXPECT_EQ(nearest(rgb(127, 127, 127)), 0u);
  EXPECT_EQ(nearest(rgb(128, 128, 128)), 1u);
  EXPECT_EQ(nearest(rgb(200, 30, 10)), 3u);
  EXPECT_EQ(nearest(rgb(200, 30, 10)), 3u);  // answered from the cache
  EXPECT_EQ(NearestColor({})(rgb(1, 2, 3)), 0u);
}

// The block lists must give exactly what a search of the whole table gives, ties included.
TEST(Palettes, NearestColourEqualsTheWholeTableSearch) {
  std::uint32_t seed = 7;
  const auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  std::vector<RgbQuad> clustered;  // many near and equal entries, where pruning could go wrong
  for (int i = 0; i < 256; ++i) clustered.push_back(toQuad(rgb(100 + next() % 8, 100 + next() % 8, next() % 256)));
  std::vector<RgbQuad> random;
  for (int i = 0; i < 200; ++i) random.push_back(toQuad(next() & 0xffffff));
  for (const auto& table : {halftonePalette(), clustered, random}) {
    NearestColor nearest(table);
    for (int i = 0; i < 200000; ++i) {
      const Color c = next() >> 8;
      ASSERT_EQ(nearest(c), nearestEntry(table, c)) << std::hex << c;
    }
  }
}

Dib colourfulPicture() {
  Dib dib(4, 2, 24);
  const Color colours[] = {rgb(0, 0, 0),       rgb(0x80, 0, 0), rgb(0xff, 0xff, 0),    rgb(0x10, 0x10, 0xf0),
                           rgb(250, 250, 250), rgb(0, 0x7f, 0), rgb(0xc1, 0xc1, 0xc1), rgb(0x42, 0x21, 0x01)};
  for (int i = 0; i < 8; ++i) dib.setPixel(i % 4, i / 4, colours[i]);
  return dib;
}

TEST(Convert, ReducesTrueColourToTheNearestStandardColour) {
  const Dib source = colourfulPicture();
  struct Case {
    int bits;
    std::vector<Color> expected;
  };
  const Case cases[] = {
      {1,
       {rgb(0, 0, 0), rgb(0, 0, 0), rgb(255, 255, 255), rgb(0, 0, 0), rgb(255, 255, 255), rgb(0, 0, 0),
        rgb(255, 255, 255), rgb(0, 0, 0)}},
      {4,
       {rgb(0, 0, 0), rgb(0x80, 0, 0), rgb(0xff, 0xff, 0), rgb(0, 0, 0xff), rgb(0xff, 0xff, 0xff), rgb(0, 0x80, 0),
        rgb(0xc0, 0xc0, 0xc0), rgb(0x80, 0, 0)}},
      {8,
       {rgb(0, 0, 0), rgb(0x80, 0, 0), rgb(0xff, 0xff, 0), rgb(0, 0, 0xff), rgb(0xff, 0xff, 0xff), rgb(0, 0x80, 0),
        rgb(0xc0, 0xc0, 0xc0), rgb(0x40, 0x20, 0x00)}},
  };
  for (const auto& c : cases) {
    const Dib result = convertDib(source, c.bits);
    ASSERT_EQ(result.bitsPerPixel(), c.bits);
    EXPECT_EQ(result.colors(), standardPalette(c.bits));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(result.pixel(i % 4, i / 4), c.expected[std::size_t(i)]) << c.bits << " " << i;
  }
}

TEST(Convert, KeepsIndicesWhenTheTableFits) {
  Dib four(3, 1, 4);
  four.colors().resize(3);
  four.colors()[2] = toQuad(rgb(1, 2, 3));
  four.setIndex(1, 0, 2);
  const Dib eight = convertDib(four, 8);
  EXPECT_EQ(eight.colors(), four.colors());
  EXPECT_EQ(eight.index(1, 0), 2u);
  // Back down to 4 and on to 1 bit: the three-entry table no longer fits 1 bit.
  EXPECT_EQ(convertDib(eight, 4).colors(), four.colors());
  const Dib one = convertDib(eight, 1);
  EXPECT_EQ(one.colors(), blackWhitePalette());
  EXPECT_EQ(one.pixel(1, 0), rgb(0, 0, 0));

  // An 8-bit table of 16 entries fits 4 bits only while every index does.
  Dib wide(2, 1, 8);
  wide.colors().resize(16);
  wide.colors()[15] = toQuad(rgb(255, 255, 255));
  wide.setIndex(0, 0, 15);
  EXPECT_EQ(convertDib(wide, 4).index(0, 0), 15u);
  wide.setIndex(1, 0, 40);  // outside the table: reads as black
  const Dib mapped = convertDib(wide, 4);
  EXPECT_EQ(mapped.colors(), standard16Palette());
  EXPECT_EQ(mapped.pixel(0, 0), rgb(255, 255, 255));
  EXPECT_EQ(mapped.pixel(1, 0), rgb(0, 0, 0));
}

TEST(Convert, ChangesTrueColourDepths) {
  const Dib source = colourfulPicture();
  const Dib d565 = convertDib(source, 16, true);
  EXPECT_TRUE(d565.isRgb565());
  EXPECT_EQ(d565.pixel(3, 0), rgb(0x10, 0x10, 0xf7));
  const Dib d555 = convertDib(d565, 16);
  EXPECT_FALSE(d555.isRgb565());
  EXPECT_EQ(d555.pixel(3, 0), rgb(0x10, 0x10, 0xf7));
  const Dib d32 = convertDib(source, 32);
  const Dib back = convertDib(d32, 24);
  EXPECT_EQ(back, source);
  // A given palette applies even at the same depth.
  const std::vector<RgbQuad> two = {toQuad(rgb(255, 0, 0)), toQuad(rgb(0, 0, 255))};
  const Dib reds = convertDib(convertDib(source, 8), 8, false, two);
  EXPECT_EQ(reds.colors(), two);
  EXPECT_EQ(reds.pixel(3, 0), rgb(0, 0, 255));
}

TEST(Convert, RefusesImpossibleTargets) {
  const Dib source = colourfulPicture();
  EXPECT_THROW(convertDib(source, 2), std::invalid_argument);
  EXPECT_THROW(convertDib(source, 1, false, standard16Palette()), std::invalid_argument);
}

}  // namespace
}  // namespace pelindra
