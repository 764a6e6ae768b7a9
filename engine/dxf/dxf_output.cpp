// Descriptions, DXF output and the editing helpers of the DXF entity classes.

#include <cmath>
#include <numbers>

#include "engine/base/numbers.h"
#include "engine/dxf/dxf_structs.h"
#include "engine/dxf/group_codes.h"

namespace pelindra {

namespace {

constexpr const char* NL = "\r\n";
constexpr double radians_to_degrees = 180 / std::numbers::pi;

void group(std::ostream& out, int code, const std::string& value) { out << code << NL << value << NL; }
void group(std::ostream& out, int code, long long value) { group(out, code, std::to_string(value)); }
void group(std::ostream& out, int code, int value) { group(out, code, std::to_string(value)); }
void group(std::ostream& out, int code, double value) { group(out, code, float_to_str(value)); }

// v rounded to a multiple of 1 / f; left alone where that has no answer.
void quantize_value(double& v, double f) {
  if (const auto r = tryRoundHalfEven(static_cast<long double>(v) * f)) {
    const double q = double(*r) / f;
    if (std::isfinite(q)) v = q;
  }
}

void quantize_point(Point3D& p, int axes, double f) {
  if (axes & 1) quantize_value(p.x, f);
  if (axes & 2) quantize_value(p.y, f);
  if (axes & 4) quantize_value(p.z, f);
}

// The default text of a floating-point value in exponent notation, with a
// blank where a negative value has its sign.
std::string runtime_float_text(double v) {
  const std::string s = formatFloat(v, FloatFormat::Exponent, 15, 4);
  return s[0] == '-' ? s : " " + s;
}

}  // namespace

// ---- base groups ----

std::string DXF_Entity::ocs_text() const { return ocs ? "OCS Axis " + point_to_str(extrusion) : "WCS"; }

void DXF_Entity::write_point(std::ostream& out, int code, const Point3D& p) const {
  group(out, code, p.x);
  group(out, code + 10, p.y);
  group(out, code + 20, p.z);
}

void DXF_Entity::write_dxf(std::ostream& out, const std::string& layer_name) const {
  group(out, dxf_code::Name, dxf_name());
  group(out, dxf_code::Layer, layer_name);
  group(out, dxf_code::Colour, colour_number);
  if (ocs) write_point(out, dxf_code::ExtrusionX, extrusion);
}

// ---- Block_ ----

void Block_::draw_control_points(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const {
  const Block_Visit visit(*this);
  if (!visit.entered) return;
  for (const auto& e : entities) e->draw_control_points(canvas, matrix, map, map_context);
}

void Block_::write_dxf(std::ostream& out, const std::string& layer_name) const {
  group(out, dxf_code::Name, std::string("BLOCK"));
  group(out, dxf_code::Layer, layer_name);
  group(out, dxf_code::BlockName, name);
  write_point(out, dxf_code::X1, base);
  for (const auto& e : entities) e->write_dxf(out, layer_name);
  group(out, dxf_code::Name, std::string("ENDBLK"));
}

std::string Block_::describe() const {
  std::string s = std::string("Name :\t") + name + NL + "Base :\t" + point_to_str(base);
  const Block_Visit visit(*this);
  if (!visit.entered) return s;
  for (const auto& e : entities) s += NL + std::string(NL) + e->describe();
  return s;
}

// ---- Point_ ----

void Point_::draw_control_points(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const {
  const auto m = draw_matrix(matrix);
  Point p;
  map(map_context, point, m ? &*m : nullptr, p);
  draw_cross(canvas, p);
}

void Point_::translate(const Point3D& offset) { point = vec_add(point, offset); }

void Point_::quantize(int axes, double factor) { quantize_point(point, axes, factor); }

void Point_::write_dxf(std::ostream& out, const std::string& layer_name) const {
  DXF_Entity::write_dxf(out, layer_name);
  write_point(out, dxf_code::X1, point);
}

std::string Point_::describe() const { return class_name() + std::string(NL) + ocs_text() + NL + point_to_str(point); }

double Point_::min_distance_sq(const Point3D& p) const { return dist2d_sq(point, p); }

Point3D Point_::nearest_point(const Point3D&) const { return point; }

bool Point_::move_point(const Point3D& old_point, const Point3D& new_point) {
  if (!points_equal(point, old_point)) return false;
  point = new_point;
  return true;
}

// ---- Text_, Attrib_, Attdef_ ----

void Text_::write_text_groups(std::ostream& out, const std::string& layer_name, const std::string& group1) const {
  Point_::write_dxf(out, layer_name);
  group(out, dxf_code::Radius, height);
  group(out, dxf_code::Text, group1);
  if (h_align != 0) {
    write_point(out, dxf_code::X2, align_point);
    group(out, dxf_code::HAlign, static_cast<long long>(h_align));
  }
}

void Text_::write_dxf(std::ostream& out, const std::string& layer_name) const {
  write_text_groups(out, layer_name, text);
}

std::string Text_::describe() const {
  return Point_::describe() + NL + "Text \t" + text + NL + "TextHeight = " + float_to_str(height);
}

void Attrib_::write_dxf(std::ostream& out, const std::string& layer_name) const {
  // Group 1 is the attribute's value and group 2 its tag, as the reader takes them.
  write_text_groups(out, layer_name, value);
  group(out, dxf_code::BlockName, text);
  group(out, dxf_code::Flags, visible ? 0LL : 1LL);
}

std::string Attrib_::describe() const {
  return Text_::describe() + NL + "Tag \t" + value + NL + (visible ? "Visible" : "Invisible");
}

void Attdef_::write_dxf(std::ostream& out, const std::string& layer_name) const {
  Attrib_::write_dxf(out, layer_name);
  group(out, dxf_code::Prompt, prompt);
}

// ---- Insert_ ----

void Insert_::write_dxf(std::ostream& out, const std::string& layer_name) const {
  Point_::write_dxf(out, layer_name);
  if (!block_name.empty()) group(out, dxf_code::BlockName, block_name);
  if (scale.x != 1 || scale.y != 1 || scale.z != 1) {
    group(out, dxf_code::ScaleX, scale.x);
    group(out, dxf_code::ScaleY, scale.y);
    group(out, dxf_code::ScaleZ, scale.z);
  }
  if (rotation != 0) group(out, dxf_code::Angle1, rotation * radians_to_degrees);
  if (attribs.empty()) {
    group(out, dxf_code::EntitiesFollow, 0LL);
    return;
  }
  group(out, dxf_code::EntitiesFollow, 1LL);
  for (const auto& a : attribs) a->write_dxf(out, layer_name);
  group(out, dxf_code::Name, std::string("SEQEND"));
}

std::string Insert_::describe() const {
  std::string s = Point_::describe() + NL + "Block \t" + block_name + NL + "Scaling\t" + point_to_str(scale) + NL +
                  "Rotation\t" + float_to_str(rotation * radians_to_degrees) + NL + "Attribs \t" +
                  std::to_string(attrib_count);
  for (std::size_t k = 0; k < attribs.size(); ++k)
    s += NL + std::string(NL) + std::to_string(k + 1) + " : " + attribs[k]->describe();
  return s + NL + NL + "----BLOCK-----" + NL + lookup_block()->describe() + NL + "---ENDBLOCK---";
}

// ---- Line_ ----

void Line_::draw_control_points(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const {
  const auto m = draw_matrix(matrix);
  for (const Point3D* p : {&point, &end}) {
    Point s;
    map(map_context, *p, m ? &*m : nullptr, s);
    draw_cross(canvas, s);
  }
}

void Line_::translate(const Point3D& offset) {
  Point_::translate(offset);
  end = vec_add(end, offset);
}

void Line_::quantize(int axes, double factor) {
  Point_::quantize(axes, factor);
  quantize_point(end, axes, factor);
}

void Line_::write_dxf(std::ostream& out, const std::string& layer_name) const {
  Point_::write_dxf(out, layer_name);
  write_point(out, dxf_code::X2, end);
}

std::string Line_::describe() const { return Point_::describe() + NL + point_to_str(end); }

double Line_::min_distance_sq(const Point3D& p) const { return min_double(dist2d_sq(point, p), dist2d_sq(end, p)); }

Point3D Line_::nearest_point(const Point3D& p) const { return dist2d_sq(point, p) < dist2d_sq(end, p) ? point : end; }

bool Line_::move_point(const Point3D& old_point, const Point3D& new_point) {
  if (Point_::move_point(old_point, new_point)) return true;
  if (!points_equal(end, old_point)) return false;
  end = new_point;
  return true;
}

// ---- Circle_, Arc_ ----

void Circle_::write_dxf(std::ostream& out, const std::string& layer_name) const {
  Point_::write_dxf(out, layer_name);
  group(out, dxf_code::Radius, radius);
}

std::string Circle_::describe() const { return Point_::describe() + NL + "Radius = " + float_to_str(radius); }

bool Circle_::contains(const Point3D& p) const { return dist2d(p, point) <= radius; }

void Arc_::write_dxf(std::ostream& out, const std::string& layer_name) const {
  Circle_::write_dxf(out, layer_name);
  group(out, dxf_code::Angle1, start_angle * radians_to_degrees);
  group(out, dxf_code::Angle2, end_angle * radians_to_degrees);
}

std::string Arc_::describe() const {
  return Circle_::describe() + NL + "Angle 1 = " + float_to_str(start_angle) + NL +
         "Angle 2 = " + float_to_str(end_angle);
}

// ---- Polyline_ and its kinds ----

void Polyline_::draw_control_points(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const {
  const auto m = draw_matrix(matrix);
  for (const Point& p : map_vertices(m ? &*m : nullptr, map, map_context)) draw_cross(canvas, p);
}

void Polyline_::translate(const Point3D& offset) {
  for (Point3D& v : vertices) v = vec_add(v, offset);
}

void Polyline_::quantize(int axes, double factor) {
  for (Point3D& v : vertices) quantize_point(v, axes, factor);
}

void Polyline_::write_dxf(std::ostream& out, const std::string& layer_name) const {
  DXF_Entity::write_dxf(out, layer_name);
  group(out, dxf_code::Flags, closed ? 9LL : 8LL);
  for (const Point3D& v : vertices) {
    group(out, dxf_code::Name, std::string("VERTEX"));
    group(out, dxf_code::Flags, 32LL);
    write_point(out, dxf_code::X1, v);
  }
  group(out, dxf_code::Name, std::string("SEQEND"));
}

std::string Polyline_::describe_as(const char* name) const {
  std::string s = name + std::string(NL) + ocs_text() + NL + (closed ? "Closed" : "Open");
  for (const Point3D& v : vertices) s += NL + point_to_str(v);
  return s;
}

std::string Polyline_::describe() const { return describe_as(class_name()); }

double Polyline_::min_distance_sq(const Point3D& p) const {
  double best = 1e10;
  for (const Point3D& v : vertices) best = min_double(best, dist2d_sq(v, p));
  return best;
}

Point3D Polyline_::nearest_point(const Point3D& p) const {
  if (vertices.empty()) return origin;
  const Point3D* best = &vertices[0];
  double d = dist2d_sq(*best, p);
  for (const Point3D& v : vertices)
    if (const double dv = dist2d_sq(v, p); dv < d) {
      d = dv;
      best = &v;
    }
  return *best;
}

bool Polyline_::contains(const Point3D& p) const {
  if (!closed || vertices.empty()) return false;
  bool inside = false;
  for (std::size_t i = 0, j = vertices.size() - 1; i < vertices.size(); j = i++) {
    const Point3D &a = vertices[i], &b = vertices[j];
    if (((a.y <= p.y && p.y < b.y) || (b.y <= p.y && p.y < a.y)) && a.x + (b.x - a.x) * (p.y - a.y) / (b.y - a.y) > p.x)
      inside = !inside;
  }
  return inside;
}

bool Polyline_::move_point(const Point3D& old_point, const Point3D& new_point) {
  for (Point3D& v : vertices)
    if (points_equal(v, old_point)) {
      v = new_point;
      return true;
    }
  return false;
}

void Face3D_::write_dxf(std::ostream& out, const std::string& layer_name) const {
  group(out, dxf_code::Name, dxf_name());
  group(out, dxf_code::Layer, layer_name);
  group(out, dxf_code::Colour, colour_number);
  for (std::size_t k = 0; k < vertices.size(); ++k) write_point(out, dxf_code::X1 + int(k), vertices[k]);
  if (vertices.size() == 3) write_point(out, dxf_code::X4, vertices[2]);
}

void Solid_::write_dxf(std::ostream& out, const std::string& layer_name) const {
  Face3D_::write_dxf(out, layer_name);
  group(out, dxf_code::Thickness, runtime_float_text(thickness));
}

std::string Solid_::describe() const { return Polyline_::describe() + NL + "Thickness\t" + float_to_str(thickness); }

void Polygon_mesh_::write_dxf(std::ostream& out, const std::string& layer_name) const {
  group(out, dxf_code::Name, dxf_name());
  group(out, dxf_code::Layer, layer_name);
  group(out, dxf_code::Colour, colour_number);
  group(out, dxf_code::EntitiesFollow, 1LL);
  group(out, dxf_code::Flags, (closed_m ? 1LL : 0LL) + 16 + (closed_n ? 32 : 0));
  group(out, dxf_code::Count71, static_cast<long long>(m));
  group(out, dxf_code::Count72, static_cast<long long>(n));
  for (const Point3D& v : vertices) {
    group(out, dxf_code::Name, std::string("VERTEX"));
    group(out, dxf_code::Flags, 64LL);
    write_point(out, dxf_code::X1, v);
  }
  group(out, dxf_code::Name, std::string("SEQEND"));
}

std::string Polygon_mesh_::describe() const {
  return std::string("Polyline_ (polygon mesh)\r\n") + ocs_text() + NL + "Vertices\t" + std::to_string(count) + NL +
         "M\t" + std::to_string(m) + NL + "N\t" + std::to_string(n) + NL + "Closed M\t" + bool_to_str(closed_m) + NL +
         "Closed N\t" + bool_to_str(closed_n);
}

void Polyface_mesh_::write_dxf(std::ostream& out, const std::string& layer_name) const {
  group(out, dxf_code::Name, dxf_name());
  group(out, dxf_code::Layer, layer_name);
  group(out, dxf_code::Colour, colour_number);
  group(out, dxf_code::EntitiesFollow, 1LL);
  group(out, dxf_code::Flags, 64LL);
  group(out, dxf_code::Count71, static_cast<long long>(count));
  group(out, dxf_code::Count72, static_cast<long long>(face_count));
  for (const Point3D& v : vertices) {
    group(out, dxf_code::Name, std::string("VERTEX"));
    group(out, dxf_code::Flags, 192LL);
    write_point(out, dxf_code::X1, v);
  }
  for (const Face& f : faces) {
    group(out, dxf_code::Name, std::string("VERTEX"));
    group(out, dxf_code::Flags, 128LL);
    for (int k = 0; k < 4; ++k) group(out, dxf_code::Count71 + k, static_cast<long long>(f[std::size_t(k)]) + 1);
  }
  group(out, dxf_code::Name, std::string("SEQEND"));
}

std::string Polyface_mesh_::describe() const {
  return std::string("Polyline_ (polyface mesh)\r\n") + ocs_text() + NL + "Vertices\t" + std::to_string(count) + NL +
         "Faces\t" + std::to_string(face_count);
}

}  // namespace pelindra
