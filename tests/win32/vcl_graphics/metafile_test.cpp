#include "win32/vcl/metafile.h"

#include <gtest/gtest.h>

#include "engine/base/metafile_check.h"
#include "tests/win32/support/win_test.h"
#include "tests/win32/vcl_graphics/test_pictures.h"
#include "win32/vcl/bitmap.h"

namespace vcl {
namespace {

using pelindra::rgb;

// Red ground with a blue square, recorded at 40 x 30 pixels.
void record(TMetafile& mf) {
  mf.SetWidth(40);
  mf.SetHeight(30);
  TMetafileCanvas canvas(mf, nullptr, L"Pelindra.exe", L"12:00:00 - 01.02.2003");
  canvas.setBrush({rgb(255, 0, 0)});
  canvas.FillRect({0, 0, 40, 30});
  canvas.setBrush({rgb(0, 0, 255)});
  canvas.FillRect({10, 10, 20, 20});
}

// The picture drawn on white at the given size.
pelindra::Dib render(TGraphic& graphic, int width, int height) {
  TBitmap target(width, height, pf24bit);
  target.Canvas().StretchDraw({0, 0, width, height}, graphic);
  return target.ToDib();
}

void expectRecordedPicture(TGraphic& mf, int scale) {
  const auto dib = render(mf, 40 * scale, 30 * scale);
  EXPECT_EQ(dib.pixel(0, 0), rgb(255, 0, 0));
  EXPECT_EQ(dib.pixel(40 * scale - 1, 30 * scale - 1), rgb(255, 0, 0));
  EXPECT_EQ(dib.pixel(10 * scale, 10 * scale), rgb(0, 0, 255));
  EXPECT_EQ(dib.pixel(20 * scale - 1, 20 * scale - 1), rgb(0, 0, 255));
  EXPECT_EQ(dib.pixel(20 * scale + 1, 20 * scale + 1), rgb(255, 0, 0));
}

TEST(Metafile, CanvasRecordsAPictureThatPlaysBack) {
  TMetafile mf;
  record(mf);
  ASSERT_FALSE(mf.Empty());
  EXPECT_EQ(mf.Width(), 40);
  EXPECT_EQ(mf.Height(), 30);
  EXPECT_EQ(mf.CreatedBy(), L"Pelindra.exe");
  EXPECT_EQ(mf.Description(), L"12:00:00 - 01.02.2003");
  expectRecordedPicture(mf, 1);
  expectRecordedPicture(mf, 2);
}

TEST(Metafile, EnhancedRoundTrip) {
  TMetafile mf;
  record(mf);
  const auto bytes = mf.SaveToStream();
  ASSERT_EQ(pelindra::detectMetafile(bytes), pelindra::MetafileKind::Enhanced);
  TMetafile back;
  back.LoadFromStream(bytes);
  EXPECT_TRUE(back.Enhanced);
  EXPECT_EQ(back.Width(), 40);
  EXPECT_EQ(back.Height(), 30);
  EXPECT_EQ(back.CreatedBy(), L"Pelindra.exe");
  expectRecordedPicture(back, 1);
}

TEST(Metafile, PlaceableWindowsMetafileRoundTrip) {
  TMetafile mf;
  record(mf);
  mf.Enhanced = false;
  const auto bytes = mf.SaveToStream();
  const auto header = pelindra::readPlaceableHeader(bytes);  // key and checksum
  EXPECT_EQ(header.inch, 96);
  EXPECT_EQ(header.right - header.left, 40);
  EXPECT_EQ(header.bottom - header.top, 30);
  TMetafile back;
  back.LoadFromStream(bytes);
  EXPECT_FALSE(back.Enhanced);
  EXPECT_EQ(back.Inch(), 96);
  EXPECT_EQ(back.Width(), 40);
  EXPECT_EQ(back.Height(), 30);
  expectRecordedPicture(back, 1);
  // Saved again it is the same file.
  EXPECT_EQ(back.SaveToStream(), bytes);
  // Without its placeable header it still reads.
  TMetafile plain;
  plain.LoadFromStream(std::span(bytes).subspan(22));
  EXPECT_FALSE(plain.Empty());
}

TEST(Metafile, DamagedFilesFailCleanlyAndKeepThePicture) {
  TMetafile source;
  record(source);
  const auto emf = source.SaveToStream();
  source.Enhanced = false;
  const auto wmf = source.SaveToStream();
  auto emptyBox = wmf;
  emptyBox[10] = emptyBox[6], emptyBox[11] = emptyBox[7];  // right = left
  auto noUnit = wmf;
  noUnit[14] = noUnit[15] = 0;
  const std::vector<std::vector<std::uint8_t>> bad = {
      {},
      std::vector<std::uint8_t>(200, 0x41),
      {emf.begin(), emf.begin() + 80},       // inside the header
      {emf.begin(), emf.begin() + 108},      // the header alone
      {wmf.begin(), wmf.begin() + 22 + 10},  // inside the Windows header
      emptyBox,
      noUnit,
  };
  for (const auto& bytes : bad) {
    TMetafile mf;
    record(mf);
    EXPECT_THROW(mf.LoadFromStream(bytes), EInvalidGraphic) << bytes.size();
    expectRecordedPicture(mf, 1);
  }
  // Cut inside the records: what was recorded before the cut plays.
  TMetafile cut;
  cut.LoadFromStream(std::span(emf).first(emf.size() - 30));
  EXPECT_EQ(cut.Width(), 40);
}

TEST(Metafile, ConversionsWithBitmaps) {
  TMetafile mf;
  record(mf);
  TBitmap bitmap;
  bitmap.Assign(mf);  // drawn on white at its size
  EXPECT_EQ(bitmap.Width(), 40);
  EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
  EXPECT_EQ(bitmap.ToDib().pixel(15, 15), rgb(0, 0, 255));
  EXPECT_THROW(mf.Assign(bitmap), EInvalidGraphic);
  // A bitmap is put into a metafile by drawing it on a metafile canvas.
  TMetafile drawn;
  drawn.SetWidth(40), drawn.SetHeight(30);
  {
    TMetafileCanvas canvas(drawn, nullptr);
    canvas.Draw(0, 0, bitmap);
  }
  expectRecordedPicture(drawn, 1);
  auto copy = drawn.Clone();
  expectRecordedPicture(*copy, 1);
}

}  // namespace
}  // namespace vcl
