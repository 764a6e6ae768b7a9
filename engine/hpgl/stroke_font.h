#pragma once
// A simple single-stroke font for plotter labels, so that text can be written
// with nothing but pen moves. Glyphs sit in a cell 4 units wide; capitals are
// 6 units high above the baseline, descenders reach 2 units below it.

#include <string_view>

namespace pelindra {

constexpr int kStrokeGlyphWidth = 4;
constexpr int kStrokeCapHeight = 6;

// The strokes of a character as pairs of digits "xy" (y counted from 2 units
// below the baseline); a blank starts a new stroke. Characters without a glyph
// of their own are drawn as '?'; blanks and control characters have none.
std::string_view StrokeGlyph(unsigned char c);

}  // namespace pelindra
