#pragma once
// TIFF pictures read into a Dib over libtiff: every compression, photometric
// interpretation and layout libtiff decodes (strips and tiles, 16-bit samples,
// YCbCr, CMYK, alpha); the first page of a multi-page file. Bilevel, grey and
// palette pictures of up to 8 bits stay indexed; the rest become 24 bits, with
// transparent parts laid over white.

#include <cstdint>
#include <span>
#include <stdexcept>

#include "engine/base/dib.h"

namespace pelindra {

class TiffReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TiffReadLimits {
  std::uint64_t maxPixels = std::uint64_t(1) << 27;
  // Largest single allocation libtiff may make while decoding.
  std::uint64_t maxAllocation = std::uint64_t(1) << 30;
};

// Throws TiffReadError with libtiff's message when the file cannot be read.
Dib ReadTiffToDib(std::span<const std::uint8_t> file, const TiffReadLimits& limits = {});

}  // namespace pelindra
