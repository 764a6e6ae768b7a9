// HPGL speed: the plotter-file normaliser and the viewer's reader on a
// synthetic drawing of about 10 MB (polylines, arcs, circles and labels).

#include <benchmark/benchmark.h>

#include <string>

#include "engine/canvas/recording_canvas.h"
#include "engine/hpgl/normalizer.h"
#include "engine/hpgl/plotter.h"

namespace {

const std::string& drawing() {
  static const std::string text = [] {
    std::string s = "IN;SP1;SC0,1000,0,1000;";
    for (int i = 0; s.size() < 10'000'000; ++i) {
      s += "PU" + std::to_string(i % 997) + "," + std::to_string(i % 991) + ";PD";
      for (int k = 0; k < 12; ++k)
        s += std::to_string((i * 7 + k * 13) % 1000) + "," + std::to_string((i * 3 + k * 29) % 1000) + ",";
      s += "0,0;";
      if (i % 16 == 0) s += "CI5;AA500,500,45;LBPelindra\x03";
    }
    return s;
  }();
  return text;
}

void BM_Normalize(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(pelindra::NormalizeHpgl(drawing()));
  state.SetBytesProcessed(std::int64_t(state.iterations() * drawing().size()));
}
BENCHMARK(BM_Normalize)->Unit(benchmark::kMillisecond);

void BM_ReadPlain(benchmark::State& state) {
  const std::string plain = pelindra::NormalizeHpgl(drawing());
  const std::vector<std::uint8_t> bytes(plain.begin(), plain.end());
  for (auto _ : state) {
    pelindra::HpglEngine engine;
    pelindra::RecordingCanvas canvas;
    engine.PlotBytes("bench.plt", bytes, canvas);
    benchmark::DoNotOptimize(engine.CommandList.size());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadPlain)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
