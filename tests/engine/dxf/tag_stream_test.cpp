#include <gtest/gtest.h>

#include "engine/dxf/dxf_tag_stream.h"
#include "engine/dxf/group_codes.h"

namespace pelindra {
namespace {

struct Stream {
  std::vector<std::uint8_t> bytes;
  DXF_Tag_Stream tags;
  explicit Stream(const std::string& s) : bytes(s.begin(), s.end()), tags(std::make_unique<DXF_Memory_Source>(bytes)) {}
};

TEST(TagStream, CodeLines) {
  struct Case {
    const char* text;
    int code;
    const char* value;
  };
  const Case cases[] = {
      {"  0\r\nSECTION\r\n", 0, "SECTION"},          // leading blanks
      {"\t8\nLayer 1\n", 8, "Layer 1"},              // tab, LF only
      {"\r\n\n10\r\n1.5\r\n", 10, "1.5"},            // empty lines before the code
      {"0 \r\nSECTION\r\n", dxf_code::Failure, ""},  // trailing blank
      {"+5\r\nx\r\n", 5, "x"},
      {"1x\r\nx\r\n", dxf_code::Failure, ""},
      {"99999999999\r\nx\r\n", dxf_code::Failure, ""},  // beyond an int
      {"0\r\nEOF", dxf_code::Failure, ""},              // the value line has no break
      {"", dxf_code::Failure, ""},
  };
  for (const Case& c : cases) {
    Stream s(c.text);
    EXPECT_EQ(s.tags.next_group(), c.code) << c.text;
    if (c.code >= 0) EXPECT_EQ(s.tags.value(), c.value) << c.text;
  }
}

TEST(TagStream, LineBreaksAndLongLines) {
  // A CR alone does not end a line; it is dropped. CR CR LF ends one.
  Stream s("1\r\nab\rcd\r\r\n2\r\n" + std::string(300, 'x') + "\n");
  EXPECT_EQ(s.tags.next_group(), 1);
  EXPECT_EQ(s.tags.value(), "abcd");
  EXPECT_EQ(s.tags.next_group(), 2);
  EXPECT_EQ(s.tags.value(), std::string(255, 'x'));
  EXPECT_EQ(s.tags.line_number(), 4);
  EXPECT_EQ(s.tags.next_group(), dxf_code::Failure);

  // A file of CR line ends is one line: no group at all.
  Stream cr("0\rSECTION\r2\rHEADER\r");
  EXPECT_EQ(cr.tags.next_group(), dxf_code::Failure);
}

TEST(TagStream, LinesAcrossBufferFillsAndProgressCalls) {
  // Groups straddle the 4096-byte buffer, including a CR LF split between fills.
  std::string text;
  int n = 0;
  while (text.size() < 3 * DXF_Tag_Stream::buffer_size) text += "  10\r\n" + std::to_string(n++) + ".25\r\n";
  Stream s(text);
  int fills = 0;
  s.tags.on_refill = [&] { ++fills; };
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(s.tags.next_group(), 10);
    double v;
    ASSERT_TRUE(s.tags.value_as_float(v));
    ASSERT_EQ(v, i + 0.25);
  }
  EXPECT_EQ(s.tags.next_group(), dxf_code::Failure);
  EXPECT_EQ(fills, int((text.size() + DXF_Tag_Stream::buffer_size - 1) / DXF_Tag_Stream::buffer_size));
}

TEST(TagStream, PushBackAndRewind) {
  Stream s("0\r\nA\r\n0\r\nB\r\n0\r\nC\r\n");
  ASSERT_EQ(s.tags.next_group(), 0);
  s.tags.push_back(0);
  EXPECT_EQ(s.tags.next_group(), 0);
  EXPECT_EQ(s.tags.value(), "A");
  s.tags.mark();
  s.tags.next_group();
  s.tags.next_group();
  EXPECT_EQ(s.tags.next_group(), dxf_code::Failure);
  s.tags.rewind();
  EXPECT_EQ(s.tags.next_group(), 0);
  EXPECT_EQ(s.tags.value(), "B");
  // Lines read again are counted again.
  EXPECT_EQ(s.tags.line_number(), 9);
}

TEST(TagStream, Numbers) {
  struct Case {
    const char* text;
    bool ok;
    double value;
  };
  const Case floats[] = {
      {"1.5", true, 1.5},        {"  -2", true, -2},  {"+.5", true, 0.5}, {"3.", true, 3},  {"1e3", true, 1000},
      {"-1.5E-2", true, -0.015}, {"1,5", false, 0},   {"1.5 ", false, 0}, {"", false, 0},   {".", false, 0},
      {"inf", false, 0},         {"nan", false, 0},   {"0x10", false, 0}, {"1e", false, 0}, {"1e999", false, 0},
      {"--1", false, 0},         {"1.2.3", false, 0},
  };
  for (const Case& c : floats) {
    double v = -99;
    EXPECT_EQ(parse_dxf_float(c.text, v), c.ok) << c.text;
    if (c.ok) EXPECT_EQ(v, c.value) << c.text;
  }
  int i = 0;
  EXPECT_TRUE(parse_dxf_int(" 62", i));
  EXPECT_EQ(i, 62);
  EXPECT_FALSE(parse_dxf_int("1.0", i));
  EXPECT_FALSE(parse_dxf_int("7 ", i));
}

}  // namespace
}  // namespace pelindra
