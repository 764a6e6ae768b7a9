#pragma once
// The directory of icon (.ico) and cursor (.cur) files: a 6-byte header, one
// 16-byte entry per image, then the images themselves, each a DIB with its
// colour, colour table, XOR pixels and AND mask, or a PNG stream. Every entry
// is checked against the bytes that are really there before anything decodes
// an image, so a damaged entry is never handed on.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace pelindra {

class IconError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct IconLimits {
  // PNG images may be larger than the 256 pixels a directory entry can name.
  int maxSide = 1024;
};

struct IconImage {
  int width = 0;   // of the image itself (a directory byte of 0 means 256)
  int height = 0;  // without the AND mask
  int bitCount = 0;
  bool png = false;
  std::size_t offset = 0;  // of the image data in the file
  std::size_t size = 0;    // bytes of image data
};

struct IconDirectory {
  bool cursor = false;
  // The entries whose image data is complete and sound, in file order.
  std::vector<IconImage> images;
  // Entries left out because their data was damaged or out of the file.
  std::size_t damaged = 0;
};

// Reads and checks the directory. Throws IconError when the header is wrong or
// no entry has a usable image.
IconDirectory readIconDirectory(std::span<const std::uint8_t> file, const IconLimits& limits = {});

// The image worth showing: the largest, then the deepest, DIB images before
// PNG images of the same size.
std::size_t bestIconImage(const IconDirectory& directory);

}  // namespace pelindra
