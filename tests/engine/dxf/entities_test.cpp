#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "engine/canvas/recording_canvas.h"
#include "engine/dxf/dxf_structs.h"

namespace pelindra {
namespace {

// One drawing unit is one canvas pixel, y upwards; no matrix is applied to
// the result beyond the one handed in.
void identity_map(void*, const Point3D& p, const Matrix* m, Point& out) {
  const Point3D q = m ? transform_point(*m, p) : p;
  out = {int(std::lround(q.x)), int(std::lround(-q.y))};
}

std::string draw(const DXF_Entity& e, const Matrix* m = nullptr) {
  RecordingCanvas c;
  e.draw(c, m, identity_map, nullptr);
  return c.dump();
}

TEST(DxfEntities, ColourNumbers) {
  struct Case {
    int number;
    Color colour;
  };
  const Case cases[] = {{7, rgb(0, 0, 0)},       {1, rgb(255, 0, 0)},  {14, rgb(255, 0, 0)},
                        {256, rgb(255, 0, 255)}, {-1, rgb(255, 0, 0)}, {-2147483647 - 1, dxf_colour(2147483647 - 12)}};
  for (const Case& c : cases) {
    Point_ p(wcs_z_axis, c.number, origin);
    EXPECT_EQ(p.rgb, c.colour) << c.number;
    EXPECT_EQ(p.colour_number, c.number);
  }
  Point_ p(wcs_z_axis, 3, origin);
  p.set_rgb(rgb(128, 128, 128));
  EXPECT_EQ(p.colour_number, 12);  // the last entry of that colour
  p.set_rgb(rgb(1, 2, 3));
  EXPECT_EQ(p.colour_number, 0);

  // By block and by layer take the layer's colour when filed.
  DXF_Layer layer("L");
  layer.colour_number = 5;
  for (int n : {0, 256, 3}) layer.add_entity(std::make_unique<Line_>(origin, n, origin));
  const auto& lines = layer.lists[0]->entities;
  EXPECT_EQ(lines[0]->colour_number, 5);
  EXPECT_EQ(lines[1]->colour_number, 5);
  EXPECT_EQ(lines[2]->colour_number, 3);
  layer.add_entity(std::make_unique<Point_>(wcs_z_axis, 1, origin));
  EXPECT_EQ(layer.list_names, (std::vector<std::string>{"Line_", "Point_"}));
}

TEST(DxfEntities, Construction) {
  const Point3D five[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 0}};
  Polyline_ square(wcs_z_axis, false, 0, five, 5);
  EXPECT_TRUE(square.closed);
  EXPECT_EQ(square.count, 4);
  Polyline_ single(wcs_z_axis, false, 0, five, 1);
  EXPECT_EQ(single.count, 1);
  // A mesh keeps every vertex of its grid even when the last repeats the first.
  Polygon_mesh_ mesh(5, 0, 0, five, 5, 1);
  EXPECT_EQ(mesh.count, 5);
  EXPECT_FALSE(mesh.closed);

  Text_ at_origin(wcs_z_axis, 0, 0, 1, "t", origin, {3, 4, 0});
  EXPECT_EQ(at_origin.align_point.x, 3);
  Circle_ tilted({0, 0, -1}, 0, 1, origin);
  ASSERT_TRUE(tilted.ocs);
  EXPECT_EQ(tilted.ocs->m[0][0], -1);
  Circle_ flat(wcs_z_axis, 0, 1, origin);
  EXPECT_FALSE(flat.ocs);
  Block_ b("B", {2, 3, 0});
  EXPECT_EQ(transform_point(*b.ocs, {2, 3, 0}).x, 0);
  EXPECT_EQ(b.dxf_name(), "BLOCK");
  EXPECT_EQ(tilted.dxf_name(), "CIRCLE");
  EXPECT_EQ(Face3D_(3, 0, five).dxf_name(), "3DFACE");

  std::vector<std::unique_ptr<Attrib_>> many;
  for (int i = 0; i < 17; ++i)
    many.push_back(std::make_unique<Attrib_>(wcs_z_axis, 0, 1, 0, 0, "v", "t", origin, origin));
  try {
    Insert_ i(wcs_z_axis, origin, {1, 1, 1}, 0, 0, std::move(many), "B");
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "This version only handles 16 ATTRIBs");
  }
}

TEST(DxfEntities, InsertTransformRotatesThenScales) {
  Insert_ i(wcs_z_axis, {10, 20, 0}, {2, 1, 1}, 90, 0, {}, "B");
  const Point3D p = transform_point(*i.ocs, {0, 1, 0});
  EXPECT_NEAR(p.x, 8, 1e-12);
  EXPECT_NEAR(p.y, 20, 1e-12);
  Entity_List list("Block_", nullptr);
  EXPECT_THROW(i.set_block_list(&list), std::runtime_error);
  try {
    i.lookup_block();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Block reference B not found");
  }
}

TEST(DxfEntities, Drawing) {
  EXPECT_EQ(draw(Point_(wcs_z_axis, 1, {10, -10, 0})), "line 8,8 13,13 pen=#ff0000/1\nline 8,12 13,7 pen=#ff0000/1\n");
  EXPECT_EQ(draw(Line_({0, 0, 0}, 5, {3, -4, 0})), "line 0,0 3,4 pen=#0000ff/1\n");
  EXPECT_EQ(draw(Circle_(wcs_z_axis, 0, 5, {10, -10, 0})), "ellipse 5,5 15,15 pen=#000000/1 brush=#ffffff\n");
  // One pixel wide on the canvas: a pixel.
  EXPECT_EQ(draw(Circle_(wcs_z_axis, 1, 0.5, {10, -10, 0})), "pixel 10,11 #ff0000\n");
  EXPECT_EQ(draw(Arc_(wcs_z_axis, 0, 0, 90, 10, origin)), "arc -10,-10 10,10 10,0 0,-10 pen=#000000/1\n");
  // A mirroring insert: the arc still runs counter-clockwise on the canvas.
  const Matrix mirror = scale_matrix({-1, 1, 1});
  EXPECT_EQ(draw(Arc_(wcs_z_axis, 0, 0, 90, 10, origin), &mirror), "arc -10,-10 10,10 0,-10 -10,0 pen=#000000/1\n");
  // A rotated insert swaps the corners; the circle keeps its box.
  const Matrix turn = rotate_z_matrix(0, 1);
  EXPECT_EQ(draw(Circle_(wcs_z_axis, 0, 5, {10, 0, 0}), &turn), "ellipse -5,5 5,15 pen=#000000/1 brush=#ffffff\n");

  const Point3D tri[] = {{0, 0, 0}, {10, 0, 0}, {0, -10, 0}};
  EXPECT_EQ(draw(Polyline_(wcs_z_axis, true, 0, tri, 3)), "polygon 0,0 10,0 0,10 pen=#000000/1 brush=#ffffff\n");
  EXPECT_EQ(draw(Polyline_(wcs_z_axis, false, 0, tri, 3)), "polyline 0,0 10,0 0,10 pen=#000000/1\n");
}

TEST(DxfEntities, DrawingTexts) {
  RecordingCanvas c;
  Text_ left(wcs_z_axis, 0, 1, 10, "A", {5, -5, 0}, {1, -1, 0});
  left.draw(c, nullptr, identity_map, nullptr);
  Text_ keeps(wcs_z_axis, 3, 1, 10, "B", origin, {1, -1, 0});
  keeps.draw(c, nullptr, identity_map, nullptr);
  Text_ flat(wcs_z_axis, 1, 1, 0, "C", origin, origin);  // no height on the canvas: not drawn
  flat.draw(c, nullptr, identity_map, nullptr);
  Attrib_ hidden(wcs_z_axis, 1, 10, 0, 1, "value", "TAG", origin, origin);
  hidden.draw(c, nullptr, identity_map, nullptr);
  Attrib_ shown(wcs_z_axis, 1, 10, 2, 0, "caf\xe9", "TAG", origin, {2, 0, 0});
  shown.draw(c, nullptr, identity_map, nullptr);
  EXPECT_EQ(c.dump(),
            "text 5,5 'A' font=12/#ff0000 align=24\n"
            "text 1,1 'B' font=12/#ff0000 align=24\n"
            "text 2,0 'caf\xc3\xa9' font=12/#ff0000 align=26\n");

  // Texts in blocks move with the insert; attributes of an insert are placed
  // in its parent's coordinates.
  RecordingCanvas b;
  Block_ block("B", origin);
  block.entities.push_back(std::make_unique<Text_>(wcs_z_axis, 0, 0, 10, "in block", origin, Point3D{1, 0, 0}));
  std::vector<std::unique_ptr<Attrib_>> attribs;
  attribs.push_back(std::make_unique<Attrib_>(wcs_z_axis, 0, 10, 0, 0, "v", "T", origin, Point3D{50, 0, 0}));
  Insert_ ins(wcs_z_axis, {100, 0, 0}, {1, 1, 1}, 0, 0, std::move(attribs), "B");
  ins.block = &block;
  ins.draw(b, nullptr, identity_map, nullptr);
  EXPECT_EQ(b.dump(),
            "text 50,0 'v' font=12/#000000 align=24\n"
            "text 101,0 'in block' font=12/#000000 align=24\n");
}

TEST(DxfEntities, DrawingMeshes) {
  Point3D grid[6];
  for (int i = 0; i < 6; ++i) grid[i] = {double(i % 3), -double(i / 3), 0};
  Polygon_mesh_ mesh(6, 0, 1 | 32, grid, 3, 2);  // 2 rows of 3, closed both ways
  EXPECT_EQ(draw(mesh),
            "polygon 0,0 1,0 2,0 pen=#000000/1 brush=#ffffff\n"
            "polygon 0,1 1,1 2,1 pen=#000000/1 brush=#ffffff\n"
            "line 0,0 0,1 pen=#000000/1\nline 0,1 0,0 pen=#000000/1\n"
            "line 1,0 1,1 pen=#000000/1\nline 1,1 1,0 pen=#000000/1\n"
            "line 2,0 2,1 pen=#000000/1\nline 2,1 2,0 pen=#000000/1\n");
  // A face naming a vertex the mesh does not have is left out.
  const Polyface_mesh_::Face faces[] = {{0, 1, 4, -1}, {0, 1, 9, -1}, {2, 3, 5, 0}};
  Polyface_mesh_ pf(6, 0, faces, grid, 3);
  EXPECT_EQ(draw(pf),
            "polygon 0,0 1,0 1,1 pen=#000000/1 brush=#ffffff\n"
            "polygon 2,0 0,1 2,1 0,0 pen=#000000/1 brush=#ffffff\n");
}

TEST(DxfEntities, Extents) {
  auto extents = [](const DXF_Entity& e) {
    Point3D hi{-1e9, -1e9, -1e9}, lo{1e9, 1e9, 1e9};
    e.grow_extents(hi, lo);
    return std::vector<double>{lo.x, lo.y, hi.x, hi.y};
  };
  EXPECT_EQ(extents(Circle_(wcs_z_axis, 0, 2, {1, 1, 5})), (std::vector<double>{-1, -1, 3, 3}));
  EXPECT_EQ(extents(Line_({1, 2, 0}, 0, {-3, 4, 0})), (std::vector<double>{-3, 2, 1, 4}));
  // Arcs take their ends and the quadrant points strictly inside.
  struct Case {
    double a1, a2;
    std::vector<double> box;  // rounded to 1e-9
  };
  const Case arcs[] = {
      {350, 10, {0.98480775301, -0.17364817767, 1, 0.17364817767}},
      {0, 360, {-1, -1, 1, 1}},
      {10, 80, {0.17364817767, 0.17364817767, 0.98480775301, 0.98480775301}},
      {90, 180, {-1, 0, 0, 1}},
      // Outside 0..360 the walk still ends.
      {-90, 450, {0, -1, 1, 1}},  // as 270 to 90
      {1e300, 3e300, {-1, -1, 1, 1}},
  };
  for (const Case& c : arcs) {
    auto box = extents(Arc_(wcs_z_axis, 0, c.a1, c.a2, 1, origin));
    for (double& v : box) v = std::round(v * 1e11) / 1e11;
    if (c.a1 < 1e299) EXPECT_EQ(box, c.box) << c.a1 << " " << c.a2;
  }
}

TEST(DxfEntities, Descriptions) {
  EXPECT_EQ(Circle_(wcs_z_axis, 0, 3, {1, 2, 0}).describe(), "Circle_\r\nWCS\r\n(1.00, 2.00, 0.00)\r\nRadius = 3.000");
  const Point3D two[] = {{0, 0, 0}, {1, 0, 0}};
  EXPECT_EQ(Polyline_(wcs_z_axis, true, 0, two, 2).describe(),
            "Polyline_\r\nWCS\r\nClosed\r\n(0.00, 0.00, 0.00)\r\n(1.00, 0.00, 0.00)");
  EXPECT_EQ(Arc_({0, 0, -1}, 0, 0, 90, 1, origin).describe(),
            "Arc_\r\nOCS Axis (0.00, 0.00, -1.00)\r\n(0.00, 0.00, 0.00)\r\nRadius = 1.000\r\nAngle 1 = 0.000\r\n"
            "Angle 2 = 1.571");
  EXPECT_EQ(Attrib_(wcs_z_axis, 0, 2, 0, 1, "val", "TAG", origin, origin).describe(),
            "Attrib_\r\nWCS\r\n(0.00, 0.00, 0.00)\r\nText \tTAG\r\nTextHeight = 2.000\r\nTag \tval\r\nInvisible");
  Point3D grid[4] = {};
  EXPECT_EQ(Polygon_mesh_(4, 0, 1, grid, 2, 2).describe(),
            "Polyline_ (polygon mesh)\r\nWCS\r\nVertices\t4\r\nM\t2\r\nN\t2\r\nClosed M\tTRUE\r\nClosed N\tFALSE");
  Block_ b("B", {1, 1, 0});
  b.entities.push_back(std::make_unique<Point_>(wcs_z_axis, 0, origin));
  Insert_ i(wcs_z_axis, origin, {1, 1, 1}, 45, 0, {}, "B");
  i.block = &b;
  EXPECT_EQ(
      i.describe(),
      "Insert_\r\nOCS Axis (0.00, 0.00, 1.00)\r\n(0.00, 0.00, 0.00)\r\nBlock \tB\r\nScaling\t(1.00, 1.00, 1.00)\r\n"
      "Rotation\t45.000\r\nAttribs \t0\r\n\r\n----BLOCK-----\r\nName :\tB\r\nBase :\t(1.00, 1.00, 0.00)\r\n\r\n"
      "Point_\r\nWCS\r\n(0.00, 0.00, 0.00)\r\n---ENDBLOCK---");
}

std::string dxf_of(const DXF_Entity& e, const std::string& layer = "0") {
  std::ostringstream out;
  e.write_dxf(out, layer);
  std::string s = out.str();
  for (std::size_t i; (i = s.find("\r\n")) != std::string::npos;) s.replace(i, 2, "|");
  return s;
}

TEST(DxfEntities, DxfOutput) {
  EXPECT_EQ(dxf_of(Line_({0, 0, 0}, 1, {1, 2, 0})),
            "0|LINE|8|0|62|1|10|0.000|20|0.000|30|0.000|11|1.000|21|2.000|31|0.000|");
  EXPECT_EQ(dxf_of(Arc_(wcs_z_axis, 2, 10, 20, 1, origin), "L"),
            "0|ARC|8|L|62|2|10|0.000|20|0.000|30|0.000|40|1.000|50|10.000|51|20.000|");
  // The value is group 1 and the tag group 2, as a reader expects them.
  EXPECT_EQ(dxf_of(Attrib_(wcs_z_axis, 0, 2, 0, 1, "val", "TAG", origin, origin)),
            "0|ATTRIB|8|0|62|0|10|0.000|20|0.000|30|0.000|40|2.000|1|val|2|TAG|70|1|");
  const Point3D tri[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
  EXPECT_EQ(dxf_of(Solid_(wcs_z_axis, 2.5, 0, tri, 3)),
            "0|SOLID|8|0|62|0|10|0.000|20|0.000|30|0.000|11|1.000|21|0.000|31|0.000|12|1.000|22|1.000|32|0.000|"
            "13|1.000|23|1.000|33|0.000|39| 2.50000000000000E+0000|");
  const Polyface_mesh_::Face face[] = {{0, 1, 2, -1}};
  EXPECT_EQ(dxf_of(Polyface_mesh_(3, 0, face, tri, 1)).substr(0, 44), "0|POLYLINE|8|0|62|0|66|1|70|64|71|3|72|1|0|V");
  EXPECT_NE(dxf_of(Polyface_mesh_(3, 0, face, tri, 1)).find("70|128|71|1|72|2|73|3|74|0|0|SEQEND|"), std::string::npos);
}

TEST(DxfEntities, EditingHelpers) {
  Line_ l({0, 0, 0}, 0, {2, 0, 0});
  const Point3D mid{1, 0, 0};
  EXPECT_EQ(l.nearest_point(mid).x, 2);  // a tie goes to the end point
  EXPECT_EQ(l.min_distance_sq(mid), 1);
  EXPECT_TRUE(l.move_point({2, 0, 0}, {5, 5, 0}));
  EXPECT_EQ(l.end.y, 5);
  l.translate({1, 1, 1});
  EXPECT_EQ(l.point.z, 1);
  Point_ p(wcs_z_axis, 0, {1.26, 2.5, 3.75});
  p.quantize(1 | 4, 2);
  EXPECT_EQ(p.point.x, 1.5);
  EXPECT_EQ(p.point.y, 2.5);
  EXPECT_EQ(p.point.z, 4);  // 7.5 to the even 8

  const Point3D sq[] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
  Polyline_ closed(wcs_z_axis, true, 0, sq, 4);
  EXPECT_TRUE(closed.contains({5, 5, 0}));
  EXPECT_FALSE(closed.contains({15, 5, 0}));
  EXPECT_FALSE(Polyline_(wcs_z_axis, false, 0, sq, 4).contains({5, 5, 0}));
  EXPECT_TRUE(Circle_(wcs_z_axis, 0, 1, origin).contains({1, 0, 0}));
  EXPECT_FALSE(Arc_(wcs_z_axis, 0, 0, 360, 1, origin).contains(origin));
  EXPECT_EQ(closed.nearest_point({9, 9, 0}).x, 10);
  EXPECT_EQ(closed.edge_count(), 4);
  EXPECT_TRUE(closed.is_closed());
  EXPECT_THROW(Block_("B", origin).translate(origin), std::logic_error);
}

}  // namespace
}  // namespace pelindra
