#include "engine/hpgl/normalizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>

#include "engine/base/numbers.h"
#include "engine/canvas/recording_canvas.h"
#include "engine/hpgl/plotter.h"
#include "tests/engine/support/test_support.h"

namespace pelindra {
namespace {

TEST(NormalizeHpgl, InterpretsDialectsAsAPlotterDoes) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      // Several pairs, absolute and relative, blanks as separators, pen up at the end.
      {"IN;SP1;PA0,0;PD100,0,100,100;PU;", "IN;SP1;PU0,0;PD100,0;PD100,100;"},
      {"in;pu10 10;pr;pd5,0 0,5;", "IN;PU10,10;PD15,10;PD15,15;"},
      // Commands without terminators, one straight after the other.
      {"INPA0,0PD10,0PD10,10", "IN;PU0,0;PD10,0;PD10,10;"},
      // Decimals round half to even; a drawing left of the origin is shifted onto it.
      {"IN;PA-10.5,20.5;PD0,0;", "IN;PU0,20;PD10,0;"},
      // Anisotropic, isotropic (space shared out 50 %) and point-factor scaling.
      {"IN;IP0,0,1000,2000;SC0,10,0,10;PU0,0;PD10,10;", "IN;PU0,0;PD1000,2000;"},
      {"IN;IP0,0,1000,2000;SC0,10,0,10,1;PU0,0;PD10,10;", "IN;PU0,500;PD1000,1500;"},
      {"IN;SC0,2,0,3,2;PU0,0;PD10,10;", "IN;PU0,0;PD20,30;"},
      // The input window clips; rotation turns the coordinate system.
      {"IN;IW0,0,100,100;PU50,50;PD200,50;PD200,80;", "IN;PU50,50;PD100,50;"},
      {"IN;RO90;PU0,0;PD100,0;", "IN;PU0,0;PD0,100;"},
      // Device control, PCL wrappers and raster data around HP-GL/2.
      {"\x1b.Y\x1b.I81;;17:\x1b"
       "E\x1b%0BIN;PU0,0;PD5,5;\x1b%0A text\x1b*b3Wxyz\x1b%0BPD6,6;",
       "IN;PU0,0;PD5,5;PD6,6;"},
      // Encoded polyline: pen up to (897, 540) absolute, then 8766 units to the right.
      {"IN;PE<=A\xdbw\xcf{P\xc3\xbf;", "IN;PU897,540;PD9663,540;"},
      // Pens, pages, speed; "SP;" puts the pen away.
      {"IN;SP2;VS10;PG;SP;", "IN;SP2;VS10;PG;SP0;"},
      // Rectangles keep the pen where it was; filled shapes are outlined.
      {"IN;PA10,10;EA20,30;RR5,5;", "IN;PU10,10;PD20,10;PD20,30;PD10,30;PD10,10;PD15,10;PD15,15;PD10,15;PD10,10;"},
      // A polygon is outlined once, closed, however often it is edged or filled.
      {"IN;PA0,0;PM0;PD10,0,10,10;PM2;EP;FP;", "IN;PU0,0;PD10,0;PD10,10;PD0,0;"},
      // Line type 2 (half dash) with a pattern of 4 % of the 5000-unit P1-P2 diagonal.
      {"IN;IP0,0,3000,4000;LT2;PU0,0;PD400,0;", "IN;PU0,0;PD100,0;PU200,0;PD300,0;"},
      // Labels in the stroke font, 0.75 % x 1.5 % of P1-P2 ("!" is a bar and a dot).
      {"IN;SP1;PA0,0;LB!\x03", "IN;SP1;PU126,713;PD126,238;PU126,119;PD126,0;"},
      // Unknown commands and their parameters are skipped, comments too.
      {"IN;PW0.35;CO\"PD9,9;\";FT3,1;PU0,0;PD1,1;", "IN;PU0,0;PD1,1;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(NormalizeHpgl(c.in), c.out);
  }
}

std::vector<std::pair<double, double>> points(const std::string& text) {
  std::vector<std::pair<double, double>> out;
  static const std::regex pair(R"(P[UD](-?[0-9.]+),(-?[0-9.]+))");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pair); it != std::sregex_iterator(); ++it)
    out.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
  return out;
}

TEST(NormalizeHpgl, CurvesBecomeFineChords) {
  // A circle of radius 1000 around (5000, 5000), and a quarter arc.
  const auto circle = points(NormalizeHpgl("IN;PA5000,5000;CI1000;PD6000,5000;"));
  ASSERT_GT(circle.size(), 40u);
  for (auto [x, y] : circle) {
    if ((x == 6000 || x == 5000) && y == 5000) continue;
    EXPECT_NEAR(std::hypot(x - 5000, y - 5000), 1000, 1.0);
  }
  // The pen returned to the centre before the last move.
  EXPECT_EQ(NormalizeHpgl("IN;PA5000,5000;CI1000;PD5000,5001;").substr(0, 13), "IN;PU6000,500");
  const auto arc = points(NormalizeHpgl("IN;PA1000,0;PD;AA0,0,90;"));
  ASSERT_FALSE(arc.empty());
  EXPECT_NEAR(arc.back().first, 0, 0.5);
  EXPECT_NEAR(arc.back().second, 1000, 0.5);
  // A three-point arc through (0,0), (100,100) and (200,0) bulges upwards.
  const auto at = points(NormalizeHpgl("IN;PA0,0;PD;AT100,100,200,0;"));
  double top = 0;
  for (auto p : at) top = std::max(top, p.second);
  EXPECT_NEAR(top, 100, 0.5);
}

TEST(NormalizeHpgl, RefusesWhatIsNoPlotterFileAndBoundsItsWork) {
  EXPECT_THROW(NormalizeHpgl(""), HpglNormalizeError);
  EXPECT_THROW(NormalizeHpgl("Hello world, this is a letter."), HpglNormalizeError);
  std::string binary;
  for (int i = 0; i < 20000; ++i) binary += char((i * 7919) % 251);
  EXPECT_THROW(NormalizeHpgl(binary), HpglNormalizeError);

  HpglNormalizeLimits small;
  small.maxOutputBytes = 1000;
  EXPECT_THROW(NormalizeHpgl("IN;LT1,0.001;PU0,0;PD1000000000,0;", {}, small), HpglNormalizeError);
  small.maxInputBytes = 10;
  EXPECT_THROW(NormalizeHpgl("IN;PU0,0;PD1,1;", {}, small), HpglNormalizeError);
  // Huge numbers are clipped at the hard-clip limits rather than overflowing.
  const std::string out = NormalizeHpgl("IN;SC0,1e-30,0,1e-30;PU0,0;PD1,1;PD99999999999999999999,5;CI1e30;AA1,1,1e30;");
  EXPECT_EQ(out.substr(0, 3), "IN;");
}

// The converted drawing as the viewer reads it.
void expectEngineReads(const std::string& normalized) {
  HpglEngine engine;
  RecordingCanvas canvas;
  engine.PlotBytes("x", {normalized.begin(), normalized.end()}, canvas);
  EXPECT_FALSE(engine.NeedsConversion);
  // Nothing but "IN;" and SP, PU and PD with one pair, PG and VS.
  ASSERT_EQ(normalized.substr(0, 3), "IN;");
  for (std::size_t at = 3, end; at < normalized.size(); at = end + 1) {
    end = normalized.find(';', at);
    ASSERT_NE(end, std::string::npos);
    const std::string cmd = normalized.substr(at, end - at), name = cmd.substr(0, 2), rest = cmd.substr(2);
    if (name == "PU" || name == "PD") {
      const auto comma = rest.find(',');
      ASSERT_NE(comma, std::string::npos) << cmd;
      EXPECT_TRUE(parseInt(rest.substr(0, comma)) && parseInt(rest.substr(comma + 1))) << cmd;
    } else if (name == "SP" || name == "VS") {
      EXPECT_TRUE(parseInt(rest)) << cmd;
    } else {
      EXPECT_EQ(cmd, "PG");
    }
  }
}

// Occupancy of a drawing's segments on a grid over its own bounding box, so
// that drawings at different scales and positions can be compared.
struct Raster {
  static constexpr int N = 160;
  std::vector<bool> cell = std::vector<bool>(N * N);
  bool at(int x, int y) const { return x >= 0 && y >= 0 && x < N && y < N && cell[y * N + x]; }
};

Raster rasterize(const std::string& hpgl) {
  static const std::regex move(R"((P[UD]);?(?:PA;?)?(-?[0-9.]+),(-?[0-9.]+))");
  struct Seg {
    double x0, y0, x1, y1;
  };
  std::vector<Seg> segs;
  double x = 0, y = 0, minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
  for (auto it = std::sregex_iterator(hpgl.begin(), hpgl.end(), move); it != std::sregex_iterator(); ++it) {
    const double nx = std::stod((*it)[2]), ny = std::stod((*it)[3]);
    if ((*it)[1] == "PD") {
      segs.push_back({x, y, nx, ny});
      for (double v : {x, nx}) minX = std::min(minX, v), maxX = std::max(maxX, v);
      for (double v : {y, ny}) minY = std::min(minY, v), maxY = std::max(maxY, v);
    }
    x = nx;
    y = ny;
  }
  Raster r;
  const double scale = (Raster::N - 1) / std::max({maxX - minX, maxY - minY, 1e-9});
  for (const auto& s : segs) {
    const int steps = 1 + int(std::hypot(s.x1 - s.x0, s.y1 - s.y0) * scale * 2);
    for (int i = 0; i <= steps; ++i) {
      const double t = double(i) / steps;
      const int cx = int((s.x0 + (s.x1 - s.x0) * t - minX) * scale);
      const int cy = int((s.y0 + (s.y1 - s.y0) * t - minY) * scale);
      r.cell[cy * Raster::N + cx] = true;
    }
  }
  return r;
}

// Share of the cells of a that lie within two cells of a drawn cell of b.
double covered(const Raster& a, const Raster& b) {
  int on = 0, near = 0;
  for (int y = 0; y < Raster::N; ++y)
    for (int x = 0; x < Raster::N; ++x) {
      if (!a.at(x, y)) continue;
      ++on;
      bool found = false;
      for (int dy = -2; dy <= 2 && !found; ++dy)
        for (int dx = -2; dx <= 2 && !found; ++dx) found = b.at(x + dx, y + dy);
      near += found;
    }
  return on ? double(near) / on : 1.0;
}

TEST(NormalizeHpgl, FixturesConvertToWhatTheViewerReads) {
  for (const char* name : {"hpgl/plotutils_pic2plot_hpgl1.hpgl", "hpgl/gnuplot_pcl5_hpgl2_pe.plt"}) {
    SCOPED_TRACE(name);
    const auto bytes = test::readBytes(test::fixture(name));
    const std::string out = NormalizeHpgl({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    expectEngineReads(out);
    EXPECT_GT(out.size(), 2000u);
  }
}

TEST(NormalizeHpgl, CorpusConvertsToWhatTheViewerReadsWithTheOraclesGeometry) {
  if (!test::haveTestdata()) GTEST_SKIP() << "sample corpus not present";
  // Files whose labels or fills hp2xx draws in its own way are compared by
  // their reading only.
  const std::set<std::string> ownLettering = {
      "ascii.hp", "char7.hp", "charsets.hp", "charsize.hp", "cp.hp", "di.hp", "dt.plt", "dv.hpg", "lo.hp", "symbols.hp",
      "fill.plt", "ul.hp", "lt.hp", "pw.hpg", "win_1.hp", "spectrum.plt", "pages.hp", "thick.hp", "fwedges.plt",
      "iw.hp", "plotutils_graph_pclfont.hpgl", "plotutils_pic2plot_hpgl2.hpgl", "gnuplot_pcl5_hpgl2_pe.plt",
      // drawn past its rotated page, which hp2xx cuts off
      "286x192.5_lh.hpg"};
  const bool haveOracle = std::system("hp2xx -h </dev/null >/dev/null 2>&1") != 127;
  test::TempDir dir;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(test::testdata("hpgl"))) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    const auto bytes = test::readBytes(entry.path());
    const std::string ours = NormalizeHpgl({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    expectEngineReads(ours);
    if (!haveOracle || ownLettering.count(name) || entry.file_size() > 200000) continue;
    const auto theirs = dir / (name + ".hpgl");
    const std::string cmd =
        "hp2xx -q -m hpgl -f '" + theirs.string() + "' '" + entry.path().string() + "' </dev/null >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0 || !std::filesystem::exists(theirs)) continue;
    const auto ref = test::readBytes(theirs);
    const Raster a = rasterize(ours), b = rasterize(std::string(ref.begin(), ref.end()));
    EXPECT_GT(covered(a, b), 0.9);
    EXPECT_GT(covered(b, a), 0.9);
  }
}

}  // namespace
}  // namespace pelindra
