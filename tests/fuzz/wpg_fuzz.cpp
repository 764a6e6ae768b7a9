// Feeds arbitrary bytes to the WordPerfect graphics reader and draws what it
// accepts.

#include <cstdint>

#include "engine/canvas/recording_canvas.h"
#include "engine/wpg/wpg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pelindra::WpgLimits limits;
  limits.maxBitmapPixels = 1 << 16;  // small pictures keep the fuzzer fast
  limits.maxPoints = 1 << 16;
  try {
    const pelindra::WpgPicture picture = pelindra::ReadWpg({data, size}, limits);
    pelindra::RecordingCanvas canvas;
    pelindra::DrawWpg(picture, canvas, 64, 48);
  } catch (const pelindra::WpgError&) {
  }
  return 0;
}
