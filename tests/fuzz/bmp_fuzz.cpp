// Feeds arbitrary bytes to the BMP file and packed-DIB readers. Whatever they
// accept must write out and read back as the same picture.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/base/bmp.h"

namespace {

void check(const pelindra::BmpImage& image) {
  if (image.hasAlpha) return;  // 32-bit BI_RGB files carry no alpha, so it would not survive
  const pelindra::Dib& dib = image.dib;
  const pelindra::BmpImage again = pelindra::readBmp(pelindra::writeBmp(dib));
  if (again.truncated || again.dib.width() != dib.width() || again.dib.height() != dib.height() ||
      again.dib.bitsPerPixel() != dib.bitsPerPixel())
    std::abort();
  for (int y = 0; y < dib.height(); ++y)
    for (int x = 0; x < dib.width(); ++x)
      if (again.dib.pixel(x, y) != dib.pixel(x, y)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  pelindra::BmpLimits limits;
  limits.maxPixels = std::uint64_t(1) << 16;  // small pictures keep the fuzzer fast
  try {
    check(pelindra::readBmp(bytes, limits));
  } catch (const pelindra::BmpError&) {
  }
  try {
    check(pelindra::readPackedDib(bytes, limits));
  } catch (const pelindra::BmpError&) {
  }
  try {
    pelindra::readBmpHeader(bytes);
  } catch (const pelindra::BmpError&) {
  }
  return 0;
}
