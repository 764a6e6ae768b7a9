#include "engine/gif/gif_draw.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace pelindra {

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const std::int64_t p = std::int64_t(a) * b;
  const bool negative = (p < 0) != (c < 0);
  const std::int64_t q = (std::llabs(p) + std::llabs(std::int64_t(c)) / 2) / std::llabs(std::int64_t(c));
  const std::int64_t r = negative ? -q : q;
  if (r > INT32_MAX || r < INT32_MIN) return -1;
  return int(r);
}

void StretchDraw(Dib& target, Rect dst, const Dib& src, const Dib* mask) {
  const int dw = dst.width(), dh = dst.height();
  if (dw <= 0 || dh <= 0 || src.empty()) return;
  const int x0 = std::max(dst.left, 0), x1 = std::min(dst.right, target.width());
  const int y0 = std::max(dst.top, 0), y1 = std::min(dst.bottom, target.height());
  if (x0 >= x1 || y0 >= y1) return;
  std::vector<int> columns(std::size_t(x1 - x0));
  for (int x = x0; x < x1; ++x) columns[std::size_t(x - x0)] = int(std::int64_t(x - dst.left) * src.width() / dw);
  const bool fast = src.bitsPerPixel() == 8 && (target.bitsPerPixel() == 24 || target.bitsPerPixel() == 32);
  const int step = target.bitsPerPixel() / 8;
  std::vector<Color> lut;
  if (fast) {
    lut.assign(256, 0);
    for (std::size_t i = 0; i < src.colors().size() && i < 256; ++i) lut[i] = toColor(src.colors()[i]);
  }
  for (int y = y0; y < y1; ++y) {
    const int sy = int(std::int64_t(y - dst.top) * src.height() / dh);
    const std::uint8_t* srow = src.scanLine(sy);
    const std::uint8_t* mrow = mask ? mask->scanLine(sy) : nullptr;
    std::uint8_t* trow = target.scanLine(y);
    for (int x = x0; x < x1; ++x) {
      const int sx = columns[std::size_t(x - x0)];
      if (mrow && (mrow[sx >> 3] & (0x80 >> (sx & 7)))) continue;
      if (fast) {
        const Color c = lut[srow[sx]];
        std::uint8_t* p = trow + std::size_t(x) * std::size_t(step);
        p[0] = blueOf(c), p[1] = greenOf(c), p[2] = redOf(c);
      } else {
        target.setPixel(x, y, src.pixel(sx, sy));
      }
    }
  }
}

Dib CopyArea(const Dib& src, Rect r) {
  Dib out(std::max(r.width(), 0), std::max(r.height(), 0), 24);
  for (int y = 0; y < out.height(); ++y) {
    const int sy = r.top + y;
    if (sy < 0 || sy >= src.height()) continue;
    for (int x = 0; x < out.width(); ++x) {
      const int sx = r.left + x;
      if (sx >= 0 && sx < src.width()) out.setPixel(x, y, src.pixel(sx, sy));
    }
  }
  return out;
}

void FillArea(Dib& target, Rect r, Color color) {
  const int x0 = std::max(r.left, 0), x1 = std::min(r.right, target.width());
  const int y0 = std::max(r.top, 0), y1 = std::min(r.bottom, target.height());
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) target.setPixel(x, y, color);
}

}  // namespace pelindra
