#include "engine/canvas/canvas.h"

#include <cstdio>

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

void Canvas::moveTo(Point p) { penPos_ = p; }

void Canvas::lineTo(Point p) {
  line(penPos_, p);
  penPos_ = p;
}

}  // namespace pelindra
