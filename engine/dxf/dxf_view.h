#pragma once
// One loaded DXF drawing (DXF_Object) and the drawing control that windows
// use it through: load a file, keep the list of what is drawn, fit the
// drawing's extents into a target rectangle, draw onto any canvas, and turn
// canvas points back into drawing coordinates. The window that hosts the
// control adds only its timer and its place among the window's components.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/canvas/canvas.h"
#include "engine/dxf/dxf_read.h"
#include "engine/dxf/dxf_structs.h"

namespace pelindra {

// One line of the drawing control's entries: the drawing's name, a layer
// ("  " + name) or an entity list ("    " + name), with its selected flag.
struct DXF_Entry {
  std::string text;
  DXF_Layer* layer = nullptr;
  Entity_List* list = nullptr;
  bool selected = false;
};

class DXF_Object {
 public:
  std::string name;  // the file name without its folder
  Layer_Vector layers;
  Point3D extmax, extmin;

  // Reads the file; what cannot be read is reported through the events. A
  // file that cannot be opened throws std::ios_base::failure. The program-wide
  // no-load-running flag is false while the object is built, and true again
  // afterwards, also when opening fails.
  DXF_Object(const std::string& file_name, std::vector<std::string>* skipped_log, DXF_Read_Events* events);
  // The same from bytes in memory, with the name given.
  DXF_Object(const std::string& name, std::span<const std::uint8_t> bytes, std::vector<std::string>* skipped_log,
             DXF_Read_Events* events);

  int layer_count() const { return int(layers.size()); }
  // Frees every entity list without entities and every layer left without
  // lists. Shows "Internal error : Layer lists and names mismatch" through
  // the events should a layer's lists and names fall out of step.
  void remove_empty_lists(DXF_Read_Events* events = nullptr);
  void fill_entries(std::vector<DXF_Entry>& entries) const;

 private:
  void read(DXF_Reader& reader, std::vector<std::string>* skipped_log);
};

// Drawing coordinates of a canvas point.
struct DXF_World_Point {
  double x = 0;
  double y = 0;
};

class DxfViewControl {
 public:
  // Copied from the program-wide load status by timer_tick.
  std::string progress_text;
  bool load_done = true;
  bool nothing_to_draw = false;
  double zoom = 1.0;  // stored here by the CAD viewer, not used by the control
  DXF_World_Point mouse_world;
  Point3D view_max{-1e10, -1e10, -1e10};
  Point3D view_min{1e10, 1e10, 1e10};
  double scale_x = 1, scale_y = 1;
  double left = 0, right = 0, bottom = 0, top = 0;
  double centre_x = 0, centre_y = 0;
  std::vector<DXF_Entry> entries;
  std::vector<std::string> skipped_log;
  // Entities drawn per draw, counting each entity of an expanded block: a
  // drawing that would need more (blocks nested into an explosion) is drawn
  // only as far as the budget allows.
  std::uint64_t draw_budget = 20'000'000;

  // Sets the program-wide no-load-running flag. The events answer the
  // reader's questions and may be null (every warning answered with OK).
  explicit DxfViewControl(DXF_Read_Events* events = nullptr);

  const DXF_Object* drawing() const { return drawing_.get(); }
  // The hosting window's timer (every 500 ms).
  void timer_tick();

  // Reads the file, selects every entity list and, when there is anything,
  // draws it. A file that cannot be opened throws std::ios_base::failure.
  void load(const std::string& file_name, int width, int height, Canvas* canvas);
  // The same from bytes in memory.
  void load(const std::string& name, std::span<const std::uint8_t> bytes, int width, int height, Canvas* canvas);
  // Fits the drawing into width x height and, with a canvas, draws the
  // selected entity lists onto it.
  void draw(int width, int height, Canvas* canvas);
  void fit(int width, int height);
  // The map callback of the entities; the context is the control.
  static void map(void* control, const Point3D& point, const Matrix* matrix, Point& out);
  DXF_World_Point unmap(Point canvas_point) const;

 private:
  void loaded(int width, int height, Canvas* canvas);

  DXF_Read_Events* events_;
  std::unique_ptr<DXF_Object> drawing_;
};

}  // namespace pelindra
