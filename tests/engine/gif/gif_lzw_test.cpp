// LZW decoding and the two encoders.

#include "engine/gif/gif_lzw.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "engine/gif/gif_image.h"
#include "tests/engine/gif/gif_test_util.h"
#include "tests/engine/gif/giflib_oracle.h"

namespace pelindra::test {
namespace {

// A picture of one frame with a global table of `colors` entries.
std::unique_ptr<TGIFImage> OneFrame(int width, int height, int colors, const std::vector<std::uint8_t>& pixels,
                                    bool interlaced = false) {
  auto image = std::make_unique<TGIFImage>();
  std::vector<std::uint8_t> rgb(std::size_t(colors) * 3);
  for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = std::uint8_t(i * 7);
  image->GlobalColors().SetRaw(rgb.data(), colors);
  auto frame = std::make_unique<TGIFSubImage>(image.get());
  frame->SetBounds(0, 0, width, height);
  frame->PixelData() = pixels;
  frame->SetInterlaced(interlaced);
  image->AddFrame(std::move(frame));
  return image;
}

// The image data part of a written one-frame GIF (after descriptor and tables).
Bytes ImageData(const Bytes& gif, int colors) {
  const std::size_t at = 13 + std::size_t(1 << BitsForColors(colors)) * 3 + 10;
  return Bytes(gif.begin() + std::ptrdiff_t(at), gif.end() - 1);
}

// The encoder's algorithm written plainly (an ordered map for the string table).
Bytes ReferenceLzw(const std::vector<std::uint8_t>& pixels, int bits) {
  const int size = std::max(bits, 2), clear = 1 << size, end = clear + 1;
  int width = size + 1, largest = (1 << width) - 1, next = clear + 2;
  bool cleared = false;
  std::map<int, int> table;
  std::vector<std::pair<int, int>> codes;
  auto emit = [&](int code) {
    codes.push_back({code, width});
    if (cleared) {
      width = size + 1, largest = (1 << width) - 1, cleared = false;
    } else if (next > largest) {
      ++width;
      largest = width == 12 ? 4096 : (1 << width) - 1;
    }
  };
  auto emitClear = [&] {
    cleared = true;
    emit(clear);
    table.clear();
    next = clear + 2;
  };
  emitClear();
  int prefix = pixels[0];
  for (std::size_t i = 1; i < pixels.size(); ++i) {
    const int key = prefix << 8 | pixels[i];
    if (auto it = table.find(key); it != table.end()) {
      prefix = it->second;
      continue;
    }
    emit(prefix);
    prefix = pixels[i];
    if (next >= 4095)
      emitClear();
    else
      table[key] = next++;
  }
  emit(prefix);
  emit(end);
  Bytes out{std::uint8_t(size)};
  const Bytes blocks = SubBlocks(PackCodes(codes));
  out.insert(out.end(), blocks.begin(), blocks.end());
  return out;
}

TEST(GifLzw, EncoderOutputIsTheSpecifiedStream) {
  // Worked by hand: clear 4, literal 0, new string 6 (0 0), 0 at width 3, then
  // the width grows and the end code 5 goes out at 4 bits.
  auto image = OneFrame(4, 1, 2, {0, 0, 0, 0});
  const Bytes fixture = {'G', 'I',  'F', '8', '7', 'a', 4, 0, 1, 0, 0x80, 0, 0, 0,    7,    14, 21,  28,
                         35,  0x2C, 0,   0,   0,   0,   4, 0, 1, 0, 0,    2, 2, 0x84, 0x51, 0,  0x3B};
  EXPECT_EQ(image->SaveToBytes(), fixture);

  // Larger frames, past the 4095-code clear, against the plain algorithm.
  std::mt19937 random(7);
  for (int colors : {2, 16, 256}) {
    std::vector<std::uint8_t> pixels(300 * 200);
    for (auto& p : pixels) p = std::uint8_t(random() % std::uint32_t(colors) / (random() % 3 + 1));
    auto big = OneFrame(300, 200, colors, pixels);
    EXPECT_EQ(ImageData(big->SaveToBytes(), colors), ReferenceLzw(pixels, BitsForColors(colors))) << colors;
  }
}

TEST(GifLzw, BothEncodersAreReadBackByGiflib) {
  std::mt19937 random(3);
  struct Case {
    const char* name;
    int width, height, colors;
    int runLength;  // average run of equal pixels
    bool interlaced;
  };
  const Case cases[] = {{"uniform", 640, 480, 2, 1 << 30, false}, {"noise", 97, 61, 256, 1, false},
                        {"runs", 500, 300, 16, 40, true},         {"one pixel", 1, 1, 2, 1, false},
                        {"long runs", 2000, 900, 4, 5000, false}, {"interlaced 3 rows", 5, 3, 8, 2, true}};
  for (const Case& c : cases) {
    std::vector<std::uint8_t> pixels(std::size_t(c.width) * std::size_t(c.height));
    std::uint8_t value = 0;
    for (auto& p : pixels) {
      if (random() % std::uint32_t(c.runLength) == 0) value = std::uint8_t(random() % std::uint32_t(c.colors));
      p = value;
    }
    for (TGIFEncoding encoding : {TGIFEncoding::LzwTable, TGIFEncoding::RunLength}) {
      SCOPED_TRACE(std::string(c.name) + (encoding == TGIFEncoding::RunLength ? " RLE" : " LZW"));
      auto image = OneFrame(c.width, c.height, c.colors, pixels, c.interlaced);
      image->Encoding = encoding;
      const Bytes out = image->SaveToBytes();
      const OracleGif theirs = DecodeWithGiflib(out);
      ASSERT_TRUE(theirs.ok);
      ASSERT_EQ(theirs.frames.size(), 1u);
      EXPECT_EQ(theirs.frames[0].interlace, c.interlaced);
      EXPECT_EQ(theirs.frames[0].pixels, pixels);
      TGIFImage back;
      EXPECT_EQ(LoadCollecting(back, out).warnings, std::vector<std::string>{});
      EXPECT_EQ(back.FrameAt(0)->PixelData(), pixels);
    }
  }
}

TEST(GifLzw, InterlacedRowsGoOutInPassOrder) {
  // Rows 0, 2, 1 of a 3-row frame: each row is one colour, so the decoded
  // stream in file order shows the pass order.
  auto image = OneFrame(2, 3, 4, {0, 0, 1, 1, 2, 2}, true);
  const Bytes out = image->SaveToBytes();
  TGIFImage plain;
  Bytes flipped = out;
  flipped[13 + 12 + 9] &= ~0x40;  // read the same data as non-interlaced
  ASSERT_EQ(LoadCollecting(plain, flipped).error, "");
  EXPECT_EQ(plain.FrameAt(0)->PixelData(), (std::vector<std::uint8_t>{0, 0, 2, 2, 1, 1}));
}

TEST(GifLzw, EmptyFrameEncodesEndCodeOnly) {
  TGIFSubImage frame(nullptr);
  GIFByteStream stream;
  EncodeFrame(frame, stream);
  // Code size 2, one sub-block holding the end code 5 at 3 bits, terminator.
  EXPECT_EQ(stream.Bytes(), (Bytes{2, 1, 5, 0}));
}

TEST(GifLzw, PixelOutsideTheTableIsRefused) {
  auto image = OneFrame(2, 1, 2, {0, 3});
  EXPECT_THROW(
      {
        try {
          image->SaveToBytes();
        } catch (const GIFException& e) {
          EXPECT_STREQ(e.what(), "Color not in color table");
          throw;
        }
      },
      GIFException);
}

TEST(GifLzw, RunTriangleAndIntegerSqrt) {
  for (std::int64_t n : {0, 1, 2, 3, 15, 16, 17, 99, 100, 1000000, 999999999}) {
    const std::int64_t r = IntegerSqrt(n);
    EXPECT_LE(r * r, n) << n;
    EXPECT_GT((r + 1) * (r + 1), n) << n;
  }
  // 1 + 2 + 3 = 6 pixels take three codes from a fresh table; 7 take four.
  EXPECT_EQ(RunTriangle(6, 100), 3);
  EXPECT_EQ(RunTriangle(7, 100), 4);
  EXPECT_EQ(RunTriangle(10 + 10, 4), 4 + 4);
}

struct DecodeCase {
  const char* name;
  Bytes data;  // image data after a 4x1 descriptor, global table of 4
  std::vector<std::uint8_t> pixels;
  std::vector<std::string> warnings;
};

TEST(GifLzw, DecoderEdgeCases) {
  const int c3 = 3;  // code width of code size 2
  const DecodeCase cases[] = {
      {"code size 1",
       Bytes{1} + SubBlocks(PackCodes({{2, 2}, {0, 2}, {1, 2}, {1, 3}, {0, 3}, {3, 3}})),
       {0, 1, 1, 0},
       {}},
      {"no leading clear",
       Bytes{2} + SubBlocks(PackCodes({{1, c3}, {2, c3}, {3, c3}, {0, 4}, {5, 4}})),
       {1, 2, 3, 0},
       {}},
      {"sub-block cut short",
       Bytes{2, 2} + Head(PackCodes({{4, c3}, {1, c3}, {2, c3}}), 1),
       {1, 0, 0, 0},
       {"Premature end of data"}},
      {"ends without terminator", Bytes{2, 2} + PackCodes({{4, c3}, {1, c3}, {2, c3}}), {1, 2, 0, 0}, {}},
      {"terminator without end code",
       Bytes{2} + SubBlocks(PackCodes({{4, c3}, {1, c3}, {2, c3}})),
       {1, 2, 0, 0},
       {"Decoder bit buffer under-run"}},
      {"clear then end", Bytes{2} + SubBlocks(PackCodes({{4, c3}, {5, c3}})), {0, 0, 0, 0}, {}},
      {"data after the pixels",
       Bytes{2} + SubBlocks(PackCodes({{4, c3}, {1, c3}, {1, c3}, {1, c3}, {1, 4}, {2, 4}, {2, 4}, {5, 4}}), 1),
       {1, 1, 1, 1},
       {}},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    GifBuilder gif;
    gif.Header(4, 1, 4).Raw({0x2C, 0, 0, 0, 0, 4, 0, 1, 0, 0}).Append(c.data);
    TGIFImage image;
    const Loaded loaded = LoadCollecting(image, gif.bytes);
    EXPECT_EQ(loaded.error, "");
    ASSERT_EQ(image.FrameCount(), 1);
    EXPECT_EQ(image.FrameAt(0)->PixelData(), c.pixels);
    EXPECT_EQ(loaded.warnings, c.warnings);
  }
}

}  // namespace
}  // namespace pelindra::test
