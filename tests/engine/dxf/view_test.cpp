#include <gtest/gtest.h>

#include "engine/canvas/recording_canvas.h"
#include "engine/dxf/dxf_view.h"
#include "tests/engine/dxf/dxf_test_support.h"
#include "tests/engine/support/test_support.h"

namespace pelindra {
namespace {

using test::dxf_text;
using test::entities_file;
using test::Group;

void load(DxfViewControl& view, const std::string& text, Canvas* canvas, int w = 2048, int h = 1454) {
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  view.load("folder/drawing.dxf", bytes, w, h, canvas);
}

TEST(DxfView, FitsTheExtentsIntoTheTarget) {
  DxfViewControl view;
  view.view_min = {0, 0, 0};
  view.view_max = {200, 100, 0};
  view.fit(2048, 1454);
  EXPECT_DOUBLE_EQ(view.scale_x, 7.07);
  EXPECT_DOUBLE_EQ(view.scale_y, 7.07);
  EXPECT_DOUBLE_EQ(view.left, 100 - 1024 / 7.07);
  EXPECT_DOUBLE_EQ(view.top, 50 + 727 / 7.07);
  EXPECT_DOUBLE_EQ(view.right, 100 + 1024 / 7.07);
  EXPECT_DOUBLE_EQ(view.bottom, 50 - 727 / 7.07);

  // Centre and corners map as the fit says, rounding halves to even.
  Point p{-1, -1};
  DxfViewControl::map(&view, {100, 50, 99}, nullptr, p);
  EXPECT_EQ(p, (Point{1024, 727}));
  view.left = 0;
  view.top = 0;
  view.scale_x = view.scale_y = 1;
  for (const auto& [x, want] : {std::pair{0.5, 0}, {1.5, 2}, {-2.5, -2}}) {
    DxfViewControl::map(&view, {x, -x, 0}, nullptr, p);
    EXPECT_EQ(p, (Point{want, want})) << x;
  }
  // Beyond canvas coordinates the point is left as it was.
  DxfViewControl::map(&view, {1e300, 0, 0}, nullptr, p);
  EXPECT_EQ(p, (Point{-2, -2}));
  const Matrix shift = translate_matrix({10, -20, 0});
  DxfViewControl::map(&view, origin, &shift, p);
  EXPECT_EQ(p, (Point{10, 20}));
  const auto w = view.unmap({10, 20});
  EXPECT_EQ(w.x, 10);
  EXPECT_EQ(w.y, -20);
}

TEST(DxfView, LoadSelectsTheEntityListsAndDraws) {
  const std::string text = entities_file({{0, "LINE"},
                                          {8, "A"},
                                          {10, "0"},
                                          {20, "0"},
                                          {11, "200"},
                                          {21, "100"},
                                          {0, "CIRCLE"},
                                          {8, "B"},
                                          {62, "1"},
                                          {10, "100"},
                                          {20, "50"},
                                          {40, "10"},
                                          {0, "LINE"},
                                          {8, "A"},
                                          {10, "0"},
                                          {20, "100"},
                                          {11, "200"},
                                          {21, "0"}});
  DxfViewControl view;
  RecordingCanvas canvas;
  load(view, text, &canvas);
  EXPECT_FALSE(view.nothing_to_draw);
  ASSERT_EQ(view.entries.size(), 5u);
  std::string entries;
  for (const auto& e : view.entries) entries += e.text + (e.selected ? "*" : "") + "|";
  EXPECT_EQ(entries, "drawing.dxf|  A|    Line_*|  B|    Circle_*|");
  EXPECT_EQ(canvas.font().name, "FF_ROMAN");
  EXPECT_EQ(canvas.brush().style, BrushStyle::Clear);
  // The drawing, 200 x 100, is 1414 x 707 pixels in the middle of the target.
  ASSERT_EQ(canvas.ops().size(), 3u);
  EXPECT_EQ(canvas.ops()[0].points, (std::vector<Point>{{317, 1081}, {1731, 373}}));
  EXPECT_EQ(canvas.ops()[2].kind, CanvasOp::Kind::Ellipse);
  EXPECT_EQ(canvas.ops()[2].pen.color, rgb(255, 0, 0));

  // Deselected lists are not drawn.
  view.entries[2].selected = false;
  RecordingCanvas again;
  view.draw(2048, 1454, &again);
  EXPECT_EQ(again.ops().size(), 1u);
}

TEST(DxfView, DegenerateAndEmptyDrawings) {
  DxfViewControl view;
  load(view, entities_file({{0, "POINT"}, {10, "0"}, {20, "0"}}), nullptr);
  EXPECT_EQ(view.scale_x, 1.0);
  EXPECT_EQ(view.scale_y, 1.0);

  // Only layer table entries: nothing remains and nothing is drawn.
  const std::string layers_only = dxf_text({{0, "SECTION"},
                                            {2, "TABLES"},
                                            {0, "TABLE"},
                                            {2, "LAYER"},
                                            {0, "LAYER"},
                                            {2, "X"},
                                            {0, "ENDTAB"},
                                            {0, "ENDSEC"},
                                            {0, "SECTION"},
                                            {2, "ENTITIES"},
                                            {0, "ENDSEC"},
                                            {0, "EOF"}});
  RecordingCanvas canvas;
  load(view, layers_only, &canvas);
  EXPECT_TRUE(view.nothing_to_draw);
  EXPECT_EQ(view.drawing(), nullptr);
  EXPECT_TRUE(view.entries.empty());
  EXPECT_TRUE(canvas.ops().empty());
  EXPECT_EQ(canvas.font().name, Font{}.name);
}

TEST(DxfView, NestedBlocksAreDrawnWithinTheBudget) {
  // Each block inserts the one before it ten times: 10^6 lines at the top.
  std::vector<Group> g{{0, "SECTION"}, {2, "BLOCKS"}, {0, "BLOCK"}, {2, "B0"}, {0, "LINE"},
                       {10, "0"},      {20, "0"},     {11, "1"},    {21, "1"}, {0, "ENDBLK"}};
  for (int b = 1; b <= 6; ++b) {
    g.insert(g.end(), {{0, "BLOCK"}, {2, "B" + std::to_string(b)}});
    for (int i = 0; i < 10; ++i)
      g.insert(g.end(), {{0, "INSERT"}, {2, "B" + std::to_string(b - 1)}, {10, std::to_string(i)}});
    g.push_back({0, "ENDBLK"});
  }
  g.insert(g.end(), {{0, "ENDSEC"},
                     {0, "SECTION"},
                     {2, "ENTITIES"},
                     {0, "INSERT"},
                     {8, "T"},
                     {2, "B6"},
                     {0, "INSERT"},
                     {8, "T"},
                     {2, "B2"},
                     {0, "ENDSEC"},
                     {0, "EOF"}});
  DxfViewControl view;
  view.draw_budget = 10000;
  RecordingCanvas canvas;
  load(view, dxf_text(g), &canvas);
  // The block definitions (1 + 10 + 100 + ... lines) and the small insert fit;
  // the big insert does not and is left out.
  EXPECT_EQ(canvas.count(CanvasOp::Kind::Line), 1u + 10 + 100 + 1000 + 100);
}

TEST(DxfView, LoadStatusAndFileErrors) {
  DxfViewControl view;
  dxf_load_status().progress_text = "45%";
  dxf_load_status().no_load_running = false;
  view.timer_tick();
  EXPECT_EQ(view.progress_text, "45%");
  EXPECT_FALSE(view.load_done);

  test::TempDir dir;
  EXPECT_THROW(view.load((dir / "missing.dxf").string(), 100, 100, nullptr), std::ios_base::failure);
  EXPECT_TRUE(dxf_load_status().no_load_running);

  const std::string text = entities_file({{0, "LINE"}, {10, "0"}, {20, "0"}, {11, "5"}, {21, "5"}});
  // File names are UTF-8.
  const std::string name = "pl\xc3\xa4n.dxf";
  test::writeBytes(dir.path() / dxf_path(name), std::vector<std::uint8_t>(text.begin(), text.end()));
  view.load((dir.path() / dxf_path(name)).string(), 100, 100, nullptr);
  EXPECT_EQ(view.drawing()->name, name);
  EXPECT_EQ(view.view_max.x, 5);
  view.timer_tick();
  // All bytes of the file read: round(100 x size / (size + 1)).
  EXPECT_EQ(view.progress_text, std::to_string((text.size() * 100 + (text.size() + 1) / 2) / (text.size() + 1)) + "%");
  EXPECT_TRUE(view.load_done);
}

}  // namespace
}  // namespace pelindra
