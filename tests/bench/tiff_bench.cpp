// TIFF writer speed on a 4000 x 3000 picture in each layout.

#include <benchmark/benchmark.h>

#include "engine/imaging/tiff_writer.h"

namespace {

void BM_WriteTiff(benchmark::State& state) {
  pelindra::Dib dib(4000, 3000, int(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(pelindra::WriteTiff(dib));
  state.SetBytesProcessed(std::int64_t(state.iterations() * dib.bits().size()));
}
BENCHMARK(BM_WriteTiff)->Arg(1)->Arg(8)->Arg(24)->Arg(32)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
