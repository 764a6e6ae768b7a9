#include "engine/hpgl/plotter.h"

#include <gtest/gtest.h>

#include "engine/base/numbers.h"
#include "engine/canvas/recording_canvas.h"
#include "tests/engine/support/test_support.h"

namespace pelindra {
namespace {

using test::TempDir;

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

struct StringSink : PlotSink {
  std::string* out;
  explicit StringSink(std::string* o) : out(o) {}
  void write(std::string_view text) override { *out += text; }
  void flush() override {}
};

class PlotterTest : public ::testing::Test {
 protected:
  PlotterTest() {
    engine.NotPrinting = true;
    engine.openTarget = [this](const std::string& target) {
      targets.push_back(target);
      return std::make_unique<StringSink>(&written);
    };
  }
  void show(std::string_view text, const std::string& name = "drawing.plt") {
    engine.PlotBytes(name, bytesOf(text), canvas);
  }
  std::vector<HpglCommand> list(std::initializer_list<HpglCommand> l) { return l; }

  HpglEngine engine;
  RecordingCanvas canvas;
  std::string written;
  std::vector<std::string> targets;
};

TEST_F(PlotterTest, RecordsPenCommandsAndExtent) {
  show("IN;SP1;PU100,200;PD300,400;");
  EXPECT_EQ(engine.CommandList, list({{0, 0, 'P'}, {100, 200, 'U'}, {300, 400, 'D'}}));
  EXPECT_EQ(engine.MaxX, 300);
  EXPECT_EQ(engine.MaxY, 400);
  EXPECT_EQ(engine.MinX, 300);
  EXPECT_EQ(engine.FormatName, "A4");
  EXPECT_FALSE(engine.NeedsConversion);
  EXPECT_TRUE(engine.HpglIdle);
  EXPECT_EQ(engine.LastHpglFile, "drawing.plt");
  EXPECT_EQ(engine.ProgressText, "96%");
  // The offsets proposed to the options window are the extent's lower left in mm.
  EXPECT_EQ(engine.options.offsetX, 8);
  EXPECT_EQ(engine.options.offsetY, 10);
}

TEST_F(PlotterTest, ParsesTheAcceptedSubsetOnly) {
  struct Case {
    std::string_view text;
    std::vector<HpglCommand> commands;
    bool needsConversion;
  };
  const Case cases[] = {
      // Only the last pair of a command with several pairs counts.
      {"IN;SP1;PD0,0,100,100;", {{0, 0, 'P'}, {100, 100, 'D'}}, false},
      // Without the closing ';' the last command is never processed.
      {"IN;PD10,10", {}, false},
      // Pen commands without coordinates add nothing.
      {"IN;PU;PD;PG;VS10;", {}, false},
      // Line breaks and blanks inside commands are skipped; negative numbers are fine.
      {"IN;\r\nPU -5,\n7;PD 1 0,-20 ;", {{-5, 7, 'U'}, {10, -20, 'D'}}, false},
      // A zero byte ends the file.
      {std::string_view("IN;PD1,1;\0PD2,2;", 16), {{1, 1, 'D'}}, false},
      {"IN;PA10,10;", {}, true},
      {"IN;SP1;PD5,5;LB hello\x03;PD6,6;", {{0, 0, 'P'}, {5, 5, 'D'}}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    HpglEngine e;
    RecordingCanvas rc;
    e.PlotBytes("x.plt", bytesOf(c.text), rc);
    EXPECT_EQ(e.CommandList, c.commands);
    EXPECT_EQ(e.NeedsConversion, c.needsConversion);
    if (c.needsConversion) {
      EXPECT_EQ(e.LastHpglFile, "");
      EXPECT_EQ(rc.ops().size(), 0u);
    }
  }
}

TEST_F(PlotterTest, RefusesCoordinatesThatAreNotWholeNumbers) {
  for (const char* text : {"IN;PD10.5,3;", "IN;PD1,x;", "IN;PU12;", "IN;PD99999999999,1;"}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(show(text), HpglError);
    // A failed parse is not kept as the recorded file.
    EXPECT_EQ(engine.LastHpglFile, "");
    EXPECT_TRUE(engine.HpglIdle);
  }
}

TEST_F(PlotterTest, DrawsAtThePlotterPositionWithYFlipped) {
  show("IN;SP4;PU0,0;PD11886,0;");
  // On A4 at 2048 pixels one pixel is 11886 / 2048 plotter units.
  EXPECT_EQ(engine.DrawHeight, 1449);
  ASSERT_EQ(canvas.ops().size(), 1u);
  const auto& op = canvas.ops()[0];
  EXPECT_EQ(op.points[0], (Point{0, 1449}));
  EXPECT_EQ(op.points[1], (Point{2048, 1449}));
  EXPECT_EQ(op.pen.color, rgb(255, 255, 0));  // the palette's design colour of pen 4
}

TEST_F(PlotterTest, NegativeDrawingsAreShiftedAndPrintingCentres) {
  show("IN;PU-100,-50;PD-100,-50;PD100,50;");
  auto upp = engine.UnitsPerPixel;
  EXPECT_EQ(canvas.ops().back().points[0], (Point{0, 1449}));
  EXPECT_EQ(canvas.ops().back().points[1], (Point{roundToInt(200 / upp), 1449 - roundToInt(100 / upp)}));

  engine.NotPrinting = false;
  canvas.clear();
  engine.DrawCommands(canvas);
  // Centred: the 200 x 100 drawing sits in the middle of the 11886 x 8411 sheet.
  EXPECT_EQ(engine.OffsetX, 5843 + 100);
  EXPECT_EQ(engine.OffsetY, roundHalfEven((11886 * kSheetAspect - 100) / 2) + 50);
}

TEST_F(PlotterTest, PlotsNormalisedHpglWithPensByColour) {
  show("IN;SP2;PU0,0;PD40,40;");
  engine.options.palette[1] = rgb(255, 0, 0);
  engine.PlotSpeed = 30;
  engine.PlotTarget = "Lpt1";
  engine.PlotActive = true;
  ASSERT_EQ(engine.options.offsetX, 1);  // so that OffsetX is 0
  show("IN;SP2;PU0,0;PD40,40;");
  EXPECT_EQ(targets, std::vector<std::string>{"Lpt1"});
  EXPECT_EQ(written, "IN;PU0,0;VS30;SP1;SP4;PU0,0;PD40,40;");
  // Plotting the recorded file again does not record its commands twice.
  EXPECT_EQ(engine.CommandList, list({{0xFF, 0, 'P'}, {0, 0, 'U'}, {40, 40, 'D'}}));

  written.clear();
  engine.options.colour = false;
  engine.PlotScale = 2.0;
  engine.options.offsetX = 2;
  canvas.clear();
  engine.PlotBytes("drawing.plt", bytesOf("IN;SP2;PU0,0;PD40,40;PD;"), canvas);
  EXPECT_EQ(written, "IN;PU0,0;VS30;SP1;SP1;PU80,0;PD160,80;");
  EXPECT_EQ(canvas.ops()[0].pen.color, rgb(0, 0, 0));
  EXPECT_EQ(engine.PlotScale, 1.0);
}

TEST_F(PlotterTest, PenDigitsFollowTheDrawnColour) {
  engine.options.palette = {rgb(0, 0, 0),     rgb(0, 0, 255),   rgb(0, 128, 0),
                            rgb(255, 255, 0), rgb(255, 0, 255), rgb(0, 255, 255)};
  show("IN;SP1;");
  engine.PlotActive = true;
  engine.PlotBytes("drawing.plt", bytesOf("IN;SP0;SP1;SP2;SP3;SP4;SP5;SP6;SP;SP9;"), canvas);
  // Yellow has no plotter pen: pen 4 keeps its number. A pen command without a
  // number or with an unknown one takes the digit of the colour in force.
  EXPECT_EQ(written, "IN;PU0,0;VS20;SP1;SP0;SP1;SP2;SP3;SP4;SP5;SP6;SP6;SP6;");
}

TEST_F(PlotterTest, FormatsFollowTheExtent) {
  EXPECT_EQ(FindFormat(20000, 0), "A2");
  EXPECT_EQ(FindFormat(0, 24000), "A0");
  EXPECT_EQ(FindFormat(11886, 8411), "A4");
  EXPECT_EQ(FindFormat(11887, 0), "A3");
  EXPECT_EQ(FindFormat(47544, 33644), "A0");
  EXPECT_EQ(FindFormat(47545, 0), "A>");

  show("IN;PD47545,10;");
  EXPECT_EQ(engine.FormatName, "A>");
  EXPECT_EQ(engine.UnitsPerPixel, 47545.0L / 2048);
  // Over A0 by its height alone: the sheet is wide enough to hold the height.
  show("IN;PD10,40000;", "tall.plt");
  EXPECT_EQ(engine.FormatName, "A>");
  EXPECT_EQ(engine.UnitsPerPixel, 40000 / kSheetAspect / 2048);
  EXPECT_GE(canvas.ops().back().points[1].y, 0);
}

TEST_F(PlotterTest, ShowingTheSameFileAgainDoesNotReadIt) {
  TempDir dir;
  const auto path = (dir / "a.plt").string();
  test::writeBytes(path, bytesOf("IN;PU1,1;PD500,500;"));
  engine.PlotFile(path, canvas);
  std::filesystem::remove(path);
  canvas.clear();
  engine.PlotFile(path, canvas);
  EXPECT_EQ(canvas.ops().size(), 1u);
  // A file that is not there draws what is recorded and is read once it appears.
  canvas.clear();
  engine.PlotFile((dir / "missing.plt").string(), canvas);
  EXPECT_EQ(canvas.ops().size(), 0u);
  EXPECT_EQ(engine.LastHpglFile, "");
}

TEST_F(PlotterTest, ReadsFilesPastTheOldBufferSize) {
  // Once files were cut at 1,024,000 bytes; a drawing must not lose its end.
  std::string text = "IN;";
  while (text.size() < 1100000) text += "PU10,10;PD20,20;";
  text += "PD30000,9000;";
  TempDir dir;
  test::writeBytes(dir / "big.plt", bytesOf(text));
  engine.PlotFile((dir / "big.plt").string(), canvas);
  EXPECT_EQ(engine.MaxX, 30000);
  EXPECT_EQ(engine.FormatName, "A1");

  HpglEngine small;
  small.limits.maxFileBytes = 1000;
  EXPECT_THROW(small.PlotFile((dir / "big.plt").string(), canvas), HpglError);
}

TEST_F(PlotterTest, CancelStopsTheParseAndDrawsNothing) {
  std::string text = "IN;";
  while (text.size() < 100000) text += "PD10,10;";
  engine.pumpMessages = [this] { engine.HpglIdle = true; };
  show(text);
  EXPECT_LT(engine.CommandList.size(), 1000u);
  EXPECT_EQ(canvas.ops().size(), 0u);
  EXPECT_EQ(engine.LastHpglFile, "");
  EXPECT_TRUE(engine.HpglIdle);
}

TEST_F(PlotterTest, UnwritableTargetRaises) {
  show("IN;PD1,1;");
  engine.PlotActive = true;
  engine.openTarget = [](const std::string&) -> std::unique_ptr<PlotSink> { throw std::runtime_error("cannot open"); };
  EXPECT_THROW(show("IN;PD1,1;"), std::runtime_error);
  EXPECT_TRUE(engine.HpglIdle);
}

}  // namespace
}  // namespace pelindra
