// Construction, colour, drawing and extents of the DXF entity classes; the
// descriptions, DXF output and editing helpers are in dxf_output.cpp.

#include "engine/dxf/dxf_structs.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>

#include "engine/base/text.h"

namespace pelindra {

namespace {

constexpr Color colour_table[dxf_colour_count] = {
    rgb(0, 0, 0),     rgb(255, 0, 0),     rgb(255, 255, 0),  rgb(0, 128, 0),   rgb(0, 255, 255),
    rgb(0, 0, 255),   rgb(128, 0, 128),   rgb(0, 0, 0),      rgb(128, 128, 0), rgb(255, 0, 255),
    rgb(0, 128, 128), rgb(128, 128, 128), rgb(128, 128, 128)};

constexpr double degrees_to_radians = std::numbers::pi / 180;

[[noreturn]] void abstract_error() { throw std::logic_error("Abstract Error"); }

// Sets the drawing colour of an entity on the canvas.
void use_pen(Canvas& canvas, Color colour) {
  if (canvas.pen().color != colour) canvas.setPenColor(colour);
}

Point map_point(Map_Function map, void* ctx, const Point3D& p, const Matrix* m) {
  Point out;
  map(ctx, p, m, out);
  return out;
}

const Matrix* opt(const std::optional<Matrix>& m) { return m ? &*m : nullptr; }

// The matrix a block or insert hands to its contents: its own, then the one
// it was given.
std::optional<Matrix> nested_matrix(const Matrix* own, const Matrix* given) {
  if (own && given) return matrix_multiply(*own, *given);
  if (own) return *own;
  if (given) return *given;
  return std::nullopt;
}

constexpr std::uint64_t cost_ceiling = std::numeric_limits<std::uint64_t>::max() / 4;

std::uint64_t add_cost(std::uint64_t a, std::uint64_t b) { return a + b > cost_ceiling ? cost_ceiling : a + b; }

}  // namespace

Block_Visit::Block_Visit(const Block_& b) : entered(!b.visiting_), block_(b) { block_.visiting_ = true; }

Block_Visit::~Block_Visit() {
  if (entered) block_.visiting_ = false;
}

Color dxf_colour_entry(int index) { return colour_table[index]; }

Color dxf_colour(int number) {
  const long long n = number < 0 ? -static_cast<long long>(number) : number;
  return colour_table[n % dxf_colour_count];
}

std::string dxf_text_to_utf8(const std::string& text) { return textToUtf8(text); }

// ---- DXF_Entity ----

void DXF_Entity::init_ocs(const Point3D& e) {
  extrusion = e;
  if (!points_equal(e, wcs_z_axis)) {
    ocs = alloc_matrix();
    *ocs = ocs_matrix(e);
  } else {
    ocs.reset();
  }
}

void DXF_Entity::set_block_list(Entity_List*) { abstract_error(); }
void DXF_Entity::draw(Canvas&, const Matrix*, Map_Function, void*) const { abstract_error(); }
void DXF_Entity::draw_control_points(Canvas&, const Matrix*, Map_Function, void*) const { abstract_error(); }
void DXF_Entity::translate(const Point3D&) { abstract_error(); }
void DXF_Entity::quantize(int, double) { abstract_error(); }
std::string DXF_Entity::describe() const { abstract_error(); }
void DXF_Entity::grow_extents(Point3D&, Point3D&) const { abstract_error(); }
double DXF_Entity::min_distance_sq(const Point3D&) const { abstract_error(); }
Point3D DXF_Entity::nearest_point(const Point3D&) const { abstract_error(); }

void DXF_Entity::set_colour(int number) {
  colour_number = number;
  rgb = dxf_colour(number);
}

void DXF_Entity::set_rgb(Color colour) {
  colour_number = 0;
  for (int i = 0; i < dxf_colour_count; ++i)
    if (colour_table[i] == colour) colour_number = i;
  rgb = colour;
}

std::string DXF_Entity::dxf_name() const {
  std::string s = class_name();
  if (!s.empty()) s.pop_back();
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return s;
}

// ---- Block_ ----

Block_::Block_(const std::string& name, const Point3D& base) : name(name), base(base) {
  if (!points_equal(base, origin)) {
    ocs = alloc_matrix();
    *ocs = translate_matrix(vec_sub(origin, base));
  }
}

void Block_::set_block_list(Entity_List* list) {
  // Once per list is enough: the contents are resolved then, and a block
  // reached again through one of its own inserts stops here.
  if (resolved_for_ == list) return;
  resolved_for_ = list;
  for (const auto& e : entities)
    if (auto* insert = dynamic_cast<Insert_*>(e.get())) insert->set_block_list(list);
}

void Block_::draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const {
  const Block_Visit visit(*this);
  if (!visit.entered) return;
  const auto m = nested_matrix(ocs.get(), matrix);
  for (const auto& e : entities) e->draw(canvas, opt(m), map, map_context);
}

std::uint64_t Block_::draw_cost() const {
  if (cost_) return cost_;
  const Block_Visit visit(*this);
  if (!visit.entered) return 0;
  std::uint64_t sum = 1;
  for (const auto& e : entities) sum = add_cost(sum, e->draw_cost());
  cost_ = sum;
  return sum;
}

// ---- Point_ ----

Point_::Point_(const Point3D& e, int colour, const Point3D& p) : point(p) {
  set_colour(colour);
  init_ocs(e);
}

void draw_cross(Canvas& canvas, Point p) {
  canvas.moveTo({p.x - 2, p.y - 2});
  canvas.lineTo({p.x + 3, p.y + 3});
  canvas.moveTo({p.x - 2, p.y + 2});
  canvas.lineTo({p.x + 3, p.y - 3});
}

void Point_::draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const {
  const auto m = draw_matrix(matrix);
  use_pen(canvas, rgb);
  draw_cross(canvas, map_point(map, map_context, point, opt(m)));
}

void Point_::grow_extents(Point3D& max, Point3D& min) const {
  max_point(max, point);
  min_point(min, point);
}

// ---- Text_, Attrib_, Attdef_ ----

Text_::Text_(const Point3D& e, int h_align, int colour, double height, const std::string& text,
             const Point3D& align_point, const Point3D& insertion_point)
    : Point_(e, colour, insertion_point),
      height(height),
      text(text),
      align_point(points_equal(align_point, origin) ? insertion_point : align_point),
      h_align(h_align) {}

void Text_::draw_string(const std::string& s, Canvas& canvas, const Matrix* matrix, Map_Function map,
                        void* map_context) const {
  const auto m = draw_matrix(matrix);
  use_pen(canvas, rgb);
  // The font height follows the view's scale alone.
  const Point a = map_point(map, map_context, origin, nullptr);
  const Point b = map_point(map, map_context, {0, height, 0}, nullptr);
  if (a.y == b.y) return;
  const long long h = static_cast<long long>(a.y) - b.y + 2;
  if (h > std::numeric_limits<int>::max() || h < std::numeric_limits<int>::min()) return;
  canvas.setFontHeight(int(h));
  canvas.setFontColor(rgb);
  switch (h_align) {
    case 0: canvas.setTextAlign(TextAlign::Left | TextAlign::Baseline); break;
    case 1: canvas.setTextAlign(TextAlign::Center | TextAlign::Baseline); break;
    case 2: canvas.setTextAlign(TextAlign::Right | TextAlign::Baseline); break;
    default: break;
  }
  // Texts inside blocks move with the insert like every other entity.
  canvas.textOut(map_point(map, map_context, align_point, opt(m)), dxf_text_to_utf8(s));
}

void Text_::draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const {
  draw_string(text, canvas, matrix, map, map_context);
}

void Text_::grow_extents(Point3D& max, Point3D& min) const { Point_::grow_extents(max, min); }

Attrib_::Attrib_(const Point3D& e, int colour, double height, int h_align, int flags, const std::string& value,
                 const std::string& tag, const Point3D& align_point, const Point3D& insertion_point)
    : Text_(e, h_align, colour, height, tag, align_point, insertion_point), value(value), visible(!(flags & 1)) {}

void Attrib_::draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const {
  if (visible) draw_string(value, canvas, matrix, map, map_context);
}

Attdef_::Attdef_(const Point3D& e, int colour, double height, int h_align, int flags, const std::string& value,
                 const std::string& tag, const Point3D& align_point, const Point3D& insertion_point,
                 const std::string& prompt)
    : Attrib_(e, colour, height, h_align, flags, value, tag, align_point, insertion_point), prompt(prompt) {}

// ---- Insert_ ----

Insert_::Insert_(const Point3D& e, const Point3D& insertion_point, const Point3D& scale, double rotation_degrees,
                 int colour, std::vector<std::unique_ptr<Attrib_>> attribs, const std::string& block_name)
    : Point_(e, colour, insertion_point),
      block_name(block_name),
      scale(scale),
      rotation(rotation_degrees * degrees_to_radians) {
  if (attribs.size() > std::size_t(max_attribs))
    throw std::runtime_error("This version only handles " + std::to_string(max_attribs) + " ATTRIBs");
  attrib_count = std::int32_t(attribs.size());
  this->attribs = std::move(attribs);
  init_ocs(e);
}

void Insert_::init_ocs(const Point3D& e) {
  extrusion = e;
  Point3D ax, ay;
  ocs_axes(e, ax, ay);
  Matrix m = identity_matrix;
  m = matrix_multiply(m, rotate_z_matrix(std::cos(-rotation), std::sin(-rotation)));
  m = matrix_multiply(m, scale_matrix(scale));
  m = matrix_multiply(m, translate_matrix(point));
  m = matrix_multiply(m, axes_matrix(ax, ay, e));
  if (!ocs) ocs = alloc_matrix();
  *ocs = m;
}

Block_* Insert_::lookup_block() const {
  if (block) return block;
  if (block_list)
    for (const auto& e : block_list->entities)
      if (auto* b = dynamic_cast<Block_*>(e.get()); b && b->name == block_name) return block = b;
  throw std::runtime_error("Block reference " + block_name + " not found");
}

void Insert_::set_block_list(Entity_List* list) {
  block_list = list;
  if (!block_name.empty()) lookup_block()->set_block_list(list);
}

void Insert_::draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const {
  use_pen(canvas, rgb);
  // Attributes carry their positions in the coordinates the insert itself is
  // placed in, so they take the matrix the insert was given, not its own.
  for (const auto& a : attribs) a->draw(canvas, matrix, map, map_context);
  const auto m = nested_matrix(ocs.get(), matrix);
  lookup_block()->draw(canvas, opt(m), map, map_context);
}

void Insert_::grow_extents(Point3D& max, Point3D& min) const { Point_::grow_extents(max, min); }

std::uint64_t Insert_::draw_cost() const {
  std::uint64_t cost = add_cost(1, attribs.size());
  try {
    return add_cost(cost, lookup_block()->draw_cost());
  } catch (const std::runtime_error&) {
    return cost;
  }
}

// ---- Line_ ----

Line_::Line_(const Point3D& start, int colour, const Point3D& end) : Point_(wcs_z_axis, colour, start), end(end) {}

void Line_::draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const {
  const auto m = draw_matrix(matrix);
  use_pen(canvas, rgb);
  canvas.moveTo(map_point(map, map_context, point, opt(m)));
  canvas.lineTo(map_point(map, map_context, end, opt(m)));
}

void Line_::grow_extents(Point3D& max, Point3D& min) const {
  Point_::grow_extents(max, min);
  max_point(max, end);
  min_point(min, end);
}

// ---- Circle_, Arc_ ----

Circle_::Circle_(const Point3D& e, int colour, double radius, const Point3D& centre)
    : Point_(e, colour, centre), radius(radius) {}

bool Circle_::screen_box(const Matrix* m, Map_Function map, void* ctx, Rect& box, Point& corner) const {
  const Point3D r{radius, radius, radius};
  const Point a = map_point(map, ctx, vec_sub(point, r), m);
  const Point b = map_point(map, ctx, vec_add(point, r), m);
  corner = a;
  // Rotated or mirrored inserts swap the corners; the box is the same.
  box = {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
  return static_cast<long long>(box.left) + 1 < box.right && static_cast<long long>(box.top) + 1 < box.bottom;
}

void Circle_::draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const {
  const auto m = draw_matrix(matrix);
  use_pen(canvas, rgb);
  Rect box;
  Point corner;
  if (screen_box(opt(m), map, map_context, box, corner))
    canvas.ellipse(box);
  else
    canvas.setPixel(corner, rgb);
}

void Circle_::grow_extents(Point3D& max, Point3D& min) const {
  const Point3D r{radius, radius, 0};
  max_point(max, vec_add(point, r));
  min_point(min, vec_add(point, r));
  max_point(max, vec_sub(point, r));
  min_point(min, vec_sub(point, r));
}

Arc_::Arc_(const Point3D& e, int colour, double start_degrees, double end_degrees, double radius, const Point3D& centre)
    : Circle_(e, colour, radius, centre),
      start_angle(start_degrees * degrees_to_radians),
      end_angle(end_degrees * degrees_to_radians) {}

void Arc_::draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const {
  const auto m = draw_matrix(matrix);
  use_pen(canvas, rgb);
  Rect box;
  Point corner;
  if (!screen_box(opt(m), map, map_context, box, corner)) {
    canvas.setPixel(corner, rgb);
    return;
  }
  const Point3D s{point.x + radius * std::cos(start_angle), point.y + radius * std::sin(start_angle), point.z + radius};
  const Point3D e{point.x + radius * std::cos(end_angle), point.y + radius * std::sin(end_angle), point.z + radius};
  Point ps = map_point(map, map_context, s, opt(m));
  Point pe = map_point(map, map_context, e, opt(m));
  // A mirroring transformation turns counter-clockwise into clockwise; the
  // canvas only draws counter-clockwise, so the ends change places.
  if (m && m->m[0][0] * m->m[1][1] - m->m[0][1] * m->m[1][0] < 0) std::swap(ps, pe);
  canvas.arc(box, ps, pe);
}

void Arc_::grow_extents(Point3D& max, Point3D& min) const {
  auto merge = [&](double a) {
    const Point3D p{point.x + radius * std::cos(a), point.y + radius * std::sin(a), 0};
    max_point(max, p);
    min_point(min, p);
  };
  merge(start_angle);
  merge(end_angle);
  // The quadrant points strictly inside the arc, walked counter-clockwise.
  // Angles are taken modulo a full turn so that the walk always ends.
  auto degrees = [](double a) {
    double d = std::fmod(a / degrees_to_radians, 360.0);
    if (d < 0) d += 360;
    return d >= 360 ? 0 : int(d);
  };
  const double a1 = start_angle / degrees_to_radians, a2 = end_angle / degrees_to_radians;
  if (!std::isfinite(a1) || !std::isfinite(a2)) return;
  const int t = (degrees(end_angle) + 89) / 90 * 90 % 360;
  int q = (degrees(start_angle) + 90) / 90 * 90 % 360;
  while (q != t) {
    merge(q * degrees_to_radians);
    q = q == 270 ? 0 : q + 90;
  }
}

// ---- Polyline_ and its kinds ----

Polyline_::Polyline_(const Point3D& e, bool closed, int colour, const Point3D* points, int count) : closed(closed) {
  init_ocs(e);
  // A single point is kept as it is: it would otherwise repeat itself.
  if (!closed && count > 1 && points_equal(points[0], points[count - 1])) {
    this->closed = true;
    --count;
  }
  vertices.assign(points, points + count);
  this->count = count;
  set_colour(colour);
}

Polyline_::Polyline_(Keep_all_points, int colour, const Point3D* points, int count)
    : count(count), vertices(points, points + count) {
  init_ocs(wcs_z_axis);
  set_colour(colour);
}

std::vector<Point> Polyline_::map_vertices(const Matrix* m, Map_Function map, void* ctx) const {
  std::vector<Point> out(vertices.size());
  for (std::size_t i = 0; i < vertices.size(); ++i) map(ctx, vertices[i], m, out[i]);
  return out;
}

void Polyline_::draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const {
  const auto m = draw_matrix(matrix);
  use_pen(canvas, rgb);
  const auto pts = map_vertices(opt(m), map, map_context);
  if (pts.empty()) return;
  if (closed)
    canvas.polygon(pts);
  else
    canvas.polyline(pts);
}

void Polyline_::grow_extents(Point3D& max, Point3D& min) const {
  for (const Point3D& v : vertices) {
    max_point(max, v);
    min_point(min, v);
  }
}

Face3D_::Face3D_(int count, int colour, const Point3D* corners) : Polyline_(wcs_z_axis, true, colour, corners, count) {}

Solid_::Solid_(const Point3D& e, double thickness, int colour, const Point3D* corners, int count)
    : Face3D_(count, colour, corners), thickness(thickness) {
  init_ocs(e);
}

Polygon_mesh_::Polygon_mesh_(int count, int colour, int flags, const Point3D* points, int n, int m)
    : Polyline_(Keep_all_points{}, colour, points, count), m(m), n(n), closed_m(flags & 1), closed_n(flags & 32) {}

void Polygon_mesh_::draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const {
  const auto mat = draw_matrix(matrix);
  use_pen(canvas, rgb);
  if (m <= 0 || n <= 0 || static_cast<long long>(m) * n > count) return;
  const auto p = map_vertices(opt(mat), map, map_context);
  const std::size_t cols = std::size_t(n), rows = std::size_t(m);
  for (std::size_t i = 0; i < rows; ++i) {
    const std::span<const Point> row(p.data() + i * cols, cols);
    if (closed_n)
      canvas.polygon(row);
    else
      canvas.polyline(row);
  }
  for (std::size_t j = 0; j < cols; ++j) {
    canvas.moveTo(p[j]);
    for (std::size_t k = 1; k < rows; ++k) canvas.lineTo(p[j + k * cols]);
    if (closed_m) canvas.lineTo(p[j]);
  }
}

Polyface_mesh_::Polyface_mesh_(int vertex_count, int colour, const Face* faces, const Point3D* points, int face_count)
    : Polyline_(Keep_all_points{}, colour, points, vertex_count),
      face_count(face_count),
      faces(faces, faces + face_count) {}

void Polyface_mesh_::draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const {
  use_pen(canvas, rgb);
  for (const Face& f : faces) {
    Point corners[4];
    int n = 0;
    bool valid = true;
    for (const std::int32_t index : f) {
      if (index < 0) break;
      // A face naming a vertex the mesh does not have is left out whole.
      if (index >= count) {
        valid = false;
        break;
      }
      map(map_context, vertices[std::size_t(index)], matrix, corners[n++]);
    }
    if (valid && n >= 2) canvas.polygon(std::span<const Point>(corners, std::size_t(n)));
  }
}

// ---- Entity_List, DXF_Layer ----

void Entity_List::draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const {
  for (const auto& e : entities) e->draw(canvas, matrix, map, map_context);
}

void Entity_List::grow_extents(Point3D& max, Point3D& min) const {
  for (const auto& e : entities) e->grow_extents(max, min);
}

bool DXF_Layer::add_entity(std::unique_ptr<DXF_Entity> entity) {
  const std::string c = entity->class_name();
  std::size_t i = 0;
  while (i < list_names.size() && list_names[i] != c) ++i;
  if (i == list_names.size()) {
    lists.push_back(std::make_unique<Entity_List>(c, this));
    list_names.push_back(c);
  }
  if (lists.size() != list_names.size() || list_names[i] != c) throw std::runtime_error("Entity list ID mismatch");
  DXF_Entity& e = *entity;
  lists[i]->add(std::move(entity));
  if (e.colour_number == 0 || e.colour_number == 256) e.set_colour(colour_number);
  return true;
}

void DXF_Layer::grow_extents(Point3D& max, Point3D& min) const {
  for (const auto& l : lists) l->grow_extents(max, min);
}

}  // namespace pelindra
