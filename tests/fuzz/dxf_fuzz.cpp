// Feeds arbitrary bytes to the DXF reader, then fits, draws and writes out
// whatever it read. None of it may crash, hang or read out of bounds.

#include <cstdint>
#include <span>
#include <sstream>

#include "engine/canvas/canvas.h"
#include "engine/dxf/dxf_view.h"

namespace {

class Null_Canvas : public pelindra::Canvas {
 public:
  void polyline(std::span<const pelindra::Point>) override {}
  void polygon(std::span<const pelindra::Point>) override {}
  void ellipse(const pelindra::Rect&) override {}
  void arc(const pelindra::Rect&, pelindra::Point, pelindra::Point) override {}
  void rectangle(const pelindra::Rect&) override {}
  void textOut(pelindra::Point, std::string_view) override {}
  void setPixel(pelindra::Point, pelindra::Color) override {}

 protected:
  void line(pelindra::Point, pelindra::Point) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelindra;
  DXF_Recorded_Events events;
  DxfViewControl view(&events);
  view.draw_budget = 100000;
  Null_Canvas canvas;
  view.load("fuzz.dxf", std::span(data, size), 2048, 1454, &canvas);
  if (const DXF_Object* drawing = view.drawing()) {
    std::ostringstream out;
    for (const auto& layer : drawing->layers)
      for (const auto& list : layer->lists)
        for (const auto& e : list->entities) {
          e->write_dxf(out, layer->name);
          e->draw_control_points(canvas, nullptr, &DxfViewControl::map, &view);
        }
    view.unmap({100, 100});
  }
  return 0;
}
