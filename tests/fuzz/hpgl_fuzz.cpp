// Feeds arbitrary bytes to the plotter-file normaliser, the metafile plotter
// and the viewer's HPGL reader. Whatever the normaliser writes must be read by the viewer as it
// stands: no command it would send back for conversion, no bad coordinate.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/canvas/recording_canvas.h"
#include "engine/hpgl/emf_to_hpgl.h"
#include "engine/hpgl/normalizer.h"
#include "engine/hpgl/plotter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  pelindra::RecordingCanvas canvas;
  try {
    pelindra::HpglEngine raw;
    raw.PlotBytes("raw", {data, data + size}, canvas);
  } catch (const pelindra::HpglError&) {
  }

  // Metafile records plotted must be read by the viewer as well.
  try {
    const std::string plotted = pelindra::EmfToHpgl({data, size});
    pelindra::HpglEngine engine;
    canvas.clear();
    engine.PlotBytes("plotted", {plotted.begin(), plotted.end()}, canvas);
    if (engine.NeedsConversion) std::abort();
  } catch (const pelindra::EmfError&) {
  } catch (const pelindra::HpglNormalizeError&) {
  }

  pelindra::HpglNormalizeLimits limits;
  limits.maxOutputBytes = 1 << 16;  // keeps each run short
  std::string plain;
  try {
    plain = pelindra::NormalizeHpgl(text, {}, limits);
  } catch (const pelindra::HpglNormalizeError&) {
    return 0;
  }
  if (plain.substr(0, 3) != "IN;") std::abort();
  pelindra::HpglEngine engine;
  canvas.clear();
  try {
    engine.PlotBytes("plain", {plain.begin(), plain.end()}, canvas);
  } catch (const pelindra::HpglError&) {
    std::abort();
  }
  if (engine.NeedsConversion) std::abort();
  return 0;
}
