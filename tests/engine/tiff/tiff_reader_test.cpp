#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "engine/imaging/tiff_writer.h"
#include "tests/engine/support/test_support.h"
#include "tools/tif2bmp/tiff_to_dib.h"

namespace pelindra {
namespace {

TEST(ReadTiffToDib, ReadsBackWhatTheWriterWrites) {
  Dib dib(5, 3, 8);
  for (int i = 0; i < 256; ++i) dib.colors()[i] = {std::uint8_t(i), std::uint8_t(255 - i), 7, 0};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) dib.setIndex(x, y, unsigned(y * 5 + x) * 3);
  const Dib back = ReadTiffToDib(WriteTiff(dib));
  ASSERT_EQ(back.bitsPerPixel(), 8);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(back.pixel(x, y), dib.pixel(x, y) & 0xFFFFFF);
}

TEST(ReadTiffToDib, RefusesWhatIsNoTiff) {
  const std::uint8_t junk[] = {'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3};
  EXPECT_THROW(ReadTiffToDib(junk), TiffReadError);
  EXPECT_THROW(ReadTiffToDib({}), TiffReadError);
  TiffReadLimits small;
  small.maxPixels = 10;
  EXPECT_THROW(ReadTiffToDib(WriteTiff(Dib(4, 4, 24)), small), TiffReadError);
}

// Every TIFF of the corpus is either shown as ImageMagick shows its first page
// or refused with a message.
TEST(ReadTiffToDib, CorpusMatchesTheOracle) {
  if (!test::haveTestdata()) GTEST_SKIP() << "sample corpus not present";
  const bool haveOracle = std::system("command -v convert >/dev/null 2>&1") == 0;
  // Where the two differ by design: CMYK and LogLuv colour conversions,
  // old-style JPEG, and grey with alpha, which the oracle shows opaque.
  const std::set<std::string> ownColours = {"tiff_strip_cmyk_jpeg.tif", "logluv-3c-16b.tiff",
                                            "ojpeg_zackthecat_subsamp22_single_strip.tiff",
                                            "minisblack-2c-8b-alpha.tiff"};
  test::TempDir dir;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(test::testdata("tiff"))) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    Dib dib;
    try {
      dib = ReadTiffToDib(test::readBytes(entry.path()));
    } catch (const TiffReadError& e) {
      EXPECT_NE(std::string(e.what()), "");
      continue;
    }
    if (!haveOracle || ownColours.count(name) || std::uint64_t(dib.width()) * dib.height() > 4000000) continue;
    const auto raw = dir / "oracle.rgb";
    const std::string cmd = "convert '" + entry.path().string() +
                            "[0]' -background white -flatten -depth 8 rgb:" + raw.string() + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) continue;
    const auto pixels = test::readBytes(raw);
    ASSERT_EQ(pixels.size(), std::size_t(dib.width()) * dib.height() * 3);
    int worst = 0;
    for (int y = 0; y < dib.height(); ++y)
      for (int x = 0; x < dib.width(); ++x) {
        const Color c = dib.pixel(x, y);
        const std::uint8_t* p = &pixels[(std::size_t(y) * dib.width() + x) * 3];
        worst = std::max({worst, std::abs(p[0] - redOf(c)), std::abs(p[1] - greenOf(c)), std::abs(p[2] - blueOf(c))});
      }
    EXPECT_LE(worst, 2);
  }
}

}  // namespace
}  // namespace pelindra
