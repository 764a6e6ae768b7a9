#include "engine/imaging/rotate.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "engine/base/numbers.h"
#include "engine/imaging/rows.h"

namespace pelindra::imaging {

namespace {

constexpr long double kRadiansPerDegree = 0.017453292519943295769L;

void fillRow(std::uint8_t* row, int width, Color fill) {
  for (int x = 0; x < width; ++x, row += 3) row[0] = blueOf(fill), row[1] = greenOf(fill), row[2] = redOf(fill);
}

void mirrorRow(const std::uint8_t* in, std::uint8_t* out, int width, int bits) {
  if (bits >= 8) {
    const int n = bits / 8;
    const std::uint8_t* p = in + std::size_t(width - 1) * n;
    for (int x = 0; x < width; ++x, p -= n, out += n) std::memcpy(out, p, std::size_t(n));
    return;
  }
  const unsigned mask = (1u << bits) - 1;
  for (int x = 0; x < width; ++x) {
    const int from = (width - 1 - x) * bits, to = x * bits;
    const unsigned v = (in[from >> 3] >> (8 - bits - (from & 7))) & mask;
    out[to >> 3] = std::uint8_t(out[to >> 3] | v << (8 - bits - (to & 7)));
  }
}

// Nearest integer, halves to even, for x >= 0; inline, as it runs twice per
// pixel.
inline long long roundNonNegative(long double x) {
  long long whole = static_cast<long long>(x);
  const long double rest = x - whole;
  if (rest > 0.5L || (rest == 0.5L && (whole & 1))) ++whole;
  return whole;
}

// Turns by a right angle pixel for pixel. Centres at whole pixels would shift
// pictures of even width or height by one pixel, dropping an edge row or
// column and leaving a line of fill colour on the other side.
Dib turnRightAngle(const Dib& source, int a, const std::function<void()>& beforeRow) {
  const int w = source.width(), h = source.height();
  Dib out(a == 180 ? w : h, a == 180 ? h : w, 24);
  for (int y = 0; y < out.height(); ++y) {
    if (beforeRow) beforeRow();
    std::uint8_t* row = out.scanLine(y);
    for (int x = 0; x < out.width(); ++x, row += 3) {
      const int sx = a == 90 ? w - 1 - y : a == 180 ? w - 1 - x : y;
      const int sy = a == 90 ? x : a == 180 ? h - 1 - y : h - 1 - x;
      const std::uint8_t* p = source.scanLine(sy) + std::size_t(sx) * 3;
      row[0] = p[0], row[1] = p[1], row[2] = p[2];
    }
  }
  return out;
}

}  // namespace

Dib Flip(const Dib& picture, FlipDirection direction) {
  Dib out(picture.width(), picture.height(), picture.bitsPerPixel() ? picture.bitsPerPixel() : 24, picture.isRgb565());
  out.colors() = picture.colors();
  const int h = picture.height();
  for (int y = 0; y < h; ++y) {
    if (direction == FlipDirection::Vertical)
      std::memcpy(out.scanLine(y), picture.scanLine(h - 1 - y), picture.stride());
    else
      mirrorRow(picture.scanLine(y), out.scanLine(y), picture.width(), picture.bitsPerPixel());
  }
  return out;
}

int NormalizeAngle(long long degrees) {
  const long long a = degrees < 0 ? -(degrees % 360) : degrees % 360;
  return int(a);
}

Size RotatedSize(int width, int height, int degrees) {
  if (width <= 0 || height <= 0) return {};
  const int a = NormalizeAngle(degrees);
  const long double w = width, h = height;
  const long double d = std::sqrt(w * w + h * h);
  const long double alpha = std::atan(h / w) / kRadiansPerDegree;
  long double newWidth, newHeight;
  if (a <= 90 || (a >= 181 && a <= 270)) {
    const long double t = a > 180 ? a - 180 : a;
    newWidth = d * std::sin((90 - t + alpha) * kRadiansPerDegree);
    newHeight = d * std::sin((t + alpha) * kRadiansPerDegree);
  } else {
    const long double t = a > 270 ? a - 180 : a;
    newWidth = d * std::sin((t - 90 + alpha) * kRadiansPerDegree);
    newHeight = d * std::sin((180 - t + alpha) * kRadiansPerDegree);
  }
  return {roundToInt(newWidth), roundToInt(newHeight)};
}

Dib Rotate(const Dib& picture, int degrees, Color fill, const std::function<void()>& beforeRow) {
  if (picture.empty()) throw std::invalid_argument("there is no picture to rotate");
  Dib storage;
  const Dib& source = detail::As24(picture, storage);
  const int a = NormalizeAngle(degrees);
  const int w = source.width(), h = source.height();
  const Size size = RotatedSize(w, h, a);
  if ((a == 90 || a == 270) && size == Size{h, w}) return turnRightAngle(source, a, beforeRow);
  if (a == 180 && size == Size{w, h}) return turnRightAngle(source, a, beforeRow);
  Dib out(size.width, size.height, 24);

  const long double radians = a * kRadiansPerDegree;
  const long double s = std::sin(radians), c = std::cos(radians);
  const int sourceCx = w / 2, sourceCy = h / 2;
  const int resultCx = size.width / 2, resultCy = size.height / 2;
  const std::uint8_t* top = source.scanLine(0);
  const std::ptrdiff_t down = -std::ptrdiff_t(source.stride());  // rows are stored bottom-up

  // The mapping is defined in extended precision. Doubles give the same pixel
  // everywhere except within a hair of a rounding or edge decision, where the
  // extended computation is done instead.
  const double cd = double(c), sd = double(s);
  constexpr double kHair = 1e-9;
  const double lastX = w - 0.5 + kHair, lastY = h - 0.5 + kHair;
  // Bands of rows walked in short runs keep the source pixels being read
  // within the cache; a whole row would cross many source rows each time.
  constexpr int kBand = 32, kRun = 128;
  for (int band = 0; band < size.height; band += kBand) {
    const int bandEnd = std::min(size.height, band + kBand);
    for (int y = band; y < bandEnd; ++y) {
      if (beforeRow) beforeRow();
      fillRow(out.scanLine(y), size.width, fill);
    }
    for (int run = 0; run < size.width; run += kRun) {
      const int runEnd = std::min(size.width, run + kRun);
      for (int y = band; y < bandEnd; ++y) {
        std::uint8_t* row = out.scanLine(y);
        const long double dy = y - resultCy;
        const long double dyS = dy * s, dyC = dy * c;
        const double dySd = double(dy) * sd, dyCd = double(dy) * cd;
        for (int x = run; x < runEnd; ++x) {
          const double dx = x - resultCx;
          const double sxd = dx * cd - dySd + sourceCx, syd = dx * sd + dyCd + sourceCy;
          // Beyond these the nearest pixel is surely outside the picture.
          if (sxd < -kHair || syd < -kHair || sxd > lastX || syd > lastY) continue;
          long long rx = static_cast<long long>(sxd + 0.5), ry = static_cast<long long>(syd + 0.5);
          const double fx = sxd + 0.5 - double(rx), fy = syd + 0.5 - double(ry);
          if (sxd < kHair || syd < kHair || fx < kHair || fx > 1 - kHair || fy < kHair || fy > 1 - kHair) {
            const long double sx = dx * c - dyS + sourceCx;
            const long double sy = dx * s + dyC + sourceCy;
            // The right and bottom edges are inclusive: a point there rounds
            // onto the border just outside the picture and keeps the fill.
            if (!(sx >= 0 && sx <= w && sy >= 0 && sy <= h)) continue;
            rx = roundNonNegative(sx), ry = roundNonNegative(sy);
          }
          if (rx >= w || ry >= h) continue;
          const std::uint8_t* p = top + ry * down + rx * 3;
          row[3 * x] = p[0], row[3 * x + 1] = p[1], row[3 * x + 2] = p[2];
        }
      }
    }
  }
  return out;
}

std::string RotateAngleText(std::string_view typed) {
  const std::optional<int> value = parseInt(typed);
  return value ? std::to_string(NormalizeAngle(*value)) : "0";
}

}  // namespace pelindra::imaging
