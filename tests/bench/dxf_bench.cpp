// DXF reading against dxflib on the same 20 MB file of lines and polylines,
// and HPGL-to-DXF conversion of a 10 MB plotter file.

#include <benchmark/benchmark.h>
#include <dl_creationadapter.h>
#include <dl_dxf.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/dxf/dxf_read.h"
#include "engine/dxf/plt2dxf.h"

namespace {

namespace fs = std::filesystem;

std::string group(int code, const std::string& value) { return std::to_string(code) + "\r\n" + value + "\r\n"; }

std::string coordinate(unsigned& seed) {
  seed = seed * 1103515245u + 12345u;
  char b[32];
  std::snprintf(b, sizeof b, "%.4f", (seed >> 8) % 1000000 / 1000.0);
  return b;
}

// A file of LINEs and POLYLINEs on a few layers, about `bytes` long.
const fs::path& drawing(std::size_t bytes = 20 << 20) {
  static const fs::path path = [bytes] {
    const fs::path p = fs::temp_directory_path() / "pelindra-bench-lines.dxf";
    std::string s = group(0, "SECTION") + group(2, "ENTITIES");
    unsigned seed = 1;
    for (int n = 0; s.size() < bytes; ++n) {
      const std::string layer = "LAYER" + std::to_string(n % 8);
      if (n % 2 == 0) {
        s += group(0, "LINE") + group(8, layer) + group(10, coordinate(seed)) + group(20, coordinate(seed)) +
             group(30, "0.0") + group(11, coordinate(seed)) + group(21, coordinate(seed)) + group(31, "0.0");
      } else {
        s += group(0, "POLYLINE") + group(8, layer) + group(66, "1") + group(70, "0");
        for (int v = 0; v < 12; ++v)
          s += group(0, "VERTEX") + group(8, layer) + group(10, coordinate(seed)) + group(20, coordinate(seed)) +
               group(30, "0.0");
        s += group(0, "SEQEND") + group(8, layer);
      }
    }
    s += group(0, "ENDSEC") + group(0, "EOF");
    std::ofstream(p, std::ios::binary).write(s.data(), std::streamsize(s.size()));
    return p;
  }();
  return path;
}

void BM_ReadDxf(benchmark::State& state) {
  const fs::path& p = drawing();
  std::size_t entities = 0;
  for (auto _ : state) {
    pelindra::DXF_Reader reader(p.string());
    reader.read_file();
    const auto layers = reader.take_layers();
    entities = 0;
    for (const auto& l : layers)
      for (const auto& list : l->lists) entities += list->entities.size();
    benchmark::DoNotOptimize(entities);
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * fs::file_size(p)));
  state.counters["entities"] = double(entities);
  state.counters["bytes_per_line"] = double(sizeof(pelindra::Line_) + sizeof(void*));
}
BENCHMARK(BM_ReadDxf)->Unit(benchmark::kMillisecond);

// Counts what dxflib hands over; it keeps nothing, so this is its reading alone.
class Counter : public DL_CreationAdapter {
 public:
  std::size_t entities = 0;
  void addLine(const DL_LineData&) override { ++entities; }
  void addPolyline(const DL_PolylineData&) override { ++entities; }
  void addVertex(const DL_VertexData&) override {}
};

void BM_ReadDxf_dxflib(benchmark::State& state) {
  const fs::path& p = drawing();
  std::size_t entities = 0;
  for (auto _ : state) {
    Counter counter;
    DL_Dxf dxf;
    dxf.in(p.string(), &counter);
    entities = counter.entities;
    benchmark::DoNotOptimize(entities);
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * fs::file_size(p)));
  state.counters["entities"] = double(entities);
}
BENCHMARK(BM_ReadDxf_dxflib)->Unit(benchmark::kMillisecond);

// Strokes of several pens with absolute and relative moves and circles.
const std::string& plot(std::size_t bytes = 10 << 20) {
  static const std::string s = [bytes] {
    std::string h = "IN;SC0,40000,0,30000;";
    unsigned seed = 7;
    auto n = [&seed] {
      seed = seed * 1103515245u + 12345u;
      return std::to_string((seed >> 8) % 40000);
    };
    for (int i = 0; h.size() < bytes; ++i) {
      h += "SP" + std::to_string(1 + i % 6) + ";PU" + n() + "," + n() + ";PD";
      for (int k = 0; k < 10; ++k) h += (k ? "," : "") + n() + "," + n();
      h += ";PR40,40,-40,40;PA" + n() + "," + n() + ";CI" + std::to_string(100 + i % 900) + ";PU;";
    }
    return h;
  }();
  return s;
}

void BM_HpglToDxf(benchmark::State& state) {
  const std::string& h = plot();
  std::size_t out = 0;
  for (auto _ : state) {
    pelindra::Hpgl_To_Dxf converter;
    out = converter.convert(std::span(reinterpret_cast<const std::uint8_t*>(h.data()), h.size())).size();
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(std::int64_t(state.iterations() * h.size()));
  state.counters["dxf_MB"] = double(out) / 1e6;
}
BENCHMARK(BM_HpglToDxf)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
