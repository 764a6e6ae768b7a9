// GIF codec speed, each case run for our codec and for giflib on the same
// input in the same program: decoding a 4000 x 3000 picture and a 100-frame
// animation, LZW encoding, and octree reduction with Floyd-Steinberg.

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstring>
#include <random>

#include "engine/gif/gif_colors.h"
#include "engine/gif/gif_image.h"

using namespace pelindra;

namespace {

// Indices with the texture of a dithered photograph: smooth ramps, edges and noise.
std::vector<std::uint8_t> Texture(int width, int height, unsigned seed) {
  std::vector<std::uint8_t> pixels(std::size_t(width) * std::size_t(height));
  std::mt19937 random(seed);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int ramp = (x / 9 + y / 13 + ((x / 150 + y / 110) % 2) * 60) & 255;
      pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = std::uint8_t((ramp + random() % 4) & 255);
    }
  return pixels;
}

std::unique_ptr<TGIFImage> Picture(int width, int height, int frames) {
  auto image = std::make_unique<TGIFImage>();
  std::vector<std::uint8_t> rgb(256 * 3);
  for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = std::uint8_t(i * 11);
  image->GlobalColors().SetRaw(rgb.data(), 256);
  for (int k = 0; k < frames; ++k) {
    auto frame = std::make_unique<TGIFSubImage>(image.get());
    frame->SetBounds(0, 0, width, height);
    frame->PixelData() = Texture(width, height, unsigned(k + 1));
    image->AddFrame(std::move(frame));
  }
  return image;
}

const std::vector<std::uint8_t>& LargeGif() {
  static const std::vector<std::uint8_t> bytes = Picture(4000, 3000, 1)->SaveToBytes();
  return bytes;
}

const std::vector<std::uint8_t>& AnimationGif() {
  static const std::vector<std::uint8_t> bytes = Picture(400, 300, 100)->SaveToBytes();
  return bytes;
}

struct Source {
  const std::vector<std::uint8_t>* bytes;
  std::size_t at;
};

int ReadGif(GifFileType* gif, GifByteType* out, int n) {
  auto* s = static_cast<Source*>(gif->UserData);
  const std::size_t k = std::min<std::size_t>(std::size_t(n), s->bytes->size() - s->at);
  std::memcpy(out, s->bytes->data() + s->at, k);
  s->at += k;
  return int(k);
}

int WriteGif(GifFileType* gif, const GifByteType* data, int n) {
  static_cast<std::vector<std::uint8_t>*>(gif->UserData)
      ->insert(static_cast<std::vector<std::uint8_t>*>(gif->UserData)->end(), data, data + n);
  return n;
}

void DecodeOurs(benchmark::State& state, const std::vector<std::uint8_t>& bytes) {
  for (auto _ : state) {
    TGIFImage image;
    image.LoadFromBytes(bytes);
    benchmark::DoNotOptimize(image.FrameAt(0)->PixelData().data());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}

void DecodeGiflib(benchmark::State& state, const std::vector<std::uint8_t>& bytes) {
  for (auto _ : state) {
    Source source{&bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&source, ReadGif, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) state.SkipWithError("giflib could not read the picture");
    if (gif) {
      benchmark::DoNotOptimize(gif->SavedImages);
      DGifCloseFile(gif, &error);
    }
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}

void BM_DecodeLarge_Ours(benchmark::State& state) { DecodeOurs(state, LargeGif()); }
void BM_DecodeLarge_Giflib(benchmark::State& state) { DecodeGiflib(state, LargeGif()); }
void BM_DecodeAnimation_Ours(benchmark::State& state) { DecodeOurs(state, AnimationGif()); }
void BM_DecodeAnimation_Giflib(benchmark::State& state) { DecodeGiflib(state, AnimationGif()); }

void BM_EncodeLarge_Ours(benchmark::State& state) {
  auto image = Picture(4000, 3000, 1);
  for (auto _ : state) benchmark::DoNotOptimize(image->SaveToBytes());
}

void BM_EncodeLarge_Giflib(benchmark::State& state) {
  const int width = 4000, height = 3000;
  const std::vector<std::uint8_t> pixels = Texture(width, height, 1);
  std::vector<GifColorType> colors(256);
  for (int i = 0; i < 256; ++i)
    colors[std::size_t(i)] = {std::uint8_t(i * 33), std::uint8_t(i * 33 + 11), std::uint8_t(i * 33 + 22)};
  for (auto _ : state) {
    std::vector<std::uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteGif, &error);
    ColorMapObject* map = GifMakeMapObject(256, colors.data());
    EGifPutScreenDesc(gif, width, height, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr);
    for (int y = 0; y < height; ++y)
      EGifPutLine(gif, const_cast<GifPixelType*>(pixels.data() + std::size_t(y) * width), width);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    benchmark::DoNotOptimize(out.data());
  }
}

void BM_OctreeFloydSteinberg(benchmark::State& state) {
  Dib source(4000, 3000, 24);
  std::mt19937 random(5);
  for (int y = 0; y < source.height(); ++y) {
    std::uint8_t* row = source.scanLine(y);
    for (int x = 0; x < source.width(); ++x) {
      row[3 * x] = std::uint8_t(x / 16 + random() % 8);
      row[3 * x + 1] = std::uint8_t(y / 12 + random() % 8);
      row[3 * x + 2] = std::uint8_t((x + y) / 28 + random() % 8);
    }
  }
  for (auto _ : state) {
    Dib copy = source;
    benchmark::DoNotOptimize(ReduceColors(copy, TColorReduction::Octree, TDitherMode::FloydSteinberg, nullptr, 8));
  }
}

}  // namespace

BENCHMARK(BM_DecodeLarge_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeLarge_Giflib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeAnimation_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeAnimation_Giflib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeLarge_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeLarge_Giflib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OctreeFloydSteinberg)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
