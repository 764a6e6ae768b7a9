#pragma once
// The drawing surface the engine draws on. Windows code implements it over a
// device context (window, bitmap, metafile, printer); tests use a recording
// canvas and an SVG canvas. Coordinates are device pixels, y grows downwards,
// and line ends are exclusive as on a Windows device context.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/base/dib.h"

namespace pelindra {

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

enum class PenStyle { Solid, Dash, Dot, DashDot, DashDotDot, Clear };
enum class BrushStyle { Solid, Clear };

// Text alignment flags with the values of the Windows TA_ constants.
namespace TextAlign {
constexpr unsigned Left = 0, Right = 2, Center = 6;
constexpr unsigned Top = 0, Bottom = 8, Baseline = 24;
constexpr unsigned HorizontalMask = 6, VerticalMask = 24;
}  // namespace TextAlign

struct Pen {
  Color color = 0;
  int width = 1;
  PenStyle style = PenStyle::Solid;
  friend bool operator==(const Pen&, const Pen&) = default;
};

struct Brush {
  Color color = rgb(255, 255, 255);
  BrushStyle style = BrushStyle::Solid;
  friend bool operator==(const Brush&, const Brush&) = default;
};

struct Font {
  std::string name = "MS Sans Serif";
  // As a Windows font height: negative is the character height, positive the
  // cell height, in pixels.
  int height = -11;
  Color color = 0;
  bool bold = false;
  bool italic = false;
  int escapement = 0;  // tenths of a degree, counter-clockwise
  friend bool operator==(const Font&, const Font&) = default;
};

// "#rrggbb", the colour as SVG, HTML and test dumps write it.
std::string htmlColor(Color color);

class Canvas {
 public:
  virtual ~Canvas() = default;

  const Pen& pen() const { return pen_; }
  const Brush& brush() const { return brush_; }
  const Font& font() const { return font_; }
  unsigned textAlign() const { return textAlign_; }
  Point penPos() const { return penPos_; }

  void setPen(const Pen& pen);
  void setPenColor(Color color);
  void setPenWidth(int width);
  void setBrush(const Brush& brush);
  void setFont(const Font& font);
  void setFontHeight(int height);
  void setFontColor(Color color);
  void setTextAlign(unsigned flags);

  void moveTo(Point p);
  void lineTo(Point p);

  // Open polyline through the points; the current position is not used or moved.
  virtual void polyline(std::span<const Point> points) = 0;
  // Closed outline through the points, filled with the brush unless it is clear.
  virtual void polygon(std::span<const Point> points) = 0;
  // Several closed outlines, one after the other (counts holds the number of
  // points of each), filled together by the alternate rule, so that an outline
  // inside another cuts a hole. The default fills one polygon that visits every
  // outline from the first point and comes back the same way (the doubled
  // edges cancel under the alternate rule), then strokes each outline.
  virtual void polyPolygon(std::span<const Point> points, std::span<const std::size_t> counts);
  // Ellipse in the box, outlined with the pen and filled with the brush.
  virtual void ellipse(const Rect& box) = 0;
  // Elliptic arc in the box, counter-clockwise from the radial through start to
  // the radial through end.
  virtual void arc(const Rect& box, Point start, Point end) = 0;
  virtual void rectangle(const Rect& box) = 0;
  // Text in UTF-8 at p, placed by the text alignment.
  virtual void textOut(Point p, std::string_view text) = 0;
  virtual void setPixel(Point p, Color color) = 0;

 protected:
  // Hooks for implementations that realise drawing objects lazily.
  virtual void penChanged() {}
  virtual void brushChanged() {}
  virtual void fontChanged() {}
  virtual void textAlignChanged() {}
  // A straight segment from the current position; the position then moves to p.
  virtual void line(Point from, Point to) = 0;

 private:
  Pen pen_;
  Brush brush_;
  Font font_;
  unsigned textAlign_ = TextAlign::Left | TextAlign::Top;
  Point penPos_;
};

}  // namespace pelindra
