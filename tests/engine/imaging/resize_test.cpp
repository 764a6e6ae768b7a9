#include "engine/imaging/resize.h"

#include <gtest/gtest.h>

#include "engine/base/numbers.h"
#include "tests/engine/imaging/pictures.h"

namespace pelindra::imaging {
namespace {

using namespace pelindra::test;

TEST(ResizeCalculate, KeepsTheAspectRatioThroughTheWholePercentage) {
  struct Case {
    ResizeFields typed;
    ResizeCalculation want;
  };
  const Case cases[] = {
      // Width typed: the percentage follows, the height follows the rounded percentage.
      {{640, 480, 100, 320, 480, false, true, false}, {50, 320, 240, 0.5L}},
      {{1000, 500, 100, 333, 500, false, true, false}, {33, 333, 165, 0.33L}},
      {{1000, 500, 100, 1000, 250, false, false, true}, {50, 500, 250, 0.5L}},
      {{640, 480, 25, 640, 480, true, false, false}, {25, 160, 120, 0.25L}},
      // The percentage wins over the sides; halves round to even.
      {{641, 481, 50, 1, 1, true, true, true}, {50, 320, 240, 0.5L}},
      {{643, 480, 50, 9, 9, true, false, false}, {50, 322, 240, 0.5L}},
      // Nothing changed: the fields stay as typed.
      {{640, 480, 100, 12, 34, false, false, false}, {100, 12, 34, 1.0L}},
  };
  for (const Case& c : cases) {
    const ResizeCalculation got = Calculate(c.typed);
    EXPECT_EQ(got.percent, c.want.percent);
    EXPECT_EQ(got.width, c.want.width);
    EXPECT_EQ(got.height, c.want.height);
    EXPECT_EQ(got.factor, c.want.percent * 0.01L);
  }
  EXPECT_THROW(Calculate({1000, 1, 2000000000, 0, 0, true, false, false}), NumberError);
}

TEST(ResizeBitmap, SameSizeIsTheSamePicture) {
  const Dib in = Paint(
      7, 5, PixelFormat::Bits8, [](int x, int y) { return rgb(std::uint8_t(x * 30), std::uint8_t(y * 50), 9); },
      [] {
        std::vector<Color> t;
        for (int x = 0; x < 7; ++x)
          for (int y = 0; y < 5; ++y) t.push_back(rgb(std::uint8_t(x * 30), std::uint8_t(y * 50), 9));
        return t;
      }());
  const Dib out = ResizeBitmap(in, 7, 5);
  EXPECT_EQ(out.pixelFormat(), PixelFormat::Bits24);
  EXPECT_EQ(Colors(out), Colors(in));
}

TEST(ResizeBitmap, ShrinkingAveragesTheArea) {
  // A one-pixel checkerboard halves to an even gray where picking pixels would
  // give black or white.
  const Dib board =
      Paint(8, 6, PixelFormat::Bits1, [](int x, int y) { return (x + y) % 2 ? kWhite : kBlack; }, {kBlack, kWhite});
  for (const Color c : Colors(ResizeBitmap(board, 4, 3))) EXPECT_EQ(c, rgb(128, 128, 128));
  // Three to two: the middle result pixel shares the middle source pixel.
  const Dib row = Paint(3, 1, PixelFormat::Bits24, [](int x, int) {
    return x == 0 ? rgb(0, 0, 0) : x == 1 ? rgb(90, 90, 90) : rgb(255, 255, 255);
  });
  const Dib two = ResizeBitmap(row, 2, 1);
  EXPECT_EQ(two.pixel(0, 0), rgb(30, 30, 30));     // (0 x 2 + 90) / 3
  EXPECT_EQ(two.pixel(1, 0), rgb(200, 200, 200));  // (90 + 255 x 2) / 3
}

TEST(ResizeBitmap, ShrinkingFarWeighsEverySourcePixelAlike) {
  // One white column among 4000 black ones counts for 1/4000 wherever it is.
  for (const int column : {0, 1234, 3999}) {
    const Dib in = Paint(4000, 1, PixelFormat::Bits24, [=](int x, int) { return x == column ? kWhite : kBlack; });
    EXPECT_EQ(ResizeBitmap(in, 1, 1).pixel(0, 0), kBlack) << column;
  }
  const Dib half = Paint(4000, 1, PixelFormat::Bits24, [](int x, int) { return x < 2000 ? kWhite : kBlack; });
  EXPECT_EQ(ResizeBitmap(half, 1, 1).pixel(0, 0), rgb(128, 128, 128));
}

TEST(ResizeBitmap, EnlargingInterpolatesBetweenPixelCentres) {
  const Dib in = Paint(2, 1, PixelFormat::Bits24, [](int x, int) { return x ? kWhite : kBlack; });
  const Dib out = ResizeBitmap(in, 4, 3);
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(out.pixel(0, y), rgb(0, 0, 0));
    EXPECT_EQ(out.pixel(1, y), rgb(64, 64, 64));
    EXPECT_EQ(out.pixel(2, y), rgb(191, 191, 191));
    EXPECT_EQ(out.pixel(3, y), rgb(255, 255, 255));
  }
}

TEST(ResizeBitmap, AFlatPictureStaysFlatAtAnyRatio) {
  const Color c = rgb(17, 200, 99);
  for (const auto& [w, h] : {std::pair{3, 11}, std::pair{1, 1}, std::pair{13, 2}, std::pair{40, 40}})
    for (const Color got : Colors(ResizeBitmap(Solid(7, 5, c), w, h))) ASSERT_EQ(got, c) << w << " x " << h;
}

TEST(ResizeBitmap, RefusesEmptySizes) {
  EXPECT_THROW(ResizeBitmap(Solid(2, 2, kRed), 0, 2), std::invalid_argument);
  EXPECT_THROW(ResizeBitmap(Solid(2, 2, kRed), 2, -1), std::invalid_argument);
  EXPECT_THROW(ResizeBitmap(Dib(), 2, 2), std::invalid_argument);
}

}  // namespace
}  // namespace pelindra::imaging
