// Colour reduction, lookups and ditherers.

#include "engine/gif/gif_colors.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/gif/gif_dither.h"

namespace pelindra::test {
namespace {

Dib Uniform(int width, int height, Color color) {
  Dib dib(width, height, 24);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) dib.setPixel(x, y, color);
  return dib;
}

TEST(GifColors, LookupsAnswerAsSpecified) {
  struct Case {
    const char* name;
    TColorLookup* lookup;
    int r, g, b, index, chosen;  // chosen: the gray (or red) value of the answer
  };
  TMonochromeLookup mono;
  TNetscapeColorLookup cube;
  TGrayScaleLookup gray;
  const Case cases[] = {
      {"black-white 127", &mono, 127, 127, 127, 0, 0},
      {"black-white 128", &mono, 128, 128, 128, 1, 255},
      {"cube 47", &cube, 47, 47, 47, 0, 0},
      {"cube 48", &cube, 48, 48, 48, 43, 51},
      {"cube 255", &cube, 255, 255, 255, 215, 255},
      {"gray 100", &gray, 100, 100, 100, 100, 100},
      {"gray of red", &gray, 255, 0, 0, 76, 76},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TColorMatch m = c.lookup->FindIndex(c.r, c.g, c.b);
    EXPECT_EQ(m.Index, c.index);
    EXPECT_EQ(m.Red, c.chosen);
  }

  // The nearest entry by the sum of differences; the first of equals wins and
  // the answer is kept for the whole 8 x 8 x 8 cell.
  TFastColorLookup fast({{0, 0, 0, 0}, {100, 100, 100, 0}, {100, 100, 100, 0}, {200, 0, 0, 0}});
  EXPECT_EQ(fast.FindIndex(90, 95, 105).Index, 1);
  EXPECT_EQ(fast.FindIndex(180, 10, 0).Index, 3);
  EXPECT_EQ(fast.FindIndex(183, 12, 5).Index, 3);
  EXPECT_EQ(fast.Colors(), 4);
}

TEST(GifColors, ReduceColorsByMethod) {
  // A picture of three colours with the octree keeps exactly those colours.
  Dib three(6, 2, 24);
  const Color colors[3] = {rgb(250, 10, 10), rgb(10, 250, 10), rgb(10, 10, 250)};
  for (int x = 0; x < 6; ++x) three.setPixel(x, 0, colors[x % 3]), three.setPixel(x, 1, colors[(x + 1) % 3]);
  auto octree = ReduceColors(three, TColorReduction::Octree, TDitherMode::Nearest, nullptr, 8);
  ASSERT_EQ(octree->Image.bitsPerPixel(), 8);
  ASSERT_EQ(octree->Palette->size(), 3u);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(octree->Image.pixel(x, 0), colors[x % 3]);

  // Every method but NoReduction switches the source to 24 bits; NoReduction copies.
  Dib indexed(4, 4, 8);
  indexed.colors()[1] = {0, 0, 255, 0};
  indexed.setIndex(1, 1, 1);
  auto copy = ReduceColors(indexed, TColorReduction::NoReduction, TDitherMode::Nearest, nullptr, 8);
  EXPECT_EQ(copy->Image.bitsPerPixel(), 24);
  EXPECT_EQ(indexed.bitsPerPixel(), 8);
  struct Case {
    TColorReduction method;
    std::size_t colors;
    Color red;  // what pure red becomes
  };
  const Case cases[] = {
      {TColorReduction::System20, 20, rgb(255, 0, 0)},     {TColorReduction::Halftone256, 256, rgb(255, 0, 0)},
      {TColorReduction::FourGrays, 4, rgb(0, 0, 0)},       {TColorReduction::BlackWhite, 2, rgb(0, 0, 0)},
      {TColorReduction::Grays256, 256, rgb(76, 76, 76)},   {TColorReduction::WebCube216, 216, rgb(255, 0, 0)},
      {TColorReduction::OctreeSystem, 256, rgb(255, 0, 0)}};
  for (const Case& c : cases) {
    Dib source = indexed;
    auto result = ReduceColors(source, c.method, TDitherMode::FloydSteinberg, nullptr, 8);
    EXPECT_EQ(source.bitsPerPixel(), 24);
    EXPECT_EQ(result->Palette->size(), c.colors);
    EXPECT_EQ(result->Image.colors().size(), 256u);  // the DIB's table is always full
    EXPECT_EQ(result->Image.pixel(1, 1), c.red) << int(c.method);
  }
  // A given palette: empty gives back an empty result.
  Dib source = indexed;
  EXPECT_TRUE(ReduceColors(source, TColorReduction::GivenPalette, TDitherMode::Nearest, nullptr, 8)->Image.empty());
  const PaletteHandle given = MakePalette({{0, 0, 0, 0}, {255, 0, 0, 0}});
  EXPECT_EQ(ReduceColors(source, TColorReduction::GivenPalette, TDitherMode::Nearest, given, 8)->Image.index(1, 1), 1u);

  // Large pictures still come out as 8 bits per pixel.
  Dib large = Uniform(800, 700, rgb(1, 2, 3));
  EXPECT_EQ(ReduceColors(large, TColorReduction::WebCube216, TDitherMode::Nearest, nullptr, 8)->Image.bitsPerPixel(),
            8);
}

TEST(GifDither, ExactPaletteColoursPassUnchanged) {
  // A colour on a palette entry maps to that entry everywhere, without error.
  for (int kind = 0; kind <= int(TDitherMode::Burkes); ++kind) {
    Dib source = Uniform(9, 7, rgb(51, 102, 153));
    auto result = ReduceColors(source, TColorReduction::WebCube216, TDitherMode(kind), nullptr, 8);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 9; ++x) ASSERT_EQ(result->Image.index(x, y), 1u * 36 + 2 * 6 + 3) << kind;
  }
  // Nearest: a uniform gray becomes one index everywhere.
  Dib gray = Uniform(5, 5, rgb(100, 100, 100));
  auto nearest = ReduceColors(gray, TColorReduction::WebCube216, TDitherMode::Nearest, nullptr, 8);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(nearest->Image.index(x, y), 2u * 36 + 2 * 6 + 2);
}

TEST(GifDither, FloydSteinbergArithmeticAndSerpentineOrder) {
  // Worked by hand for a 2 x 2 gray of 100 against black and white: the first
  // pixel goes black and pushes 7/16 of 100 to the second, which goes white;
  // the second row runs right to left.
  TMonochromeLookup mono;
  TFloydSteinbergDitherer ditherer(2, &mono);
  std::vector<int> order, indices;
  for (int y = 0; y < 2; ++y) {
    for (int n = 0; n < 2; ++n) {
      order.push_back(ditherer.Column());
      indices.push_back(ditherer.MapPixel(100, 100, 100).Index);
    }
    ditherer.EndRow();
  }
  EXPECT_EQ(order, (std::vector<int>{0, 1, 1, 0}));
  EXPECT_EQ(indices, (std::vector<int>{0, 1, 0, 0}));

  // One pixel wide: the direction alternates and values far off the palette
  // are clamped, for every ditherer.
  for (int kind = 1; kind <= int(TDitherMode::Burkes); ++kind) {
    auto one = CreateDitherer(TDitherMode(kind), 1, &mono);
    for (int y = 0; y < 50; ++y) {
      EXPECT_EQ(one->Column(), 0);
      EXPECT_EQ(one->Direction(), y % 2 ? -1 : 1);
      const TColorMatch m = one->MapPixel(y % 2 ? 255 : 0, 127, 200);
      EXPECT_TRUE(m.Index == 0 || m.Index == 1);
      one->EndRow();
    }
  }
}

TEST(GifDither, ErrorDiffusionKeepsTheAverage) {
  // Dithering a mid gray to black and white: about half the pixels are white,
  // and the pattern of a mirrored picture is the mirror of the pattern.
  for (int kind = 1; kind <= int(TDitherMode::Burkes); ++kind) {
    Dib source = Uniform(40, 40, rgb(128, 128, 128));
    auto result = ReduceColors(source, TColorReduction::BlackWhite, TDitherMode(kind), nullptr, 8);
    int white = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) white += int(result->Image.index(x, y));
    EXPECT_NEAR(white, 800, 60) << kind;
  }
}

}  // namespace
}  // namespace pelindra::test
