#include "engine/imaging/rotate.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/engine/imaging/pictures.h"

namespace pelindra::imaging {
namespace {

using namespace pelindra::test;

Color distinct(int x, int y) {
  return rgb(std::uint8_t(x * 20 + 1), std::uint8_t(y * 30 + 2), std::uint8_t(x * y + 3));
}

TEST(Flip, MirrorsEveryFormat) {
  for (const PixelFormat format : AllFormats()) {
    // Odd width, so the packed formats mirror across byte boundaries.
    const bool mono = format == PixelFormat::Bits1;
    const std::vector<Color> table{kBlack, kWhite, kRed, kLime, kBlue, kYellow, kMagenta, kCyan};
    const Dib in = Paint(
        11, 3, format,
        [&](int x, int y) { return mono ? table[std::size_t(x * y % 3 == 1)] : table[std::size_t(x * 3 + y) % 8]; },
        table);
    const Dib h = Flip(in, FlipDirection::Horizontal), v = Flip(in, FlipDirection::Vertical);
    ASSERT_EQ(h.pixelFormat(), format);
    EXPECT_EQ(h.colors(), in.colors());
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 11; ++x) {
        ASSERT_EQ(h.pixel(x, y), in.pixel(10 - x, y)) << int(format);
        ASSERT_EQ(v.pixel(x, y), in.pixel(x, 2 - y)) << int(format);
      }
    EXPECT_EQ(Flip(h, FlipDirection::Horizontal), in) << int(format);
    EXPECT_EQ(Flip(v, FlipDirection::Vertical), in) << int(format);
  }
}

TEST(RotatedSize, IsTheBoundingBoxOfTheTurnedPicture) {
  struct Case {
    int degrees, width, height;
  };
  for (const Case c :
       {Case{0, 100, 50}, Case{90, 50, 100}, Case{180, 100, 50}, Case{270, 50, 100}, Case{45, 106, 106},
        Case{30, 112, 93}, Case{135, 106, 106}, Case{-90, 50, 100}, Case{360, 100, 50}, Case{450, 50, 100}}) {
    EXPECT_EQ(RotatedSize(100, 50, c.degrees), (Size{c.width, c.height})) << c.degrees;
  }
}

TEST(Rotate, RightAnglesMoveEveryPixelExactly) {
  // Even sides are where whole-pixel centres would lose an edge row.
  const Dib in = Paint(4, 2, PixelFormat::Bits24, distinct);
  const Dib r90 = Rotate(in, 90, kRed);
  ASSERT_EQ(r90.width(), 2);
  ASSERT_EQ(r90.height(), 4);
  // Counter-clockwise: the top-right pixel goes to the top-left corner.
  EXPECT_EQ(r90.pixel(0, 0), in.pixel(3, 0));
  EXPECT_EQ(r90.pixel(1, 0), in.pixel(3, 1));
  EXPECT_EQ(r90.pixel(0, 3), in.pixel(0, 0));
  EXPECT_EQ(Rotate(in, 180, kRed), Flip(Flip(in, FlipDirection::Horizontal), FlipDirection::Vertical));
  EXPECT_EQ(Rotate(r90, 270, kRed), in);
  // A negative angle turns by its size, in the same direction.
  EXPECT_EQ(Rotate(in, -90, kRed), r90);
}

TEST(Rotate, ZeroIsTheSamePictureIn24Bit) {
  const Dib in =
      Paint(5, 4, PixelFormat::Bits8, [](int x, int y) { return (x + y) % 2 ? kBlue : kYellow; }, {kBlue, kYellow});
  const Dib out = Rotate(in, 720, kRed);
  EXPECT_EQ(out.pixelFormat(), PixelFormat::Bits24);
  EXPECT_EQ(Colors(out), Colors(in));
}

TEST(Rotate, AnyAngleTurnsCounterClockwiseWithTheBorderColour) {
  // A 21 x 21 white picture with a red top-right corner.
  const Dib in = Paint(21, 21, PixelFormat::Bits24, [](int x, int y) { return x >= 15 && y <= 5 ? kRed : kWhite; });
  const Dib out = Rotate(in, 45, kBlue);
  ASSERT_EQ(out.width(), 30);
  ASSERT_EQ(out.height(), 30);
  // The corner turns up to the top middle; the right middle shows the white body.
  EXPECT_EQ(out.pixel(15, 4), kRed);
  EXPECT_EQ(out.pixel(24, 15), kWhite);
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{29, 0}, std::pair{0, 29}, std::pair{29, 29}})
    EXPECT_EQ(out.pixel(x, y), kBlue) << x << "," << y;
  // Nearest-pixel sampling invents no colours.
  for (const Color c : Colors(out)) ASSERT_TRUE(c == kRed || c == kWhite || c == kBlue);
}

TEST(Rotate, ThirtyDegreesWithARedBorder) {
  const Dib in = Paint(100, 50, PixelFormat::Bits4, [](int x, int) { return x < 50 ? kLime : kBlue; }, {kLime, kBlue});
  int rows = 0;
  const Dib out = Rotate(in, 30, kRed, [&] { ++rows; });
  ASSERT_EQ(out.width(), 112);
  ASSERT_EQ(out.height(), 93);
  EXPECT_EQ(rows, 93);
  EXPECT_EQ(out.pixel(0, 0), kRed);
  EXPECT_EQ(out.pixel(111, 0), kRed);
  EXPECT_EQ(out.pixel(0, 92), kRed);
  EXPECT_EQ(out.pixel(111, 92), kRed);
  // The centre pixel of the result is the centre pixel of the picture.
  EXPECT_EQ(out.pixel(56, 46), in.pixel(50, 25));
  // The turned picture keeps its area, give or take its outline.
  int inside = 0;
  for (const Color c : Colors(out)) inside += c != kRed;
  EXPECT_NEAR(inside, 5000, 150);
}

// The mapping written out plainly in extended precision: a source bitmap with
// a margin of fill colour, every result pixel mapped back and rounded.
Dib ReferenceRotate(const Dib& in, int a, Color fill) {
  const int w = in.width(), h = in.height();
  const Size size = RotatedSize(w, h, a);
  Dib out = Solid(size.width, size.height, fill);
  const Dib source =
      Paint(w + 8, h + 8, PixelFormat::Bits24, [&](int x, int y) { return x < w && y < h ? in.pixel(x, y) : fill; });
  const long double s = std::sin(a * 0.017453292519943295769L), c = std::cos(a * 0.017453292519943295769L);
  for (int y = 0; y < size.height; ++y)
    for (int x = 0; x < size.width; ++x) {
      const long double dx = x - size.width / 2, dy = y - size.height / 2;
      const long double sx = dx * c - dy * s + w / 2, sy = dx * s + dy * c + h / 2;
      if (sx >= 0 && sx <= w && sy >= 0 && sy <= h)
        out.setPixel(x, y, source.pixel(int(std::nearbyint(sx)), int(std::nearbyint(sy))));
    }
  return out;
}

TEST(Rotate, EveryOtherAngleFollowsTheExtendedPrecisionMapping) {
  for (const auto& [w, h] : {std::pair{7, 5}, std::pair{8, 6}, std::pair{1, 1}, std::pair{2, 9}}) {
    const Dib in = Paint(w, h, PixelFormat::Bits24, distinct);
    for (int a = 1; a < 360; ++a) {
      if (a % 90 == 0) continue;
      ASSERT_EQ(Colors(Rotate(in, a, kRed)), Colors(ReferenceRotate(in, a, kRed))) << w << " x " << h << " by " << a;
    }
  }
  // Angles whose sines and cosines make many exact halves.
  const Dib large =
      Paint(64, 48, PixelFormat::Bits24, [](int x, int y) { return rgb(std::uint8_t(x), std::uint8_t(y), 7); });
  for (const int a : {30, 60, 45, 120, 135, 150, 210, 330})
    ASSERT_EQ(Colors(Rotate(large, a, kRed)), Colors(ReferenceRotate(large, a, kRed))) << a;
}

TEST(Rotate, RefusesAnEmptyPicture) { EXPECT_THROW(Rotate(Dib(), 30, kRed), std::invalid_argument); }

TEST(RotateAngleText, KeepsWholeAnglesBelow360) {
  struct Case {
    const char* typed;
    const char* shown;
  };
  for (const Case c : {Case{"-90", "90"}, Case{"370", "10"}, Case{"720", "0"}, Case{"+5", "5"}, Case{" 45", "0"},
                       Case{"", "0"}, Case{"-", "0"}, Case{"4.5", "0"}, Case{"abc", "0"}, Case{"12a", "0"},
                       Case{"2147483647", "127"}, Case{"-2147483648", "128"}, Case{"2147483648", "0"}}) {
    EXPECT_EQ(RotateAngleText(c.typed), c.shown) << c.typed;
  }
}

}  // namespace
}  // namespace pelindra::imaging
