#include "engine/dxf/dxf_view.h"

#include <limits>

#include "engine/base/numbers.h"

namespace pelindra {

namespace {

// Keeps the program-wide no-load-running flag false while it lives.
class Load_Running {
 public:
  Load_Running() { dxf_load_status().no_load_running = false; }
  ~Load_Running() { dxf_load_status().no_load_running = true; }
  Load_Running(const Load_Running&) = delete;
  Load_Running& operator=(const Load_Running&) = delete;
};

std::string without_folder(const std::string& path) {
  const auto slash = path.find_last_of("/\\:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

DXF_Object::DXF_Object(const std::string& file_name, std::vector<std::string>* skipped_log, DXF_Read_Events* events)
    : name(without_folder(file_name)) {
  const Load_Running running;
  DXF_Reader reader(file_name, events);
  read(reader, skipped_log);
}

DXF_Object::DXF_Object(const std::string& name, std::span<const std::uint8_t> bytes,
                       std::vector<std::string>* skipped_log, DXF_Read_Events* events)
    : name(without_folder(name)) {
  const Load_Running running;
  DXF_Reader reader(std::make_unique<DXF_Memory_Source>(bytes), events);
  read(reader, skipped_log);
}

void DXF_Object::read(DXF_Reader& reader, std::vector<std::string>* skipped_log) {
  reader.set_skipped_log(skipped_log);
  reader.read_file();
  extmax = reader.extmax();
  extmin = reader.extmin();
  layers = reader.take_layers();
}

void DXF_Object::remove_empty_lists(DXF_Read_Events* events) {
  for (std::size_t li = layers.size(); li-- > 0;) {
    DXF_Layer& layer = *layers[li];
    for (std::size_t i = layer.lists.size(); i-- > 0;) {
      if (!layer.lists[i]->entities.empty()) continue;
      layer.lists.erase(layer.lists.begin() + std::ptrdiff_t(i));
      if (i < layer.list_names.size()) layer.list_names.erase(layer.list_names.begin() + std::ptrdiff_t(i));
    }
    if (layer.lists.size() != layer.list_names.size() && events)
      events->show_message("Internal error : Layer lists and names mismatch");
    if (layer.lists.empty()) layers.erase(layers.begin() + std::ptrdiff_t(li));
  }
}

void DXF_Object::fill_entries(std::vector<DXF_Entry>& entries) const {
  entries.push_back({name});
  for (const auto& layer : layers) {
    entries.push_back({"  " + layer->name, layer.get()});
    for (const auto& list : layer->lists) entries.push_back({"    " + list->name, nullptr, list.get()});
  }
}

DxfViewControl::DxfViewControl(DXF_Read_Events* events) : events_(events) { dxf_load_status().no_load_running = true; }

void DxfViewControl::timer_tick() {
  progress_text = dxf_load_status().progress_text;
  load_done = dxf_load_status().no_load_running;
}

void DxfViewControl::load(const std::string& file_name, int width, int height, Canvas* canvas) {
  drawing_.reset();
  drawing_ = std::make_unique<DXF_Object>(file_name, &skipped_log, events_);
  loaded(width, height, canvas);
}

void DxfViewControl::load(const std::string& name, std::span<const std::uint8_t> bytes, int width, int height,
                          Canvas* canvas) {
  drawing_.reset();
  drawing_ = std::make_unique<DXF_Object>(name, bytes, &skipped_log, events_);
  loaded(width, height, canvas);
}

void DxfViewControl::loaded(int width, int height, Canvas* canvas) {
  view_max = drawing_->extmax;
  view_min = drawing_->extmin;
  skipped_log.clear();
  entries.clear();
  drawing_->remove_empty_lists(events_);
  if (drawing_->layer_count() == 0)
    drawing_.reset();
  else
    drawing_->fill_entries(entries);
  for (DXF_Entry& e : entries) e.selected = e.list != nullptr;
  nothing_to_draw = entries.empty();
  if (!entries.empty()) draw(width, height, canvas);
}

void DxfViewControl::fit(int width, int height) {
  const double dx = view_max.x - view_min.x, dy = view_max.y - view_min.y;
  const long double w = width - 40, h = height - 40;
  const long double d = h > w ? w : h;
  long double sx = dx == 0 ? 1.0L : d / dx;
  long double sy = dy == 0 ? 1.0L : d / dy;
  sx = sy = sx < sy ? sx : sy;
  scale_x = double(sx);
  scale_y = double(sy);
  centre_x = double((static_cast<long double>(view_max.x) + view_min.x) * 0.5L);
  centre_y = double((static_cast<long double>(view_max.y) + view_min.y) * 0.5L);
  left = double(centre_x - width * 0.5L / sx);
  right = double(centre_x + width * 0.5L / sx);
  bottom = double(centre_y - height * 0.5L / sy);
  top = double(centre_y + height * 0.5L / sy);
}

void DxfViewControl::map(void* control, const Point3D& point, const Matrix* matrix, Point& out) {
  const auto& c = *static_cast<const DxfViewControl*>(control);
  const Point3D p = matrix ? transform_point(*matrix, point) : point;
  // A point too far out for canvas coordinates keeps the output as it was.
  const auto x = tryRoundHalfEven((static_cast<long double>(p.x) - c.left) * c.scale_x);
  const auto y = tryRoundHalfEven((static_cast<long double>(c.top) - p.y) * c.scale_y);
  constexpr auto lo = std::numeric_limits<int>::min(), hi = std::numeric_limits<int>::max();
  if (!x || !y || *x < lo || *x > hi || *y < lo || *y > hi) return;
  out = {int(*x), int(*y)};
}

DXF_World_Point DxfViewControl::unmap(Point p) const {
  return {double(p.x / static_cast<long double>(scale_x) + left),
          double(top - p.y / static_cast<long double>(scale_y))};
}

void DxfViewControl::draw(int width, int height, Canvas* canvas) {
  if (!canvas) {
    fit(width, height);
    return;
  }
  Font font = canvas->font();
  font.name = "FF_ROMAN";
  canvas->setFont(font);
  canvas->setPenWidth(1);
  canvas->setPenColor(0);
  canvas->setBrush({canvas->brush().color, BrushStyle::Clear});
  fit(width, height);
  std::uint64_t spent = 0;
  for (const DXF_Entry& entry : entries) {
    if (!entry.selected || !entry.list) continue;
    for (const auto& e : entry.list->entities) {
      const std::uint64_t cost = e->draw_cost();
      if (cost > draw_budget - spent) continue;
      spent += cost;
      // One entity that cannot be drawn (an insert of a missing block) does
      // not end the drawing.
      try {
        e->draw(*canvas, nullptr, &DxfViewControl::map, this);
      } catch (const std::exception&) {
      }
    }
  }
}

}  // namespace pelindra
