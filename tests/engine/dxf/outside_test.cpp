// Checks against an outside DXF implementation (ezdxf, run as a program) and
// sweeps over the sample corpus when it is present.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

#include "engine/canvas/recording_canvas.h"
#include "engine/dxf/dxf_view.h"
#include "engine/dxf/plt2dxf.h"
#include "tests/engine/support/test_support.h"

namespace pelindra {
namespace {

namespace fs = std::filesystem;

bool run(const std::string& command, std::string& output) {
  output.clear();
  FILE* p = popen(command.c_str(), "r");
  if (!p) return false;
  std::array<char, 4096> buf;
  for (std::size_t n; (n = fread(buf.data(), 1, buf.size(), p)) > 0;) output.append(buf.data(), n);
  return pclose(p) == 0;
}

bool have_ezdxf() {
  std::string out;
  return run("/usr/bin/python3 -c 'import ezdxf' 2>/dev/null", out);
}

std::string ezdxf(const std::string& mode, const fs::path& file) {
  std::string out;
  EXPECT_TRUE(
      run("/usr/bin/python3 " + test::fixture("dxf/ezdxf_check.py").string() + " " + mode + " '" + file.string() + "'",
          out))
      << out;
  return out;
}

struct Loaded {
  DXF_Recorded_Events events;
  DxfViewControl view{&events};
  std::string dump() const {
    std::string s;
    for (const auto& e : view.entries)
      if (e.list) s += e.list->layer->name + "/" + e.list->name + ":" + std::to_string(e.list->entities.size()) + " ";
    return s;
  }
};

std::string fixed3(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%.3f", v);
  return b;
}

TEST(DxfOutside, ReadsR12FilesWrittenByEzdxf) {
  if (!have_ezdxf()) GTEST_SKIP() << "ezdxf is not installed";
  test::TempDir dir;
  const auto file = dir / "r12.dxf";
  ezdxf("write-r12", file);
  Loaded l;
  RecordingCanvas canvas;
  l.view.load(file.string(), 2048, 1454, &canvas);
  EXPECT_TRUE(l.events.messages.empty());
  EXPECT_EQ(l.dump(),
            "0/Block_:4 FRAME/Line_:3 GEOMETRY/Arc_:2 GEOMETRY/Circle_:1 GEOMETRY/Polyline_:3 GEOMETRY/Point_:1 "
            "GEOMETRY/Solid_:1 GEOMETRY/Face3D_:1 TEXT/Text_:2 TEXT/Insert_:2 MESH/Polygon_mesh_:1 "
            "MESH/Polyface_mesh_:1 ");
  // The header's extents are unset (an inverted box): the entities' box.
  EXPECT_EQ(l.view.view_min.x, -10);
  EXPECT_EQ(l.view.view_min.y, -20);
  EXPECT_EQ(l.view.view_max.x, 200);
  EXPECT_EQ(l.view.view_max.y, 150);

  // Colours by layer, the attributes and the nested inserts.
  const DXF_Layer& frame = *l.view.drawing()->layers[1];
  EXPECT_EQ(frame.lists[0]->entities[0]->colour_number, 1);
  const Insert_* tag = nullptr;
  for (const auto& e : l.view.entries)
    if (e.list && e.list->name == "Insert_") tag = dynamic_cast<const Insert_*>(e.list->entities[0].get());
  ASSERT_TRUE(tag);
  ASSERT_EQ(tag->attrib_count, 2);
  EXPECT_EQ(tag->attribs[0]->value, "A-1");
  EXPECT_FALSE(tag->attribs[1]->visible);
  EXPECT_EQ(tag->scale.x, 2);
  EXPECT_EQ(canvas.count(CanvasOp::Kind::Text), 2u + 1 + 0);  // two texts, one visible attribute
}

// What one reader found in a converted drawing.
struct Seen {
  std::map<std::string, int> entities;  // "<TYPE> <layer>" -> count
  std::map<std::string, int> vertices;  // layer -> vertices of its polylines
  std::string min, max;                 // header extents, 3 decimals
};

Seen ours(const fs::path& dxf) {
  Seen seen;
  Loaded l;
  l.view.load(dxf.string(), 2048, 1454, nullptr);
  EXPECT_TRUE(l.events.messages.empty()) << dxf;
  if (const DXF_Object* d = l.view.drawing())
    for (const auto& layer : d->layers)
      for (const auto& list : layer->lists)
        for (const auto& e : list->entities) {
          ++seen.entities[(list->name == "Polyline_" ? "POLYLINE " : "CIRCLE ") + layer->name];
          if (auto* p = dynamic_cast<const Polyline_*>(e.get()))
            seen.vertices[layer->name] += p->count + (p->closed ? 1 : 0);
        }
  seen.min = fixed3(l.view.view_min.x) + " " + fixed3(l.view.view_min.y);
  seen.max = fixed3(l.view.view_max.x) + " " + fixed3(l.view.view_max.y);
  return seen;
}

// Converts HPGL files and checks that our reader reads each result whole and
// that ezdxf finds the same entities and extents in it.
void check_conversions(const std::vector<fs::path>& inputs, const fs::path& dir) {
  std::vector<fs::path> outputs;
  std::string names;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    outputs.push_back(dir / ("out" + std::to_string(i) + ".dxf"));
    Hpgl_To_Dxf converter;
    converter.convert(inputs[i].string(), outputs.back().string());
    names += " '" + outputs.back().string() + "'";
  }
  std::string out;
  ASSERT_TRUE(run("/usr/bin/python3 " + test::fixture("dxf/ezdxf_check.py").string() + " read" + names, out)) << out;
  std::istringstream in(out);
  std::string word, layer;
  in >> word;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    SCOPED_TRACE(inputs[i].string());
    std::string file;
    in >> file;
    ASSERT_EQ(file, outputs[i].string());
    Seen theirs;
    int n;
    double x, y;
    in >> word >> n;
    EXPECT_EQ(word + " " + std::to_string(n), "audit 0");
    in >> word >> x >> y;
    theirs.min = fixed3(x) + " " + fixed3(y);
    const bool min_set = x != 0 || y != 0;
    in >> word >> x >> y;
    theirs.max = fixed3(x) + " " + fixed3(y);
    const bool header_stands = min_set && (x != 0 || y != 0) && theirs.min <= theirs.max;
    while (in >> word && word != "file") {
      in >> layer >> n;
      ++theirs.entities[word + " " + layer];
      if (word == "POLYLINE") theirs.vertices[layer] += n;
    }
    const Seen mine = ours(outputs[i]);
    EXPECT_EQ(mine.entities, theirs.entities);
    EXPECT_EQ(mine.vertices, theirs.vertices);
    // Extents the header gives stand as read in both readers.
    if (header_stands && x >= std::stod(theirs.min)) {
      EXPECT_EQ(mine.min, theirs.min);
      EXPECT_EQ(mine.max, theirs.max);
    }
  }
}

TEST(DxfOutside, ConvertedHpglReadsBackWholeInBothReaders) {
  if (!have_ezdxf()) GTEST_SKIP() << "ezdxf is not installed";
  test::TempDir dir;
  const auto plt = dir / "in.plt";
  const std::string hpgl =
      "IN;SP1;PU0,0;PD400,0,400,400;PU;SP2;PA1000,1000;CI200;SP3;PD1500,1000;PU;PD;PU;PR;"
      "SC0,100,0,100;PA-4000,-4000;PD;XT;YT;PU;XT;SP7;PD40,40,80,0;";
  test::writeBytes(plt, std::vector<std::uint8_t>(hpgl.begin(), hpgl.end()));
  std::vector<fs::path> inputs{plt};
  if (test::haveTestdata())
    for (const auto& entry : fs::recursive_directory_iterator(test::testdata("hpgl")))
      if (entry.is_regular_file()) inputs.push_back(entry.path());
  check_conversions(inputs, dir.path());
}

TEST(DxfOutside, SampleCorpusLoads) {
  if (!test::haveTestdata()) GTEST_SKIP() << "sample corpus not present";
  // The first message each drawing gives ("" none); all of them load without
  // crashing or hanging.
  const std::map<std::string, std::string> expected = {
      {"bjnortier-dxf/floorplan.dxf", "No Entities or invalid Entities section in DXF file"},
      {"debian/openscad_decimal-comma.dxf",
       "Invalid Floating point conversion\r\nError occured at or near line number 10"},
      {"ezdxf/5_us_states.dxf", "No Entities or invalid Entities section in DXF file"},
      {"ezdxf/bin_dxf_r12.dxf", "No Entities or invalid Entities section in DXF file"},
      {"ezdxf/multi_insert_with_attribs.dxf", "No Entities or invalid Entities section in DXF file"},
      {"ezdxf/text_alignments.dxf", "No Entities or invalid Entities section in DXF file"},
      {"ezdxf/uncommon.dxf", "No Entities or invalid Entities section in DXF file"},
      {"ezdxf/recover01.dxf", "Invalid Integer conversion\r\nError occured at or near line number 22"},
      {"libdxf/all_R10_entities.dxf",
       "Cannot reference an undefined BLOCK\r\n\r\n(File may not have been saved with BLOCKs)\r\n\r\n"
       "Error occured at or near line number 1304"},
      {"libreoffice/bigangle-1.dxf", "No Entities or invalid Entities section in DXF file"},
      {"libreoffice/hang-1.dxf", "No Entities or invalid Entities section in DXF file"},
      {"libreoffice/pyramid.dxf", "No Entities or invalid Entities section in DXF file"},
  };
  const fs::path root = test::testdata("dxf");
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    ++files;
    const std::string name = fs::relative(entry.path(), root).generic_string();
    Loaded l;
    RecordingCanvas canvas;
    l.view.load(entry.path().string(), 2048, 1454, &canvas);
    const std::string first = l.events.messages.empty() ? "" : l.events.messages[0].text;
    const auto it = expected.find(name);
    EXPECT_EQ(first, it == expected.end() ? "" : it->second) << name;
  }
  EXPECT_GE(files, 30);
}

}  // namespace
}  // namespace pelindra
