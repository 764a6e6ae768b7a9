// hpgl-normalize and hpgl-svg: plotter files in any dialect to the plain HPGL
// the CAD viewer reads, and that HPGL drawn as the viewer draws it; emf-hpgl:
// a metafile plotted.

#include <cstdio>

#include "engine/canvas/svg_canvas.h"
#include "engine/hpgl/emf_to_hpgl.h"
#include "engine/hpgl/normalizer.h"
#include "engine/hpgl/plotter.h"
#include "tools/cli/command.h"

namespace pelindra::cli {
namespace {

std::string_view textOf(const std::vector<unsigned char>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

int hpglNormalize(const std::vector<std::string>& args) {
  if (args.size() != 2) throw UsageError{"expected an input and an output file"};
  const auto bytes = ReadFile(args[0]);
  const std::string out = NormalizeHpgl(textOf(bytes));
  WriteFileAtomically(args[1], {out.begin(), out.end()});
  return kOk;
}

int hpglSvg(const std::vector<std::string>& args) {
  if (args.size() != 2) throw UsageError{"expected an input and an output file"};
  const auto bytes = ReadFile(args[0]);
  HpglEngine engine;
  engine.NotPrinting = true;
  SvgCanvas canvas(engine.DrawWidth, engine.DrawHeight);
  // Files the reader does not accept as they are are normalised first, as
  // the viewer has them converted.
  if (textOf(bytes).substr(0, 3) == "IN;") engine.PlotBytes(args[0], {bytes.begin(), bytes.end()}, canvas);
  if (textOf(bytes).substr(0, 3) != "IN;" || engine.NeedsConversion) {
    const std::string plain = NormalizeHpgl(textOf(bytes));
    engine.PlotBytes(args[0] + ".###", {plain.begin(), plain.end()}, canvas);
    if (engine.NeedsConversion) {
      std::fprintf(stderr, "pelindra-cli hpgl-svg: the converted drawing is not plain HPGL\n");
      return kBadInput;
    }
  }
  const std::string svg = canvas.svg();
  WriteFileAtomically(args[1], {svg.begin(), svg.end()});
  return kOk;
}

int emfHpgl(const std::vector<std::string>& args) {
  if (args.size() != 2) throw UsageError{"expected an input metafile and an output file"};
  const auto bytes = ReadFile(args[0]);
  const std::string out = EmfToHpgl(bytes);
  WriteFileAtomically(args[1], {out.begin(), out.end()});
  return kOk;
}

const Registration emf{{"emf-hpgl", "<in.emf> <out.plt>",
                        "an enhanced metafile plotted as an HP 7475A would draw it (A4, six pens)", emfHpgl}};
const Registration normalize{{"hpgl-normalize", "<in> <out>",
                              "plotter file in any HP-GL dialect to plain HPGL (IN, SP, PU, PD, PG, VS)",
                              hpglNormalize}};
const Registration svg{
    {"hpgl-svg", "<in> <out.svg>", "draw a plotter file as the CAD viewer does, normalising it first", hpglSvg}};

}  // namespace
}  // namespace pelindra::cli
