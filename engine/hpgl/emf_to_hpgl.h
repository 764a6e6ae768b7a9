#pragma once
// Drawn metafiles to plotter files: the records of an enhanced metafile (lines,
// polylines, polygons, rectangles, ellipses, arcs, chords, pies, Béziers and
// text) become pen moves of an HP 7475A. Pen colours go to the nearest of the
// six plotter pens; filled shapes are outlined; text is drawn with the plotter
// stroke font. The picture keeps its size on paper and is shrunk to the sheet
// when it is larger.

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include "engine/base/dib.h"

namespace pelindra {

struct EmfToHpglOptions {
  // Plotter pens 1 to 6 and the colours they hold (the options window's palette).
  std::array<Color, 6> pens = {rgb(0, 0, 0),     rgb(255, 0, 0), rgb(0, 128, 0),
                               rgb(255, 255, 0), rgb(0, 0, 255), rgb(255, 0, 255)};
  // Plotting area in plotter units: an A4 sheet on the 7475A.
  int sheetWidth = 11040;
  int sheetHeight = 7721;
};

class EmfError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "IN;" followed by SP, PU and PD with one pair each. Throws EmfError for
// data that is no enhanced metafile.
std::string EmfToHpgl(std::span<const std::uint8_t> emf, const EmfToHpglOptions& options = {});

}  // namespace pelindra
