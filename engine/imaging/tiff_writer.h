#pragma once
// The program's own TIFF writer: one uncompressed, single-strip, little-endian
// baseline TIFF from a bitmap, in one of three fixed layouts:
// - bilevel (1 bit per pixel),
// - palette (4 or 8 bits per pixel, with a colour map),
// - RGB (24 bits per pixel, from 24 or 32 bits; 15- and 16-bit pictures are
//   turned into 24 bits first).
// Rows are written top row first; every directory entry comes from a fixed
// template, so the layout of a file is fixed per case.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/base/dib.h"

namespace pelindra {

// The whole file. An empty bitmap gives no bytes at all (nothing is written).
std::vector<std::uint8_t> WriteTiff(const Dib& bitmap);

}  // namespace pelindra
