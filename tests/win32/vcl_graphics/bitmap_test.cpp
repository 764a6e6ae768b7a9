#include "win32/vcl/bitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "engine/base/palettes.h"
#include "tests/win32/support/win_test.h"
#include "tests/win32/vcl_graphics/test_pictures.h"

namespace vcl {
namespace {

using pelindra::Dib;
using pelindra::rgb;
using test::pattern;

const TPixelFormat kFormats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit};

TEST(Bitmap, SectionBitsAreTheDibUnchanged) {
  for (const auto format : kFormats) {
    const Dib dib = pattern(format);
    TBitmap bitmap;
    bitmap.Assign(dib);
    EXPECT_EQ(bitmap.PixelFormat(), format);
    EXPECT_EQ(bitmap.ToDib(), dib) << int(format);
    // The handle is a DIB section whose memory holds the same rows.
    DIBSECTION ds{};
    ASSERT_EQ(GetObjectW(bitmap.Handle(), sizeof ds, &ds), int(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmBits, bitmap.ScanLine(dib.height() - 1));
    for (int y = 0; y < dib.height(); ++y)
      ASSERT_EQ(std::memcmp(bitmap.ScanLine(y), dib.scanLine(y), dib.stride()), 0) << int(format) << " row " << y;
    // GDI reads the pixels the Dib describes.
    for (const POINT p : {POINT{0, 0}, POINT{12, 6}, POINT{5, 3}})
      EXPECT_EQ(bitmap.Canvas().Pixel(p.x, p.y), dib.pixel(p.x, p.y)) << int(format);
  }
}

TEST(Bitmap, CanvasAndScanLinesSeeTheSamePixels) {
  TBitmap bitmap(4, 3, pf24bit);
  bitmap.ScanLine(0)[0] = 0x11;  // blue of the top-left pixel
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), rgb(255, 255, 0x11));
  bitmap.Canvas().setBrush({rgb(1, 2, 3)});
  bitmap.Canvas().FillRect({1, 1, 2, 2});
  EXPECT_EQ(bitmap.ToDib().pixel(1, 1), rgb(1, 2, 3));
  // The canvas keeps working on the new section after a size and format change.
  bitmap.SetSize(8, 8);
  bitmap.SetPixelFormat(pf8bit);
  bitmap.Canvas().setPixel({7, 7}, rgb(255, 0, 0));
  EXPECT_EQ(bitmap.ToDib().pixel(7, 7), rgb(255, 0, 0));
  EXPECT_EQ(bitmap.ToDib().pixel(1, 1), rgb(0, 0, 0));
}

TEST(Bitmap, ResizingKeepsPixelsAndWhitensNewAreas) {
  for (const auto format : kFormats) {
    const Dib dib = pattern(format);
    TBitmap bitmap;
    bitmap.Assign(dib);
    bitmap.SetSize(20, 4);
    const Dib out = bitmap.ToDib();
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 20; ++x)
        ASSERT_EQ(out.pixel(x, y), x < 13 ? dib.pixel(x, y) : rgb(255, 255, 255)) << int(format) << " " << x;
  }
}

TEST(Bitmap, NewBitmapsAreWhiteInTheScreenFormat) {
  TBitmap bitmap(3, 2);
  EXPECT_EQ(bitmap.PixelFormat(), pfDevice);
  EXPECT_EQ(bitmap.ToDib().pixel(2, 1), rgb(255, 255, 255));
  bitmap.SetPixelFormat(pf4bit);
  EXPECT_EQ(bitmap.PixelFormat(), pf4bit);
  EXPECT_EQ(bitmap.ToDib().pixel(2, 1), rgb(255, 255, 255));
}

TEST(Bitmap, PixelFormatChangesConvertThePixels) {
  TBitmap bitmap;
  bitmap.Assign(pattern(pf24bit));
  const Dib original = bitmap.ToDib();
  bitmap.SetPixelFormat(pf32bit);
  EXPECT_EQ(bitmap.ToDib().pixel(11, 5), original.pixel(11, 5));
  bitmap.SetPixelFormat(pf1bit);
  EXPECT_EQ(bitmap.ToDib().colors().size(), 2u);
  for (int x = 0; x < 13; ++x) {
    const auto c = bitmap.ToDib().pixel(x, 6);
    EXPECT_TRUE(c == rgb(0, 0, 0) || c == rgb(255, 255, 255));
  }
  EXPECT_THROW(bitmap.SetPixelFormat(pfCustom), EInvalidGraphic);
  // Indexed bitmaps get a palette of their table.
  bitmap.SetPixelFormat(pf8bit);
  ASSERT_NE(bitmap.Palette(), nullptr);
  EXPECT_EQ(GetPaletteEntries(bitmap.Palette(), 0, 0, nullptr), 2u);
  bitmap.SetPixelFormat(pf24bit);
  EXPECT_EQ(bitmap.Palette(), nullptr);
}

TEST(Bitmap, ScanLineOutsideThePictureIsRefused) {
  TBitmap bitmap(2, 2, pf24bit);
  EXPECT_THROW(bitmap.ScanLine(2), EInvalidGraphic);
  EXPECT_THROW(bitmap.ScanLine(-1), EInvalidGraphic);
  TBitmap empty;
  EXPECT_THROW(empty.ScanLine(0), EInvalidGraphic);
}

// Red ground (the bottom-left pixel) with a blue square in the middle.
TBitmap sprite(TPixelFormat format) {
  TBitmap bitmap(6, 6, pf24bit);
  bitmap.Canvas().setBrush({rgb(255, 0, 0)});
  bitmap.Canvas().FillRect({0, 0, 6, 6});
  bitmap.Canvas().setBrush({rgb(0, 0, 255)});
  bitmap.Canvas().FillRect({2, 2, 4, 4});
  bitmap.SetPixelFormat(format);
  return bitmap;
}

TEST(Bitmap, TransparentDrawingLeavesOutTheBottomLeftColour) {
  for (const auto format : {pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap s = sprite(format);
    s.Transparent = true;
    EXPECT_EQ(s.TransparentColor(), rgb(255, 0, 0));
    for (const RECT r : {RECT{0, 0, 6, 6}, RECT{0, 0, 12, 12}, RECT{12, 0, 0, 12}}) {
      TBitmap target(12, 12, pf24bit);
      target.Canvas().setBrush({rgb(0, 255, 0)});
      target.Canvas().FillRect({0, 0, 12, 12});
      target.Canvas().StretchDraw(r, s);
      const int scale = std::abs(r.right - r.left) / 6;
      EXPECT_EQ(target.Canvas().Pixel(0, 0), rgb(0, 255, 0)) << int(format);
      EXPECT_EQ(target.Canvas().Pixel(2 * scale, 2 * scale), rgb(0, 0, 255)) << int(format) << " " << scale;
      EXPECT_EQ(target.Canvas().Pixel(11, 11), rgb(0, 255, 0)) << int(format);
    }
  }
  // A fixed colour replaces the automatic one.
  TBitmap s = sprite(pf24bit);
  s.Transparent = true;
  s.SetTransparentColor(rgb(0, 0, 255));
  TBitmap target(6, 6, pf24bit);
  target.Canvas().Draw(0, 0, s);
  EXPECT_EQ(target.Canvas().Pixel(0, 0), rgb(255, 0, 0));
  EXPECT_EQ(target.Canvas().Pixel(2, 2), rgb(255, 255, 255));
}

TEST(Bitmap, MirroredDrawingTwiceRestoresThePicture) {
  TBitmap bitmap;
  bitmap.Assign(pattern(pf24bit));
  for (const bool horizontal : {true, false}) {
    TBitmap once(13, 7, pf24bit), twice(13, 7, pf24bit);
    const RECT mirror = horizontal ? RECT{13, 0, 0, 7} : RECT{0, 7, 13, 0};
    once.Canvas().StretchDraw(mirror, bitmap);
    EXPECT_EQ(once.ToDib().pixel(horizontal ? 12 : 0, horizontal ? 0 : 6), bitmap.ToDib().pixel(0, 0));
    twice.Canvas().StretchDraw(mirror, once);
    EXPECT_EQ(twice.ToDib(), bitmap.ToDib()) << horizontal;
  }
}

TEST(Bitmap, AssignCopiesABitmap) {
  TBitmap a;
  a.Assign(pattern(pf4bit));
  a.Transparent = true;
  TBitmap b;
  int changes = 0;
  b.OnChange = [&](TObject*) { ++changes; };
  b.Assign(a);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(b.ToDib(), a.ToDib());
  EXPECT_TRUE(b.Transparent);
  EXPECT_NE(b.Handle(), a.Handle());
  auto clone = a.Clone();
  EXPECT_EQ(dynamic_cast<TBitmap&>(*clone).ToDib(), a.ToDib());
}

}  // namespace
}  // namespace vcl

namespace vcl {
namespace {

TEST(BitmapFile, EveryDepthRoundTrips) {
  for (const auto format : kFormats) {
    TBitmap bitmap;
    bitmap.Assign(test::pattern(format));
    const auto bytes = bitmap.SaveToStream();
    TBitmap back;
    back.LoadFromStream(bytes);
    EXPECT_EQ(back.PixelFormat(), format);
    EXPECT_EQ(back.ToDib(), bitmap.ToDib()) << int(format);
  }
}

TEST(BitmapFile, SavesThroughATemporaryFile) {
  pelindra::test::TempDir dir;
  TBitmap bitmap;
  bitmap.Assign(test::pattern(pf8bit));
  bitmap.SaveToFile(dir / L"a.bmp");
  TBitmap back;
  back.LoadFromFile(dir / L"a.bmp");
  EXPECT_EQ(back.ToDib(), bitmap.ToDib());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "a.bmp.~new"));
  EXPECT_THROW(TBitmap().SaveToStream(), EInvalidGraphic);
}

TEST(BitmapFile, MalformedFilesFailCleanly) {
  TBitmap bitmap;
  bitmap.Assign(test::pattern(pf24bit));
  const auto good = bitmap.SaveToStream();
  const std::vector<std::vector<std::uint8_t>> bad = {
      {},
      {'B', 'M'},
      {good.begin(), good.begin() + 30},  // inside the information header
      std::vector<std::uint8_t>(100, 0x42),
  };
  for (const auto& bytes : bad) {
    TBitmap target;
    target.Assign(test::pattern(pf4bit));
    EXPECT_THROW(target.LoadFromStream(bytes), EInvalidGraphic) << bytes.size();
    EXPECT_EQ(target.ToDib(), test::pattern(pf4bit));  // the old picture stays
  }
}

}  // namespace
}  // namespace vcl
