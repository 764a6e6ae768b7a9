#pragma once
// Cutting a rectangle out of a picture, and finding a uniform border to cut.

#include "engine/base/dib.h"

namespace pelindra::imaging {

// The rectangle of width x height whose top-left corner is (left, top) of the
// picture, as a 24-bit bitmap; parts of it outside the picture are white.
// Throws std::invalid_argument when width or height is not positive.
Dib Crop(const Dib& picture, int width, int height, int left, int top);

// A selection in picture coordinates.
struct CropRect {
  int CropLeft = 0, CropTop = 0, CropWidth = 0, CropHeight = 0;
  friend bool operator==(const CropRect&, const CropRect&) = default;
};

// The selection dragged between (x1, y1) and (x2, y2) in the window, in any
// order, mapped to the picture shown at scaleFactor; a factor of 1 or more
// counts as 1 (the picture at full size). Each value is rounded to the nearest
// integer, halves to even. Throws NumberError for a factor of zero.
CropRect SelectionToPicture(int x1, int y1, int x2, int y2, long double scaleFactor);

// Cropping is offered only for a selection more than two pixels each way.
inline bool CanCrop(const CropRect& r) { return r.CropWidth > 2 && r.CropHeight > 2; }

// The smallest rectangle that holds every pixel differing from the colour of
// the bottom-left pixel (all zero when there is none).
struct FitBox {
  int FitLeft = 0, FitTop = 0, FitWidth = 0, FitHeight = 0;
  friend bool operator==(const FitBox&, const FitBox&) = default;
};

// Whether the picture has a removable uniform border: its FitBox is at least
// four pixels narrower or lower than the picture. A picture of one colour has
// nothing to keep and so nothing to remove. Sets box in every case.
bool CropFitTest(const Dib& picture, FitBox& box);

}  // namespace pelindra::imaging
