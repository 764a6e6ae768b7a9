#pragma once
// Colour-depth conversion of a Dib.

#include <span>

#include "engine/base/dib.h"

namespace pelindra {

// A copy of `source` at 1, 4, 8, 16, 24 or 32 bits per pixel (16 bits as
// 5-5-5 unless rgb565). Every pixel keeps its colour as far as the target can
// hold it:
// - Indexed targets keep the source's indices and colour table when the
//   source is indexed, its table fits the target and every index does too.
//   Otherwise each pixel becomes the nearest entry of `palette`, or of
//   standardPalette(bitsPerPixel) when none is given; the result's table is
//   that palette. A given palette always applies.
// - 16-bit targets drop the low bits of each channel; 32-bit targets get a
//   zero fourth byte, except a 32-bit source copied as it is.
// Throws std::invalid_argument for another depth or a palette larger than the
// target can index.
Dib convertDib(const Dib& source, int bitsPerPixel, bool rgb565 = false, std::span<const RgbQuad> palette = {});

}  // namespace pelindra
