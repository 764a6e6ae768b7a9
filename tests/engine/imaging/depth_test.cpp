#include "engine/imaging/depth.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/base/palettes.h"
#include "tests/engine/imaging/pictures.h"

namespace pelindra::imaging {
namespace {

using namespace pelindra::test;

// Colours every format can hold exactly (except 1 bit, which keeps only black
// and white).
const std::vector<Color> kPure{kBlack, kWhite, kRed, kLime, kBlue, kYellow, kMagenta, kCyan};

Color pure(int x, int y) { return kPure[std::size_t(x + 3 * y) % kPure.size()]; }
Color blackOrWhite(int x, int y) { return (x + y) % 3 ? kWhite : kBlack; }

unsigned bruteNearest(const std::vector<RgbQuad>& palette, int r, int g, int b) {
  unsigned best = 0;
  int bestD = 1 << 30;
  for (unsigned i = 0; i < palette.size(); ++i) {
    const int dr = palette[i].red - r, dg = palette[i].green - g, db = palette[i].blue - b;
    if (dr * dr + dg * dg + db * db < bestD) bestD = dr * dr + dg * dg + db * db, best = i;
  }
  return best;
}

TEST(ConvertDepth, EveryFormatConvertsToEveryFormat) {
  for (const PixelFormat from : AllFormats()) {
    // 13 pixels wide, so packed formats end inside a byte.
    const bool mono = from == PixelFormat::Bits1;
    const Dib in = Paint(13, 3, from, mono ? blackOrWhite : pure, mono ? std::vector<Color>{kBlack, kWhite} : kPure);
    for (const PixelFormat to : AllFormats()) {
      const Dib out = ConvertDepth(in, to);
      ASSERT_EQ(out.pixelFormat(), to) << int(from) << " -> " << int(to);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 13; ++x) {
          Color want = in.pixel(x, y);
          // Two-colour pictures come out black and white by nearest colour.
          if (to == PixelFormat::Bits1) want = redOf(want) + greenOf(want) + blueOf(want) > 382 ? kWhite : kBlack;
          ASSERT_EQ(out.pixel(x, y), want) << int(from) << " -> " << int(to) << " at " << x << "," << y;
        }
    }
  }
}

TEST(ConvertDepth, SameFormatKeepsTheColourTable) {
  const std::vector<Color> table{rgb(1, 2, 3), rgb(200, 100, 50), rgb(7, 7, 7)};
  const Dib in = Paint(
      5, 2, PixelFormat::Bits8, [&](int x, int) { return table[std::size_t(x % 3)]; }, table);
  EXPECT_EQ(ConvertDepth(in, PixelFormat::Bits8), in);
}

TEST(ConvertDepth, ReductionKeepsExactColoursWhenTheyFit) {
  // 256 colours fit 8 bit exactly, 16 fit 4 bit; none of them is in a fixed palette.
  std::mt19937 random(7);
  std::vector<Color> many;
  for (int i = 0; i < 256; ++i) many.push_back(rgb(std::uint8_t(random()), std::uint8_t(random()), std::uint8_t(i)));
  for (const auto& [bits, n] : {std::pair{PixelFormat::Bits8, 256}, std::pair{PixelFormat::Bits4, 16}}) {
    const int count = n;
    const Dib in = Paint(32, 32, PixelFormat::Bits24,
                         [&](int x, int y) { return many[std::size_t(x + 32 * y) % std::size_t(count)]; });
    const Dib out = ConvertDepth(in, bits);
    EXPECT_EQ(out.pixelFormat(), bits);
    EXPECT_EQ(out.colors().size(), std::size_t(count));
    EXPECT_EQ(Colors(out), Colors(in));
  }
}

TEST(ConvertDepth, TooManyColoursTakeTheNearestOfTheFixedPalette) {
  // 17 grays do not fit 4 bit: every pixel becomes the nearest standard colour.
  const Dib in = Paint(17, 1, PixelFormat::Bits24, [](int x, int) {
    const auto v = std::uint8_t(x * 15);
    return rgb(v, v, v);
  });
  for (const auto& [format, bits] : {std::pair{PixelFormat::Bits4, 4}, std::pair{PixelFormat::Bits1, 1}}) {
    const Dib out = ConvertDepth(in, format);
    const std::vector<RgbQuad> palette = standardPalette(bits);
    EXPECT_EQ(out.colors(), palette);
    for (int x = 0; x < 17; ++x) {
      const int v = x * 15;
      EXPECT_EQ(out.index(x, 0), bruteNearest(palette, v, v, v)) << x;
    }
  }
  // A photograph-like picture in 8 bit uses the halftone palette.
  std::mt19937 random(1);
  const Dib noise = Paint(40, 40, PixelFormat::Bits24, [&](int, int) {
    return rgb(std::uint8_t(random()), std::uint8_t(random()), std::uint8_t(random()));
  });
  const Dib out = ConvertDepth(noise, PixelFormat::Bits8);
  EXPECT_EQ(out.colors(), halftonePalette());
  for (int x = 0; x < 40; ++x) {
    const Color c = noise.pixel(x, 5);
    EXPECT_EQ(out.index(x, 5), bruteNearest(halftonePalette(), redOf(c), greenOf(c), blueOf(c)));
  }
}

TEST(Grayscale, AveragesTheChannelsWithIntegerDivision) {
  const Dib in = Paint(2, 1, PixelFormat::Bits24, [](int x, int) { return x ? rgb(255, 255, 254) : rgb(31, 20, 10); });
  const Dib out = Grayscale(in);
  EXPECT_EQ(out.pixel(0, 0), rgb(20, 20, 20));     // (10 + 20 + 31) div 3
  EXPECT_EQ(out.pixel(1, 0), rgb(254, 254, 254));  // 764 div 3
}

TEST(Grayscale, KeepsTheDepthExcept32Bit) {
  for (const PixelFormat from : AllFormats()) {
    const bool mono = from == PixelFormat::Bits1;
    const Dib in = Paint(9, 2, from, mono ? blackOrWhite : pure, mono ? std::vector<Color>{kBlack, kWhite} : kPure);
    const Dib out = Grayscale(in);
    EXPECT_EQ(out.pixelFormat(), from == PixelFormat::Bits32 ? PixelFormat::Bits24 : from) << int(from);
    for (int x = 0; x < 9; ++x) {
      const Color c = in.pixel(x, 1);
      const auto v = std::uint8_t((redOf(c) + greenOf(c) + blueOf(c)) / 3);
      Color want = rgb(v, v, v);
      if (from == PixelFormat::Bits15 || from == PixelFormat::Bits16) {
        // Five bits per channel (six for green in 5-6-5) hold the gray.
        Dib probe(1, 1, from);
        probe.setPixel(0, 0, want);
        want = probe.pixel(0, 0);
      }
      EXPECT_EQ(out.pixel(x, 1), want) << int(from) << " at " << x;
    }
  }
}

}  // namespace
}  // namespace pelindra::imaging
