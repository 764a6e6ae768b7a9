#include "engine/base/dib.h"

#include <gtest/gtest.h>

namespace pelindra {
namespace {

TEST(Dib, StrideIsPaddedTo32Bits) {
  struct Case {
    int width, bits;
    std::size_t stride;
  };
  for (const Case c : {Case{1, 1, 4}, Case{33, 1, 8}, Case{7, 4, 4}, Case{9, 4, 8}, Case{5, 8, 8}, Case{3, 16, 8},
                       Case{1, 24, 4}, Case{5, 24, 16}, Case{3, 32, 12}}) {
    EXPECT_EQ(Dib::strideFor(c.width, c.bits), c.stride) << c.width << " x " << c.bits;
  }
}

TEST(Dib, RowsAreStoredBottomUp) {
  Dib dib(2, 3, 24);
  dib.setPixel(0, 0, rgb(1, 2, 3));
  // The top row is the last one in memory.
  const auto bits = dib.bits();
  EXPECT_EQ(bits[2 * dib.stride() + 0], 3);
  EXPECT_EQ(bits[2 * dib.stride() + 1], 2);
  EXPECT_EQ(bits[2 * dib.stride() + 2], 1);
  EXPECT_EQ(dib.pixel(0, 0), rgb(1, 2, 3));
}

TEST(Dib, PixelsRoundTripInEveryFormat) {
  for (const int bits : {1, 4, 8, 16, 24, 32}) {
    Dib dib(9, 2, bits);
    if (dib.isIndexed()) {
      dib.colors()[0] = toQuad(rgb(0, 0, 0));
      dib.colors()[1] = toQuad(rgb(255, 255, 255));
    }
    dib.setPixel(8, 1, rgb(255, 255, 255));
    EXPECT_EQ(dib.pixel(8, 1), rgb(255, 255, 255)) << bits;
    EXPECT_EQ(dib.pixel(7, 1), rgb(0, 0, 0)) << bits;
  }
}

TEST(Dib, SixteenBitFormatsExpandToFullRange) {
  Dib d555(1, 1, 16);
  Dib d565(1, 1, 16, true);
  EXPECT_EQ(d555.pixelFormat(), PixelFormat::Bits15);
  EXPECT_EQ(d565.pixelFormat(), PixelFormat::Bits16);
  d555.setPixel(0, 0, rgb(255, 128, 8));
  d565.setPixel(0, 0, rgb(255, 128, 8));
  EXPECT_EQ(d555.pixel(0, 0), rgb(255, 132, 8));
  EXPECT_EQ(d565.pixel(0, 0), rgb(255, 130, 8));
}

TEST(Dib, IndexBeyondTheColourTableReadsBlack) {
  Dib dib(1, 1, 8);
  dib.colors().resize(2, toQuad(rgb(9, 9, 9)));
  dib.setIndex(0, 0, 200);
  EXPECT_EQ(dib.index(0, 0), 200u);
  EXPECT_EQ(dib.pixel(0, 0), 0u);
}

TEST(Dib, RefusesSizesBeyondTheCap) {
  EXPECT_THROW(Dib(70000, 70000, 32), DibSizeError);
  EXPECT_THROW(Dib(-1, 1, 8), DibSizeError);
  EXPECT_THROW(Dib(1, 1, 7), DibSizeError);
  EXPECT_FALSE(Dib::fits(1 << 30, 2, 32));
  EXPECT_TRUE(Dib::fits(4000, 3000, 24));
}

}  // namespace
}  // namespace pelindra
