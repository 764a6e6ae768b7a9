#include "tests/engine/gif/giflib_oracle.h"

#include <gif_lib.h>

#include <cstring>

namespace pelindra::test {

namespace {

struct Reader {
  const std::vector<std::uint8_t>* bytes;
  std::size_t at = 0;
};

int ReadBytes(GifFileType* gif, GifByteType* out, int n) {
  auto* r = static_cast<Reader*>(gif->UserData);
  const std::size_t k = std::min<std::size_t>(std::size_t(n), r->bytes->size() - r->at);
  std::memcpy(out, r->bytes->data() + r->at, k);
  r->at += k;
  return int(k);
}

std::vector<Rgb> Colors(const ColorMapObject* map) {
  std::vector<Rgb> out;
  if (!map) return out;
  for (int i = 0; i < map->ColorCount; ++i)
    out.push_back({map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
  return out;
}

}  // namespace

OracleGif DecodeWithGiflib(const std::vector<std::uint8_t>& bytes) {
  OracleGif result;
  Reader reader{&bytes};
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, ReadBytes, &error);
  if (!gif) {
    result.error = error;
    return result;
  }
  result.ok = DGifSlurp(gif) == GIF_OK;
  result.error = gif->Error;
  result.width = gif->SWidth;
  result.height = gif->SHeight;
  result.colors = Colors(gif->SColorMap);
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    OracleFrame frame;
    frame.left = image.ImageDesc.Left;
    frame.top = image.ImageDesc.Top;
    frame.width = image.ImageDesc.Width;
    frame.height = image.ImageDesc.Height;
    frame.interlace = image.ImageDesc.Interlace;
    frame.colors = Colors(image.ImageDesc.ColorMap);
    if (image.RasterBits)
      frame.pixels.assign(image.RasterBits, image.RasterBits + std::size_t(frame.width) * std::size_t(frame.height));
    result.frames.push_back(std::move(frame));
  }
  DGifCloseFile(gif, &error);
  return result;
}

}  // namespace pelindra::test
