#include "engine/imaging/tiff_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "tests/engine/support/test_support.h"

namespace pelindra {
namespace {

std::uint32_t u32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}
std::uint16_t u16At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint16_t(b[at] | b[at + 1] << 8);
}

// The value of a directory entry, and its type.
std::pair<std::uint32_t, std::uint16_t> tag(const std::vector<std::uint8_t>& b, std::uint16_t wanted) {
  const std::size_t dir = u32At(b, 4);
  for (std::size_t i = 0; i < u16At(b, dir); ++i) {
    const std::size_t e = dir + 2 + 12 * i;
    if (u16At(b, e) == wanted) return {u32At(b, e + 8), u16At(b, e + 2)};
  }
  return {0, 0};
}

TEST(WriteTiff, RgbLayoutIsByteForByteTheFixedOne) {
  Dib dib(2, 1, 24);
  dib.setPixel(0, 0, rgb(3, 2, 1));
  dib.setPixel(1, 0, rgb(6, 5, 4));
  const auto bytes = WriteTiff(dib);
  EXPECT_EQ(bytes.size(), 232u);
  EXPECT_EQ(bytes, test::readBytes(test::fixture("tiff/rgb-2x1.tif")));
  // The same picture at 32 bits and at 16 bits is written the same way.
  Dib wide(2, 1, 32), small(2, 1, 16);
  for (Dib* d : {&wide, &small})
    for (int x = 0; x < 2; ++x) d->setPixel(x, 0, dib.pixel(x, 0));
  EXPECT_EQ(WriteTiff(wide), bytes);
  EXPECT_EQ(WriteTiff(small).size(), 232u);
}

TEST(WriteTiff, PaletteAndBilevelLayouts) {
  Dib eight(3, 2, 8);
  eight.colors()[0] = {0, 0, 255, 0};  // pure red
  auto b = WriteTiff(eight);
  EXPECT_EQ(u16At(b, 8), 0xFF00);    // first red value
  EXPECT_EQ(u16At(b, 8 + 512), 0);   // first green value
  EXPECT_EQ(u16At(b, 8 + 1024), 0);  // first blue value
  EXPECT_EQ(tag(b, 320), (std::pair<std::uint32_t, std::uint16_t>{8, 3}));
  EXPECT_EQ(u16At(b, u32At(b, 4)), 15);

  b = WriteTiff(Dib(13, 3, 4));
  EXPECT_EQ(tag(b, 256).first, 12u);  // rightmost columns dropped
  EXPECT_EQ(tag(b, 279).first, 18u);  // 6 bytes per row
  b = WriteTiff(Dib(3, 3, 4));
  EXPECT_EQ(tag(b, 256).first, 3u);  // too narrow for 4 bits: written with 8
  EXPECT_EQ(tag(b, 258).first, 8u);

  Dib one(10, 4, 1);
  one.colors() = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  b = WriteTiff(one);
  EXPECT_EQ(u16At(b, u32At(b, 4)), 14);
  EXPECT_EQ(tag(b, 279).first, 8u);  // 2 bytes per row
  EXPECT_EQ(tag(b, 262).first, 1u);
  one.colors() = {{255, 255, 255, 0}, {0, 0, 0, 0}};
  EXPECT_EQ(tag(WriteTiff(one), 262).first, 0u);  // white first: white is zero

  EXPECT_TRUE(WriteTiff(Dib()).empty());
  EXPECT_EQ(tag(WriteTiff(Dib(70000, 1, 1)), 256), (std::pair<std::uint32_t, std::uint16_t>{70000, 4}));
}

int run(const std::string& command) { return std::system(("(" + command + ") >/dev/null 2>&1").c_str()); }

// libtiff's own tools accept every layout, and reading the files back gives
// exactly our pixels and colours.
TEST(WriteTiff, LibtiffReadsBackOurPixels) {
  if (run("command -v tiffinfo && command -v tiffcp && command -v convert") != 0)
    GTEST_SKIP() << "libtiff tools or ImageMagick not installed";
  test::TempDir dir;
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    Dib dib(37, 11, bits);
    if (bits <= 8)
      for (std::size_t i = 0; i < dib.colors().size(); ++i)
        dib.colors()[i] = {std::uint8_t(i * 37), std::uint8_t(255 - i * 11), std::uint8_t(i * 91), 0};
    // Bilevel keeps only black and white; white comes first here, as Windows often stores it.
    if (bits == 1) dib.colors() = {{255, 255, 255, 0}, {0, 0, 0, 0}};
    unsigned seed = 7;
    for (int y = 0; y < dib.height(); ++y)
      for (int x = 0; x < dib.width(); ++x) {
        seed = seed * 1103515245 + 12345;
        if (bits <= 8)
          dib.setIndex(x, y, (seed >> 16) % dib.colors().size());
        else
          dib.setPixel(x, y, Color(seed >> 8) & 0xFFFFFF);
      }
    const auto tif = dir / ("p" + std::to_string(bits) + ".tif");
    test::writeBytes(tif, WriteTiff(dib));
    ASSERT_EQ(run("tiffinfo -D " + tif.string()), 0);
    ASSERT_EQ(run("tiffcp " + tif.string() + " " + (dir / "copy.tif").string()), 0);
    if (bits == 4 || bits == 8) {
      // The colour map as libtiff reads it: our components in the high byte.
      const auto dump = dir / "map.txt";
      ASSERT_EQ(run("tiffinfo -c " + tif.string() + " > " + dump.string()), 0);
      const auto text = test::readBytes(dump);
      const std::string map(text.begin(), text.end());
      const auto& q = dib.colors()[5];
      char line[64];
      std::snprintf(line, sizeof line, "5: %5u %5u %5u", q.red * 256u, q.green * 256u, q.blue * 256u);
      EXPECT_NE(map.find(line), std::string::npos) << line << "\n" << map;
    }
    const auto raw = dir / "pixels.rgb";
    ASSERT_EQ(run("convert " + tif.string() + " -depth 8 rgb:" + raw.string()), 0);
    const auto pixels = test::readBytes(raw);
    const int w = bits == 4 ? 36 : 37;
    ASSERT_EQ(pixels.size(), std::size_t(w) * 11 * 3);
    for (int y = 0; y < 11; ++y)
      for (int x = 0; x < w; ++x) {
        Color c = dib.pixel(x, y);
        if (bits == 16) c = c & 0xF8F8F8;  // 5 bits a channel, as converted
        const std::uint8_t* p = &pixels[(std::size_t(y) * w + x) * 3];
        const Color got = rgb(p[0], p[1], p[2]) & (bits == 16 ? 0xF8F8F8 : 0xFFFFFF);
        // Colour maps hold each component times 256; a reader scaling 16 bits
        // down by 65535 sees one step less for the higher values.
        const int slack = bits == 4 || bits == 8 ? 1 : 0;
        for (int shift : {0, 8, 16})
          ASSERT_NEAR(int(got >> shift & 0xFF), int(c >> shift & 0xFF), slack) << x << "," << y;
      }
  }
}

}  // namespace
}  // namespace pelindra
