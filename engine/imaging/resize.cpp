#include "engine/imaging/resize.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "engine/base/numbers.h"
#include "engine/imaging/rows.h"

namespace pelindra::imaging {

namespace {

// Fixed-point weights: each result pixel is the weighted sum of a run of
// consecutive source pixels, the weights adding up to kOne.
constexpr int kWeightBits = 14;
constexpr int kOne = 1 << kWeightBits;

struct Taps {
  std::vector<int> first;            // first source pixel of each result pixel
  std::vector<int> count;            // number of source pixels
  std::vector<std::int32_t> weight;  // count weights per result pixel, at stride maxCount
  int maxCount = 1;
};

Taps makeTaps(int source, int result) {
  Taps t;
  t.first.resize(std::size_t(result));
  t.count.resize(std::size_t(result));
  const double scale = double(source) / result;
  t.maxCount = source == result ? 1 : source > result ? int(std::ceil(scale)) + 1 : 2;
  t.weight.assign(std::size_t(result) * std::size_t(t.maxCount), 0);
  std::vector<double> w(std::size_t(t.maxCount));
  for (int i = 0; i < result; ++i) {
    int first, count;
    if (source == result) {
      first = i, count = 1, w[0] = 1;
    } else if (source > result) {
      // Area averaging: each source pixel counts by how much of it the result
      // pixel covers.
      const double lo = double(i) * source / result, hi = double(i + 1) * source / result;
      first = int(std::floor(lo));
      const int end = std::min(source, int(std::ceil(hi)));
      count = end - first;
      for (int k = 0; k < count; ++k)
        w[std::size_t(k)] = (std::min(hi, double(first + k + 1)) - std::max(lo, double(first + k))) / scale;
    } else {
      // Bilinear: between the two source pixels whose centres enclose the
      // result pixel's centre; beyond the outer centres the edge pixel holds.
      const double pos = std::clamp((i + 0.5) * scale - 0.5, 0.0, double(source - 1));
      first = std::min(int(pos), source - 1);
      const double f = pos - first;
      if (first + 1 < source && f > 0)
        count = 2, w[0] = 1 - f, w[1] = f;
      else
        count = 1, w[0] = 1;
    }
    // Quantise the running total rather than each weight: every weight stays
    // within one step of its share, even across thousands of source pixels,
    // and the weights add up to exactly one, so a flat area stays flat.
    std::int32_t* out = &t.weight[std::size_t(i) * std::size_t(t.maxCount)];
    double total = 0;
    for (int k = 0; k < count; ++k) total += w[std::size_t(k)];
    double running = 0;
    long done = 0;
    for (int k = 0; k < count; ++k) {
      running += w[std::size_t(k)];
      const long upTo = k == count - 1 ? kOne : std::lround(running / total * kOne);
      out[k] = std::int32_t(upTo - done);
      done = upTo;
    }
    t.first[std::size_t(i)] = first;
    t.count[std::size_t(i)] = count;
  }
  return t;
}

// One source row resampled horizontally, kept with six extra bits.
void resampleRow(const std::uint8_t* in, const Taps& taps, std::uint16_t* out) {
  const std::size_t n = taps.first.size();
  for (std::size_t i = 0; i < n; ++i, out += 3) {
    const std::uint8_t* p = in + std::size_t(taps.first[i]) * 3;
    const std::int32_t* w = &taps.weight[i * std::size_t(taps.maxCount)];
    std::int32_t b = 0, g = 0, r = 0;
    for (int k = 0; k < taps.count[i]; ++k, p += 3) b += w[k] * p[0], g += w[k] * p[1], r += w[k] * p[2];
    out[0] = std::uint16_t((b + 128) >> 8), out[1] = std::uint16_t((g + 128) >> 8),
    out[2] = std::uint16_t((r + 128) >> 8);
  }
}

}  // namespace

ResizeCalculation Calculate(const ResizeFields& f) {
  int p = f.percent, w = f.width, h = f.height;
  if (f.percentChanged) {
    w = roundToInt(static_cast<long double>(static_cast<long long>(p) * f.startWidth) * 0.01L);
    h = roundToInt(static_cast<long double>(static_cast<long long>(p) * f.startHeight) * 0.01L);
  } else if (f.widthChanged) {
    p = roundToInt(1 / (static_cast<long double>(f.startWidth) / w) * 100);
    h = roundToInt(static_cast<long double>(static_cast<long long>(p) * f.startHeight) * 0.01L);
  } else if (f.heightChanged) {
    p = roundToInt(static_cast<long double>(static_cast<long long>(h) * 100) / f.startHeight);
    w = roundToInt(static_cast<long double>(static_cast<long long>(p) * f.startWidth) * 0.01L);
  }
  return {p, w, h, p * 0.01L};
}

Dib ResizeBitmap(const Dib& picture, int width, int height) {
  if (picture.empty()) throw std::invalid_argument("there is no picture to resize");
  if (width <= 0 || height <= 0) throw std::invalid_argument("the new size must be at least 1 x 1");
  Dib out(width, height, 24);
  Dib storage;
  const Dib& source = detail::As24(picture, storage);
  const Taps across = makeTaps(source.width(), width);
  const Taps down = makeTaps(source.height(), height);

  // Horizontally resampled source rows, kept in a ring as long as some result
  // row still needs them; the rows needed only ever move downwards.
  const std::size_t values = std::size_t(width) * 3;
  const int ringSize = down.maxCount;
  std::vector<std::uint16_t> ring(values * std::size_t(ringSize));
  std::vector<int> ringRow(std::size_t(ringSize), -1);
  std::vector<std::int32_t> sum(values);

  for (int y = 0; y < height; ++y) {
    const int first = down.first[std::size_t(y)];
    const std::int32_t* w = &down.weight[std::size_t(y) * std::size_t(down.maxCount)];
    std::fill(sum.begin(), sum.end(), 1 << (kWeightBits + 6 - 1));
    for (int k = 0; k < down.count[std::size_t(y)]; ++k) {
      const int row = first + k;
      const std::size_t slot = std::size_t(row % ringSize);
      std::uint16_t* mid = &ring[slot * values];
      if (ringRow[slot] != row) {
        resampleRow(source.scanLine(row), across, mid);
        ringRow[slot] = row;
      }
      const std::int32_t weight = w[k];
      for (std::size_t i = 0; i < values; ++i) sum[i] += weight * mid[i];
    }
    std::uint8_t* line = out.scanLine(y);
    for (std::size_t i = 0; i < values; ++i) line[i] = std::uint8_t(std::min(sum[i] >> (kWeightBits + 6), 255));
  }
  return out;
}

}  // namespace pelindra::imaging
