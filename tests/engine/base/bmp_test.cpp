#include "engine/base/bmp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "tests/engine/support/test_support.h"

namespace pelindra {
namespace {

// Little-endian byte builder for hand-made files.
struct Le {
  std::vector<std::uint8_t> b;
  Le& u8(std::initializer_list<int> v) {
    for (const int x : v) b.push_back(std::uint8_t(x));
    return *this;
  }
  Le& u16(unsigned v) { return u8({int(v & 0xff), int(v >> 8 & 0xff)}); }
  Le& u32(std::uint32_t v) { return u16(v & 0xffff).u16(v >> 16); }
  Le& zeros(std::size_t n) {
    b.insert(b.end(), n, 0);
    return *this;
  }
  Le& bytes(const std::vector<std::uint8_t>& v) {
    b.insert(b.end(), v.begin(), v.end());
    return *this;
  }
};

struct Info {
  std::uint32_t size = 40;
  std::int32_t width = 1, height = 1;
  unsigned bits = 24;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;
  std::vector<std::uint32_t> masks = {};  // inside a header of 52+ bytes, or after a 40-byte one
};

// An information header (any size of 16 and up), masks and colour table.
std::vector<std::uint8_t> infoBytes(const Info& i, const std::vector<std::uint8_t>& table) {
  Le le;
  le.u32(i.size).u32(std::uint32_t(i.width)).u32(std::uint32_t(i.height)).u16(1).u16(i.bits);
  le.u32(i.compression).u32(0).u32(2835).u32(2835).u32(i.colorsUsed).u32(0);
  le.b.resize(std::min<std::size_t>(i.size, le.b.size()));
  if (i.size >= 52) {
    for (std::size_t k = 0; k < 4; ++k)
      if (40 + 4 * k < i.size) le.u32(k < i.masks.size() ? i.masks[k] : 0);
  } else {
    for (const auto m : i.masks) le.u32(m);
  }
  le.b.resize(std::max<std::size_t>(le.b.size(), i.size + (i.size == 40 ? 4 * i.masks.size() : 0)));
  return le.bytes(table).b;
}

std::vector<std::uint8_t> withFileHeader(const std::vector<std::uint8_t>& info, const std::vector<std::uint8_t>& pixels,
                                         std::uint32_t offset = 0) {
  Le le;
  le.u8({'B', 'M'}).u32(std::uint32_t(14 + info.size() + pixels.size())).u32(0);
  le.u32(offset ? offset : std::uint32_t(14 + info.size()));
  return le.bytes(info).bytes(pixels).b;
}

std::vector<std::uint8_t> bmpFile(const Info& i, const std::vector<std::uint8_t>& table,
                                  const std::vector<std::uint8_t>& pixels) {
  return withFileHeader(infoBytes(i, table), pixels);
}

std::vector<std::uint8_t> greyTable(int n) {
  std::vector<std::uint8_t> t;
  for (int k = 0; k < n; ++k) t.insert(t.end(), {std::uint8_t(k), std::uint8_t(k), std::uint8_t(k), 0});
  return t;
}

std::string rowsOf(const Dib& dib) {
  std::string s;
  for (int y = 0; y < dib.height(); ++y) {
    for (int x = 0; x < dib.width(); ++x) s += dib.isIndexed() ? char('a' + dib.index(x, y)) : '?';
    s += '|';
  }
  return s;
}

BmpFault faultOf(const std::vector<std::uint8_t>& file, const BmpLimits& limits = {}) {
  try {
    readBmp(file, limits);
  } catch (const BmpError& e) {
    EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
    return e.fault();
  }
  ADD_FAILURE() << "file was accepted";
  return BmpFault::NotBmp;
}

TEST(Bmp, ReadsIndexedRowsBottomUpAndTopDown) {
  // 3 x 2 at 4 bits: bottom row first unless the height is negative.
  const std::vector<std::uint8_t> pixels = {0x01, 0x20, 0, 0, 0x34, 0x50, 0, 0};
  const BmpImage up = readBmp(bmpFile({.width = 3, .height = 2, .bits = 4, .colorsUsed = 6}, greyTable(6), pixels));
  EXPECT_EQ(rowsOf(up.dib), "def|abc|");
  EXPECT_EQ(up.dib.colors().size(), 6u);
  const BmpImage down = readBmp(bmpFile({.width = 3, .height = -2, .bits = 4, .colorsUsed = 6}, greyTable(6), pixels));
  EXPECT_EQ(rowsOf(down.dib), "abc|def|");
  EXPECT_EQ(down.header.height, -2);
  EXPECT_FALSE(down.truncated);
}

TEST(Bmp, ReadsCoreAndOs2Headers) {
  // Core header: 16-bit sizes, three-byte colour entries.
  Le core;
  core.u32(12).u16(2).u16(1).u16(1).u16(1).u8({0, 0, 255, 255, 255, 255});
  const BmpImage a = readBmp(withFileHeader(core.b, {0x40, 0, 0, 0}));
  EXPECT_TRUE(a.header.os2);
  EXPECT_EQ(a.dib.pixel(0, 0), rgb(255, 0, 0));
  EXPECT_EQ(a.dib.pixel(1, 0), rgb(255, 255, 255));

  // OS/2 2.x header of 16 bytes: no colours-used field, so a full table.
  const BmpImage b = readBmp(bmpFile({.size = 16, .width = 2, .bits = 1}, greyTable(2), {0x80, 0, 0, 0}));
  EXPECT_TRUE(b.header.os2);
  EXPECT_EQ(b.header.colorsUsed, 0u);
  EXPECT_EQ(rowsOf(b.dib), "ba|");

  // OS/2 2.x header of 64 bytes with RLE24: a run of two, then three literal
  // pixels padded to an even length.
  const std::vector<std::uint8_t> rle = {2, 1, 2, 3, 0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0, 1, 0, 13, 0, 0, 1};
  const BmpImage c = readBmp(bmpFile({.size = 64, .width = 6, .bits = 24, .compression = 4}, {}, rle));
  ASSERT_EQ(c.dib.bitsPerPixel(), 24);
  EXPECT_EQ(c.dib.pixel(1, 0), rgb(3, 2, 1));
  EXPECT_EQ(c.dib.pixel(3, 0), rgb(9, 8, 7));
  EXPECT_EQ(c.dib.pixel(4, 0), rgb(12, 11, 10));
  EXPECT_EQ(c.dib.pixel(5, 0), rgb(0, 13, 0));
}

TEST(Bmp, ReadsRunLengthEncodings) {
  // 6 x 3 RLE8, rows bottom-up: a run clipped at the row end, a literal run
  // with padding, a delta that skips pixels, a premature end of line.
  const std::vector<std::uint8_t> rle8 = {
      3, 1, 0, 3, 2, 3, 4, 0, 9, 5, 0, 0,  // bottom: b b b c d e (run of 9 clipped)
      0, 2, 2, 0, 2, 6, 0, 0,              // middle: skip 2, then g g
      1, 7, 0, 1,                          // top: h, then the end of the picture
  };
  const BmpImage a = readBmp(bmpFile({.width = 6, .height = 3, .bits = 8, .compression = 1}, greyTable(8), rle8));
  EXPECT_EQ(rowsOf(a.dib), "haaaaa|aaggaa|bbbcde|");
  EXPECT_FALSE(a.truncated);

  // RLE4: runs alternate two nibbles, literals are nibbles.
  const std::vector<std::uint8_t> rle4 = {5, 0x12, 0, 3, 0x34, 0x50, 0, 1};
  const BmpImage b = readBmp(bmpFile({.width = 8, .bits = 4, .compression = 2}, greyTable(16), rle4));
  EXPECT_EQ(rowsOf(b.dib), "bcbcbdef|");

  // Top-down RLE is not standard but harmless: rows count from the top.
  const BmpImage c =
      readBmp(bmpFile({.width = 1, .height = -2, .bits = 8, .compression = 1}, greyTable(3), {1, 2, 0, 0, 1, 1}));
  EXPECT_EQ(rowsOf(c.dib), "c|b|");
}

TEST(Bmp, DeliversTheRowsOfCutOffData) {
  // RLE cut inside a literal run: the first row is complete.
  const auto rle = bmpFile({.width = 2, .height = 2, .bits = 8, .compression = 1}, greyTable(4), {2, 1, 0, 0, 0, 3, 2});
  const BmpImage a = readBmp(rle);
  EXPECT_TRUE(a.truncated);
  EXPECT_EQ(rowsOf(a.dib), "aa|bb|");

  // Uncompressed 24 bits, two rows of three and one byte of the third.
  std::vector<std::uint8_t> px(2 * 12 + 1, 0x7f);
  const auto plain = bmpFile({.width = 3, .height = 3}, {}, px);
  const BmpImage b = readBmp(plain);
  EXPECT_TRUE(b.truncated);
  EXPECT_EQ(b.dib.pixel(2, 2), rgb(0x7f, 0x7f, 0x7f));
  EXPECT_EQ(b.dib.pixel(0, 0), rgb(0, 0, 0x7f));  // the one byte there is blue
  EXPECT_EQ(b.dib.pixel(1, 0), rgb(0, 0, 0));

  BmpLimits strict;
  strict.acceptTruncated = false;
  EXPECT_EQ(faultOf(rle, strict), BmpFault::Truncated);
  EXPECT_EQ(faultOf(plain, strict), BmpFault::Truncated);
}

TEST(Bmp, ConvertsBitFieldsToAFormatWithTheSameColours) {
  struct Case {
    unsigned bits;
    std::uint32_t headerSize;
    std::uint32_t compression;
    std::vector<std::uint32_t> masks;
    std::vector<std::uint8_t> pixel;  // one pixel, padded to 4 bytes
    int dibBits;
    Color colour;
    int alpha;  // -1: no alpha
  };
  const Case cases[] = {
      {16, 40, 3, {0xf800, 0x07e0, 0x001f}, {0x1f, 0xf8, 0, 0}, 16, rgb(255, 0, 255), -1},
      {16, 40, 3, {0x7c00, 0x03e0, 0x001f}, {0xe0, 0x03, 0, 0}, 16, rgb(0, 255, 0), -1},
      {16, 40, 0, {}, {0x00, 0x7c, 0, 0}, 16, rgb(255, 0, 0), -1},
      // 2-3-1 bits: each channel spread over 0..255.
      {16, 40, 3, {0x30, 0x0e, 0x01}, {0x25, 0, 0, 0}, 24, rgb(170, 73, 255), -1},
      {16, 124, 3, {0x0f00, 0x00f0, 0x000f, 0xf000}, {0x5a, 0x8f, 0, 0}, 32, rgb(0xff, 0x55, 0xaa), 0x88},
      {32, 40, 0, {}, {1, 2, 3, 0xee}, 32, rgb(3, 2, 1), -1},
      {32, 124, 3, {0xff0000, 0xff00, 0xff, 0xff000000}, {1, 2, 3, 0x80}, 32, rgb(3, 2, 1), 0x80},
      {32, 52, 3, {0xff000000, 0xff00, 0xff}, {1, 2, 3, 4}, 24, rgb(4, 2, 1), -1},
      {32, 40, 6, {0xff, 0xff00, 0xff0000, 0xff000000}, {1, 2, 3, 4}, 32, rgb(1, 2, 3), 4},
      {32, 40, 3, {0x3ff00000, 0xffc00, 0x3ff}, {0xff, 0x03, 0, 0x3c}, 24, rgb(239, 0, 255), -1},
  };
  for (const auto& c : cases) {
    const BmpImage img = readBmp(
        bmpFile({.size = c.headerSize, .bits = c.bits, .compression = c.compression, .masks = c.masks}, {}, c.pixel));
    SCOPED_TRACE(std::to_string(c.bits) + " bits, masks " + std::to_string(c.masks.size()));
    ASSERT_EQ(img.dib.bitsPerPixel(), c.dibBits);
    EXPECT_EQ(img.dib.pixel(0, 0), c.colour);
    EXPECT_EQ(img.hasAlpha, c.alpha >= 0);
    if (c.dibBits == 32) EXPECT_EQ(img.dib.scanLine(0)[3], c.alpha >= 0 ? c.alpha : 0);
  }
  EXPECT_TRUE(readBmp(bmpFile({.bits = 16, .compression = 3, .masks = {0xf800, 0x07e0, 0x001f}}, {}, {0, 0, 0, 0}))
                  .dib.isRgb565());
}

TEST(Bmp, ReadsTwoAndSixtyFourBitPixels) {
  // 2 bits become 4 with the same indices.
  const BmpImage two = readBmp(bmpFile({.width = 5, .bits = 2}, greyTable(4), {0x1b, 0x40, 0, 0}));
  EXPECT_EQ(two.dib.bitsPerPixel(), 4);
  EXPECT_EQ(rowsOf(two.dib), "abcdb|");
  // 64 bits: linear 2.13 fixed point; 0.5 linear is 188 in the sRGB curve.
  Le px;
  px.u16(8192).u16(4096).u16(0).u16(8192);
  const BmpImage wide = readBmp(bmpFile({.bits = 64}, {}, px.b));
  EXPECT_EQ(wide.dib.pixel(0, 0), rgb(0, 188, 255));
  EXPECT_TRUE(wide.hasAlpha);
}

TEST(Bmp, ColourTablesMayBeShortOrOversized) {
  // The file header's offset leaves room for only three entries.
  const auto info = infoBytes({.width = 4, .bits = 8}, greyTable(3));
  const BmpImage a = readBmp(withFileHeader(info, {0, 1, 2, 3}));
  EXPECT_EQ(a.dib.colors().size(), 3u);
  EXPECT_EQ(a.dib.pixel(2, 0), rgb(2, 2, 2));
  EXPECT_EQ(a.dib.pixel(3, 0), rgb(0, 0, 0));  // beyond the table
  // 300 colours used at 8 bits: the first 256 are the table.
  const BmpImage b = readBmp(bmpFile({.width = 1, .bits = 8, .colorsUsed = 300}, greyTable(300), {255, 0, 0, 0}));
  EXPECT_EQ(b.dib.colors().size(), 256u);
  EXPECT_EQ(b.dib.pixel(0, 0), rgb(255, 255, 255));
  // True colour with a table: skipped (by the offset, or by its count in a packed DIB).
  const auto packed = infoBytes({.bits = 24, .colorsUsed = 2}, greyTable(2));
  std::vector<std::uint8_t> dib = packed;
  dib.insert(dib.end(), {9, 8, 7, 0});
  EXPECT_EQ(readPackedDib(dib).dib.pixel(0, 0), rgb(7, 8, 9));
}

TEST(Bmp, ReadsPackedDibsAndBitmapArrays) {
  // A packed DIB as the clipboard holds 32-bit pictures: masks after the header.
  auto dib = infoBytes({.width = 2, .bits = 32, .compression = 3, .masks = {0xff0000, 0xff00, 0xff}}, {});
  dib.insert(dib.end(), {1, 2, 3, 0, 4, 5, 6, 0});
  const BmpImage a = readPackedDib(dib);
  EXPECT_EQ(a.dib.pixel(1, 0), rgb(6, 5, 4));
  EXPECT_EQ(a.header.fileSize, 0u);

  // An OS/2 bitmap array: the first element's offsets count from the file start.
  const auto inner = bmpFile({.width = 1, .bits = 8, .colorsUsed = 2}, greyTable(2), {1, 0, 0, 0});
  Le array;
  array.u8({'B', 'A'}).u32(40).u32(0).u16(0).u16(0).bytes(inner);
  const std::uint32_t offset = 14 + 14 + 40 + 8;
  for (int k = 0; k < 4; ++k) array.b[14 + 10 + k] = std::uint8_t(offset >> (8 * k));
  EXPECT_EQ(readBmp(array.b).dib.pixel(0, 0), rgb(1, 1, 1));

  Le icons;
  icons.u8({'B', 'A'}).u32(40).u32(0).u16(0).u16(0).u8({'C', 'I'}).zeros(40);
  EXPECT_EQ(faultOf(icons.b), BmpFault::Unsupported);
}

TEST(Bmp, RefusesWhatItCannotShow) {
  const auto good = bmpFile({}, {}, {1, 2, 3, 0});
  struct Case {
    const char* what;
    std::vector<std::uint8_t> file;
    BmpFault fault;
  };
  const Case cases[] = {
      {"no signature", {'G', 'I', 'F', '8', '9', 'a'}, BmpFault::NotBmp},
      {"empty", {}, BmpFault::NotBmp},
      {"cut in the file header", {'B', 'M', 0, 0}, BmpFault::Truncated},
      {"cut in the info header", std::vector<std::uint8_t>(good.begin(), good.begin() + 30), BmpFault::Truncated},
      {"headers only", std::vector<std::uint8_t>(good.begin(), good.begin() + 54), BmpFault::Truncated},
      {"header size 66", bmpFile({.size = 66}, {}, {0, 0, 0, 0}), BmpFault::Unsupported},
      {"embedded JPEG", bmpFile({.size = 124, .bits = 0, .compression = 4}, {}, {0xff, 0xd8}), BmpFault::Unsupported},
      {"embedded PNG", bmpFile({.size = 124, .bits = 0, .compression = 5}, {}, {0x89, 'P'}), BmpFault::Unsupported},
      {"Huffman", bmpFile({.size = 64, .bits = 1, .compression = 3}, greyTable(2), {0, 0}), BmpFault::Unsupported},
      {"compression 9", bmpFile({.compression = 9}, {}, {0, 0, 0, 0}), BmpFault::Unsupported},
      {"bit count 30000", bmpFile({.bits = 30000}, {}, {0, 0, 0, 0}), BmpFault::Corrupt},
      {"RLE8 at 4 bits", bmpFile({.bits = 4, .compression = 1}, greyTable(16), {0, 1}), BmpFault::Corrupt},
      {"bit fields at 8 bits", bmpFile({.bits = 8, .compression = 3, .masks = {1, 2, 4}}, {}, {0, 0, 0, 0}),
       BmpFault::Corrupt},
      {"split mask", bmpFile({.bits = 16, .compression = 3, .masks = {0xf00f, 0x0f0, 0}}, {}, {0, 0, 0, 0}),
       BmpFault::Corrupt},
      {"overlapping masks", bmpFile({.bits = 16, .compression = 3, .masks = {0xff00, 0x0ff0, 0xf}}, {}, {0, 0, 0, 0}),
       BmpFault::Corrupt},
      {"negative width", bmpFile({.width = -1}, {}, {0, 0, 0, 0}), BmpFault::Corrupt},
      {"zero height", bmpFile({.height = 0}, {}, {0, 0, 0, 0}), BmpFault::Corrupt},
      {"lowest height", bmpFile({.height = INT32_MIN}, {}, {0, 0, 0, 0}), BmpFault::Corrupt},
      {"3000000 x 2000000", bmpFile({.width = 3000000, .height = 2000000}, {}, {0, 0, 0, 0}), BmpFault::TooLarge},
  };
  for (const auto& c : cases) EXPECT_EQ(faultOf(c.file), c.fault) << c.what;

  BmpLimits small;
  small.maxPixels = 15;
  EXPECT_EQ(faultOf(bmpFile({.width = 4, .height = 4}, {}, {}), small), BmpFault::TooLarge);
  small = {};
  small.maxWidth = 3;
  EXPECT_EQ(faultOf(bmpFile({.width = 4, .height = 1}, {}, {0}), small), BmpFault::TooLarge);
}

TEST(Bmp, GivesHeaderFactsWithoutPixels) {
  auto file = bmpFile({.width = 7, .height = -3, .bits = 8, .colorsUsed = 16}, greyTable(16), {});
  const BmpHeader h = readBmpHeader(file);
  EXPECT_EQ(h.fileSize, file.size());
  EXPECT_EQ(h.headerSize, 40u);
  EXPECT_EQ(h.width, 7);
  EXPECT_EQ(h.height, -3);
  EXPECT_EQ(h.bitCount, 8);
  EXPECT_EQ(h.colorsUsed, 16u);
  EXPECT_EQ(h.compression, kBmpRgb);
  EXPECT_FALSE(h.os2);
  EXPECT_EQ(faultOf(file), BmpFault::Truncated);  // no pixels to decode
  EXPECT_THROW(readBmpHeader({}), BmpError);
}

TEST(Bmp, WritesDibsAsWindowsDoes) {
  Dib d565(3, 2, 16, true);
  const auto bytes = writeBmp(d565);
  const Le expected = Le().u8({'B', 'M'})
                          .u32(14 + 40 + 12 + 16)
                          .u32(0)
                          .u32(66)
                          .u32(40)
                          .u32(3)
                          .u32(2)
                          .u16(1)
                          .u16(16)
                          .u32(3)
                          .u32(16)
                          .zeros(16)
                          .u32(0xf800)
                          .u32(0x07e0)
                          .u32(0x001f)
                          .zeros(16);
  EXPECT_EQ(bytes, expected.b);

  // A short table is written as it is, with its count as colours used.
  Dib pal(2, 1, 8);
  pal.colors().resize(5);
  const auto p = writeBmp(pal);
  EXPECT_EQ(p.size(), 14u + 40 + 5 * 4 + 4);
  EXPECT_EQ(readBmpHeader(p).colorsUsed, 5u);
  EXPECT_EQ(readBmpHeader(p).pixelOffset, 14u + 40 + 20);
  // A full table has colours used 0; an empty one is written as a full black table.
  EXPECT_EQ(readBmpHeader(writeBmp(Dib(1, 1, 4))).colorsUsed, 0u);
  Dib bare(1, 1, 1);
  bare.colors().clear();
  EXPECT_EQ(readBmpHeader(writeBmp(bare)).pixelOffset, 14u + 40 + 8);
  EXPECT_THROW(writeBmp(Dib()), std::invalid_argument);
}

Dib pattern(int bits, bool rgb565 = false) {
  Dib dib(13, 5, bits, rgb565);
  if (dib.isIndexed()) {
    for (std::size_t i = 0; i < dib.colors().size(); ++i)
      dib.colors()[i] = toQuad(rgb(std::uint8_t(i * 37), std::uint8_t(255 - i), std::uint8_t(i * 11)));
  }
  for (int y = 0; y < dib.height(); ++y)
    for (int x = 0; x < dib.width(); ++x)
      if (dib.isIndexed())
        dib.setIndex(x, y, unsigned(x * 7 + y * 3) % unsigned(dib.colors().size()));
      else
        dib.setPixel(x, y, rgb(std::uint8_t(x * 19), std::uint8_t(y * 50), std::uint8_t(x * y * 3)));
  return dib;
}

TEST(Bmp, WrittenFilesReadBackIdentically) {
  for (const auto& [bits, rgb565] :
       {std::pair{1, false}, {4, false}, {8, false}, {16, false}, {16, true}, {24, false}, {32, false}}) {
    const Dib dib = pattern(bits, rgb565);
    EXPECT_EQ(readBmp(writeBmp(dib)).dib, dib) << bits;
    EXPECT_EQ(readPackedDib(writePackedDib(dib)).dib, dib) << bits;
  }
}

// ImageMagick, where installed, decodes to 8-bit RGB triples; empty if absent or failed.
std::vector<std::uint8_t> decodeWithImageMagick(const std::filesystem::path& file) {
  if (!std::filesystem::exists("/usr/bin/convert")) return {};
  const std::string command = "/usr/bin/convert '" + file.string() + "' -alpha off -depth 8 rgb:- 2>/dev/null";
  std::vector<std::uint8_t> out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    std::uint8_t buffer[65536];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.insert(out.end(), buffer, buffer + n);
    if (pclose(pipe) != 0) out.clear();
  }
  return out;
}

std::vector<std::uint8_t> rgbOf(const Dib& dib) {
  std::vector<std::uint8_t> out;
  for (int y = 0; y < dib.height(); ++y)
    for (int x = 0; x < dib.width(); ++x) {
      const Color c = dib.pixel(x, y);
      out.insert(out.end(), {redOf(c), greenOf(c), blueOf(c)});
    }
  return out;
}

TEST(Bmp, AnotherDecoderReadsWhatWeWrite) {
  if (!std::filesystem::exists("/usr/bin/convert")) GTEST_SKIP() << "ImageMagick is not installed";
  test::TempDir dir;
  for (const auto& [bits, rgb565] :
       {std::pair{1, false}, {4, false}, {8, false}, {16, false}, {16, true}, {24, false}, {32, false}}) {
    const Dib dib = pattern(bits, rgb565);
    const auto path = dir / ("w" + std::to_string(bits) + (rgb565 ? "565" : "") + ".bmp");
    test::writeBytes(path, writeBmp(dib));
    EXPECT_EQ(decodeWithImageMagick(path), rgbOf(dib)) << bits;
  }
}

// The shared sample corpus: valid files show as ImageMagick shows them (where
// it reads them right), questionable ones load or fail cleanly, bad ones
// never crash.
TEST(BmpCorpus, SampleFilesLoadOrFailCleanly) {
  if (!test::haveTestdata()) GTEST_SKIP() << "sample corpus not present";
  const auto root = test::testdata("bmp");
  int loaded = 0, refused = 0, compared = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const auto path = entry.path();
    const std::string rel = std::filesystem::relative(path, root).string();
    const auto bytes = test::readBytes(path);
    const bool packed = path.extension() == ".dib";
    try {
      const BmpImage image = packed ? readPackedDib(bytes) : readBmp(bytes);
      ++loaded;
      if (rel.starts_with("bmpsuite/g/")) {
        EXPECT_FALSE(image.truncated) << rel;
        const auto expected = decodeWithImageMagick(path);
        if (!expected.empty()) {
          EXPECT_EQ(rgbOf(image.dib), expected) << rel;
          ++compared;
        }
      }
    } catch (const BmpError& e) {
      ++refused;
      EXPECT_FALSE(rel.starts_with("bmpsuite/g/")) << rel << ": " << e.what();
    }
  }
  EXPECT_GT(loaded, 50);
  RecordProperty("loaded", loaded);
  RecordProperty("refused", refused);
  RecordProperty("compared", compared);
}

// Files of the corpus that ImageMagick misreads or cannot read: each is the
// same picture as a reference file, as the suite intends.
TEST(BmpCorpus, VariantsShowTheSamePictureAsTheirReference) {
  if (!test::haveTestdata()) GTEST_SKIP() << "sample corpus not present";
  const auto load = [](const std::string& rel) { return readBmp(test::readBytes(test::testdata("bmp/" + rel))); };
  const auto pal8 = rgbOf(load("bmpsuite/g/pal8.bmp").dib);
  for (const char* rel : {"bmpsuite/q/pal8os2v2.bmp", "bmpsuite/q/pal8os2v2-16.bmp", "bmpsuite/q/pal8oversizepal.bmp",
                          "bmpsuite/q/rgb24rle24.bmp", "bmpsuite/x/ba-bm.bmp", "bmpsuite/q/pal8os2sp.bmp"})
    EXPECT_EQ(rgbOf(load(rel).dib), pal8) << rel;
  // Ten bits per channel come within one step of the 24-bit picture.
  const auto rgb24 = rgbOf(load("bmpsuite/g/rgb24.bmp").dib);
  const auto deep = rgbOf(load("bmpsuite/q/rgb32-111110.bmp").dib);
  ASSERT_EQ(deep.size(), rgb24.size());
  for (std::size_t i = 0; i < deep.size(); ++i) ASSERT_LE(std::abs(deep[i] - rgb24[i]), 1) << i;
  // A file cut short shows what is there and says the rest is missing.
  EXPECT_TRUE(load("bmpsuite/b/shortfile.bmp").truncated);
}

}  // namespace
}  // namespace pelindra
