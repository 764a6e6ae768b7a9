#include "engine/base/icon_file.h"

#include <string>
#include <tuple>

namespace pelindra {

namespace {

std::uint16_t u16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
std::uint32_t u32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint32_t be32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Checks one image and fills in its real size; false when it cannot be used.
// `data` runs from the image to the end of the file: the sizes that entries
// state are often wrong, so a DIB image is measured by its own header.
bool checkImage(std::span<const std::uint8_t> data, IconImage& image, const IconLimits& limits) {
  if (data.size() >= 24 && std::equal(std::begin(kPngSignature), std::end(kPngSignature), data.begin())) {
    // The IHDR chunk must come first and say how large the picture is.
    if (be32(data.data() + 8) != 13 || data[12] != 'I' || data[13] != 'H' || data[14] != 'D' || data[15] != 'R')
      return false;
    const std::uint32_t w = be32(data.data() + 16), h = be32(data.data() + 20);
    if (w == 0 || h == 0 || w > std::uint32_t(limits.maxSide) || h > std::uint32_t(limits.maxSide)) return false;
    image.png = true;
    if (image.size > data.size() || image.size < 24) image.size = data.size();
    image.width = int(w);
    image.height = int(h);
    image.bitCount = 32;
    return true;
  }
  if (data.size() < 40) return false;
  const std::uint8_t* h = data.data();
  const std::uint32_t headerSize = u32(h);
  const std::int32_t width = std::int32_t(u32(h + 4)), height2 = std::int32_t(u32(h + 8));
  const unsigned planes = u16(h + 12), bits = u16(h + 14);
  const std::uint32_t compression = u32(h + 16), used = u32(h + 32);
  if (headerSize < 40 || headerSize > data.size() || planes > 1) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  if (compression != 0) return false;
  // The height counts the colour rows and the mask rows.
  if (width <= 0 || height2 <= 0 || height2 % 2 || width > 256 || height2 / 2 > 256) return false;
  const std::uint64_t w = std::uint64_t(width), rows = std::uint64_t(height2 / 2);
  std::uint64_t colors = bits <= 8 ? (used ? used : 1u << bits) : used;
  if (bits <= 8 && colors > (1u << bits)) colors = 1u << bits;
  const std::uint64_t xorStride = (w * bits + 31) / 32 * 4, andStride = (w + 31) / 32 * 4;
  const std::uint64_t need = headerSize + colors * 4 + (xorStride + andStride) * rows;
  if (need > data.size()) return false;
  image.png = false;
  image.size = std::size_t(need);
  image.width = width;
  image.height = int(rows);
  image.bitCount = int(bits);
  return true;
}

}  // namespace

IconDirectory readIconDirectory(std::span<const std::uint8_t> file, const IconLimits& limits) {
  if (file.size() < 6 || u16(file.data()) != 0 || (u16(file.data() + 2) != 1 && u16(file.data() + 2) != 2))
    throw IconError("not an icon or cursor file");
  IconDirectory dir;
  dir.cursor = u16(file.data() + 2) == 2;
  const std::size_t count = u16(file.data() + 4);
  if (count == 0) throw IconError("icon file has no images");
  if (6 + count * 16 > file.size()) throw IconError("icon directory is cut short");
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = file.data() + 6 + 16 * i;
    const std::uint64_t size = u32(e + 8), offset = u32(e + 12);  // size is a hint only
    IconImage image;
    image.offset = std::size_t(offset);
    image.size = std::size_t(size);
    // The data must lie behind the directory and inside the file.
    if (offset < 6 + count * 16 || offset >= file.size() ||
        !checkImage(file.subspan(std::size_t(offset)), image, limits)) {
      ++dir.damaged;
      continue;
    }
    dir.images.push_back(image);
  }
  if (dir.images.empty()) throw IconError("icon file has no usable image");
  return dir;
}

std::size_t bestIconImage(const IconDirectory& directory) {
  std::size_t best = 0;
  const auto rank = [](const IconImage& i) {
    return std::make_tuple(std::uint64_t(i.width) * std::uint64_t(i.height), !i.png, i.bitCount);
  };
  for (std::size_t i = 1; i < directory.images.size(); ++i)
    if (rank(directory.images[i]) > rank(directory.images[best])) best = i;
  return best;
}

}  // namespace pelindra
