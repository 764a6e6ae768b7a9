#include "win32/vcl/icon.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/win32/support/win_test.h"
#include "tests/win32/vcl_graphics/test_pictures.h"
#include "win32/vcl/bitmap.h"

namespace vcl {
namespace {

using pelindra::rgb;

using test::iconFile;
using test::image32;
using test::image4;

TEST(Icon, ShowsTheLargestImageWithItsMask) {
  const auto file = iconFile({image4(16), image32(32)});
  TIcon icon;
  icon.LoadFromStream(file);
  EXPECT_EQ(icon.Width(), 32);
  EXPECT_EQ(icon.Height(), 32);
  EXPECT_FALSE(icon.IsCursor());
  EXPECT_EQ(icon.SaveToStream(), file);
  TBitmap target(64, 64, pf24bit);
  target.Canvas().setBrush({rgb(0, 255, 0)});
  target.Canvas().FillRect({0, 0, 64, 64});
  target.Canvas().Draw(0, 0, icon);
  EXPECT_EQ(target.Canvas().Pixel(2, 2), rgb(0, 255, 0));  // masked half
  EXPECT_EQ(target.Canvas().Pixel(30, 2), rgb(0, 0, 255));
  // Stretched to twice the size.
  target.Canvas().StretchDraw({0, 0, 64, 64}, icon);
  EXPECT_EQ(target.Canvas().Pixel(60, 60), rgb(0, 0, 255));
}

TEST(Icon, CursorsAndCopies) {
  const auto file = iconFile({image4(16)}, 2);
  TIcon cursor;
  cursor.LoadFromStream(file);
  EXPECT_TRUE(cursor.IsCursor());
  auto copy = cursor.Clone();
  EXPECT_EQ(copy->Width(), 16);
  EXPECT_EQ(copy->SaveToStream(), file);
  // As a bitmap it is drawn on white.
  TBitmap bitmap;
  bitmap.Assign(cursor);
  EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
  EXPECT_EQ(bitmap.ToDib().pixel(3, 3), rgb(255, 0, 0));
  EXPECT_THROW(cursor.Assign(bitmap), EInvalidGraphic);
}

TEST(Icon, DamagedFilesFailCleanlyAndDamagedEntriesAreSkipped) {
  const auto good = iconFile({image4(16), image32(32)});
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int width;  // of the image shown; 0 when the file must be refused
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}, 0});
  cases.push_back({"no entries", {0, 0, 1, 0, 0, 0}, 0});
  auto bigCount = good;
  bigCount[4] = 0xFF, bigCount[5] = 0xFF;
  cases.push_back({"more entries than the file holds", bigCount, 0});
  auto badType = good;
  badType[2] = 3;
  cases.push_back({"unknown type", badType, 0});
  auto outside = good;
  outside[6 + 16 + 12] = 0xF0, outside[6 + 16 + 15] = 0x7F;  // second offset far beyond the file
  cases.push_back({"one entry outside the file", outside, 16});
  // Stated sizes are often wrong: an image is measured by its own header.
  auto wrongSizes = good;
  wrongSizes[6 + 8] = 8, wrongSizes[6 + 9] = 0;
  wrongSizes[6 + 16 + 8] = 0xFF, wrongSizes[6 + 16 + 10] = 0xFF;
  cases.push_back({"wrong stated sizes", wrongSizes, 32});
  auto cut = good;
  cut.resize(cut.size() - 200);  // into the larger image's pixels
  cases.push_back({"last image cut short", cut, 16});
  auto allCut = iconFile({image32(32)});
  allCut.resize(allCut.size() - 1);
  cases.push_back({"only image cut short", allCut, 0});
  auto depth = iconFile({image4(16)});
  depth[6 + 16 + 14] = 7;  // bit count 7
  cases.push_back({"impossible depth", depth, 0});
  for (const auto& c : cases) {
    TIcon icon;
    if (c.width) {
      EXPECT_NO_THROW(icon.LoadFromStream(c.bytes)) << c.name;
      EXPECT_EQ(icon.Width(), c.width) << c.name;
    } else {
      EXPECT_THROW(icon.LoadFromStream(c.bytes), EInvalidGraphic) << c.name;
      EXPECT_TRUE(icon.Empty()) << c.name;
    }
  }
}

TEST(Icon, SampleFilesLoadOrFailCleanly) {
  if (!pelindra::test::haveTestdata()) GTEST_SKIP() << "sample corpus not present";
  int shown = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(pelindra::test::testdata("ico"))) {
    if (!e.is_regular_file()) continue;
    TIcon icon;
    try {
      icon.LoadFromFile(e.path().wstring());
    } catch (const EInvalidGraphic&) {
      continue;
    }
    ++shown;
    EXPECT_GT(icon.Width(), 0) << e.path();
    TBitmap target(icon.Width(), icon.Height(), pf24bit);
    target.Canvas().Draw(0, 0, icon);
  }
  EXPECT_GE(shown, 10);
}

}  // namespace
}  // namespace vcl
