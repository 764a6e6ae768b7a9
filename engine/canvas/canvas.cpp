#include "engine/canvas/canvas.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace pelindra {

std::string htmlColor(Color color) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", redOf(color), greenOf(color), blueOf(color));
  return buf;
}

void Canvas::setPen(const Pen& pen) {
  if (pen == pen_) return;
  pen_ = pen;
  penChanged();
}

void Canvas::setPenColor(Color color) {
  Pen p = pen_;
  p.color = color;
  setPen(p);
}

void Canvas::setPenWidth(int width) {
  Pen p = pen_;
  p.width = width;
  setPen(p);
}

void Canvas::setBrush(const Brush& brush) {
  if (brush == brush_) return;
  brush_ = brush;
  brushChanged();
}

void Canvas::setFont(const Font& font) {
  if (font == font_) return;
  font_ = font;
  fontChanged();
}

void Canvas::setFontHeight(int height) {
  Font f = font_;
  f.height = height;
  setFont(f);
}

void Canvas::setFontColor(Color color) {
  Font f = font_;
  f.color = color;
  setFont(f);
}

void Canvas::setTextAlign(unsigned flags) {
  if (flags == textAlign_) return;
  textAlign_ = flags;
  textAlignChanged();
}

void Canvas::polyPolygon(std::span<const Point> points, std::span<const std::size_t> counts) {
  std::vector<std::span<const Point>> rings;
  std::size_t at = 0;
  for (std::size_t n : counts) {
    n = std::min(n, points.size() - at);
    if (n > 0) rings.push_back(points.subspan(at, n));
    at += n;
  }
  if (rings.empty()) return;
  const Pen outline = pen_;
  if (brush_.style != BrushStyle::Clear) {
    std::vector<Point> area;
    const Point home = rings[0][0];
    for (const auto& ring : rings) {
      area.insert(area.end(), ring.begin(), ring.end());
      area.push_back(ring[0]);
      if (ring[0] != home) area.push_back(home);
    }
    setPen({outline.color, outline.width, PenStyle::Clear});
    polygon(area);
    setPen(outline);
  }
  if (outline.style == PenStyle::Clear) return;
  std::vector<Point> closed;
  for (const auto& ring : rings) {
    closed.assign(ring.begin(), ring.end());
    closed.push_back(ring[0]);
    polyline(closed);
  }
}

void Canvas::moveTo(Point p) { penPos_ = p; }

void Canvas::lineTo(Point p) {
  line(penPos_, p);
  penPos_ = p;
}

}  // namespace pelindra
