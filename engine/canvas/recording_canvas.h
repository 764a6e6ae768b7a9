#pragma once
// A canvas that keeps every drawing call, with the pen, brush, font and text
// alignment in force at the time, so drawings can be checked call by call.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/canvas/canvas.h"

namespace pelindra {

struct CanvasOp {
  enum class Kind { Line, Polyline, Polygon, Ellipse, Arc, Rectangle, Text, Pixel };
  Kind kind = Kind::Line;
  // Line: from, to. Polyline, Polygon: the vertices. Arc: start and end radial
  // points. Text and Pixel: the position.
  std::vector<Point> points;
  Rect box;  // Ellipse, Arc, Rectangle
  std::string text;
  Color color = 0;  // Pixel
  Pen pen;
  Brush brush;
  Font font;
  unsigned textAlign = 0;
};

class RecordingCanvas : public Canvas {
 public:
  const std::vector<CanvasOp>& ops() const { return ops_; }
  std::size_t count(CanvasOp::Kind kind) const;
  void clear() { ops_.clear(); }

  // One line per call, in a compact form for comparisons and failure messages,
  // for example "line 0,0 10,5 pen=#ff0000/1" or "text 3,4 'A' font=-12 align=24".
  std::string dump() const;
  static std::string describe(const CanvasOp& op);

  void polyline(std::span<const Point> points) override;
  void polygon(std::span<const Point> points) override;
  void ellipse(const Rect& box) override;
  void arc(const Rect& box, Point start, Point end) override;
  void rectangle(const Rect& box) override;
  void textOut(Point p, std::string_view text) override;
  void setPixel(Point p, Color color) override;

 protected:
  void line(Point from, Point to) override;

 private:
  CanvasOp& add(CanvasOp::Kind kind);
  std::vector<CanvasOp> ops_;
};

}  // namespace pelindra
