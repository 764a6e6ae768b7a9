#pragma once
// BMP files and packed DIBs (the clipboard's form: the information header,
// colour table and bits without the file header).
//
// The reader accepts what Windows and OS/2 write: core (OS/2 1.x) and OS/2
// 2.x headers, information headers of 40, 52, 56, 108 and 124 bytes, 1, 2, 4,
// 8, 16, 24, 32 and 64 bits per pixel, RLE4, RLE8 and the OS/2 RLE24, bit
// fields with any contiguous masks, top-down rows, short or oversized colour
// tables, and the first picture of an OS/2 bitmap array. The result is always
// a Dib that shows the same colours:
// - 1, 4 and 8 bits stay indexed with the file's colour table (2 bits become
//   4); RLE4 and RLE8 decode to 4 and 8 bits, RLE24 to 24 bits. Pixels that
//   an RLE stream skips (deltas, early ends of line or picture) keep colour
//   index 0 (black in 24 bits).
// - 16 bits stay 16 bits when the masks are 5-5-5 or 5-6-5; other masks give
//   24 bits, or 32 bits when an alpha mask is present.
// - 24 bits stay 24 bits. 32 bits stay 32 bits with the fourth byte holding
//   the alpha of an alpha mask, or zero; odd masks without alpha give 24 bits.
//   64-bit pixels (linear light, 2.13 fixed point) become 32 bits with alpha.
// Truncated pixel data is read as far as it goes: the rows present are
// delivered, the rest stay at index 0 / black, and the image says so; with
// BmpLimits::acceptTruncated cleared such files fail instead. Every other
// fault is a BmpError with a one-line message. The reader never reads outside
// its input and its work is bounded by the input size and the limits.

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/base/dib.h"

namespace pelindra {

enum class BmpFault {
  NotBmp,       // no BMP signature or header
  Truncated,    // the file ends inside the headers or before any pixel data
  Unsupported,  // a valid variant this reader does not decode (JPEG, PNG, Huffman, ...)
  Corrupt,      // impossible header values
  TooLarge,     // dimensions beyond the limits
};

class BmpError : public std::runtime_error {
 public:
  BmpError(BmpFault fault, const std::string& message) : std::runtime_error(message), fault_(fault) {}
  BmpFault fault() const { return fault_; }

 private:
  BmpFault fault_;
};

struct BmpLimits {
  int maxWidth = 1 << 17;
  int maxHeight = 1 << 17;
  // 2^27 pixels are 512 MiB at 32 bits, well below Dib::kMaxBytes.
  std::uint64_t maxPixels = std::uint64_t(1) << 27;
  // Deliver the rows present when the pixel data is cut short.
  bool acceptTruncated = true;
};

// Compression values as the header stores them.
enum BmpCompression : std::uint32_t {
  kBmpRgb = 0,
  kBmpRle8 = 1,
  kBmpRle4 = 2,
  kBmpBitFields = 3,  // 1-bit Huffman in an OS/2 2.x header
  kBmpJpeg = 4,       // RLE24 in an OS/2 2.x header
  kBmpPng = 5,
  kBmpAlphaBitFields = 6,
};

// The header facts as stored, without decoding pixels. Fields that a short
// header lacks are zero.
struct BmpHeader {
  std::uint32_t fileSize = 0;     // from the file header; 0 for a packed DIB
  std::uint32_t pixelOffset = 0;  // from the file header; 0 for a packed DIB
  std::uint32_t headerSize = 0;   // 12 (core), 16-64 (OS/2 2.x), 40, 52, 56, 108, 124
  bool os2 = false;               // a core or OS/2 2.x header
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative for top-down rows
  std::uint16_t planes = 0;
  std::uint16_t bitCount = 0;
  std::uint32_t compression = kBmpRgb;
  std::uint32_t imageSize = 0;
  std::int32_t xPelsPerMeter = 0;
  std::int32_t yPelsPerMeter = 0;
  std::uint32_t colorsUsed = 0;
  std::uint32_t colorsImportant = 0;
  // Red, green, blue and alpha masks when the file has bit fields.
  std::array<std::uint32_t, 4> masks{};
};

struct BmpImage {
  Dib dib;
  BmpHeader header;
  bool hasAlpha = false;   // the fourth byte of the 32-bit Dib holds alpha
  bool truncated = false;  // pixel data ended early; missing pixels are index 0
};

// The headers of a BMP file (or of the first picture of a bitmap array).
// Throws BmpError when they are missing or cut short.
BmpHeader readBmpHeader(std::span<const std::uint8_t> file);
// A whole BMP file.
BmpImage readBmp(std::span<const std::uint8_t> file, const BmpLimits& limits = {});
// A packed DIB: information header, bit-field masks (three after a 40-byte
// header with BI_BITFIELDS), colour table and bits.
BmpImage readPackedDib(std::span<const std::uint8_t> dib, const BmpLimits& limits = {});

// A BMP file as Windows writes a DIB: file header, 40-byte information header,
// the three masks for 5-6-5 (BI_BITFIELDS; 5-5-5 is BI_RGB), the Dib's colour
// table for indexed formats, bottom-up rows. Colours used is 0 for a full
// table and the count of a shorter one; an empty table is written as a full
// table of black, which is how the Dib shows it. Throws std::invalid_argument
// for an empty Dib.
std::vector<std::uint8_t> writeBmp(const Dib& dib);
// The same without the file header, as the clipboard holds it.
std::vector<std::uint8_t> writePackedDib(const Dib& dib);

}  // namespace pelindra
