#pragma once
// giflib (an outside GIF decoder) as the oracle our reader and writers are judged by.

#include <array>
#include <cstdint>
#include <vector>

namespace pelindra::test {

using Rgb = std::array<std::uint8_t, 3>;

struct OracleFrame {
  int left = 0, top = 0, width = 0, height = 0;
  bool interlace = false;
  std::vector<Rgb> colors;  // local table as stored in the file
  std::vector<std::uint8_t> pixels;
};

struct OracleGif {
  bool ok = false;
  int error = 0;
  int width = 0, height = 0;
  std::vector<Rgb> colors;  // global table as stored in the file
  std::vector<OracleFrame> frames;
};

OracleGif DecodeWithGiflib(const std::vector<std::uint8_t>& bytes);

}  // namespace pelindra::test
