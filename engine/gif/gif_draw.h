#pragma once
// Small pixel helpers shared by the renderer, the picture bitmap and the painter.

#include <cstdint>

#include "engine/base/dib.h"
#include "engine/canvas/canvas.h"

namespace pelindra {

// a * b / c rounded to the nearest integer, halves away from zero, as the
// platform's MulDiv; -1 when c is 0.
int MulDiv(int a, int b, int c);

// Stretches src into the rectangle dst of target (nearest pixel, clipped to the
// target). With a mask (1 bit per pixel, a set bit marks a transparent pixel)
// the transparent pixels leave the target unchanged.
void StretchDraw(Dib& target, Rect dst, const Dib& src, const Dib* mask);

// Copies the area r of src into a new 24-bit bitmap of r's size (outside src: black).
Dib CopyArea(const Dib& src, Rect r);

// Fills r (clipped) with a colour.
void FillArea(Dib& target, Rect r, Color color);

}  // namespace pelindra
