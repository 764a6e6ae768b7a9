// Picture operations on a 4000 x 3000 24-bit picture: rotation by an arbitrary
// angle, grayscale, resizing to half and reduction to 4 and 8 bits. "s_per_MP" is the time per megapixel
// of the source picture.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "engine/base/dib.h"
#include "engine/imaging/depth.h"
#include "engine/imaging/resize.h"
#include "engine/imaging/rotate.h"

namespace {

using namespace pelindra;

// A deterministic photograph-like picture: smooth gradients with fine noise,
// so no operation meets long runs of one colour.
const Dib& Picture() {
  static const Dib picture = [] {
    Dib dib(4000, 3000, 24);
    std::uint32_t seed = 12345;
    for (int y = 0; y < dib.height(); ++y) {
      std::uint8_t* row = dib.scanLine(y);
      for (int x = 0; x < dib.width(); ++x) {
        seed = seed * 1664525u + 1013904223u;
        const unsigned noise = seed >> 28;
        row[3 * x] = std::uint8_t(x / 16 + noise);
        row[3 * x + 1] = std::uint8_t(y / 12 + noise);
        row[3 * x + 2] = std::uint8_t((x + y) / 28 + noise);
      }
    }
    return dib;
  }();
  return picture;
}

void Report(benchmark::State& state) {
  const double megapixels = double(Picture().width()) * Picture().height() / 1e6;
  state.counters["s_per_MP"] =
      benchmark::Counter(megapixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Rotate30(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(imaging::Rotate(Picture(), 30, rgb(255, 0, 0)));
  Report(state);
}
BENCHMARK(BM_Rotate30)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Grayscale(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(imaging::Grayscale(Picture()));
  Report(state);
}
BENCHMARK(BM_Grayscale)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ResizeHalf(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(imaging::ResizeBitmap(Picture(), 2000, 1500));
  Report(state);
}
BENCHMARK(BM_ResizeHalf)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Reduce(benchmark::State& state) {
  const auto format = state.range(0) == 8 ? PixelFormat::Bits8 : PixelFormat::Bits4;
  for (auto _ : state) benchmark::DoNotOptimize(imaging::ConvertDepth(Picture(), format));
  Report(state);
}
BENCHMARK(BM_Reduce)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
