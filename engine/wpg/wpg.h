#pragma once
// WordPerfect graphics (WPG) files, versions 1 and 2: their records read into
// a picture of shapes, text and bitmaps, which draws itself on a canvas.
// Coordinates are WordPerfect units (1200 per inch) with y pointing up; a
// version 2 file's own units, precision and object transformations are
// resolved while reading, so every item is already in picture space.
// The reader is bounded (record count, points, bitmap sizes, group nesting)
// and never reads outside its input.

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/base/dib.h"
#include "engine/canvas/canvas.h"

namespace pelindra {

class WpgError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct WpgLimits {
  std::size_t maxRecords = std::size_t(1) << 20;
  std::size_t maxPoints = std::size_t(1) << 22;
  std::uint64_t maxBitmapPixels = std::uint64_t(1) << 26;
  std::size_t maxNesting = 64;  // groups within groups (version 2)
};

struct WpgItem {
  enum class Kind { Line, Polyline, Polygon, Rectangle, Ellipse, Curve, Text, Bitmap, PolyPolygon };
  Kind kind = Kind::Line;
  // Line, Polyline, Polygon, Curve (start, then control, control, end ...),
  // PolyPolygon (the outlines one after the other).
  std::vector<Point> points;
  std::vector<std::size_t> rings;  // PolyPolygon: the number of points of each outline
  Rect box;                        // Rectangle, Ellipse (centre in left/top, radii in right/bottom), Bitmap
  // Ellipse: an arc counter-clockwise from start to end (angles of the
  // ellipse's parameter, in degrees); equal angles are the whole ellipse.
  double startAngle = 0, endAngle = 360;
  int rotation = 0;
  bool closed = false;  // Curve: closed and filled like a polygon
  std::string text;     // Text (UTF-8 for version 2), at points[0]
  int textHeight = 0;
  unsigned textAlign = TextAlign::Left | TextAlign::Baseline;
  double textAngle = 0;  // degrees, counter-clockwise
  bool bold = false, italic = false;
  Color pen = 0;
  int penWidth = 0;  // WordPerfect units
  PenStyle penStyle = PenStyle::Solid;
  bool noPen = false;
  Color brush = 0;
  bool noBrush = true;
  Dib bitmap;
};

struct WpgPicture {
  int version = 1;
  int width = 0, height = 0;  // WordPerfect units
  std::vector<WpgItem> items;
};

// Throws WpgError for a file that is no WPG, a damaged record or a picture
// over the limits.
WpgPicture ReadWpg(std::span<const std::uint8_t> file, const WpgLimits& limits = {});

// Draws the picture scaled into a canvas of the given size in pixels.
void DrawWpg(const WpgPicture& picture, Canvas& canvas, int width, int height);

}  // namespace pelindra
