#include "engine/base/metafile_check.h"

#include <gtest/gtest.h>

#include <cstring>

namespace pelindra {
namespace {

// Little builders for the two record formats.
struct Bytes {
  std::vector<std::uint8_t> v;
  Bytes& u16(std::uint32_t x) {
    v.push_back(std::uint8_t(x)), v.push_back(std::uint8_t(x >> 8));
    return *this;
  }
  Bytes& u32(std::uint32_t x) { return u16(x & 0xFFFF).u16(x >> 16); }
  Bytes& zeros(std::size_t n) {
    v.insert(v.end(), n, 0);
    return *this;
  }
};

// An enhanced metafile header of 88 bytes with `handles` object slots.
Bytes emfHeader(std::uint32_t handles = 2) {
  Bytes b;
  b.u32(1).u32(88).zeros(16).u32(0).u32(0).u32(1000).u32(1000);  // type, size, bounds, frame
  b.u32(0x464D4520).u32(0x10000).u32(0).u32(0).u16(handles).u16(0);
  b.u32(0).u32(0).u32(0).u32(1024).u32(768).u32(320).u32(240);
  return b;
}
void emfRecord(Bytes& b, std::uint32_t type, const Bytes& body) {
  b.u32(type).u32(std::uint32_t(8 + body.v.size()));
  b.v.insert(b.v.end(), body.v.begin(), body.v.end());
}
void emfEnd(Bytes& b) { emfRecord(b, 14, Bytes().u32(0).u32(16).u32(20)); }

Bytes polyline16(std::uint32_t claimed, std::uint32_t present) {
  Bytes body;
  body.zeros(16).u32(claimed);
  for (std::uint32_t i = 0; i < present; ++i) body.u16(i).u16(i);
  return body;
}

TEST(MetafileCheck, SoundEnhancedMetafilePassesUnchanged) {
  Bytes b = emfHeader();
  emfRecord(b, 87, polyline16(3, 3));
  emfRecord(b, 38, Bytes().u32(1).zeros(16));  // CreatePen into slot 1
  emfRecord(b, 37, Bytes().u32(1));            // SelectObject 1
  emfRecord(b, 37, Bytes().u32(0x80000007));   // a stock object
  emfEnd(b);
  // Header length and record count as a writer would have set them.
  const std::uint32_t size = std::uint32_t(b.v.size()), records = 6;
  std::memcpy(b.v.data() + 48, &size, 4);
  std::memcpy(b.v.data() + 52, &records, 4);
  const auto checked = checkEnhancedMetafile(b.v);
  EXPECT_EQ(checked.bytes, b.v);
  EXPECT_EQ(checked.droppedRecords, 0u);
  EXPECT_FALSE(checked.truncated);
}

TEST(MetafileCheck, DamagedEnhancedRecordsAreLeftOut) {
  struct Case {
    const char* name;
    std::uint32_t type;
    Bytes body;
  };
  const Case cases[] = {
      {"points beyond the record", 87, polyline16(1000, 3)},
      {"pen into a slot beyond the table", 38, Bytes().u32(7).zeros(16)},
      {"select of a slot beyond the table", 37, Bytes().u32(2)},
      {"record shorter than its fields", 42, Bytes().zeros(4)},
      {"text beyond the record", 84, Bytes().zeros(36).u32(500).u32(76).zeros(24)},
      {"comment longer than the record", 70, Bytes().u32(4000)},
      {"bitmap bits cut short", 81,
       Bytes()
           .zeros(40)
           .u32(80)
           .u32(40)
           .u32(120)
           .u32(4)
           .zeros(16)
           .u32(40)
           .u32(10)
           .u32(10)
           .u16(1)
           .u16(24)
           .zeros(24)  // 10 x 10 at 24 bits needs 400 bytes
           .zeros(4)},
      {"second header", 1, Bytes().zeros(80)},
  };
  for (const auto& c : cases) {
    Bytes b = emfHeader();
    emfRecord(b, 87, polyline16(2, 2));
    emfRecord(b, c.type, c.body);
    emfEnd(b);
    const auto checked = checkEnhancedMetafile(b.v);
    EXPECT_EQ(checked.droppedRecords, 1u) << c.name;
    // The sound records are kept and the header counts what is left.
    std::uint32_t bytes = 0, records = 0;
    std::memcpy(&bytes, checked.bytes.data() + 48, 4);
    std::memcpy(&records, checked.bytes.data() + 52, 4);
    EXPECT_EQ(bytes, checked.bytes.size()) << c.name;
    EXPECT_EQ(records, 3u) << c.name;
  }
}

TEST(MetafileCheck, TruncatedEnhancedMetafileIsClosed) {
  Bytes b = emfHeader();
  emfRecord(b, 87, polyline16(2, 2));
  emfRecord(b, 87, polyline16(2, 2));
  emfEnd(b);
  const std::vector<std::uint8_t> cut(b.v.begin(), b.v.end() - 30);  // inside the second polyline
  const auto checked = checkEnhancedMetafile(cut);
  EXPECT_TRUE(checked.truncated);
  ASSERT_EQ(checked.bytes.size(), 88u + 36u + 20u);
  EXPECT_EQ(checked.bytes[88 + 36], 14);  // the end record follows the whole one
}

TEST(MetafileCheck, UnusableHeadersAreRefused) {
  const auto refuse = [](std::vector<std::uint8_t> bytes, const char* name) {
    EXPECT_THROW(checkEnhancedMetafile(bytes), MetafileError) << name;
  };
  refuse({}, "empty");
  Bytes shortHeader = emfHeader();
  shortHeader.v.resize(60);
  refuse(shortHeader.v, "short header");
  Bytes badSize = emfHeader();
  badSize.v[4] = 200;  // header longer than the file
  refuse(badSize.v, "header size");
  Bytes description = emfHeader();
  description.v[60] = 100, description.v[64] = 88;  // 100 characters at the header's end
  emfEnd(description);
  refuse(description.v, "description outside the header");
  refuse(emfHeader().v, "no records at all");
}

Bytes wmfHeader(std::uint16_t objects) {
  Bytes b;
  b.u16(1).u16(9).u16(0x300).u32(0).u16(objects).u32(0).u16(0);
  return b;
}
void wmfRecord(Bytes& b, std::uint16_t function, const std::vector<std::uint16_t>& params) {
  b.u32(std::uint32_t(3 + params.size())).u16(function);
  for (auto p : params) b.u16(p);
}

TEST(MetafileCheck, WindowsMetafileRecords) {
  Bytes b = wmfHeader(1);
  wmfRecord(b, 0x02FC, {0, 0, 0, 0});     // CreateBrushIndirect
  wmfRecord(b, 0x012D, {0});              // SelectObject 0
  wmfRecord(b, 0x0324, {2, 0, 0, 5, 5});  // Polygon of 2 points
  wmfRecord(b, 0, {});
  const auto sound = checkWindowsMetafile(b.v);
  EXPECT_EQ(sound.droppedRecords, 0u);
  EXPECT_EQ(sound.bytes.size(), b.v.size());

  Bytes bad = wmfHeader(1);
  wmfRecord(bad, 0x02FB, {1});                 // CreateFontIndirect without its font
  wmfRecord(bad, 0x012D, {5});                 // SelectObject beyond the table
  wmfRecord(bad, 0x0324, {200, 0, 0});         // Polygon claiming 200 points
  wmfRecord(bad, 0x0521, {40, 0x4142, 0, 0});  // TextOut of 40 characters
  wmfRecord(bad, 0x01F0, {0});                 // DeleteObject 0: fine
  wmfRecord(bad, 0, {});
  const auto checked = checkWindowsMetafile(bad.v);
  EXPECT_EQ(checked.droppedRecords, 4u);
  // The font record became an empty brush, so object 0 still exists for the delete.
  ASSERT_GE(checked.bytes.size(), 18u + 14u);
  EXPECT_EQ(checked.bytes[18 + 4], 0xFC);
  EXPECT_EQ(checked.bytes[18 + 6], 1);  // BS_NULL
  EXPECT_EQ(checked.bytes.size(), 18u + 14u + 8u + 6u);
}

TEST(MetafileCheck, WindowsMetafileWithoutEndIsClosed) {
  Bytes b = wmfHeader(0);
  wmfRecord(b, 0x0213, {1, 1});  // LineTo
  b.u32(50).u16(0x0325);         // a record cut short
  const auto checked = checkWindowsMetafile(b.v);
  EXPECT_TRUE(checked.truncated);
  EXPECT_EQ(checked.bytes.size(), 18u + 10u + 6u);
  std::uint32_t words = 0;
  std::memcpy(&words, checked.bytes.data() + 6, 4);
  EXPECT_EQ(words * 2, checked.bytes.size());
}

TEST(MetafileCheck, PlaceableHeader) {
  PlaceableHeader h;
  h.right = 640, h.bottom = 480, h.inch = 1440;
  const auto bytes = writePlaceableHeader(h);
  ASSERT_EQ(bytes.size(), 22u);
  std::uint16_t sum = 0;
  for (int i = 0; i < 10; ++i) sum ^= std::uint16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
  EXPECT_EQ(sum, bytes[20] | bytes[21] << 8);
  EXPECT_EQ(detectMetafile(bytes), MetafileKind::Placeable);
  const auto back = readPlaceableHeader(bytes);
  EXPECT_EQ(back.right, 640);
  EXPECT_EQ(back.inch, 1440);
  // A wrong checksum is tolerated; a missing unit or an empty box is not.
  auto wrongSum = bytes;
  wrongSum[20] ^= 1;
  EXPECT_NO_THROW(readPlaceableHeader(wrongSum));
  h.inch = 0;
  EXPECT_THROW(readPlaceableHeader(writePlaceableHeader(h)), MetafileError);
  h.inch = 96, h.right = 0;
  EXPECT_THROW(readPlaceableHeader(writePlaceableHeader(h)), MetafileError);
}

}  // namespace
}  // namespace pelindra
