#include <gtest/gtest.h>

#include <array>

#include "engine/canvas/recording_canvas.h"
#include "engine/canvas/svg_canvas.h"

namespace pelindra {
namespace {

TEST(RecordingCanvas, KeepsEveryCallWithTheStateInForce) {
  RecordingCanvas c;
  c.setPenColor(rgb(255, 0, 0));
  c.moveTo({1, 2});
  c.lineTo({10, 2});
  c.lineTo({10, 8});
  c.setBrush({0, BrushStyle::Clear});
  const std::array<Point, 3> tri{{{0, 0}, {4, 0}, {0, 4}}};
  c.polygon(tri);
  c.setFontHeight(-12);
  c.setTextAlign(TextAlign::Center | TextAlign::Baseline);
  c.textOut({5, 6}, "A&B");
  c.arc({0, 0, 10, 10}, {10, 5}, {5, 0});
  c.setPixel({3, 3}, rgb(0, 0, 255));

  EXPECT_EQ(c.dump(),
            "line 1,2 10,2 pen=#ff0000/1\n"
            "line 10,2 10,8 pen=#ff0000/1\n"
            "polygon 0,0 4,0 0,4 pen=#ff0000/1 brush=clear\n"
            "text 5,6 'A&B' font=-12/#000000 align=30\n"
            "arc 0,0 10,10 10,5 5,0 pen=#ff0000/1\n"
            "pixel 3,3 #0000ff\n");
  EXPECT_EQ(c.count(CanvasOp::Kind::Line), 2u);
  EXPECT_EQ(c.penPos(), (Point{10, 8}));
}

TEST(SvgCanvas, JoinsConnectedSegmentsOfOnePenIntoOnePath) {
  SvgCanvas c(100, 50);
  c.moveTo({0, 0});
  c.lineTo({10, 0});
  c.lineTo({10, 10});
  c.setPenColor(rgb(0, 128, 0));
  c.lineTo({20, 10});  // new pen: a new path
  c.moveTo({50, 50});
  c.lineTo({60, 50});  // not connected: a new path
  const std::string s = c.svg();
  EXPECT_NE(s.find("<path d=\"M0 0L10 0 10 10\" fill=\"none\" stroke=\"#000000\"/>"), std::string::npos) << s;
  EXPECT_NE(s.find("<path d=\"M10 10L20 10\" fill=\"none\" stroke=\"#008000\"/>"), std::string::npos) << s;
  EXPECT_NE(s.find("<path d=\"M50 50L60 50\""), std::string::npos) << s;
  EXPECT_NE(s.find("width=\"100\" height=\"50\" viewBox=\"0 0 100 50\""), std::string::npos);
}

TEST(SvgCanvas, ArcGoesCounterClockwiseOnTheScreen) {
  struct Case {
    Point start, end;
    const char* path;
  };
  // Box of a circle of radius 5 around (5, 5); radials through the given points.
  const Case cases[] = {
      // right to top: a quarter, counter-clockwise (sweep flag 0)
      {{20, 5}, {5, -20}, "M10 5A5 5 0 0 0 5 0\""},
      // top to right: three quarters, written as two halves
      {{5, -20}, {20, 5}, "M5 0A5 5 0 0 0 1.464 8.536A5 5 0 0 0 10 5\""},
      // one radial: the whole circle
      {{20, 5}, {20, 5}, "M10 5A5 5 0 0 0 0 5A5 5 0 0 0 10 5\""},
  };
  for (const Case& k : cases) {
    SvgCanvas c(20, 20);
    c.arc({0, 0, 11, 11}, k.start, k.end);
    EXPECT_NE(c.svg().find(k.path), std::string::npos) << k.path << "\n" << c.svg();
  }
}

TEST(SvgCanvas, TextIsEscapedAndAlwaysValidUtf8) {
  EXPECT_EQ(xmlEscape("a<b>&\"'"), "a&lt;b&gt;&amp;&quot;&apos;");
  EXPECT_EQ(xmlEscape("\xc3\xa9"), "\xc3\xa9");                      // UTF-8 kept
  EXPECT_EQ(xmlEscape("\xe9t\xe9"), "\xc3\xa9t\xc3\xa9");            // Latin-1 converted
  EXPECT_EQ(xmlEscape("a\x01\tb"), "a\tb");                          // control dropped
  EXPECT_EQ(xmlEscape("\xed\xa0\x80"), "\xc3\xad\xc2\xa0\xc2\x80");  // surrogate is not UTF-8

  SvgCanvas c(10, 10);
  c.setTextAlign(TextAlign::Right | TextAlign::Baseline);
  c.setFontHeight(-20);
  c.textOut({3, 4}, "x<y");
  const std::string s = c.svg();
  EXPECT_NE(s.find("font-size=\"20\""), std::string::npos) << s;
  EXPECT_NE(s.find("text-anchor=\"end\""), std::string::npos) << s;
  EXPECT_NE(s.find(">x&lt;y</text>"), std::string::npos) << s;
}

TEST(SvgCanvas, ClearBrushAndPenGiveNoFillAndNoStroke) {
  SvgCanvas c(10, 10, false);
  c.setBrush({0, BrushStyle::Clear});
  c.ellipse({0, 0, 5, 5});
  c.setPen({0, 1, PenStyle::Clear});
  c.setBrush({rgb(1, 2, 3), BrushStyle::Solid});
  c.rectangle({0, 0, 5, 5});
  const std::string s = c.svg();
  EXPECT_NE(s.find("<ellipse cx=\"2\" cy=\"2\" rx=\"2\" ry=\"2\" fill=\"none\" stroke=\"#000000\"/>"),
            std::string::npos)
      << s;
  EXPECT_NE(s.find("fill=\"#010203\" stroke=\"none\""), std::string::npos) << s;
  EXPECT_EQ(s.find("100%"), std::string::npos);  // no background
}

// Outlines filled together: a ring inside another is a hole.
TEST(Canvas, PolyPolygonCutsHoles) {
  const std::array<Point, 7> points{{{0, 0}, {10, 0}, {10, 10}, {0, 10}, {3, 3}, {6, 3}, {3, 6}}};
  const std::array<std::size_t, 2> counts{4, 3};
  RecordingCanvas r;
  r.setPenColor(rgb(255, 0, 0));
  r.setBrush({rgb(0, 0, 255), BrushStyle::Solid});
  r.polyPolygon(points, counts);
  // One fill out to each further outline and back along the same edge, then
  // the outlines in the pen.
  EXPECT_EQ(r.dump(),
            "polygon 0,0 10,0 10,10 0,10 0,0 3,3 6,3 3,6 3,3 0,0 pen=clear brush=#0000ff\n"
            "polyline 0,0 10,0 10,10 0,10 0,0 pen=#ff0000/1\n"
            "polyline 3,3 6,3 3,6 3,3 pen=#ff0000/1\n");
  EXPECT_EQ(r.pen().color, rgb(255, 0, 0));

  SvgCanvas svg(10, 10, false);
  svg.polyPolygon(points, counts);
  EXPECT_NE(svg.svg().find("<path d=\"M0 0 10 0 10 10 0 10ZM3 3 6 3 3 6Z\" fill-rule=\"evenodd\" fill=\"#ffffff\""),
            std::string::npos)
      << svg.svg();
}

}  // namespace
}  // namespace pelindra
