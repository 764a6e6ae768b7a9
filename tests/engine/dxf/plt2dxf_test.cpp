#include "engine/dxf/plt2dxf.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/base/numbers.h"
#include "engine/dxf/dxf_view.h"
#include "tests/engine/support/test_support.h"

namespace pelindra {
namespace {

std::string convert(Hpgl_To_Dxf& c, const std::string& hpgl) {
  return c.convert(std::span(reinterpret_cast<const std::uint8_t*>(hpgl.data()), hpgl.size()));
}

// The output with CR LF shown as '|', from the first entity on.
std::string entities(const std::string& dxf) {
  std::string s = dxf.substr(dxf.find("ENTITIES\r\n") + 10);
  for (std::size_t i; (i = s.find("\r\n")) != std::string::npos;) s.replace(i, 2, "|");
  return s;
}

// The eight patched header fields.
std::vector<std::string> header_fields(const std::string& dxf) {
  std::vector<std::string> f;
  for (std::size_t at : {39, 55, 83, 99, 127, 143, 171, 187}) f.push_back(dxf.substr(at, 10));
  return f;
}

TEST(HpglToDxf, ConvertsTheExample) {
  Hpgl_To_Dxf c;
  const std::string dxf = convert(c, "IN;SP1;PU0,0;PD400,0,400,400;PU;");
  EXPECT_EQ(dxf.substr(0, 39), "0\r\nSECTION\r\n2\r\nHEADER\r\n9\r\n$EXTMIN\r\n10\r\n");
  EXPECT_EQ(header_fields(dxf), (std::vector<std::string>{"     0.000", "     0.000", "    10.000", "    10.000",
                                                          "   -10.000", "   -10.000", "    20.000", "    20.000"}));
  const std::string v = "0|VERTEX|8|PEN1|62|0|";
  EXPECT_EQ(entities(dxf), "0|POLYLINE|8|PEN1|62|0|66|1|40|0.000|41|0.000|" + v + "10|0.000|20|0.000|" + v +
                               "10|10.000|20|0.000|" + v + "10|10.000|20|10.000|0|SEQEND|0|ENDSEC|0|EOF|");
  EXPECT_TRUE(c.cancelled);
  EXPECT_EQ(c.progress_text, "0%");
}

TEST(HpglToDxf, Instructions) {
  struct Case {
    const char* hpgl;
    const char* entities;  // without the closing ENDSEC and EOF
  };
  const std::string p = "0|POLYLINE|8|PEN1|62|0|66|1|40|0.000|41|0.000|", v = "0|VERTEX|8|PEN1|62|0|";
  const Case cases[] = {
      // A pen-down without parameters starts at the pen; the start does not widen the extents.
      {"SP1;PD;PA400,0;PU;", "P V0,0 V10,0 S"},
      {"SP1;PD;PU;", "P V0,0 V0,0 S"},
      // AA ends the stroke and moves nothing; its parameters are consumed.
      {"SP1;PD40,0;AA100,100,90;PD;PU;", "P V0,0 V1,0 S P V1,0 V1,0 S"},
      // CI without a parameter takes the last first parameter as its radius.
      {"SP1;PA40,80;CI;", "C1,2,1"},
      // Blanks are invisible: one parameter 1020, y as before.
      {"SP1;PA0,40;PA 10 20;PD;PU;", "P V25.5,1 V25.5,1 S"},
      // A decimal point ends a number: PA to x 10 units, then a further PA to 3.
      {"SP1;PA0,40;PA10.5,3;PD;PU;", "P V0.075,1 V0.075,1 S"},
      // Relative moves add to the pen position and are written while the pen is down.
      {"SP1;PA40,40;PD;PR40,0,0,40;PU;", "P V1,1 V2,1 V2,2 S"},
      // Ticks: SC's y range sets their half length, whether or not a stroke is open.
      // Without an open stroke a tick is a polyline of its own.
      {"SP1;SC0,0,0,8000;PA40,40;XT;", "P V1,0 V1,2 V1,1 S"},
      {"SP1;PA40,40;PD;YT;PU;", "P V1,1 V0.5,1 V1.5,1 V1,1 S"},
      // Unknown instructions and lower case are ignored; the last instruction is not repeated.
      {"SP1;LBQZ;px40,40;ZZ;CI40;", "C0,0,1"},
      // Labels are not understood: their text is scanned like instructions.
      {"SP1;LBPD40,0;PU;", "P V0,0 V1,0 S"},
  };
  for (const Case& k : cases) {
    Hpgl_To_Dxf c;
    std::string want;
    for (std::string_view e(k.entities); !e.empty();) {
      const auto end = e.find(' ');
      const std::string_view item = e.substr(0, end);
      e.remove_prefix(end == std::string_view::npos ? e.size() : end + 1);
      const std::string rest(item.substr(1));
      auto num = [](const std::string& s) { return formatFloat(std::stod(s), FloatFormat::Fixed, 18, 3); };
      const auto comma = rest.find(',');
      if (item[0] == 'P') want += p;
      if (item[0] == 'S') want += "0|SEQEND|";
      if (item[0] == 'V') want += v + "10|" + num(rest.substr(0, comma)) + "|20|" + num(rest.substr(comma + 1)) + "|";
      if (item[0] == 'C') {
        const auto c2 = rest.find(',', comma + 1);
        want += "0|CIRCLE|8|PEN1|62|0|10|" + num(rest.substr(0, comma)) + "|20|" +
                num(rest.substr(comma + 1, c2 - comma - 1)) + "|40|" + num(rest.substr(c2 + 1)) + "|";
      }
    }
    EXPECT_EQ(entities(convert(c, k.hpgl)), want + "0|ENDSEC|0|EOF|") << k.hpgl;
  }
}

TEST(HpglToDxf, ExtentsAndHeaderFields) {
  Hpgl_To_Dxf c;
  EXPECT_EQ(header_fields(convert(c, "PD;PA400,0;PU;"))[0], "    10.000");
  // Nothing drawn: the extents stay at +-1e20, written so that they fit.
  EXPECT_EQ(header_fields(convert(c, "IN;")),
            (std::vector<std::string>{"1.0000E+20", "1.0000E+20", "-1.000E+20", "-1.000E+20", "1.0000E+20",
                                      "1.0000E+20", "-1.000E+20", "-1.000E+20"}));
  struct Case {
    double v;
    const char* text;
  };
  const Case fields[] = {{0, "     0.000"},           {-99999.999, "-99999.999"},  {999999.999, "999999.999"},
                         {1234567.891, "1234567.89"}, {-53687091.2, " -53687091"}, {123456789012.0, "1.2346E+11"}};
  for (const Case& f : fields) EXPECT_EQ(dxf_header_field(f.v), f.text) << f.v;
}

TEST(HpglToDxf, PensAndStateBetweenConversions) {
  Hpgl_To_Dxf c;
  EXPECT_EQ(entities(convert(c, "PD;PU;")).find("0|POLYLINE|8|PEN|64|0|66|1|"), 0u);
  EXPECT_NE(entities(convert(c, "SP12;PD;PU;")).find("8|PEN12|62|12|66"), std::string::npos);
  EXPECT_NE(entities(convert(c, "SP4;PD;PU;")).find("8|PEN4|62|2|66"), std::string::npos);
  // The next drawing starts with the last pen ...
  EXPECT_NE(entities(convert(c, "PD;PU;")).find("8|PEN4|62|2|66"), std::string::npos);
  // ... but not inside the last instruction: a file that ended in a digit
  // does not turn the next file's first instruction into one of its own.
  convert(c, "CI40");
  EXPECT_EQ(entities(convert(c, "IN;")), "0|ENDSEC|0|EOF|");
  // Pen numbers of any size keep their colour group whole.
  EXPECT_NE(entities(convert(c, "SP-2147483648;PD;PU;")).find("8|PEN-2147483648|62|-2147483648|66"), std::string::npos);
}

TEST(HpglToDxf, CancelAndFiles) {
  test::TempDir dir;
  const auto in = dir / "in.plt", out = dir / "out.dxf";
  test::writeBytes(in, {'P', 'D', '4', '0', ',', '4', '0', ';', 'P', 'U', ';'});
  test::writeBytes(out, {'o', 'l', 'd'});

  Hpgl_To_Dxf c;
  int calls = 0;
  c.process_messages = [&] {
    if (++calls == 1) c.cancelled = true;
  };
  c.convert(in.string(), out.string());
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(c.cancelled);
  // A cancelled conversion leaves the file that was there.
  EXPECT_EQ(test::readBytes(out), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);

  c.process_messages = nullptr;
  c.convert(in.string(), out.string());
  EXPECT_TRUE(c.cancelled);
  DxfViewControl view;
  view.load(out.string(), 2048, 1454, nullptr);
  ASSERT_EQ(view.entries.size(), 3u);
  EXPECT_EQ(view.entries[2].list->entities.size(), 1u);
  EXPECT_EQ(view.view_max.x, 1);

  c.cancelled = false;
  EXPECT_THROW(c.convert((dir / "missing.plt").string(), out.string()), std::ios_base::failure);
  EXPECT_TRUE(c.cancelled);
  EXPECT_FALSE(std::filesystem::exists(dir / "out.dxf.part"));
}

}  // namespace
}  // namespace pelindra
