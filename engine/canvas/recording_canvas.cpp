#include "engine/canvas/recording_canvas.h"

#include <algorithm>
#include <cstdio>

namespace pelindra {

namespace {

std::string pointText(Point p) { return std::to_string(p.x) + "," + std::to_string(p.y); }

std::string boxText(const Rect& r) { return pointText({r.left, r.top}) + " " + pointText({r.right, r.bottom}); }

std::string penText(const Pen& pen) {
  if (pen.style == PenStyle::Clear) return " pen=clear";
  return " pen=" + htmlColor(pen.color) + "/" + std::to_string(pen.width);
}

std::string brushText(const Brush& brush) {
  return brush.style == BrushStyle::Clear ? " brush=clear" : " brush=" + htmlColor(brush.color);
}

}  // namespace

CanvasOp& RecordingCanvas::add(CanvasOp::Kind kind) {
  CanvasOp& op = ops_.emplace_back();
  op.kind = kind;
  op.pen = pen();
  op.brush = brush();
  op.font = font();
  op.textAlign = textAlign();
  return op;
}

std::size_t RecordingCanvas::count(CanvasOp::Kind kind) const {
  return std::size_t(std::count_if(ops_.begin(), ops_.end(), [kind](const CanvasOp& op) { return op.kind == kind; }));
}

void RecordingCanvas::line(Point from, Point to) { add(CanvasOp::Kind::Line).points = {from, to}; }

void RecordingCanvas::polyline(std::span<const Point> points) {
  add(CanvasOp::Kind::Polyline).points.assign(points.begin(), points.end());
}

void RecordingCanvas::polygon(std::span<const Point> points) {
  add(CanvasOp::Kind::Polygon).points.assign(points.begin(), points.end());
}

void RecordingCanvas::ellipse(const Rect& box) { add(CanvasOp::Kind::Ellipse).box = box; }

void RecordingCanvas::arc(const Rect& box, Point start, Point end) {
  CanvasOp& op = add(CanvasOp::Kind::Arc);
  op.box = box;
  op.points = {start, end};
}

void RecordingCanvas::rectangle(const Rect& box) { add(CanvasOp::Kind::Rectangle).box = box; }

void RecordingCanvas::textOut(Point p, std::string_view text) {
  CanvasOp& op = add(CanvasOp::Kind::Text);
  op.points = {p};
  op.text = std::string(text);
}

void RecordingCanvas::setPixel(Point p, Color color) {
  CanvasOp& op = add(CanvasOp::Kind::Pixel);
  op.points = {p};
  op.color = color;
}

std::string RecordingCanvas::describe(const CanvasOp& op) {
  auto points = [&op] {
    std::string s;
    for (const Point& p : op.points) s += " " + pointText(p);
    return s;
  };
  switch (op.kind) {
    case CanvasOp::Kind::Line: return "line" + points() + penText(op.pen);
    case CanvasOp::Kind::Polyline: return "polyline" + points() + penText(op.pen);
    case CanvasOp::Kind::Polygon: return "polygon" + points() + penText(op.pen) + brushText(op.brush);
    case CanvasOp::Kind::Ellipse: return "ellipse " + boxText(op.box) + penText(op.pen) + brushText(op.brush);
    case CanvasOp::Kind::Arc: return "arc " + boxText(op.box) + points() + penText(op.pen);
    case CanvasOp::Kind::Rectangle: return "rectangle " + boxText(op.box) + penText(op.pen) + brushText(op.brush);
    case CanvasOp::Kind::Text:
      return "text" + points() + " '" + op.text + "' font=" + std::to_string(op.font.height) + "/" +
             htmlColor(op.font.color) + " align=" + std::to_string(op.textAlign);
    case CanvasOp::Kind::Pixel: return "pixel" + points() + " " + htmlColor(op.color);
  }
  return {};
}

std::string RecordingCanvas::dump() const {
  std::string s;
  for (const CanvasOp& op : ops_) s += describe(op) + "\n";
  return s;
}

}  // namespace pelindra
