#include "tests/engine/gif/gif_test_util.h"

#include <algorithm>

namespace pelindra::test {

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Head(const Bytes& a, std::size_t n) {
  return Bytes(a.begin(), a.begin() + std::ptrdiff_t(std::min(n, a.size())));
}

Bytes PackCodes(const std::vector<std::pair<int, int>>& codes) {
  Bytes out;
  std::uint32_t acc = 0;
  int bits = 0;
  for (auto [code, width] : codes) {
    acc |= std::uint32_t(code) << bits;
    bits += width;
    while (bits >= 8) {
      out.push_back(std::uint8_t(acc));
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits > 0) out.push_back(std::uint8_t(acc));
  return out;
}

Bytes PlainLzw(int codeSize, const std::vector<std::uint8_t>& pixels, bool endCode) {
  const int clear = 1 << codeSize, width = codeSize + 1, run = clear - 2;
  std::vector<std::pair<int, int>> codes;
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    if (i % std::size_t(run) == 0) codes.push_back({clear, width});
    codes.push_back({pixels[i], width});
  }
  if (pixels.empty()) codes.push_back({clear, width});
  if (endCode) codes.push_back({clear + 1, width});
  Bytes out{std::uint8_t(codeSize)};
  const Bytes blocks = SubBlocks(PackCodes(codes));
  out.insert(out.end(), blocks.begin(), blocks.end());
  return out;
}

Bytes SubBlocks(const Bytes& data, std::size_t blockSize, bool terminator) {
  Bytes out;
  for (std::size_t at = 0; at < data.size(); at += blockSize) {
    const std::size_t n = std::min(blockSize, data.size() - at);
    out.push_back(std::uint8_t(n));
    out.insert(out.end(), data.begin() + std::ptrdiff_t(at), data.begin() + std::ptrdiff_t(at + n));
  }
  if (terminator) out.push_back(0);
  return out;
}

GifBuilder& GifBuilder::Header(int width, int height, int globalColors, const char* version) {
  bytes.insert(bytes.end(), version, version + 6);
  int packed = 0;
  if (globalColors > 0) packed = 0x80 | (BitsForColors(globalColors) - 1) | (BitsForColors(globalColors) - 1) << 4;
  Raw({width & 255, width >> 8, height & 255, height >> 8, packed, 0, 0});
  for (int i = 0; i < globalColors; ++i) Raw({i * 37 & 255, i * 91 & 255, i * 13 & 255});
  return *this;
}

GifBuilder& GifBuilder::Raw(std::initializer_list<int> values) {
  for (int v : values) bytes.push_back(std::uint8_t(v));
  return *this;
}

GifBuilder& GifBuilder::Append(const Bytes& more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
  return *this;
}

GifBuilder& GifBuilder::Gce(int disposal, int delay, int transparentIndex) {
  const int packed = (disposal << 2) | (transparentIndex >= 0 ? 1 : 0);
  return Raw({0x21, 0xF9, 4, packed, delay & 255, delay >> 8, std::max(transparentIndex, 0), 0});
}

GifBuilder& GifBuilder::Comment(const std::string& text) {
  Raw({0x21, 0xFE});
  return Append(SubBlocks(Bytes(text.begin(), text.end())));
}

GifBuilder& GifBuilder::Loop(int count) {
  Raw({0x21, 0xFF, 11});
  const std::string id = "NETSCAPE2.0";
  bytes.insert(bytes.end(), id.begin(), id.end());
  return Raw({3, 1, count & 255, count >> 8, 0});
}

GifBuilder& GifBuilder::Image(int left, int top, int width, int height, const std::vector<std::uint8_t>& pixels,
                              int localColors, bool interlaced, int codeSize) {
  int packed = interlaced ? 0x40 : 0;
  if (localColors > 0) packed |= 0x80 | (BitsForColors(localColors) - 1);
  Raw({0x2C, left & 255, left >> 8, top & 255, top >> 8, width & 255, width >> 8, height & 255, height >> 8, packed});
  for (int i = 0; i < localColors; ++i) Raw({255 - i, i, 128});
  if (codeSize == 0) {
    int maxPixel = 1;
    for (auto p : pixels) maxPixel = std::max<int>(maxPixel, p);
    codeSize = std::max(2, BitsForColors(maxPixel + 1));
  }
  return Append(PlainLzw(codeSize, pixels));
}

Loaded LoadCollecting(TGIFImage& image, const Bytes& bytes) {
  Loaded result;
  image.OnWarn = [&result](TGIFObject*, int, const std::string& message) { result.warnings.push_back(message); };
  try {
    image.LoadFromBytes(bytes);
  } catch (const GIFException& e) {
    result.error = e.what();
  }
  image.OnWarn = nullptr;
  return result;
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const GIFException& e) {
    return e.what();
  }
  return "";
}

}  // namespace pelindra::test
