#include <gtest/gtest.h>

#include "engine/dxf/dxf_read.h"
#include "tests/engine/dxf/dxf_test_support.h"

namespace pelindra {
namespace {

using test::dxf_text;
using test::entities_file;
using test::Group;
using test::read_dxf;

const std::vector<Group> a_line{{0, "LINE"}, {8, "L"}, {10, "1"}, {20, "2"}, {11, "3"}, {21, "4"}};

std::vector<Group> section(const char* name, std::vector<Group> body) {
  std::vector<Group> g{{0, "SECTION"}, {2, name}};
  g.insert(g.end(), body.begin(), body.end());
  g.push_back({0, "ENDSEC"});
  return g;
}

std::string file_of(std::initializer_list<std::vector<Group>> sections) {
  std::vector<Group> g;
  for (const auto& s : sections) g.insert(g.end(), s.begin(), s.end());
  g.push_back({0, "EOF"});
  return dxf_text(g);
}

TEST(DxfReader, ReadsTheFourSectionsInOrder) {
  const std::string text = file_of({
      section("HEADER", {{9, "$ACADVER"}, {1, "AC1009"}}),
      section("TABLES", {{0, "TABLE"},
                         {2, "LAYER"},
                         {70, "1"},
                         {0, "LAYER"},
                         {2, "RED"},
                         {70, "0"},
                         {62, "1"},
                         {6, "CONTINUOUS"},
                         {0, "ENDTAB"}}),
      section("BLOCKS", {{0, "BLOCK"},
                         {8, "0"},
                         {2, "B"},
                         {10, "0"},
                         {20, "0"},
                         {0, "CIRCLE"},
                         {8, "0"},
                         {10, "0"},
                         {20, "0"},
                         {40, "1"},
                         {0, "ENDBLK"}}),
      section("ENTITIES", {{0, "INSERT"},
                           {8, "RED"},
                           {2, "B"},
                           {10, "5"},
                           {20, "5"},
                           {0, "LINE"},
                           {8, "RED"},
                           {62, "256"},
                           {10, "0"},
                           {20, "0"},
                           {11, "10"},
                           {21, "-3"}}),
  });
  const auto r = read_dxf(text);
  EXPECT_EQ(r.messages(), "");
  EXPECT_EQ(r.lists(), "RED/Insert_:1 RED/Line_:1 0/Block_:1");
  // By-layer colour comes from the table; the insert (colour 0) takes it too.
  EXPECT_EQ(r.first("Line_")->colour_number, 1);
  EXPECT_EQ(r.first("Insert_")->colour_number, 1);
  // No header extents: the entities' box, which always holds the origin.
  EXPECT_EQ(r.min.x, 0);
  EXPECT_EQ(r.min.y, -3);
  EXPECT_EQ(r.max.x, 10);
  EXPECT_EQ(r.max.y, 5);
}

TEST(DxfReader, SectionsOutOfOrderLeaveNothing) {
  const std::string no_header = file_of({section("ENTITIES", a_line)});
  EXPECT_EQ(read_dxf(no_header).lists(), "L/Line_:1");

  const std::string classes = file_of({section("HEADER", {}), section("CLASSES", {}), section("TABLES", {}),
                                       section("BLOCKS", {}), section("ENTITIES", a_line)});
  const auto r = read_dxf(classes);
  EXPECT_EQ(r.lists(), "");
  EXPECT_EQ(r.messages(), "error: No Entities or invalid Entities section in DXF file\n");

  // Lines with CR alone are one long line.
  std::string cr = no_header;
  for (std::size_t i; (i = cr.find("\r\n")) != std::string::npos;) cr.erase(i + 1, 1);
  EXPECT_EQ(read_dxf(cr).messages(), "error: No Entities or invalid Entities section in DXF file\n");
}

TEST(DxfReader, HeaderExtents) {
  auto with_header = [](std::vector<Group> header) {
    return read_dxf(file_of({section("HEADER", header), section("ENTITIES", a_line)}));
  };
  // Both set: they stand as read (z is not read).
  auto r = with_header({{9, "$EXTMIN"}, {10, "-5"}, {20, "-6"}, {30, "9"}, {9, "$EXTMAX"}, {10, "50"}, {20, "60"}});
  EXPECT_EQ(r.min.x, -5);
  EXPECT_EQ(r.min.y, -6);
  EXPECT_EQ(r.min.z, 0);
  EXPECT_EQ(r.max.y, 60);
  // The minimum at the origin: widened over the entities from the header's values.
  r = with_header({{9, "$EXTMIN"}, {10, "0"}, {20, "0"}, {9, "$EXTMAX"}, {10, "100"}, {20, "50"}});
  EXPECT_EQ(r.min.x, 0);
  EXPECT_EQ(r.max.x, 100);
  EXPECT_EQ(r.max.y, 50);
  // Unknown extents written as an inverted box: exactly the entities' box.
  r = with_header({{9, "$EXTMIN"}, {10, "1e+20"}, {20, "1e+20"}, {9, "$EXTMAX"}, {10, "-1e+20"}, {20, "-1e+20"}});
  EXPECT_EQ(r.min.x, 1);
  EXPECT_EQ(r.min.y, 2);
  EXPECT_EQ(r.max.x, 3);
  EXPECT_EQ(r.max.y, 4);
  // A bad number in the header ends the read.
  r = with_header({{9, "$EXTMIN"}, {10, "x"}, {20, "0"}});
  EXPECT_EQ(r.lists(), "");
  EXPECT_EQ(r.messages(), "error: Invalid Floating point conversion\r\nError occured at or near line number 8\n");
}

TEST(DxfReader, EntityWarningsAndTheUsersAnswer) {
  std::vector<Group> g{{0, "LINE"}, {10, "1,5"}, {20, "0"}, {11, "1"}, {21, "1"}};
  g.insert(g.end(), a_line.begin(), a_line.end());
  g.insert(g.end(), a_line.begin(), a_line.end());
  g.insert(1 + g.begin() + 5 + 6, Group{62, "red"});  // in the second line
  const std::string text = entities_file(g);

  auto r = read_dxf(text);
  EXPECT_EQ(r.messages(),
            "warning: Invalid Floating point conversion\r\nError occured at or near line number 20\n"
            "warning: Invalid Integer conversion\r\nError occured at or near line number 42\n");
  EXPECT_EQ(r.lists(), "L/Line_:1");

  // Cancel ends the read with one error box; what was read stays.
  r = read_dxf(text, 2);
  EXPECT_EQ(r.events.messages.size(), 3u);
  EXPECT_EQ(r.events.messages[2].text, "User aborted");
  EXPECT_EQ(r.lists(), "L/Line_:1");
  r = read_dxf(entities_file([&] {
                 auto h = a_line;
                 h.insert(h.end(), g.begin(), g.end());
                 return h;
               }()),
               1);
  EXPECT_EQ(r.lists(), "L/Line_:1");
  EXPECT_EQ(r.events.messages.back().text, "User aborted");
}

TEST(DxfReader, SimpleEntities) {
  const auto r = read_dxf(entities_file({
      {0, "TEXT"},    {10, "1"},     {20, "2"},       {40, "2.5"}, {1, "Hello"}, {72, "1"},  {11, "4"}, {21, "5"},
      {0, "POINT"},   {8, "P"},      {10, "7"},       {20, "8"},   {30, "9"},    {0, "ARC"}, {8, "P"},  {10, "0"},
      {20, "0"},      {40, "2"},     {50, "90"},      {51, "180"}, {0, "SOLID"}, {8, "P"},   {10, "0"}, {20, "0"},
      {11, "1"},      {21, "0"},     {12, "1"},       {22, "1"},   {13, "1"},    {23, "1"},  {39, "3"}, {0, "3DFACE"},
      {8, "P"},       {10, "0"},     {20, "0"},       {11, "1"},   {21, "0"},    {12, "1"},  {22, "1"}, {13, "0"},
      {23, "1"},      {0, "ATTDEF"}, {8, "P"},        {10, "1"},   {20, "1"},    {40, "1"},  {1, "v"},  {2, "TAG"},
      {3, "Prompt?"}, {70, "1"},     {0, "WHATEVER"}, {8, "P"},    {10, "1"},
  }));
  EXPECT_EQ(r.messages(), "");
  // A record without group 8 lands on a layer with an empty name.
  EXPECT_EQ(r.lists(), "/Text_:1 P/Point_:1 P/Arc_:1 P/Solid_:1 P/Face3D_:1 P/Attdef_:1");
  EXPECT_EQ(r.skipped, std::vector<std::string>{"WHATEVER"});

  const auto& text = dynamic_cast<const Text_&>(*r.first("Text_"));
  EXPECT_EQ(text.text, "Hello");
  EXPECT_EQ(text.height, 2.5);
  EXPECT_EQ(text.h_align, 1);
  EXPECT_EQ(text.align_point.x, 4);
  EXPECT_EQ(dynamic_cast<const Point_&>(*r.first("Point_")).point.z, 9);
  const auto& arc = dynamic_cast<const Arc_&>(*r.first("Arc_"));
  EXPECT_DOUBLE_EQ(arc.end_angle, 3.141592653589793);
  // Three corners when the fourth repeats the third.
  EXPECT_EQ(dynamic_cast<const Solid_&>(*r.first("Solid_")).count, 3);
  EXPECT_EQ(dynamic_cast<const Solid_&>(*r.first("Solid_")).thickness, 3);
  EXPECT_EQ(dynamic_cast<const Face3D_&>(*r.first("Face3D_")).count, 4);
  const auto& attdef = dynamic_cast<const Attdef_&>(*r.first("Attdef_"));
  EXPECT_EQ(attdef.text, "TAG");
  EXPECT_EQ(attdef.value, "v");
  EXPECT_EQ(attdef.prompt, "Prompt?");
  EXPECT_FALSE(attdef.visible);
}

std::vector<Group> block(const char* name, std::vector<Group> body) {
  std::vector<Group> g{{0, "BLOCK"}, {8, "0"}, {2, name}, {10, "0"}, {20, "0"}};
  g.insert(g.end(), body.begin(), body.end());
  g.push_back({0, "ENDBLK"});
  return g;
}

std::vector<Group> insert(const char* name, int attribs = 0) {
  std::vector<Group> g{{0, "INSERT"}, {8, "I"}, {2, name}, {10, "1"}, {20, "1"}};
  if (attribs == 0) return g;
  g.push_back({66, "1"});
  for (int i = 0; i < attribs; ++i)
    g.insert(g.end(),
             {{0, "ATTRIB"}, {8, "I"}, {10, "0"}, {20, "0"}, {40, "1"}, {1, "v" + std::to_string(i)}, {2, "T"}});
  g.insert(g.end(), {{0, "SEQEND"}, {8, "I"}});
  return g;
}

TEST(DxfReader, InsertsAndBlocks) {
  auto blocks = block("B", {{0, "LINE"}, {8, "0"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}});
  const auto later = block("LATER", {});
  // An insert in a block can only name a block defined before it.
  auto uses_later = block("C", insert("LATER"));
  blocks.insert(blocks.end(), uses_later.begin(), uses_later.end());
  blocks.insert(blocks.end(), later.begin(), later.end());
  std::vector<Group> ents = insert("B", 3);
  const auto missing = insert("NOWHERE");
  ents.insert(ents.end(), missing.begin(), missing.end());
  const auto too_many = insert("B", 17);
  ents.insert(ents.end(), too_many.begin(), too_many.end());
  ents.insert(ents.end(), a_line.begin(), a_line.end());

  const auto r = read_dxf(file_of({section("BLOCKS", blocks), section("ENTITIES", ents)}));
  const std::string undefined =
      "Cannot reference an undefined BLOCK\r\n\r\n(File may not have been saved with BLOCKs)\r\n\r\n"
      "Error occured at or near line number ";
  EXPECT_EQ(r.messages(), "warning: " + undefined + "58\n" + "warning: " + undefined + "146\n" +
                              "note: This version only handles 16 ATTRIBs\n");
  EXPECT_EQ(r.lists(), "0/Block_:3 I/Insert_:1 L/Line_:1");
  const auto& ins = dynamic_cast<const Insert_&>(*r.first("Insert_"));
  ASSERT_EQ(ins.attrib_count, 3);
  EXPECT_EQ(ins.attribs[2]->value, "v2");
  EXPECT_EQ(ins.lookup_block()->name, "B");
  EXPECT_EQ(ins.scale.x, 1);  // an absent scale is 1
}

TEST(DxfReader, ManyAttribsAreBoundedAndTheSequenceIsConsumed) {
  auto ents = insert("B", 300);
  ents.insert(ents.end(), a_line.begin(), a_line.end());
  const auto r = read_dxf(file_of({section("BLOCKS", block("B", {})), section("ENTITIES", ents)}));
  EXPECT_EQ(r.messages(), "note: This version only handles 16 ATTRIBs\n");
  // No stray ATTRIB entities: the whole sequence belonged to the insert.
  EXPECT_EQ(r.lists(), "0/Block_:1 L/Line_:1");
}

TEST(DxfReader, BlockThatInsertsItselfIsDrawnOnce) {
  std::vector<Group> body = insert("SELF");
  body.insert(body.end(), a_line.begin(), a_line.end());
  const auto r = read_dxf(file_of({section("BLOCKS", block("SELF", body)), section("ENTITIES", insert("SELF"))}));
  EXPECT_EQ(r.messages(), "");
  const auto& ins = dynamic_cast<const Insert_&>(*r.first("Insert_"));
  // Drawing and describing end; the cycle is cut where the block meets itself.
  EXPECT_EQ(ins.draw_cost(), 4u);  // insert, block, line, inner insert
  EXPECT_NE(ins.describe().find("----BLOCK-----"), std::string::npos);
}

std::vector<Group> polyline(int flags, int vertices, std::vector<Group> head = {}, int vertex_flags = 0) {
  std::vector<Group> g{{0, "POLYLINE"}, {8, "P"}, {66, "1"}, {70, std::to_string(flags)}};
  g.insert(g.end(), head.begin(), head.end());
  for (int i = 0; i < vertices; ++i)
    g.insert(g.end(), {{0, "VERTEX"},
                       {8, "P"},
                       {10, std::to_string(i)},
                       {20, std::to_string(i % 7)},
                       {70, std::to_string(vertex_flags)}});
  g.insert(g.end(), {{0, "SEQEND"}, {8, "P"}});
  return g;
}

TEST(DxfReader, PolylinesOfEachKind) {
  auto g = polyline(1, 4);
  auto mesh = polyline(16, 12, {{71, "3"}, {72, "4"}}, 64);
  auto bad_mesh = polyline(16, 11, {{71, "3"}, {72, "4"}}, 64);  // 11 of 3 x 4: left out silently
  auto face = polyline(64, 4, {}, 192);
  face.pop_back();
  face.pop_back();
  face.insert(face.end(), {{0, "VERTEX"}, {70, "128"}, {71, "1"}, {72, "-2"}, {73, "3"}, {0, "SEQEND"}});
  for (auto* p : {&mesh, &bad_mesh, &face}) g.insert(g.end(), p->begin(), p->end());
  const auto r = read_dxf(entities_file(g));
  EXPECT_EQ(r.messages(), "");
  EXPECT_EQ(r.lists(), "P/Polyline_:1 P/Polygon_mesh_:1 P/Polyface_mesh_:1");
  const auto& pl = dynamic_cast<const Polyline_&>(*r.first("Polyline_"));
  EXPECT_TRUE(pl.closed);
  EXPECT_EQ(pl.count, 4);
  const auto& m = dynamic_cast<const Polygon_mesh_&>(*r.first("Polygon_mesh_"));
  EXPECT_EQ(m.m, 3);
  EXPECT_EQ(m.n, 4);
  EXPECT_EQ(m.count, 12);
  const auto& pf = dynamic_cast<const Polyface_mesh_&>(*r.first("Polyface_mesh_"));
  ASSERT_EQ(pf.face_count, 1);
  EXPECT_EQ(pf.faces[0], (Polyface_mesh_::Face{0, 1, 2, -1}));
}

TEST(DxfReader, PolylineLimitsAndMalformedSequences) {
  // 8192 vertices are read, 8193 are refused.
  auto r = read_dxf(entities_file(polyline(0, 8192)));
  EXPECT_EQ(r.lists(), "P/Polyline_:1");
  r = read_dxf(entities_file(polyline(0, 8193)));
  EXPECT_EQ(r.lists(), "");
  EXPECT_EQ(r.messages().find("warning: Polyline contained more than 8192 vertices\r\n"), 0u);

  // A mesh vertex without its flag, a polyface record that is neither.
  r = read_dxf(entities_file(polyline(16, 4, {{71, "2"}, {72, "2"}}, 0)));
  EXPECT_EQ(r.messages().find("warning: Error reading POLYLINE entity\r\n"), 0u);
  r = read_dxf(entities_file(polyline(64, 1, {}, 32)));
  EXPECT_EQ(r.messages().find("warning: Error reading POLYLINE entity\r\n"), 0u);

  // Faces beyond the buffer fail the polyline instead of overrunning it.
  std::vector<Group> faces = polyline(64, 3, {}, 192);
  faces.pop_back();
  faces.pop_back();
  for (int i = 0; i < 4097; ++i)
    faces.insert(faces.end(), {{0, "VERTEX"}, {70, "128"}, {71, "1"}, {72, "2"}, {73, "3"}});
  faces.push_back({0, "SEQEND"});
  r = read_dxf(entities_file(faces));
  EXPECT_EQ(r.lists(), "");
  EXPECT_EQ(r.messages().find("warning: Polyface mesh contained more than 4096 faces\r\n"), 0u);
}

TEST(DxfReader, PolylineWithoutVerticesIsDroppedAndTheNextEntityKept) {
  // SEQEND at once, with and without groups of its own.
  std::vector<Group> g{{0, "POLYLINE"}, {8, "P"}, {66, "1"}, {0, "SEQEND"}, {8, "P"}};
  g.insert(g.end(), a_line.begin(), a_line.end());
  g.insert(g.end(), {{0, "POLYLINE"}, {8, "P"}, {66, "1"}, {0, "SEQEND"}});
  g.insert(g.end(), a_line.begin(), a_line.end());
  const auto r = read_dxf(entities_file(g));
  EXPECT_EQ(r.messages(), "");
  EXPECT_EQ(r.lists(), "L/Line_:2");
}

TEST(DxfReader, TablesWithHandlesAndViewports) {
  // Entries whose name follows a handle, a viewport table without an active
  // viewport, and negative (switched off) layer colours.
  const std::string text = file_of({
      section("TABLES",
              {{0, "TABLE"}, {2, "VPORT"},  {0, "VPORT"},  {5, "23"},    {2, "*Active"}, {0, "ENDTAB"}, {0, "TABLE"},
               {2, "VPORT"}, {0, "ENDTAB"}, {0, "TABLE"},  {2, "LAYER"}, {0, "LAYER"},   {5, "10"},     {2, "OFF"},
               {62, "-3"},   {0, "LAYER"},  {5, "11"},     {2, "EMPTY"}, {62, "5"},      {0, "ENDTAB"}, {0, "TABLE"},
               {2, "LTYPE"}, {0, "LTYPE"},  {2, "DASHED"}, {0, "ENDTAB"}}),
      section("ENTITIES", {{0, "CIRCLE"}, {8, "OFF"}, {10, "0"}, {20, "0"}, {40, "1"}}),
  });
  const auto r = read_dxf(text);
  EXPECT_EQ(r.messages(), "");
  ASSERT_EQ(r.layers.size(), 2u);
  EXPECT_EQ(r.layers[1]->colour_number, 5);
  EXPECT_EQ(r.first("Circle_")->colour_number, -3);
  EXPECT_EQ(r.first("Circle_")->rgb, rgb(0, 128, 0));
}

TEST(DxfReader, ProgressAndStop) {
  struct Events : DXF_Recorded_Events {
    int calls = 0;
    std::vector<std::string> progress;
    void process_messages() override {
      ++calls;
      progress.push_back(dxf_load_status().progress_text);
    }
    bool stop_requested() override { return calls == 5; }
  } events;
  std::vector<Group> g;
  for (int i = 0; i < 400; ++i) g.insert(g.end(), a_line.begin(), a_line.end());
  const std::string text = entities_file(g);
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  DXF_Reader reader(std::make_unique<DXF_Memory_Source>(bytes), &events);
  reader.read_file();
  // Each search for the first three sections reads the first buffer and
  // rewinds; the fifth fill is the second buffer of the entities. Stopped
  // there quietly, with what was read before.
  EXPECT_TRUE(events.messages.empty());
  EXPECT_EQ(events.calls, 5);
  const auto percent = [&](std::size_t read) {
    return std::to_string((read * 100 + (bytes.size() + 1) / 2) / (bytes.size() + 1)) + "%";
  };
  EXPECT_EQ(events.progress,
            (std::vector<std::string>{percent(4096), percent(4096), percent(4096), percent(4096), percent(8192)}));
  const auto layers = reader.take_layers();
  ASSERT_EQ(layers.size(), 1u);
  EXPECT_GT(layers[0]->lists[0]->entities.size(), 50u);
  EXPECT_LT(layers[0]->lists[0]->entities.size(), 400u);
}

}  // namespace
}  // namespace pelindra
