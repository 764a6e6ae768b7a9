// Feeds arbitrary bytes to the icon directory reader. Every image it accepts
// must lie inside the file and be the best one it names.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/base/icon_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const auto dir = pelindra::readIconDirectory(std::span<const std::uint8_t>(data, size));
    if (dir.images.empty() || pelindra::bestIconImage(dir) >= dir.images.size()) std::abort();
    for (const auto& image : dir.images)
      if (image.offset > size || image.size > size - image.offset || image.width <= 0 || image.height <= 0)
        std::abort();
  } catch (const pelindra::IconError&) {
  }
  return 0;
}
