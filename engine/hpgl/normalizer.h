#pragma once
// Turns plotter files in any HP-GL or HP-GL/2 dialect into the plain HPGL the
// CAD viewer reads: "IN;" followed by SP, PU and PD with one coordinate pair
// each, PG and VS, in plotter units (0.025 mm).
//
// The interpreter reads files as a plotter does: absolute and relative pen
// moves with any number of pairs and decimal or negative numbers, scaling
// points and user scaling (IP, IR, SC in its three modes), the input window
// (IW clips), rotation (RO), circles, arcs and wedges (CI, AA, AR, AT, RT, EW,
// WG), rectangles (EA, ER, RA, RR), polygon mode (PM, EP, FP), Béziers (BZ,
// BR), encoded polylines (PE), line types (LT, UL) drawn as dashes, labels (LB,
// with DT, DI, DR, SI, SR, SL, ES, LO, CP) drawn as strokes, symbol mode (SM),
// tick marks (XT, YT, TL), and skips what only concerns the device: PCL and
// device-control escape sequences, PJL lines, pen widths, fonts, fills and
// the like. Filled shapes are drawn as outlines; curves become chords.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pelindra {

struct HpglNormalizeOptions {
  // The sheet the plotter is loaded with: 0 for A0 ... 4 for A4. It gives the
  // default scaling points (P1 at the origin, P2 at the upper right corner of
  // the portrait sheet) until the file sets its own with IP, IR or PS.
  int sheet = 0;
  // Largest distance in plotter units between a chord and the true curve.
  double chordTolerance = 2.0;
};

struct HpglNormalizeLimits {
  std::size_t maxInputBytes = std::size_t(256) << 20;
  std::size_t maxOutputBytes = std::size_t(512) << 20;
  // Points of one polygon buffer (PM) and characters of one label.
  std::size_t maxPolygonPoints = std::size_t(1) << 22;
  std::size_t maxLabelChars = std::size_t(1) << 20;
};

class HpglNormalizeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws HpglNormalizeError for input that holds no plotter commands, input
// or output over the limits.
std::string NormalizeHpgl(std::string_view input, const HpglNormalizeOptions& options = {},
                          const HpglNormalizeLimits& limits = {});

}  // namespace pelindra
