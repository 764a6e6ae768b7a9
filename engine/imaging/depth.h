#pragma once
// Colour depth and grayscale.

#include "engine/base/dib.h"

namespace pelindra::imaging {

// The picture as a 24-bit bitmap (rows of blue, green, red).
Dib ToBgr24(const Dib& picture);

// The picture in another pixel format. A picture already in that format comes
// back unchanged, colour table included. Reduction to 4 or 8 bit keeps the
// picture's exact colours when it has no more than 16 or 256 of them, and
// otherwise takes for each pixel the nearest colour of a fixed palette: the
// sixteen standard colours for 4 bit, the halftone palette for 8 bit. 1 bit is
// always black and white, by nearest colour. 15 and 16 bit drop the low bits
// of each channel; 32 bit (and device or custom formats) store blue, green,
// red and a zero byte.
Dib ConvertDepth(const Dib& picture, PixelFormat format);

// Averages the three channels of every pixel, (blue + green + red) div 3, and
// brings the result back to the picture's depth; a 32-bit picture comes back as
// 24 bit.
Dib Grayscale(const Dib& picture);

}  // namespace pelindra::imaging
