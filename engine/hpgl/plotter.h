#pragma once
// The CAD viewer's own HPGL engine: reads the small HPGL subset a plotter file
// must be in to be shown directly (IN, PG, SP, PU, PD, VS with one pair per pen
// command), keeps the pen movements, tracks the extent and the paper format,
// draws them on a canvas and, while plotting, writes a normalised HPGL stream
// rescaled and shifted to a plotter port or a file.
//
// One plotter unit is 0.025 mm. Drawings have their origin at the lower left;
// the canvas has y pointing down.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/canvas/canvas.h"

namespace pelindra {

struct HpglCommand {
  std::int32_t X = 0;  // x in plotter units, or the pen colour for Kind 'P'
  std::int32_t Y = 0;  // y in plotter units, 0 for Kind 'P'
  char Kind = 'U';     // 'U' pen up, 'D' pen down, 'P' pen change
  friend bool operator==(const HpglCommand&, const HpglCommand&) = default;
};

// Where written HPGL goes: a port device or a file, opened by the window side.
class PlotSink {
 public:
  virtual ~PlotSink() = default;
  // Both throw std::runtime_error when the port or file cannot be written.
  virtual void write(std::string_view text) = 0;
  virtual void flush() = 0;
};

// The values of the plotter options window that the engine reads and fills in.
struct HpglOptions {
  // "Offset X" and "Offset Y" in millimetres.
  long double offsetX = 0;
  long double offsetY = 0;
  // The percentage box, set to "100" after each parse.
  std::string percentage = "100";
  // The Scale panel's two values ("1 m/m = 1 m/m").
  std::string scaleLeft = "1";
  std::string scaleRight = "1";
  // Pens 1 to 6 of the palette, in their design colours until changed.
  std::array<Color, 6> palette = {rgb(0, 0, 0),     rgb(255, 0, 0), rgb(0, 128, 0),
                                  rgb(255, 255, 0), rgb(0, 0, 255), rgb(255, 0, 255)};
  // The Color box: false draws every pen black and plots with pen 1 only.
  bool colour = true;
  // The drawing scale for measuring; 0 counts as 1.
  long double measureScale = 1.0;
};

struct HpglLimits {
  // Files larger than this are refused rather than read in part.
  std::size_t maxFileBytes = std::size_t(256) << 20;
  // How many bytes are scanned between two calls of the message pump.
  std::size_t pumpEvery = 4096;
};

// A coordinate that is not a whole decimal number, or a file over the limit.
class HpglError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Sheet sizes in plotter units: widths used by the format finder and the
// scale, and the height limits of the format finder.
struct SheetSize {
  const char* name;
  int width;
  int heightLimit;
};
inline constexpr std::array<SheetSize, 5> kSheets = {
    {{"A4", 11886, 8411}, {"A3", 16759, 11894}, {"A2", 23772, 16822}, {"A1", 33637, 23802}, {"A0", 47544, 33644}}};
inline constexpr long double kSheetAspect = 0.7076L;  // height / width of every sheet

// The format name ("A4" ... "A0", "A>" above A0) of a drawing extent.
std::string FindFormat(long long X, long long Y);

class HpglEngine {
 public:
  HpglEngine();

  // Parse FileName (unless it is the file already recorded and no plot is
  // active), record it, draw it on canvas and, while PlotActive, write it to
  // PlotTarget. Throws HpglError for a coordinate that is not a whole number
  // and std::runtime_error when PlotTarget cannot be written.
  void PlotFile(const std::string& FileName, Canvas& canvas);
  // Draw CommandList on any canvas, fitted to DrawWidth.
  void DrawCommands(Canvas& canvas);
  // UnitsPerPixel and DrawHeight from DrawWidth and FormatName.
  void CalcScale();
  // The sheet width in plotter units of FormatName ("A>" follows the drawing).
  long double SheetWidth() const;
  void FreeCommands();

  // The same parse over bytes already in memory (the file's content).
  void PlotBytes(const std::string& FileName, const std::vector<std::uint8_t>& bytes, Canvas& canvas);

  // Engine state.
  std::vector<HpglCommand> CommandList;
  std::string LastHpglFile;
  bool HpglIdle = true;
  bool PlotActive = false;
  bool NeedsConversion = false;
  bool NotPrinting = false;
  bool ResizeRequested = false;
  bool ColourPens = true;
  int DrawWidth = 2048;
  int DrawHeight = 1449;
  long double UnitsPerPixel = 0;
  std::string FormatName = "A4";
  std::int32_t MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
  std::int64_t OffsetX = 0, OffsetY = 0;
  long double PlotScale = 1.0;
  int PlotSpeed = 0;
  std::string PlotTarget;
  std::array<Color, 7> PenColour{};
  std::string ProgressText;
  std::string ScaleText;

  HpglOptions options;
  HpglLimits limits;
  // Opens PlotTarget for writing; set by the window side (ports, files).
  std::function<std::unique_ptr<PlotSink>(const std::string& target)> openTarget;
  // Lets pending window messages run during a parse; the CAD window's Cancel
  // sets HpglIdle from inside it.
  std::function<void()> pumpMessages;

 private:
  // bytes is null for a file that does not exist.
  void run(const std::string& FileName, const std::vector<std::uint8_t>* bytes, Canvas& canvas);
  void scan(std::string_view text, Canvas& canvas, PlotSink* sink);
  void command(std::string_view cmd, Canvas& canvas, PlotSink* sink);
};

}  // namespace pelindra
