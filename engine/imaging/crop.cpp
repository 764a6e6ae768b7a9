#include "engine/imaging/crop.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "engine/base/numbers.h"
#include "engine/imaging/rows.h"

namespace pelindra::imaging {

Dib Crop(const Dib& picture, int width, int height, int left, int top) {
  if (width <= 0 || height <= 0) throw std::invalid_argument("the crop rectangle is empty");
  Dib out(width, height, 24);
  std::fill(out.bits().begin(), out.bits().end(), std::uint8_t(255));
  // The part of the rectangle that lies on the picture, in picture coordinates.
  const long long x0 = std::max<long long>(left, 0), x1 = std::min<long long>(0LL + left + width, picture.width());
  const long long y0 = std::max<long long>(top, 0), y1 = std::min<long long>(0LL + top + height, picture.height());
  if (x0 >= x1 || y0 >= y1) return out;
  Dib storage;
  const Dib& source = detail::As24(picture, storage);
  for (long long y = y0; y < y1; ++y) {
    const std::uint8_t* from = source.scanLine(int(y));
    std::memcpy(out.scanLine(int(y - top)) + (x0 - left) * 3, from + x0 * 3, std::size_t(x1 - x0) * 3);
  }
  return out;
}

CropRect SelectionToPicture(int x1, int y1, int x2, int y2, long double scaleFactor) {
  const long double f = scaleFactor >= 1 ? 1 : scaleFactor;
  if (f == 0) throw NumberError("a scale factor of zero");
  const int left = std::min(x1, x2), top = std::min(y1, y2);
  const long long width = 0LL + std::max(x1, x2) - left, height = 0LL + std::max(y1, y2) - top;
  return {roundToInt(left / f), roundToInt(top / f), roundToInt(width / f), roundToInt(height / f)};
}

bool CropFitTest(const Dib& picture, FitBox& box) {
  box = {};
  const int w = picture.width(), h = picture.height();
  if (picture.empty()) return false;
  Dib storage;
  const Dib& source = detail::As24(picture, storage);
  const std::uint8_t* corner = source.scanLine(h - 1);
  const std::uint8_t ref[3] = {corner[0], corner[1], corner[2]};
  int top = -1, bottom = -1, left = w, right = -1;
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* row = source.scanLine(y);
    int first = -1, last = -1;
    for (int x = 0; x < w; ++x)
      if (row[3 * x] != ref[0] || row[3 * x + 1] != ref[1] || row[3 * x + 2] != ref[2]) {
        first = x;
        break;
      }
    if (first < 0) continue;
    for (int x = w - 1; x >= first; --x)
      if (row[3 * x] != ref[0] || row[3 * x + 1] != ref[1] || row[3 * x + 2] != ref[2]) {
        last = x;
        break;
      }
    if (top < 0) top = y;
    bottom = y;
    left = std::min(left, first);
    right = std::max(right, last);
  }
  if (top < 0) return false;
  box = {left, top, right - left + 1, bottom - top + 1};
  return box.FitWidth < w - 3 || box.FitHeight < h - 3;
}

}  // namespace pelindra::imaging
