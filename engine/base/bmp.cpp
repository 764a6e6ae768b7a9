#include "engine/base/bmp.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace pelindra {

namespace {

using Bytes = std::span<const std::uint8_t>;

std::uint16_t get16(Bytes b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }
std::uint32_t get32(Bytes b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}
std::int32_t getI32(Bytes b, std::size_t at) { return std::int32_t(get32(b, at)); }

[[noreturn]] void fail(BmpFault fault, const std::string& message) { throw BmpError(fault, message); }

// Where the parts of a DIB lie in the input.
struct Layout {
  BmpHeader header;
  std::size_t tableStart = 0;
  std::size_t entrySize = 4;  // 3 for core headers
  std::size_t tableEntries = 0;
  std::size_t pixelStart = 0;
  bool os2v2 = false;  // an OS/2 2.x header: compression 3 and 4 mean Huffman and RLE24
};

// Parses the information header at `info`. `pixelOffset` is the absolute
// offset of the pixels the file header names, or 0 for a packed DIB.
Layout parseInfo(Bytes data, std::size_t info, std::size_t pixelOffset) {
  if (data.size() < info + 4) fail(BmpFault::Truncated, "BMP header is truncated");
  Layout l;
  BmpHeader& h = l.header;
  h.headerSize = get32(data, info);
  const std::uint32_t hs = h.headerSize;
  const bool windows = hs == 40 || hs == 52 || hs == 56 || hs == 108 || hs == 124;
  if (hs != 12 && !windows && (hs < 16 || hs > 64))
    fail(BmpFault::Unsupported, "unsupported BMP header size " + std::to_string(hs));
  if (data.size() < info + hs) fail(BmpFault::Truncated, "BMP header is truncated");

  if (hs == 12) {
    h.os2 = true;
    h.width = get16(data, info + 4);
    h.height = get16(data, info + 6);
    h.planes = get16(data, info + 8);
    h.bitCount = get16(data, info + 10);
    l.entrySize = 3;
  } else {
    h.os2 = !windows;
    l.os2v2 = !windows;
    h.width = getI32(data, info + 4);
    h.height = getI32(data, info + 8);
    h.planes = get16(data, info + 12);
    h.bitCount = get16(data, info + 14);
    // Later fields are present only as far as the header reaches.
    const auto field = [&](std::size_t offset) { return offset + 4 <= hs ? get32(data, info + offset) : 0u; };
    h.compression = field(16);
    h.imageSize = field(20);
    h.xPelsPerMeter = std::int32_t(field(24));
    h.yPelsPerMeter = std::int32_t(field(28));
    h.colorsUsed = field(32);
    h.colorsImportant = field(36);
  }

  std::size_t headerEnd = info + hs;
  const bool bitFields = !l.os2v2 && (h.compression == kBmpBitFields || h.compression == kBmpAlphaBitFields);
  if (bitFields) {
    const std::size_t count = h.compression == kBmpAlphaBitFields ? 4 : 3;
    if (hs == 40) {
      // The masks follow a 40-byte header.
      if (data.size() < headerEnd + 4 * count) fail(BmpFault::Truncated, "BMP bit-field masks are truncated");
      for (std::size_t i = 0; i < count; ++i) h.masks[i] = get32(data, headerEnd + 4 * i);
      headerEnd += 4 * count;
    } else {
      for (std::size_t i = 0; i < 4; ++i)
        if (40 + 4 * i + 4 <= hs) h.masks[i] = get32(data, info + 40 + 4 * i);
    }
  }

  l.tableStart = headerEnd;
  // Entries to skip before the pixels when nothing else says where they are.
  const std::uint64_t declared = h.colorsUsed != 0 ? h.colorsUsed
                                 : h.bitCount <= 8 ? (std::uint64_t(1) << h.bitCount)
                                                   : 0;
  const std::uint64_t computed = l.tableStart + declared * l.entrySize;
  // The file header's offset wins when it is plausible; a pixel start at or
  // beyond the end means there are no pixels (decoding fails, the facts stand).
  if (pixelOffset >= headerEnd && pixelOffset < data.size())
    l.pixelStart = pixelOffset;
  else
    l.pixelStart = std::size_t(std::min<std::uint64_t>(computed, data.size()));

  if (h.bitCount <= 8) {
    const std::uint64_t capacity = std::uint64_t(1) << h.bitCount;
    // A table cut short by the pixel data holds only what fits before them.
    l.tableEntries =
        std::size_t(std::min<std::uint64_t>({declared, capacity, (l.pixelStart - l.tableStart) / l.entrySize}));
  }
  return l;
}

Layout parseFile(Bytes data) {
  std::size_t base = 0;
  if (data.size() >= 2 && data[0] == 'B' && data[1] == 'A') {
    // An OS/2 bitmap array: the first element's file header follows its own
    // 14-byte header; offsets inside count from the start of the file.
    base = 14;
    if (data.size() < base + 2) fail(BmpFault::Truncated, "BMP bitmap array is truncated");
    if (data[base] != 'B' || data[base + 1] != 'M')
      fail(BmpFault::Unsupported, "the bitmap array holds no bitmap (only icons or pointers)");
  } else if (data.size() < 2 || data[0] != 'B' || data[1] != 'M') {
    fail(BmpFault::NotBmp, "not a BMP file");
  }
  if (data.size() < base + 14) fail(BmpFault::Truncated, "BMP header is truncated");
  const std::uint32_t fileSize = get32(data, base + 2);
  const std::uint32_t offset = get32(data, base + 10);
  Layout l = parseInfo(data, base + 14, offset);
  l.header.fileSize = fileSize;
  l.header.pixelOffset = offset;
  return l;
}

// ---- Bit fields ----

struct Channel {
  unsigned shift = 0;
  unsigned bits = 0;
  std::uint32_t max = 0;
  std::uint8_t value(std::uint32_t pixel) const {
    if (bits == 0) return 0;
    const std::uint64_t v = (pixel >> shift) & max;
    return std::uint8_t((v * 255 + max / 2) / max);
  }
};

Channel channelOf(std::uint32_t mask) {
  Channel c;
  if (mask == 0) return c;
  c.shift = unsigned(std::countr_zero(mask));
  const std::uint32_t run = mask >> c.shift;
  if ((run & (run + 1)) != 0) fail(BmpFault::Corrupt, "BMP bit-field mask is not contiguous");
  c.bits = unsigned(std::popcount(run));
  c.max = run;
  return c;
}

struct BitFields {
  Channel red, green, blue, alpha;
  bool hasAlpha() const { return alpha.bits != 0; }
};

BitFields bitFieldsOf(const BmpHeader& h) {
  std::array<std::uint32_t, 4> m = h.masks;
  if (h.compression == kBmpRgb) {
    m = h.bitCount == 16 ? std::array<std::uint32_t, 4>{0x7c00, 0x3e0, 0x1f, 0}
                         : std::array<std::uint32_t, 4>{0xff0000, 0xff00, 0xff, 0};
  }
  const std::uint32_t width = h.bitCount >= 32 ? 0xffffffffu : (1u << h.bitCount) - 1;
  for (std::size_t i = 0; i < 4; ++i) {
    m[i] &= width;
    for (std::size_t j = 0; j < i; ++j)
      if (m[i] & m[j]) fail(BmpFault::Corrupt, "BMP bit-field masks overlap");
  }
  return {channelOf(m[0]), channelOf(m[1]), channelOf(m[2]), channelOf(m[3])};
}

// ---- Pixel rows ----

struct Target {
  int bits = 0;
  bool rgb565 = false;
  bool hasAlpha = false;
};

enum class RowKind { Copy, Copy32, Bits2, Fields, Bits64 };

struct RowDecoder {
  RowKind kind = RowKind::Copy;
  int sourceBits = 0;
  BitFields fields;
  Target target;

  void decode(const std::uint8_t* src, std::uint8_t* dst, int width, std::size_t dstStride) const {
    switch (kind) {
      case RowKind::Copy: std::memcpy(dst, src, dstStride); break;
      case RowKind::Copy32:
        std::memcpy(dst, src, dstStride);
        if (!target.hasAlpha)
          for (int x = 0; x < width; ++x) dst[4 * x + 3] = 0;
        break;
      case RowKind::Bits2:
        for (int x = 0; x < width; ++x) {
          const unsigned index = (src[x >> 2] >> (6 - 2 * (x & 3))) & 3u;
          dst[x >> 1] = std::uint8_t(dst[x >> 1] | (index << ((x & 1) ? 0 : 4)));
        }
        break;
      case RowKind::Fields: {
        const int bytes = sourceBits / 8;
        const int step = target.bits / 8;
        for (int x = 0; x < width; ++x) {
          std::uint32_t v = 0;
          for (int i = bytes - 1; i >= 0; --i) v = v << 8 | src[bytes * x + i];
          std::uint8_t* p = dst + step * x;
          p[0] = fields.blue.value(v);
          p[1] = fields.green.value(v);
          p[2] = fields.red.value(v);
          if (step == 4) p[3] = fields.alpha.value(v);
        }
        break;
      }
      case RowKind::Bits64:
        for (int x = 0; x < width; ++x) {
          const std::uint8_t* s = src + 8 * x;
          for (int c = 0; c < 4; ++c) dst[4 * x + c] = fromFixed64(std::int16_t(get16(Bytes(s, 8), 2 * c)), c == 3);
        }
        break;
    }
  }

  // Samples of 64-bit pixels are 2.13 fixed point in linear light; alpha is
  // linear as it stands.
  static std::uint8_t fromFixed64(std::int16_t sample, bool isAlpha) {
    const double v = std::clamp(double(sample) / 8192.0, 0.0, 1.0);
    const double encoded = isAlpha ? v : v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
    return std::uint8_t(std::lround(encoded * 255.0));
  }
};

RowDecoder rowDecoderFor(const BmpHeader& h) {
  RowDecoder d;
  d.sourceBits = h.bitCount;
  switch (h.bitCount) {
    case 1:
    case 4:
    case 8: d.target.bits = h.bitCount; return d;
    case 24:
      if (h.compression != kBmpRgb) break;
      d.target.bits = 24;
      return d;
    case 2:
      d.kind = RowKind::Bits2;
      d.target.bits = 4;
      return d;
    case 64:
      d.kind = RowKind::Bits64;
      d.target = {32, false, true};
      return d;
    default: break;
  }
  d.fields = bitFieldsOf(h);
  const BitFields& f = d.fields;
  const auto is = [](const Channel& c, unsigned shift, unsigned bits) { return c.shift == shift && c.bits == bits; };
  if (h.bitCount == 16 && !f.hasAlpha() && is(f.red, 10, 5) && is(f.green, 5, 5) && is(f.blue, 0, 5)) {
    d.target.bits = 16;
  } else if (h.bitCount == 16 && !f.hasAlpha() && is(f.red, 11, 5) && is(f.green, 5, 6) && is(f.blue, 0, 5)) {
    d.target = {16, true, false};
  } else if (h.bitCount == 32 && is(f.red, 16, 8) && is(f.green, 8, 8) && is(f.blue, 0, 8) &&
             (!f.hasAlpha() || is(f.alpha, 24, 8))) {
    d.kind = RowKind::Copy32;
    d.target = {32, false, f.hasAlpha()};
  } else {
    d.kind = RowKind::Fields;
    d.target = {f.hasAlpha() ? 32 : 24, false, f.hasAlpha()};
  }
  return d;
}

std::size_t rowIndex(int fileRow, int height, bool topDown) {
  return std::size_t(topDown ? fileRow : height - 1 - fileRow);
}

bool decodeRows(Bytes data, const Layout& l, const RowDecoder& decoder, Dib& dib, bool topDown) {
  const int w = dib.width(), h = dib.height();
  const std::size_t srcStride = Dib::strideFor(w, l.header.bitCount);
  std::vector<std::uint8_t> partial;
  std::size_t at = l.pixelStart;
  for (int r = 0; r < h; ++r, at += srcStride) {
    std::uint8_t* dst = dib.scanLine(int(rowIndex(r, h, topDown)));
    if (data.size() - at >= srcStride) {
      decoder.decode(data.data() + at, dst, w, dib.stride());
      continue;
    }
    // The last, incomplete row: what is there, zeros for the rest.
    partial.assign(srcStride, 0);
    std::memcpy(partial.data(), data.data() + at, data.size() - at);
    decoder.decode(partial.data(), dst, w, dib.stride());
    return false;
  }
  return true;
}

// ---- Run-length encodings ----

// Decodes RLE4, RLE8 or RLE24 into a zeroed Dib of 4, 8 or 24 bits. Returns
// false when the data ends before the picture does.
bool decodeRle(Bytes data, std::size_t at, Dib& dib, bool topDown) {
  const int w = dib.width(), h = dib.height();
  const int bits = dib.bitsPerPixel();
  const std::size_t pixelBytes = bits == 24 ? 3 : 1;
  int x = 0, row = 0;  // row counts in file order
  const auto put = [&](std::uint8_t* line, int px, const std::uint8_t* value, unsigned nibble) {
    if (bits == 8) {
      line[px] = *value;
    } else if (bits == 4) {
      const int shift = (px & 1) ? 0 : 4;
      line[px >> 1] = std::uint8_t((line[px >> 1] & ~(15 << shift)) | (nibble << shift));
    } else {
      std::memcpy(line + 3 * px, value, 3);
    }
  };
  while (row < h) {
    if (data.size() - at < 2) return false;
    const unsigned count = data[at], second = data[at + 1];
    at += 2;
    std::uint8_t* line = dib.scanLine(int(rowIndex(row, h, topDown)));
    if (count > 0) {
      // A run: one value (RLE4: two alternating nibbles) repeated.
      const std::uint8_t* value = &data[at - 1];
      if (bits == 24) {
        if (data.size() - at < 2) return false;
        // The run's colour is the byte already read and the two that follow.
        value = &data[at - 1];
        at += 2;
      }
      const int end = std::min(w, x + int(count));
      if (bits == 8 && x < end) {
        std::memset(line + x, *value, std::size_t(end - x));
      } else {
        for (int px = x, i = 0; px < end; ++px, ++i) put(line, px, value, (i & 1) ? (second & 15u) : (second >> 4));
      }
      x = std::min(w, x + int(count));
      continue;
    }
    if (second == 0) {  // end of line
      x = 0;
      ++row;
    } else if (second == 1) {  // end of picture
      return true;
    } else if (second == 2) {  // move right and up
      if (data.size() - at < 2) return false;
      x = std::min(w, x + data[at]);
      row += data[at + 1];
      at += 2;
    } else {  // literal pixels, padded to a 16-bit boundary
      const std::size_t n = second;
      const std::size_t bytes = bits == 4 ? (n + 1) / 2 : n * pixelBytes;
      const std::size_t padded = bytes + (bytes & 1);
      if (data.size() - at < bytes) return false;
      for (std::size_t i = 0; i < n; ++i) {
        const int px = x + int(i);
        if (px >= w) break;
        const std::uint8_t* value = &data[at + (bits == 4 ? i / 2 : i * pixelBytes)];
        put(line, px, value, (i & 1) ? (*value & 15u) : (*value >> 4));
      }
      x = std::min(w, x + int(n));
      at += std::min(padded, data.size() - at);
    }
  }
  return true;
}

// ---- Reading ----

void checkDimensions(const BmpHeader& h, const BmpLimits& limits) {
  if (h.width <= 0 || h.height == 0 || h.height == std::numeric_limits<std::int32_t>::min())
    fail(BmpFault::Corrupt, "invalid BMP dimensions " + std::to_string(h.width) + " x " + std::to_string(h.height));
  const std::int64_t height = std::abs(std::int64_t(h.height));
  if (h.width > limits.maxWidth || height > limits.maxHeight ||
      std::uint64_t(h.width) * std::uint64_t(height) > limits.maxPixels)
    fail(BmpFault::TooLarge,
         "BMP of " + std::to_string(h.width) + " x " + std::to_string(height) + " pixels is larger than allowed");
}

BmpImage decode(Bytes data, const Layout& l, const BmpLimits& limits) {
  const BmpHeader& h = l.header;
  if (l.os2v2 && h.compression == kBmpBitFields) fail(BmpFault::Unsupported, "Huffman-compressed BMP is not supported");
  const bool rle24 = l.os2v2 && h.compression == kBmpJpeg;
  if (!rle24 && h.compression == kBmpJpeg) fail(BmpFault::Unsupported, "BMP with embedded JPEG is not supported");
  if (h.compression == kBmpPng) fail(BmpFault::Unsupported, "BMP with embedded PNG is not supported");

  const std::uint16_t bc = h.bitCount;
  switch (h.compression) {
    case kBmpRgb:
      if (bc != 1 && bc != 2 && bc != 4 && bc != 8 && bc != 16 && bc != 24 && bc != 32 && bc != 64)
        fail(BmpFault::Corrupt, "unsupported BMP bit count " + std::to_string(bc));
      break;
    case kBmpRle8:
    case kBmpRle4:
    case kBmpJpeg: {
      const std::uint16_t needed = h.compression == kBmpRle8 ? 8 : h.compression == kBmpRle4 ? 4 : 24;
      if (bc != needed)
        fail(BmpFault::Corrupt, "BMP run-length compression with " + std::to_string(bc) + " bits per pixel");
      break;
    }
    case kBmpBitFields:
    case kBmpAlphaBitFields:
      if (bc != 16 && bc != 24 && bc != 32)
        fail(BmpFault::Corrupt, "BMP bit fields with " + std::to_string(bc) + " bits per pixel");
      break;
    default: fail(BmpFault::Unsupported, "unsupported BMP compression " + std::to_string(h.compression));
  }
  checkDimensions(h, limits);
  if (l.pixelStart >= data.size()) fail(BmpFault::Truncated, "BMP file has no pixel data");

  const bool rle = h.compression == kBmpRle8 || h.compression == kBmpRle4 || rle24;
  const RowDecoder decoder = rle ? RowDecoder{} : rowDecoderFor(h);
  const int targetBits = rle ? bc : decoder.target.bits;
  const int width = h.width, height = int(std::abs(std::int64_t(h.height)));
  if (!Dib::fits(width, height, targetBits))
    fail(BmpFault::TooLarge,
         "BMP of " + std::to_string(width) + " x " + std::to_string(height) + " pixels is larger than allowed");

  BmpImage image;
  image.header = h;
  image.hasAlpha = !rle && decoder.target.hasAlpha;
  image.dib = Dib(width, height, targetBits, decoder.target.rgb565);
  if (image.dib.isIndexed()) {
    auto& colors = image.dib.colors();
    colors.assign(l.tableEntries, RgbQuad{});
    for (std::size_t i = 0; i < l.tableEntries; ++i) {
      const std::size_t at = l.tableStart + i * l.entrySize;
      colors[i] = {data[at], data[at + 1], data[at + 2], 0};
    }
  }
  const bool topDown = h.height < 0;
  const bool complete =
      rle ? decodeRle(data, l.pixelStart, image.dib, topDown) : decodeRows(data, l, decoder, image.dib, topDown);
  image.truncated = !complete;
  if (image.truncated && !limits.acceptTruncated) fail(BmpFault::Truncated, "BMP pixel data is truncated");
  return image;
}

// ---- Writing ----

void put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(std::uint8_t(v));
  out.push_back(std::uint8_t(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  put16(out, v & 0xffff);
  put16(out, v >> 16);
}

std::vector<std::uint8_t> encode(const Dib& dib, bool withFileHeader) {
  if (dib.empty()) throw std::invalid_argument("cannot write an empty bitmap");
  const int bits = dib.bitsPerPixel();
  const bool masks = bits == 16 && dib.isRgb565();
  const std::size_t capacity = dib.isIndexed() ? std::size_t(1) << bits : 0;
  std::size_t entries = std::min(dib.colors().size(), capacity);
  if (dib.isIndexed() && entries == 0) entries = capacity;
  const std::uint32_t colorsUsed = entries == capacity ? 0 : std::uint32_t(entries);
  const std::size_t imageSize = dib.bits().size();
  const std::size_t offset = (withFileHeader ? 14 : 0) + 40 + (masks ? 12 : 0) + 4 * entries;
  const std::size_t total = offset + imageSize;
  if (total > std::numeric_limits<std::uint32_t>::max()) throw std::invalid_argument("bitmap too large for BMP");

  std::vector<std::uint8_t> out;
  out.reserve(total);
  if (withFileHeader) {
    out.push_back('B');
    out.push_back('M');
    put32(out, std::uint32_t(total));
    put32(out, 0);
    put32(out, std::uint32_t(offset));
  }
  put32(out, 40);
  put32(out, std::uint32_t(dib.width()));
  put32(out, std::uint32_t(dib.height()));
  put16(out, 1);
  put16(out, unsigned(bits));
  put32(out, masks ? kBmpBitFields : kBmpRgb);
  put32(out, std::uint32_t(imageSize));
  put32(out, 0);
  put32(out, 0);
  put32(out, colorsUsed);
  put32(out, 0);
  if (masks) {
    put32(out, 0xf800);
    put32(out, 0x07e0);
    put32(out, 0x001f);
  }
  for (std::size_t i = 0; i < entries; ++i) {
    const RgbQuad q = i < dib.colors().size() ? dib.colors()[i] : RgbQuad{};
    out.insert(out.end(), {q.blue, q.green, q.red, 0});
  }
  out.insert(out.end(), dib.bits().begin(), dib.bits().end());
  return out;
}

}  // namespace

BmpHeader readBmpHeader(std::span<const std::uint8_t> file) { return parseFile(file).header; }

BmpImage readBmp(std::span<const std::uint8_t> file, const BmpLimits& limits) {
  return decode(file, parseFile(file), limits);
}

BmpImage readPackedDib(std::span<const std::uint8_t> dib, const BmpLimits& limits) {
  return decode(dib, parseInfo(dib, 0, 0), limits);
}

std::vector<std::uint8_t> writeBmp(const Dib& dib) { return encode(dib, true); }

std::vector<std::uint8_t> writePackedDib(const Dib& dib) { return encode(dib, false); }

}  // namespace pelindra
