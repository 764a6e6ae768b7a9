#pragma once
// A canvas that writes an SVG document, so drawings can be looked at and
// compared without Windows. One canvas pixel is one SVG user unit; strokes are
// centred on pixel centres as a device context draws them. Runs of connected
// line segments with the same pen become one path.

#include <string>

#include "engine/canvas/canvas.h"

namespace pelindra {

class SvgCanvas : public Canvas {
 public:
  // A white background is painted unless background is false.
  SvgCanvas(int width, int height, bool background = true);

  int width() const { return width_; }
  int height() const { return height_; }
  // The whole document as UTF-8 text.
  std::string svg() const;

  void polyline(std::span<const Point> points) override;
  void polygon(std::span<const Point> points) override;
  void polyPolygon(std::span<const Point> points, std::span<const std::size_t> counts) override;
  void ellipse(const Rect& box) override;
  void arc(const Rect& box, Point start, Point end) override;
  void rectangle(const Rect& box) override;
  void textOut(Point p, std::string_view text) override;
  void setPixel(Point p, Color color) override;

 protected:
  void line(Point from, Point to) override;

 private:
  void flushPath();
  std::string strokeAttributes() const;
  std::string fillAttribute() const;

  int width_;
  int height_;
  bool background_;
  std::string body_;
  std::string path_;  // the open run of segments, without its element
  Pen pathPen_;
  Point pathEnd_;
};

// Text made safe for XML character data and attribute values: markup
// characters escaped, bytes that are not valid UTF-8 taken as Latin-1, and
// control characters that XML does not allow dropped.
std::string xmlEscape(std::string_view text);

}  // namespace pelindra
