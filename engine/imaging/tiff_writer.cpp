#include "engine/imaging/tiff_writer.h"

#include <array>

#include "engine/base/convert.h"

namespace pelindra {

namespace {

enum : std::uint16_t { kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };

struct Entry {
  std::uint16_t tag;
  std::uint16_t type;
  std::uint32_t count;
  std::uint32_t value;
};

class Out {
 public:
  std::size_t pos() const { return bytes_.size(); }
  void u16(std::uint32_t v) {
    bytes_.push_back(std::uint8_t(v));
    bytes_.push_back(std::uint8_t(v >> 8));
  }
  void u32(std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  }
  void raw(const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    bytes_.insert(bytes_.end(), b, b + n);
  }
  void reserve(std::size_t n) { bytes_.reserve(n); }

  // Header with the directory offset to be patched.
  void header() {
    raw("II", 2);
    u16(42);
    u32(8);
  }
  // Resolution (877/10 twice) and the software text; returns their offsets.
  std::array<std::uint32_t, 3> resolutionAndSoftware(bool bitsPerSample) {
    std::array<std::uint32_t, 3> at{};
    for (int i = 0; i < 2; ++i) {
      at[i] = std::uint32_t(pos());
      u32(877);
      u32(10);
    }
    if (bitsPerSample) {
      bitsPerSampleAt = std::uint32_t(pos());
      u16(8);
      u16(8);
      u16(8);
    }
    at[2] = std::uint32_t(pos());
    raw("Tessalvorn", 10);
    return at;
  }
  void directory(const std::vector<Entry>& entries) {
    const std::uint32_t at = std::uint32_t(pos());
    u16(std::uint32_t(entries.size()));
    for (const auto& e : entries) {
      u16(e.tag);
      u16(e.type);
      u32(e.count);
      u32(e.value);
    }
    u32(0);
    // The header's directory offset, written as 8 at first.
    bytes_[4] = std::uint8_t(at);
    bytes_[5] = std::uint8_t(at >> 8);
    bytes_[6] = std::uint8_t(at >> 16);
    bytes_[7] = std::uint8_t(at >> 24);
  }
  std::vector<std::uint8_t> take() { return std::move(bytes_); }

  std::uint32_t bitsPerSampleAt = 0;

 private:
  std::vector<std::uint8_t> bytes_;
};

// Width and height fit a SHORT in all but giant pictures, which get a LONG
// rather than a value cut to 16 bits.
Entry dimension(std::uint16_t tag, std::uint32_t v) { return {tag, v > 0xFFFF ? kLong : kShort, 1, v}; }

// The entries every layout shares, in tag order around the layout's own.
std::vector<Entry> entries(std::uint32_t width, std::uint32_t height, Entry bitsPerSample, std::uint16_t photometric,
                           std::uint32_t stripOffset, std::uint16_t samples, std::uint32_t stripBytes,
                           const std::array<std::uint32_t, 3>& at, bool planar) {
  std::vector<Entry> e = {
      {254, kLong, 1, 0},      dimension(256, width),         dimension(257, height),       bitsPerSample,
      {259, kShort, 1, 1},     {262, kShort, 1, photometric}, {273, kLong, 1, stripOffset}, {277, kShort, 1, samples},
      {278, kLong, 1, height}, {279, kLong, 1, stripBytes},   {282, kRational, 1, at[0]},   {283, kRational, 1, at[1]}};
  if (planar) e.push_back({284, kShort, 1, 1});
  e.push_back({296, kShort, 1, 2});
  e.push_back({305, kAscii, 10, at[2]});
  return e;
}

double lightness(const RgbQuad& q) { return 0.299 * q.red + 0.587 * q.green + 0.114 * q.blue; }

std::vector<std::uint8_t> bilevel(const Dib& dib) {
  const std::uint32_t w = std::uint32_t(dib.width()), h = std::uint32_t(dib.height());
  const std::size_t rowBytes = (std::size_t(w) + 7) / 8;
  Out out;
  out.reserve(rowBytes * h + 256);
  out.header();
  for (int y = 0; y < dib.height(); ++y) out.raw(dib.scanLine(y), rowBytes);
  const auto at = out.resolutionAndSoftware(false);
  // The bits are written as they are: a table whose first colour is the
  // lighter one is declared white-is-zero instead of showing the negative.
  const auto& c = dib.colors();
  const bool whiteIsZero = c.size() >= 2 && lightness(c[0]) > lightness(c[1]);
  out.directory(entries(w, h, {258, kShort, 1, 1}, whiteIsZero ? 0 : 1, 8, 1, std::uint32_t(rowBytes * h), at, false));
  return out.take();
}

std::vector<std::uint8_t> palette(const Dib& dib) {
  const int bits = dib.bitsPerPixel();
  const std::uint32_t w = std::uint32_t(bits == 4 ? dib.width() / 4 * 4 : dib.width());
  const std::uint32_t h = std::uint32_t(dib.height());
  const std::size_t rowBytes = bits == 4 ? w / 2 : w;
  const std::size_t n = std::size_t(1) << bits;
  Out out;
  out.reserve(rowBytes * h + 6 * n + 256);
  out.header();
  std::vector<RgbQuad> table(dib.colors());
  table.resize(n);
  for (auto part : {&RgbQuad::red, &RgbQuad::green, &RgbQuad::blue})
    for (const auto& q : table) out.u16(std::uint32_t(q.*part) << 8);
  const auto at = out.resolutionAndSoftware(false);
  const std::uint32_t image = std::uint32_t(out.pos());
  for (int y = 0; y < dib.height(); ++y) out.raw(dib.scanLine(y), rowBytes);
  auto e = entries(w, h, {258, kShort, 1, std::uint32_t(bits)}, 3, image, 1, std::uint32_t(rowBytes * h), at, false);
  e.push_back({320, kShort, std::uint32_t(3 * n), 8});
  out.directory(e);
  return out.take();
}

std::vector<std::uint8_t> rgb(const Dib& dib) {
  const std::uint32_t w = std::uint32_t(dib.width()), h = std::uint32_t(dib.height());
  const int step = dib.bitsPerPixel() / 8;
  Out out;
  out.reserve(std::size_t(w) * h * 3 + 256);
  out.header();
  const auto at = out.resolutionAndSoftware(true);
  const std::uint32_t image = std::uint32_t(out.pos());
  std::vector<std::uint8_t> row(std::size_t(w) * 3);
  for (int y = 0; y < dib.height(); ++y) {
    const std::uint8_t* src = dib.scanLine(y);
    for (std::size_t x = 0; x < w; ++x, src += step) {
      row[3 * x] = src[2];
      row[3 * x + 1] = src[1];
      row[3 * x + 2] = src[0];
    }
    out.raw(row.data(), row.size());
  }
  out.directory(entries(w, h, {258, kShort, 3, out.bitsPerSampleAt}, 2, image, 3, w * h * 3, at, true));
  return out.take();
}

}  // namespace

std::vector<std::uint8_t> WriteTiff(const Dib& bitmap) {
  if (bitmap.empty()) return {};
  switch (bitmap.bitsPerPixel()) {
    case 1: return bilevel(bitmap);
    case 4:
      // Fewer than four columns would leave no column at all in the 4-bit
      // layout: such a picture goes out in the 8-bit one.
      return bitmap.width() < 4 ? palette(convertDib(bitmap, 8)) : palette(bitmap);
    case 8: return palette(bitmap);
    case 24:
    case 32: return rgb(bitmap);
    default: return rgb(convertDib(bitmap, 24));
  }
}

}  // namespace pelindra
