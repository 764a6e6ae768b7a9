#include "engine/wpg/wpg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "engine/base/bmp.h"
#include "engine/canvas/recording_canvas.h"
#include "tests/engine/support/test_support.h"

namespace pelindra {
namespace {

// A version 1 file made of the given records (type, body).
std::vector<std::uint8_t> wpg(const std::vector<std::pair<int, std::vector<std::uint8_t>>>& records) {
  std::vector<std::uint8_t> b = {0xFF, 'W', 'P', 'C', 16, 0, 0, 0, 1, 0x16, 1, 0, 0, 0, 0, 0};
  for (const auto& [type, body] : records) {
    b.push_back(std::uint8_t(type));
    if (body.size() < 0xFF) {
      b.push_back(std::uint8_t(body.size()));
    } else {
      b.insert(b.end(), {0xFF, std::uint8_t(body.size()), std::uint8_t(body.size() >> 8)});
    }
    b.insert(b.end(), body.begin(), body.end());
  }
  b.insert(b.end(), {0x10, 0});
  return b;
}

std::vector<std::uint8_t> le16(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
  return out;
}

std::vector<std::uint8_t> fromBase64(const std::string& text) {
  static const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<std::uint8_t> out;
  unsigned acc = 0;
  int bits = 0;
  for (char c : text) {
    const auto v = digits.find(c);
    if (v == std::string::npos) continue;
    acc = acc << 6 | unsigned(v);
    if ((bits += 6) >= 8) out.push_back(std::uint8_t(acc >> (bits -= 8)));
  }
  return out;
}

// The texts between each start marker and the next end marker.
std::vector<std::string> between(const std::string& text, const std::string& start, const std::string& end) {
  std::vector<std::string> out;
  for (std::size_t at = text.find(start); at != std::string::npos; at = text.find(start, at)) {
    at += start.size();
    const auto stop = text.find(end, at);
    if (stop == std::string::npos) break;
    out.push_back(text.substr(at, stop - at));
    at = stop;
  }
  return out;
}

TEST(ReadWpg, ShapesWithTheirAttributes) {
  auto colours = le16({14, 1});
  colours.insert(colours.end(), {10, 20, 30});
  const auto file = wpg({{0x0F, le16({1, 2400, 1200})},
                         {0x0E, colours},
                         {0x01, {1, 14}},
                         {0x02, {1, 4, 12, 0}},
                         {0x08, le16({3, 0, 0, 1200, 0, 600, 1200})},
                         {0x01, {0, 0}},
                         {0x09, le16({1200, 600, 300, 200, 0, 0, 360, 0})}});
  const WpgPicture p = ReadWpg(file);
  EXPECT_EQ(p.width, 2400);
  EXPECT_EQ(p.height, 1200);
  ASSERT_EQ(p.items.size(), 2u);
  EXPECT_EQ(p.items[0].kind, WpgItem::Kind::Polygon);
  EXPECT_EQ(p.items[0].points, (std::vector<Point>{{0, 0}, {1200, 0}, {600, 1200}}));
  EXPECT_EQ(p.items[0].brush, rgb(10, 20, 30));  // colour 14 from the colour map
  EXPECT_FALSE(p.items[0].noBrush);
  EXPECT_EQ(p.items[0].penWidth, 12);
  EXPECT_TRUE(p.items[1].noBrush);

  RecordingCanvas canvas;
  DrawWpg(p, canvas, 240, 120);
  ASSERT_EQ(canvas.ops().size(), 2u);
  // y points up in the file and down on the canvas.
  EXPECT_EQ(canvas.ops()[0].points, (std::vector<Point>{{0, 120}, {120, 120}, {60, 0}}));
  EXPECT_EQ(canvas.ops()[1].box, (Rect{90, 40, 150, 80}));
}

TEST(ReadWpg, BitmapRunsAndRepeatedLines) {
  // 8 x 3 pixels, 1 bit: a literal byte, a run of 0xFF, then the line twice more.
  std::vector<std::uint8_t> body = le16({8, 3, 1, 75, 75});
  body.insert(body.end(), {0x01, 0xA5, 0x00, 0x01, 0x80, 0x01});
  auto map = le16({0, 2});
  map.insert(map.end(), {9, 9, 9, 255, 255, 87});  // not used: two colours are black and white
  const WpgPicture p = ReadWpg(wpg({{0x0F, le16({1, 128, 48})}, {0x0E, map}, {0x0B, body}}));
  ASSERT_EQ(p.items.size(), 1u);
  const Dib& d = p.items[0].bitmap;
  ASSERT_EQ(d.width(), 8);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(d.pixel(x, y), (y < 2 && (0xA5 >> (7 - x) & 1)) || y == 2 ? rgb(255, 255, 255) : rgb(0, 0, 0))
          << x << "," << y;
}

TEST(ReadWpg, Version2Bitmaps) {
  std::vector<std::uint8_t> b = {0xFF, 'W', 'P', 'C', 16, 0, 0, 0, 1, 0x16, 2, 0, 0, 0, 0, 0};
  auto add = [&](int type, std::vector<std::uint8_t> body) {
    b.insert(b.end(), {4, std::uint8_t(type), 0, std::uint8_t(body.size())});
    b.insert(b.end(), body.begin(), body.end());
  };
  auto start = le16({1200, 1200});
  start.push_back(0);
  for (auto part : {le16({0, 0, 4, 2}), le16({0, 0, 4, 2, 0})}) start.insert(start.end(), part.begin(), part.end());
  add(0x01, start);
  auto palette = le16({0, 2});
  palette.insert(palette.end(), {0, 0, 0, 0, 200, 100, 50, 0});
  add(0x0C, palette);
  add(0x1B, le16({0, 0, 0, 4, 2, 75, 75}));
  auto image = le16({4, 2});
  image.insert(image.end(), {4, 0, 0, 1, 1, 0, 1, 1, 1, 1});  // 8 bits a pixel, not compressed
  add(0x0E, image);
  add(0x02, {});
  const WpgPicture p = ReadWpg(b);
  EXPECT_EQ(p.version, 2);
  EXPECT_EQ(p.width, 4);
  ASSERT_EQ(p.items.size(), 1u);
  const Dib& d = p.items[0].bitmap;
  EXPECT_EQ(d.pixel(0, 0), rgb(0, 0, 0));
  EXPECT_EQ(d.pixel(1, 0), rgb(200, 100, 50));
  EXPECT_EQ(d.pixel(2, 1), rgb(200, 100, 50));

  b[b.size() - 4 - 14 + 5] = 2;  // a coding that is not known
  EXPECT_THROW(ReadWpg(b), WpgError);

  // Runs: a unit of one byte, two zero bytes, two bytes as they are, then
  // that line twice more.
  b.resize(b.size() - 4 - 14 - 4);
  auto runs = le16({32, 3});
  runs.insert(runs.end(), {1, 1, 0x7D, 1, 0x7F, 1, 0x01, 0x3F, 0xFF, 0xFE, 2});
  add(0x0E, runs);
  add(0x02, {});
  const Dib bits = ReadWpg(b).items.at(0).bitmap;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 32; ++x) EXPECT_EQ(bits.index(x, y), x >= 18 ? 1u : 0u) << x << "," << y;
}

TEST(ReadWpg, RefusesDamagedAndForeignFiles) {
  EXPECT_THROW(ReadWpg(std::vector<std::uint8_t>(20, 0)), WpgError);
  auto v2 = wpg({});
  v2[10] = 2;
  EXPECT_THROW(ReadWpg(v2), WpgError);
  auto cut = wpg({{0x08, le16({3, 0, 0, 1200, 0, 600, 1200})}});
  cut[17] = 200;  // the polygon claims more bytes than the file has
  EXPECT_THROW(ReadWpg(cut), WpgError);
  EXPECT_THROW(ReadWpg(wpg({{0x08, le16({1000, 0, 0})}})), WpgError);
  WpgLimits small;
  small.maxBitmapPixels = 100;
  EXPECT_THROW(ReadWpg(wpg({{0x0B, le16({100, 100, 8, 75, 75})}}), small), WpgError);
}

// The version 1 files of the corpus against libwpg's wpg2svg: the same
// polygon corners, and bitmaps with the same pixels.
TEST(ReadWpg, CorpusMatchesTheOracle) {
  if (!test::haveTestdata()) GTEST_SKIP() << "sample corpus not present";
  const bool haveOracle = std::system("command -v wpg2svg >/dev/null 2>&1") == 0;
  test::TempDir dir;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(test::testdata("wpg"))) {
    if (!entry.is_regular_file()) continue;
    SCOPED_TRACE(entry.path().filename().string());
    const auto bytes = test::readBytes(entry.path());
    WpgPicture p;
    try {
      p = ReadWpg(bytes);
    } catch (const WpgError& e) {
      EXPECT_EQ(bytes[10], 2) << e.what();  // only version 2 is refused
      continue;
    }
    if (!haveOracle) continue;
    const auto svgPath = dir / "oracle.svg";
    ASSERT_EQ(std::system(("wpg2svg '" + entry.path().string() + "' > " + svgPath.string() + " 2>/dev/null").c_str()),
              0);
    const auto svgBytes = test::readBytes(svgPath);
    const std::string svg(svgBytes.begin(), svgBytes.end());
    std::vector<double> theirs;
    for (const std::string& pts : between(svg, "<polygon points=\"", "\"")) {
      std::istringstream in(pts);
      for (double v; in >> v; in.ignore(1)) theirs.push_back(v);
    }
    std::vector<double> ours;
    for (const auto& item : p.items)
      if (item.kind == WpgItem::Kind::Polygon)
        for (Point pt : item.points) ours.insert(ours.end(), {pt.x * 0.06, (p.height - pt.y) * 0.06});
    ASSERT_EQ(ours.size(), theirs.size());
    for (std::size_t i = 0; i < ours.size(); ++i) EXPECT_NEAR(ours[i], theirs[i], 0.01);
    // The oracle embeds each bitmap as a BMP in base64.
    std::vector<const WpgItem*> bitmaps;
    for (const auto& item : p.items)
      if (item.kind == WpgItem::Kind::Bitmap) bitmaps.push_back(&item);
    std::size_t k = 0;
    for (const std::string& encoded : between(svg, "base64,", "\"")) {
      ASSERT_LT(k, bitmaps.size());
      const Dib ref = readBmp(fromBase64(encoded)).dib;
      const Dib& mine = bitmaps[k]->bitmap;
      ASSERT_EQ(ref.width(), mine.width());
      ASSERT_EQ(ref.height(), mine.height());
      for (int y = 0; y < ref.height(); ++y)
        for (int x = 0; x < ref.width(); ++x) ASSERT_EQ(ref.pixel(x, y) & 0xFFFFFF, mine.pixel(x, y)) << x << "," << y;
      ++k;
    }
    EXPECT_EQ(k, bitmaps.size());
  }
}

}  // namespace
}  // namespace pelindra
