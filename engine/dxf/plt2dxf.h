#pragma once
// Converts an HPGL plotter file into a DXF drawing in one pass: pen-down
// strokes become POLYLINEs of VERTEX records, circles CIRCLEs, and each
// selected pen a layer with a colour number. Coordinates are written in
// millimetres (40 plotter units to the millimetre); the extents are patched
// into the header at the end.

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <span>
#include <string>

namespace pelindra {

class Hpgl_To_Dxf {
 public:
  // The layer text written after group 8 of every entity. It carries the
  // colour group of the pen with it and is kept from one conversion to the
  // next, so a drawing without a pen selection takes the last pen used.
  std::string pen_layer = "PEN\r\n64\r\n0";
  // The last parameter pair read; kept from the previous instruction.
  int param1 = 0, param2 = 0;
  // False while a conversion runs; the caller sets it to stop one. True at
  // the end of every conversion, also one that failed.
  bool cancelled = true;
  // "37%", updated after every instruction.
  std::string progress_text;
  // Called after every instruction: let pending window messages run.
  std::function<void()> process_messages;

  // Converts a file (paths in UTF-8). The output appears only when the conversion is complete:
  // it is written under a temporary name beside the output and renamed over
  // it, so a cancel or an I/O error leaves an existing output file as it was.
  // Throws std::ios_base::failure when the input cannot be read or the output
  // cannot be written.
  void convert(const std::string& input_path, const std::string& output_path);
  // Converts bytes in memory; empty when cancelled.
  std::string convert(std::span<const std::uint8_t> input);

 private:
  struct Run;
  void run(Run& r);
};

// The program-wide converter the windows use.
Hpgl_To_Dxf& hpgl_to_dxf();
void convert_hpgl_to_dxf(const std::string& input_path, const std::string& output_path);

// The ten-character text a patched header value takes: right-aligned with
// three decimals, fewer decimals or exponent form for values that would not
// fit otherwise.
std::string dxf_header_field(double value);

}  // namespace pelindra
