#include "engine/imaging/crop.h"

#include <gtest/gtest.h>

#include "engine/base/numbers.h"
#include "tests/engine/imaging/pictures.h"

namespace pelindra::imaging {
namespace {

using namespace pelindra::test;

// A 50 x 40 drawing (blue, with a red pixel in each corner) framed by `left`,
// `top`, `right` and `bottom` pixels of white.
Dib Framed(int left, int top, int right, int bottom, PixelFormat format = PixelFormat::Bits24) {
  return Paint(left + 50 + right, top + 40 + bottom, format,
               [=](int x, int y) {
                 const int dx = x - left, dy = y - top;
                 if (dx < 0 || dy < 0 || dx >= 50 || dy >= 40) return kWhite;
                 return (dx == 0 || dx == 49) && (dy == 0 || dy == 39) ? kRed : kBlue;
               },
               {kWhite, kBlue, kRed});
}

TEST(CropFit, RemovesExactlyTheFrame) {
  for (const PixelFormat format : {PixelFormat::Bits24, PixelFormat::Bits4, PixelFormat::Bits32}) {
    const Dib picture = Framed(10, 10, 10, 10, format);
    FitBox box;
    ASSERT_TRUE(CropFitTest(picture, box));
    EXPECT_EQ(box, (FitBox{10, 10, 50, 40}));
    const Dib cropped = Crop(picture, box.FitWidth, box.FitHeight, box.FitLeft, box.FitTop);
    EXPECT_EQ(cropped.pixelFormat(), PixelFormat::Bits24);
    EXPECT_EQ(Colors(cropped), Colors(Framed(0, 0, 0, 0)));
  }
}

TEST(CropFit, NeedsFourPixelsOfBorderAcrossOrDown) {
  struct Case {
    int left, top, right, bottom;
    bool removable;
    FitBox box;
  };
  for (const Case c : {Case{1, 1, 1, 1, false, {1, 1, 50, 40}}, Case{2, 0, 2, 0, true, {2, 0, 50, 40}},
                       Case{0, 2, 0, 2, true, {0, 2, 50, 40}}, Case{3, 0, 0, 0, false, {3, 0, 50, 40}}}) {
    FitBox box;
    EXPECT_EQ(CropFitTest(Framed(c.left, c.top, c.right, c.bottom), box), c.removable) << c.left << c.top << c.right;
    EXPECT_EQ(box, c.box);
  }
}

TEST(CropFit, TheBottomLeftPixelIsTheBorderColour) {
  Dib picture = Framed(10, 10, 10, 0);
  FitBox box;
  EXPECT_TRUE(CropFitTest(picture, box));
  EXPECT_EQ(box, (FitBox{10, 10, 50, 40}));
  // With a blue bottom-left pixel every white pixel differs from the border.
  picture.setPixel(0, 49, kBlue);
  EXPECT_FALSE(CropFitTest(picture, box));
  EXPECT_EQ(box, (FitBox{0, 0, 70, 50}));
}

TEST(CropFit, OneColourHasNothingToCrop) {
  FitBox box{1, 2, 3, 4};
  EXPECT_FALSE(CropFitTest(Solid(30, 20, kYellow), box));
  EXPECT_EQ(box, FitBox{});
  EXPECT_FALSE(CropFitTest(Dib(), box));
}

TEST(Selection, MapsToThePictureAtItsScale) {
  struct Case {
    int x1, y1, x2, y2;
    long double f;
    CropRect want;
  };
  for (const Case c : {Case{10, 20, 40, 60, 100, {10, 20, 30, 40}}, Case{40, 60, 10, 20, 1, {10, 20, 30, 40}},
                       Case{10, 20, 40, 60, 0.5L, {20, 40, 60, 80}}, Case{10, 20, 11, 25, 0.3L, {33, 67, 3, 17}}}) {
    EXPECT_EQ(SelectionToPicture(c.x1, c.y1, c.x2, c.y2, c.f), c.want) << c.x1 << "," << c.y1 << " f " << double(c.f);
  }
  EXPECT_THROW(SelectionToPicture(1, 1, 5, 5, 0), NumberError);
  EXPECT_FALSE(CanCrop(SelectionToPicture(0, 0, 2, 50, 1)));
  EXPECT_TRUE(CanCrop(SelectionToPicture(0, 0, 3, 3, 1)));
}

TEST(Crop, OutsideThePictureIsWhite) {
  const Dib picture = Solid(4, 3, kBlue);
  const Dib out = Crop(picture, 4, 3, 2, -1);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(out.pixel(x, y), x < 2 && y > 0 ? kBlue : kWhite) << x << "," << y;
  EXPECT_EQ(Colors(Crop(picture, 2, 2, 10, 10)), std::vector<Color>(4, kWhite));
  EXPECT_THROW(Crop(picture, 0, 3, 0, 0), std::invalid_argument);
  EXPECT_THROW(Crop(picture, 3, -1, 0, 0), std::invalid_argument);
}

}  // namespace
}  // namespace pelindra::imaging
