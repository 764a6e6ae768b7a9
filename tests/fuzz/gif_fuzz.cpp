// Feeds arbitrary bytes to the GIF reader, then renders, writes and optimises
// what it read. Any outcome but a clean result or a GIFException is a fault.

#include <cstddef>
#include <cstdint>

#include "engine/gif/gif_image.h"

using namespace pelindra;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1 << 20) return 0;
  TGIFImage image;
  image.Limits.MaxFramePixels = 1 << 20;
  image.Limits.MaxTotalPixels = 1 << 22;
  image.OnWarn = [](TGIFObject*, int, const std::string&) {};
  try {
    image.LoadFromBytes({data, size});
  } catch (const GIFException&) {
  }
  if (image.GetEmpty()) return 0;
  // Exercise the paths a viewer takes next, each failing cleanly or not at all.
  try {
    for (int i = 0; i < image.FrameCount() && i < 4; ++i) {
      image.FrameAt(i)->FrameRendering();
      image.FrameAt(i)->FrameMask();
    }
    image.PictureBitmap();
  } catch (const GIFException&) {
  }
  for (TGIFEncoding encoding : {TGIFEncoding::LzwTable, TGIFEncoding::RunLength}) {
    image.Encoding = encoding;
    try {
      TGIFImage again;
      again.OnWarn = image.OnWarn;
      again.LoadFromBytes(image.SaveToBytes());
    } catch (const GIFException&) {
    }
  }
  try {
    image.OptimizeFrames(kAllOptimizeOptions, TColorReduction::NoReduction);
    if (!image.GetEmpty()) image.SaveToBytes();
  } catch (const GIFException&) {
  }
  return 0;
}
