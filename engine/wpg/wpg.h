#pragma once
// WordPerfect graphics (WPG) files: the records of a version 1 file read into
// a picture of shapes, text and bitmaps, which draws itself on a canvas;
// of version 2 files the bitmaps (plain and run-length coded) are read.
// Coordinates are WordPerfect units (1200 per inch) with y pointing up.
// The reader is bounded (record count, points, bitmap sizes) and never reads
// outside its input.

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
};

struct WpgItem {
  enum class Kind { Line, Polyline, Polygon, Rectangle, Ellipse, Curve, Text, Bitmap };
  Kind kind = Kind::Line;
  std::vector<Point> points;  // Line, Polyline, Polygon, Curve (start, then control, control, end ...)
  Rect box;                   // Rectangle, Ellipse (centre in left/top, radii in right/bottom), Bitmap
  int startAngle = 0, endAngle = 360, rotation = 0;  // Ellipse, degrees
  std::string text;                                  // Text, at points[0]
  int textHeight = 0;
  Color pen = 0;
  int penWidth = 0;  // WordPerfect units
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
