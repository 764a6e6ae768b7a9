// BMP decoding and encoding speed: a large 24-bit picture and an 8-bit RLE
// picture. With PELINDRA_BENCH_BMP_DIR set, the files big24.bmp and rle8.bmp
// of that folder are used (so a peer tool can read the very same files);
// otherwise equivalent pictures are made in memory.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/base/bmp.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kWidth = 4000, kHeight = 3000;

Bytes fromFolder(const char* name) {
  const char* dir = std::getenv("PELINDRA_BENCH_BMP_DIR");
  if (!dir) return {};
  std::ifstream in(std::filesystem::path(dir) / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Smooth colour ramps with a little texture, like a photograph's sky.
const Bytes& big24() {
  static const Bytes file = [] {
    Bytes b = fromFolder("big24.bmp");
    if (!b.empty()) return b;
    pelindra::Dib dib(kWidth, kHeight, 24);
    for (int y = 0; y < kHeight; ++y) {
      std::uint8_t* row = dib.scanLine(y);
      for (int x = 0; x < kWidth; ++x) {
        row[3 * x] = std::uint8_t(x * 255 / kWidth + (x * y % 7));
        row[3 * x + 1] = std::uint8_t(y * 255 / kHeight);
        row[3 * x + 2] = std::uint8_t((x + y) / 28 + (x ^ y) % 5);
      }
    }
    return pelindra::writeBmp(dib);
  }();
  return file;
}

// Bands of flat colour: long runs, some literal stretches, as RLE8 suits.
const Bytes& rle8() {
  static const Bytes file = [] {
    Bytes b = fromFolder("rle8.bmp");
    if (!b.empty()) return b;
    Bytes pixels;
    for (int y = 0; y < kHeight; ++y) {
      int x = 0;
      while (x < kWidth) {
        const int run = std::min(kWidth - x, 40 + (x * 7 + y) % 200);
        pixels.insert(pixels.end(), {std::uint8_t(run), std::uint8_t((x / 64 + y / 50) & 255)});
        x += run;
        if (x + 8 <= kWidth && (x + y) % 3 == 0) {
          pixels.insert(pixels.end(), {0, 8});
          for (int i = 0; i < 8; ++i) pixels.push_back(std::uint8_t(x + i));
          x += 8;
        }
      }
      pixels.insert(pixels.end(), {0, 0});
    }
    pixels.insert(pixels.end(), {0, 1});
    pelindra::Dib header(kWidth, 1, 8);
    for (unsigned i = 0; i < 256; ++i)
      header.colors()[i] = {std::uint8_t(i), std::uint8_t(i * 3), std::uint8_t(255 - i), 0};
    Bytes out = pelindra::writeBmp(header);
    out.resize(out.size() - header.bits().size());
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
      for (int k = 0; k < 4; ++k) out[at + std::size_t(k)] = std::uint8_t(v >> (8 * k));
    };
    put32(2, std::uint32_t(out.size() + pixels.size()));
    put32(22, kHeight);
    put32(30, pelindra::kBmpRle8);
    put32(34, std::uint32_t(pixels.size()));
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
  }();
  return file;
}

// Throughput counts the decoded picture as 24-bit pixels, the same measure
// the comparison script uses for the peer tool.
void setBytes(benchmark::State& state, const pelindra::Dib& dib) {
  state.SetBytesProcessed(std::int64_t(state.iterations()) * dib.width() * dib.height() * 3);
}

void decode(benchmark::State& state, const Bytes& file) {
  pelindra::BmpImage image;
  for (auto _ : state) {
    image = pelindra::readBmp(file);
    benchmark::DoNotOptimize(image.dib.bits().data());
  }
  setBytes(state, image.dib);
}

void encode(benchmark::State& state, const Bytes& file) {
  const pelindra::Dib dib = pelindra::readBmp(file).dib;
  for (auto _ : state) {
    Bytes out = pelindra::writeBmp(dib);
    benchmark::DoNotOptimize(out.data());
  }
  setBytes(state, dib);
}

void BM_Decode24(benchmark::State& state) { decode(state, big24()); }
void BM_Encode24(benchmark::State& state) { encode(state, big24()); }
void BM_DecodeRle8(benchmark::State& state) { decode(state, rle8()); }
void BM_Encode8(benchmark::State& state) { encode(state, rle8()); }

BENCHMARK(BM_Decode24)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Encode24)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeRle8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Encode8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
