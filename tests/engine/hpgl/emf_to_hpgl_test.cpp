#include "engine/hpgl/emf_to_hpgl.h"

#include <gtest/gtest.h>

#include "engine/canvas/recording_canvas.h"
#include "engine/hpgl/plotter.h"
#include "tests/engine/support/test_support.h"

namespace pelindra {
namespace {

// A small enhanced metafile: a 400 x 300 pixel device at 4 pixels a
// millimetre, a frame of 100 x 75 mm, and the records given.
class EmfBuilder {
 public:
  EmfBuilder() {
    record(1, {0, 0, 399, 299, 0, 0, 10000, 7500, 0x464D4520, 0x10000, 0, 0, 0, 0, 0, 400, 300, 100, 75});
  }
  EmfBuilder& record(std::uint32_t type, std::vector<std::int32_t> fields) {
    put(type);
    put(std::uint32_t(8 + 4 * fields.size()));
    for (auto f : fields) put(std::uint32_t(f));
    return *this;
  }
  std::vector<std::uint8_t> bytes() {
    auto b = bytes_;
    auto put32 = [&](std::uint32_t v) {
      for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
    };
    put32(14);
    put32(20);
    put32(0);
    put32(0);
    put32(20);
    return b;
  }

 private:
  void put(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(std::uint8_t(v >> (8 * i)));
  }
  std::vector<std::uint8_t> bytes_;
};

TEST(EmfToHpgl, PlotsRecordsInPlotterUnitsWithPensByColour) {
  auto emf = EmfBuilder()
                 .record(38, {1, 0, 1, 0, 0x0000FF})  // red pen
                 .record(37, {1})
                 .record(27, {0, 0})
                 .record(54, {40, 0})            // 10 mm to the right along the top edge
                 .record(37, {int(0x80000008)})  // no pen: the rectangle shows its white brush, nothing
                 .record(43, {0, 0, 40, 40})
                 .bytes();
  // Red is pen 2 of the design palette; y counts up from the frame's bottom (75 mm).
  EXPECT_EQ(EmfToHpgl(emf), "IN;SP2;PU0,3000;PD400,3000;");

  EmfToHpglOptions other;
  other.pens[1] = rgb(0, 255, 255);
  other.pens[3] = rgb(250, 10, 10);
  EXPECT_EQ(EmfToHpgl(emf, other).substr(0, 7), "IN;SP4;");
}

TEST(EmfToHpgl, CurvesAndTextBecomePenMoves) {
  auto emf = EmfBuilder()
                 .record(42, {0, 0, 40, 40})  // a 10 mm circle
                 .record(82, {2, -20, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})
                 .record(37, {2})
                 .record(84, {0, 0, 0, 0, 1, 0, 0, 100, 100, 2, 76, 0, 0, 0, 0, 0, 0, 0, 0x00420041})
                 .bytes();
  const std::string out = EmfToHpgl(emf);
  HpglEngine engine;
  RecordingCanvas canvas;
  engine.NotPrinting = true;
  engine.PlotBytes("x", {out.begin(), out.end()}, canvas);
  EXPECT_FALSE(engine.NeedsConversion);
  EXPECT_GT(engine.CommandList.size(), 40u);
  // The circle's extent is 400 plotter units; the text "AB" lies to its right.
  EXPECT_NEAR(engine.MaxX, 25 * 40 + 5 * 40, 200);
}

TEST(EmfToHpgl, RefusesWhatIsNoMetafile) {
  EXPECT_THROW(EmfToHpgl(std::vector<std::uint8_t>(100, 0)), EmfError);
  auto emf = EmfBuilder().record(87, {0, 0, 0, 0, 1000000}).bytes();  // a million points promised
  EXPECT_THROW(EmfToHpgl(emf), EmfError);
}

TEST(EmfToHpgl, CorpusPlotsOrIsRefused) {
  if (!test::haveTestdata()) GTEST_SKIP() << "sample corpus not present";
  for (const auto& entry : std::filesystem::recursive_directory_iterator(test::testdata("emf"))) {
    if (!entry.is_regular_file() || entry.path().extension() != ".emf") continue;
    SCOPED_TRACE(entry.path().filename().string());
    std::string out;
    try {
      out = EmfToHpgl(test::readBytes(entry.path()));
    } catch (const EmfError&) {
      continue;
    }
    HpglEngine engine;
    RecordingCanvas canvas;
    engine.PlotBytes("x", {out.begin(), out.end()}, canvas);
    EXPECT_FALSE(engine.NeedsConversion);
    EXPECT_LE(engine.MaxX, 11040);
    EXPECT_LE(engine.MaxY, 7721);
  }
}

}  // namespace
}  // namespace pelindra
