#pragma once
// Mirroring and rotation by any whole angle.

#include <functional>
#include <string>
#include <string_view>

#include "engine/base/dib.h"

namespace pelindra::imaging {

enum class FlipDirection { Horizontal, Vertical };

// Mirrors left-right (Horizontal) or top-bottom (Vertical). The result keeps
// the picture's format and colour table.
Dib Flip(const Dib& picture, FlipDirection direction);

struct Size {
  int width = 0, height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// |degrees| mod 360, the angle a rotation really turns by.
int NormalizeAngle(long long degrees);

// The size of a width x height picture turned by degrees: the bounding box of
// the turned rectangle, each side rounded to the nearest integer (halves to
// even).
Size RotatedSize(int width, int height, int degrees);

// Turns the picture counter-clockwise (as seen on the screen) by
// |degrees| mod 360 about its centre into a 24-bit bitmap of RotatedSize.
// Every result pixel is mapped back into the picture and takes the nearest
// source pixel; pixels that map outside the picture keep the fill colour.
// Turns by 90, 180 and 270 degrees move every pixel exactly, losing none.
// beforeRow, when given, runs once for every result row, before the row is
// computed (in bands of a few rows), so that a window can stay responsive.
// Throws std::invalid_argument for an empty picture.
Dib Rotate(const Dib& picture, int degrees, Color fill, const std::function<void()>& beforeRow = {});

// What the angle field shows after an edit: |value| mod 360 of a whole number,
// "0" for anything else.
std::string RotateAngleText(std::string_view typed);

}  // namespace pelindra::imaging
