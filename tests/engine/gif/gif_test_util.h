#pragma once
// Helpers for the GIF suites: hand-built GIF streams and loading with the
// warnings collected.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/gif/gif_image.h"

namespace pelindra::test {

using Bytes = std::vector<std::uint8_t>;

// Image data in the plainest LZW form: a clear code before the code width could
// grow, so every pixel is one literal code. Independent of our encoder.
Bytes PlainLzw(int codeSize, const std::vector<std::uint8_t>& pixels, bool endCode = true);
// Packs codes of the given widths, least significant bit first.
Bytes PackCodes(const std::vector<std::pair<int, int>>& codesAndWidths);
Bytes operator+(Bytes a, const Bytes& b);
Bytes Head(const Bytes& a, std::size_t n);
// Splits data into sub-blocks of at most 255 bytes and adds the terminator.
Bytes SubBlocks(const Bytes& data, std::size_t blockSize = 255, bool terminator = true);

// The message of the GIFException the action raises, or "" when it raises none.
std::string ErrorOf(const std::function<void()>& action);

// A GIF stream built block by block.
struct GifBuilder {
  Bytes bytes;
  GifBuilder& Header(int width, int height, int globalColors, const char* version = "GIF89a");
  GifBuilder& Raw(std::initializer_list<int> values);
  GifBuilder& Append(const Bytes& more);
  GifBuilder& Gce(int disposal, int delay, int transparentIndex = -1);
  GifBuilder& Comment(const std::string& text);
  GifBuilder& Loop(int count);
  // An image descriptor with an optional local table of n colours and plain LZW data.
  GifBuilder& Image(int left, int top, int width, int height, const std::vector<std::uint8_t>& pixels,
                    int localColors = 0, bool interlaced = false, int codeSize = 0);
  GifBuilder& Trailer() { return Raw({0x3B}); }
};

// Loads bytes, collecting the warnings; the exception message (if any) in error.
struct Loaded {
  std::vector<std::string> warnings;
  std::string error;
};
Loaded LoadCollecting(TGIFImage& image, const Bytes& bytes);

}  // namespace pelindra::test
