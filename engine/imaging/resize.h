#pragma once
// Resizing: the arithmetic of the resize dialog and the resampling of bitmaps.

#include "engine/base/dib.h"

namespace pelindra::imaging {

// The resize dialog's fields as typed, and which of them the user changed since
// the last calculation.
struct ResizeFields {
  int startWidth = 0, startHeight = 0;  // the picture's size when the dialog opened
  int percent = 100, width = 0, height = 0;
  bool percentChanged = false, widthChanged = false, heightChanged = false;
};

struct ResizeCalculation {
  int percent = 100, width = 0, height = 0;
  long double factor = 1;  // percent x 0.01
  friend bool operator==(const ResizeCalculation&, const ResizeCalculation&) = default;
};

// Keeps the aspect ratio: the changed field (percentage first, then width, then
// height) decides the whole percentage, and the other sides follow from the
// rounded percentage. Every result is rounded to the nearest integer, halves to
// even. Throws NumberError when a result does not fit an integer.
ResizeCalculation Calculate(const ResizeFields& fields);

// The picture resampled to width x height as a 24-bit bitmap. Shrinking
// averages the source area under each result pixel; enlarging interpolates
// bilinearly between the nearest source pixels; a side that keeps its length
// is copied. Throws std::invalid_argument for an empty picture or a size that
// is not positive.
Dib ResizeBitmap(const Dib& picture, int width, int height);

}  // namespace pelindra::imaging
