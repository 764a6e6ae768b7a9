#pragma once
// Pictures made for the graphics tests, and readable failure output for them.

#include <cstdint>
#include <ostream>
#include <vector>

#include "engine/base/dib.h"

namespace pelindra {
void PrintTo(const Dib& dib, std::ostream* os);
}

namespace vcl::test {

// A picture whose every pixel differs from its neighbours, in any format.
pelindra::Dib pattern(pelindra::PixelFormat format, int width = 13, int height = 7);

// Icon images: 32 bits, blue with its left half masked out; 4 bits, all red.
std::vector<std::uint8_t> image32(int side);
std::vector<std::uint8_t> image4(int side);
// An icon (type 1) or cursor (type 2) file of the images.
std::vector<std::uint8_t> iconFile(const std::vector<std::vector<std::uint8_t>>& images, int type = 1);

}  // namespace vcl::test
