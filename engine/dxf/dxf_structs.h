#pragma once
// The in-memory model of a DXF drawing: the entity classes rooted at
// DXF_Entity, the entity list that groups the entities of one class within a
// layer, and the layer. The class names are part of the data: a list is named
// after the class of its entities ("Line_"), the block container is found by
// the name "Block_", and an entity's DXF record name comes from its class name.

#include <array>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engine/base/dib.h"
#include "engine/canvas/canvas.h"
#include "engine/dxf/dxf_utils.h"

namespace pelindra {

class Entity_List;
class DXF_Layer;
class Block_;

// Turns a drawing point, transformed by the matrix when one is given, into
// canvas coordinates. Leaves `out` as it is when the point has no canvas
// position (too far out for integer coordinates).
using Map_Function = void (*)(void* map_context, const Point3D& point, const Matrix* matrix, Point& out);

// The colour of a DXF colour number: entry (|n| mod 13) of a 13-colour table.
// A negative number is a layer that is switched off; it keeps its colour.
Color dxf_colour(int number);
inline constexpr int dxf_colour_count = 13;
Color dxf_colour_entry(int index);

// The small cross that marks a point on the canvas.
void draw_cross(Canvas& canvas, Point at);

// Text of a drawing as UTF-8: kept when it already is, otherwise read as
// Windows-1252, the code page of drawings without one.
std::string dxf_text_to_utf8(const std::string& text);

class DXF_Entity {
 public:
  Color rgb = 0;
  std::int32_t colour_number = 0;
  std::unique_ptr<Matrix> ocs;  // OCS to world; absent for the default extrusion
  Point3D extrusion{};

  DXF_Entity() = default;
  DXF_Entity(const DXF_Entity&) = delete;
  DXF_Entity& operator=(const DXF_Entity&) = delete;
  virtual ~DXF_Entity() = default;

  // "Line_", "Block_", ...: the name of the entity's list.
  virtual const char* class_name() const = 0;

  virtual void init_ocs(const Point3D& extrusion);
  virtual void set_block_list(Entity_List* list);
  virtual void draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const;
  virtual void draw_control_points(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const;
  virtual void set_colour(int number);
  virtual void set_rgb(Color colour);
  virtual void translate(const Point3D& offset);
  // Rounds the coordinates on the axes whose bit is set (1 x, 2 y, 4 z) to
  // multiples of 1 / factor.
  virtual void quantize(int axes, double factor);
  virtual int point_count() const { return 1; }
  virtual int edge_count() const { return 0; }
  virtual bool is_open() const { return false; }
  virtual bool is_closed() const { return false; }
  virtual std::string dxf_name() const;
  // Groups code, code + 10 and code + 20 with the coordinates.
  virtual void write_point(std::ostream& out, int code, const Point3D& point) const;
  virtual void write_dxf(std::ostream& out, const std::string& layer_name) const;
  virtual std::string describe() const;
  virtual void grow_extents(Point3D& max, Point3D& min) const;
  virtual double min_distance_sq(const Point3D& point) const;
  virtual Point3D nearest_point(const Point3D& point) const;
  virtual bool contains(const Point3D& point) const { return (void)point, false; }
  virtual bool move_point(const Point3D& old_point, const Point3D& new_point) {
    return (void)old_point, (void)new_point, false;
  }

  // How many entities drawing this one draws, blocks expanded; bounds the work
  // a drawing of nested inserts can cause.
  virtual std::uint64_t draw_cost() const { return 1; }

 protected:
  // The matrix the entity draws with: its own OCS, then the one handed down.
  std::optional<Matrix> draw_matrix(const Matrix* given) const { return combine_transforms(ocs.get(), given); }
  std::string ocs_text() const;
};

using Entity_Vector = std::vector<std::unique_ptr<DXF_Entity>>;

class Block_;
// Marks a block as being visited while the guard lives; `entered` is false
// when it already was, which is a block that contains itself.
class Block_Visit {
 public:
  explicit Block_Visit(const Block_& block);
  ~Block_Visit();
  Block_Visit(const Block_Visit&) = delete;
  Block_Visit& operator=(const Block_Visit&) = delete;
  const bool entered;

 private:
  const Block_& block_;
};

class Block_ : public DXF_Entity {
 public:
  std::string name;
  Point3D base;
  Entity_Vector entities;

  Block_(const std::string& name, const Point3D& base);
  const char* class_name() const override { return "Block_"; }
  void set_block_list(Entity_List* list) override;
  void draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const override;
  void draw_control_points(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const override;
  void write_dxf(std::ostream& out, const std::string& layer_name) const override;
  std::string describe() const override;
  void grow_extents(Point3D&, Point3D&) const override {}
  double min_distance_sq(const Point3D&) const override { return 1e9; }
  Point3D nearest_point(const Point3D&) const override { return {1e9, 1e9, 1e9}; }
  std::uint64_t draw_cost() const override;

 private:
  friend class Block_Visit;
  // A block that inserts itself, directly or through others, is drawn,
  // described and resolved once along each path: the visit mark cuts the cycle.
  mutable bool visiting_ = false;
  mutable Entity_List* resolved_for_ = nullptr;
  mutable std::uint64_t cost_ = 0;
};

class Point_ : public DXF_Entity {
 public:
  Point3D point;

  Point_(const Point3D& extrusion, int colour, const Point3D& point);
  const char* class_name() const override { return "Point_"; }
  void draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const override;
  void draw_control_points(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const override;
  void translate(const Point3D& offset) override;
  void quantize(int axes, double factor) override;
  void write_dxf(std::ostream& out, const std::string& layer_name) const override;
  std::string describe() const override;
  void grow_extents(Point3D& max, Point3D& min) const override;
  double min_distance_sq(const Point3D& p) const override;
  Point3D nearest_point(const Point3D& p) const override;
  bool move_point(const Point3D& old_point, const Point3D& new_point) override;
};

class Text_ : public Point_ {
 public:
  double height = 0;
  std::string text;
  Point3D align_point;
  std::int32_t h_align = 0;

  Text_(const Point3D& extrusion, int h_align, int colour, double height, const std::string& text,
        const Point3D& align_point, const Point3D& insertion_point);
  const char* class_name() const override { return "Text_"; }
  void draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const override;
  void write_dxf(std::ostream& out, const std::string& layer_name) const override;
  std::string describe() const override;
  void grow_extents(Point3D& max, Point3D& min) const override;

 protected:
  void draw_string(const std::string& s, Canvas& canvas, const Matrix* matrix, Map_Function map,
                   void* map_context) const;
  // The text groups with `group1` as the value of group 1.
  void write_text_groups(std::ostream& out, const std::string& layer_name, const std::string& group1) const;
};

class Attrib_ : public Text_ {
 public:
  std::string value;
  bool visible = true;

  Attrib_(const Point3D& extrusion, int colour, double height, int h_align, int flags, const std::string& value,
          const std::string& tag, const Point3D& align_point, const Point3D& insertion_point);
  const char* class_name() const override { return "Attrib_"; }
  void draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const override;
  void write_dxf(std::ostream& out, const std::string& layer_name) const override;
  std::string describe() const override;
};

class Attdef_ : public Attrib_ {
 public:
  std::string prompt;

  Attdef_(const Point3D& extrusion, int colour, double height, int h_align, int flags, const std::string& value,
          const std::string& tag, const Point3D& align_point, const Point3D& insertion_point,
          const std::string& prompt);
  const char* class_name() const override { return "Attdef_"; }
  void draw(Canvas&, const Matrix*, Map_Function, void*) const override {}
  void write_dxf(std::ostream& out, const std::string& layer_name) const override;
};

class Insert_ : public Point_ {
 public:
  static constexpr int max_attribs = 16;

  std::int32_t attrib_count = 0;
  std::vector<std::unique_ptr<Attrib_>> attribs;
  std::string block_name;
  Point3D scale;
  double rotation = 0;              // radians
  mutable Block_* block = nullptr;  // found by name, not owned
  Entity_List* block_list = nullptr;

  // Throws std::runtime_error for more than 16 attributes.
  Insert_(const Point3D& extrusion, const Point3D& insertion_point, const Point3D& scale, double rotation_degrees,
          int colour, std::vector<std::unique_ptr<Attrib_>> attribs, const std::string& block_name);
  const char* class_name() const override { return "Insert_"; }
  void init_ocs(const Point3D& extrusion) override;
  void set_block_list(Entity_List* list) override;
  void draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const override;
  void write_dxf(std::ostream& out, const std::string& layer_name) const override;
  std::string describe() const override;
  void grow_extents(Point3D& max, Point3D& min) const override;
  std::uint64_t draw_cost() const override;

  // The block named block_name in the block list; throws std::runtime_error
  // "Block reference <name> not found" when there is none.
  Block_* lookup_block() const;
};

class Line_ : public Point_ {
 public:
  Point3D end;

  Line_(const Point3D& start, int colour, const Point3D& end);
  const char* class_name() const override { return "Line_"; }
  void draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const override;
  void draw_control_points(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const override;
  void translate(const Point3D& offset) override;
  void quantize(int axes, double factor) override;
  int point_count() const override { return 2; }
  int edge_count() const override { return 1; }
  void write_dxf(std::ostream& out, const std::string& layer_name) const override;
  std::string describe() const override;
  void grow_extents(Point3D& max, Point3D& min) const override;
  double min_distance_sq(const Point3D& p) const override;
  Point3D nearest_point(const Point3D& p) const override;
  bool move_point(const Point3D& old_point, const Point3D& new_point) override;
};

class Circle_ : public Point_ {
 public:
  double radius = 0;

  Circle_(const Point3D& extrusion, int colour, double radius, const Point3D& centre);
  const char* class_name() const override { return "Circle_"; }
  void draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const override;
  void write_dxf(std::ostream& out, const std::string& layer_name) const override;
  std::string describe() const override;
  void grow_extents(Point3D& max, Point3D& min) const override;
  bool contains(const Point3D& p) const override;

 protected:
  // The canvas box of the circle; false when it is too small for an outline.
  bool screen_box(const Matrix* m, Map_Function map, void* map_context, Rect& box, Point& corner) const;
};

class Arc_ : public Circle_ {
 public:
  double start_angle = 0, end_angle = 0;  // radians, counter-clockwise from the x axis

  Arc_(const Point3D& extrusion, int colour, double start_degrees, double end_degrees, double radius,
       const Point3D& centre);
  const char* class_name() const override { return "Arc_"; }
  void draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const override;
  void write_dxf(std::ostream& out, const std::string& layer_name) const override;
  std::string describe() const override;
  void grow_extents(Point3D& max, Point3D& min) const override;
  bool contains(const Point3D&) const override { return false; }
};

class Polyline_ : public DXF_Entity {
 public:
  bool closed = false;
  std::int32_t count = 0;
  std::vector<Point3D> vertices;

  // An open polyline whose last point repeats its first is closed instead.
  Polyline_(const Point3D& extrusion, bool closed, int colour, const Point3D* points, int count);
  const char* class_name() const override { return "Polyline_"; }
  void draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const override;
  void draw_control_points(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const override;
  void translate(const Point3D& offset) override;
  void quantize(int axes, double factor) override;
  int point_count() const override { return count; }
  int edge_count() const override { return count; }
  bool is_open() const override { return !closed; }
  bool is_closed() const override { return closed; }
  void write_dxf(std::ostream& out, const std::string& layer_name) const override;
  std::string describe() const override;
  void grow_extents(Point3D& max, Point3D& min) const override;
  double min_distance_sq(const Point3D& p) const override;
  Point3D nearest_point(const Point3D& p) const override;
  bool contains(const Point3D& p) const override;
  bool move_point(const Point3D& old_point, const Point3D& new_point) override;

 protected:
  struct Keep_all_points {};
  // For meshes, whose every vertex has its place in the grid.
  Polyline_(Keep_all_points, int colour, const Point3D* points, int count);
  std::vector<Point> map_vertices(const Matrix* m, Map_Function map, void* map_context) const;
  std::string describe_as(const char* name) const;
};

class Face3D_ : public Polyline_ {
 public:
  Face3D_(int count, int colour, const Point3D* corners);
  const char* class_name() const override { return "Face3D_"; }
  std::string dxf_name() const override { return "3DFACE"; }
  void write_dxf(std::ostream& out, const std::string& layer_name) const override;
};

class Solid_ : public Face3D_ {
 public:
  double thickness = 0;

  Solid_(const Point3D& extrusion, double thickness, int colour, const Point3D* corners, int count);
  const char* class_name() const override { return "Solid_"; }
  std::string dxf_name() const override { return "SOLID"; }
  void write_dxf(std::ostream& out, const std::string& layer_name) const override;
  std::string describe() const override;
};

class Polygon_mesh_ : public Polyline_ {
 public:
  std::int32_t m = 0, n = 0;
  bool closed_m = false, closed_n = false;

  Polygon_mesh_(int count, int colour, int flags, const Point3D* points, int n, int m);
  const char* class_name() const override { return "Polygon_mesh_"; }
  void draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const override;
  std::string dxf_name() const override { return "POLYLINE"; }
  void write_dxf(std::ostream& out, const std::string& layer_name) const override;
  std::string describe() const override;
};

class Polyface_mesh_ : public Polyline_ {
 public:
  using Face = std::array<std::int32_t, 4>;  // zero-based vertex indices; -1 ends a face early
  std::int32_t face_count = 0;
  std::vector<Face> faces;

  Polyface_mesh_(int vertex_count, int colour, const Face* faces, const Point3D* points, int face_count);
  const char* class_name() const override { return "Polyface_mesh_"; }
  void draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const override;
  std::string dxf_name() const override { return "POLYLINE"; }
  void write_dxf(std::ostream& out, const std::string& layer_name) const override;
  std::string describe() const override;
};

class Entity_List {
 public:
  std::string name;
  DXF_Layer* layer = nullptr;
  Entity_Vector entities;

  Entity_List(const std::string& name, DXF_Layer* layer) : name(name), layer(layer) {}
  void add(std::unique_ptr<DXF_Entity> entity) { entities.push_back(std::move(entity)); }
  void draw(Canvas& canvas, const Matrix* matrix, Map_Function map, void* map_context) const;
  void grow_extents(Point3D& max, Point3D& min) const;
};

class DXF_Layer {
 public:
  std::string name;
  std::int32_t colour_number = 0;
  std::vector<std::string> list_names;
  std::vector<std::unique_ptr<Entity_List>> lists;

  explicit DXF_Layer(const std::string& name) : name(name) {}
  // Files the entity in the list of its class, made when missing; an entity of
  // colour 0 or 256 (by block, by layer) takes the layer's colour. Returns true.
  bool add_entity(std::unique_ptr<DXF_Entity> entity);
  int count() const { return int(list_names.size()); }
  void grow_extents(Point3D& max, Point3D& min) const;
};

using Layer_Vector = std::vector<std::unique_ptr<DXF_Layer>>;

}  // namespace pelindra
