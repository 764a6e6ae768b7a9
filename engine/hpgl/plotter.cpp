#include "engine/hpgl/plotter.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

#include "engine/base/numbers.h"

namespace pelindra {

namespace {

constexpr Color kWhite = rgb(255, 255, 255);
constexpr Color kBlack = rgb(0, 0, 0);

// The plotter pen a drawn colour goes to; '\0' for a colour without a pen.
char penDigitOf(Color c) {
  switch (c) {
    case kWhite: return '0';
    case kBlack: return '1';
    case rgb(0, 0, 255): return '2';
    case rgb(0, 128, 0): return '3';
    case rgb(255, 0, 0): return '4';
    case rgb(255, 0, 255): return '5';
    case rgb(0, 255, 255): return '6';
    default: return '\0';
  }
}

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& name, std::size_t limit) {
  const std::filesystem::path path(std::u8string(name.begin(), name.end()));
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  char chunk[65536];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    if (bytes.size() + std::size_t(in.gcount()) > limit)
      throw HpglError("plotter file larger than " + std::to_string(limit) + " bytes");
    bytes.insert(bytes.end(), chunk, chunk + in.gcount());
  }
  return bytes;
}

std::int32_t coordinate(std::string_view text, std::string_view cmd) {
  const auto v = parseInt(text);
  if (!v) throw HpglError("'" + std::string(text) + "' is not a valid integer value in " + std::string(cmd));
  return *v;
}

}  // namespace

std::string FindFormat(long long X, long long Y) {
  std::string name = "A4";
  for (std::size_t i = 0; i < kSheets.size(); ++i) {
    if (X > kSheets[i].width || Y > kSheets[i].heightLimit) name = i + 1 < kSheets.size() ? kSheets[i + 1].name : "A>";
  }
  return name;
}

HpglEngine::HpglEngine() {
  PenColour[0] = kWhite;
  std::copy(options.palette.begin(), options.palette.end(), PenColour.begin() + 1);
  CalcScale();
}

long double HpglEngine::SheetWidth() const {
  for (const auto& s : kSheets)
    if (FormatName == s.name) return s.width;
  if (FormatName == "A>") {
    // Larger than A0: the sheet follows the drawing. A drawing that is over A0
    // by its height alone takes the width that holds that height, so it is
    // never drawn larger than its sheet (nor divided by a zero width).
    const long double w = std::max<long double>(MaxX, MaxY / kSheetAspect);
    if (w > 0) return w;
  }
  return kSheets[0].width;
}

void HpglEngine::CalcScale() {
  const int width = std::max(DrawWidth, 1);
  UnitsPerPixel = SheetWidth() / width;
  DrawHeight = roundToInt(width * kSheetAspect);
}

void HpglEngine::FreeCommands() { CommandList.clear(); }

void HpglEngine::PlotFile(const std::string& FileName, Canvas& canvas) {
  std::optional<std::vector<std::uint8_t>> bytes;
  if (FileName != LastHpglFile || PlotActive) bytes = readWholeFile(FileName, limits.maxFileBytes);
  run(FileName, bytes ? &*bytes : nullptr, canvas);
}

void HpglEngine::PlotBytes(const std::string& FileName, const std::vector<std::uint8_t>& bytes, Canvas& canvas) {
  run(FileName, &bytes, canvas);
}

void HpglEngine::run(const std::string& FileName, const std::vector<std::uint8_t>* bytes, Canvas& canvas) {
  try {
    HpglIdle = false;
    NeedsConversion = false;
    if (options.measureScale == 0) options.measureScale = 1.0;
    CalcScale();
    bool parse = true;
    if (FileName != LastHpglFile) {
      CommandList.clear();
      MaxX = MaxY = 0;
      MinX = std::int32_t(roundHalfEven(DrawWidth * UnitsPerPixel));
      MinY = std::int32_t(roundHalfEven(MinX * kSheetAspect));
      options.offsetX = options.offsetY = 0;
      options.scaleLeft = options.scaleRight = "1";
    } else if (!PlotActive) {
      parse = false;
    }
    if (parse) {
      // A missing file is not recorded, so that it is read once it is there.
      LastHpglFile = bytes ? FileName : std::string();
      PenColour[0] = kWhite;
      std::copy(options.palette.begin(), options.palette.end(), PenColour.begin() + 1);
      ColourPens = options.colour;
      if (PlotSpeed == 0) PlotSpeed = 20;
      std::unique_ptr<PlotSink> sink;
      if (PlotActive) {
        OffsetX = roundHalfEven(options.offsetX * 40) - MinX;
        OffsetY = roundHalfEven(options.offsetY * 40) - MinY;
        if (!openTarget) throw std::runtime_error("no plot target can be opened");
        sink = openTarget(PlotTarget);
        sink->write("IN;PU0,0;VS" + std::to_string(PlotSpeed) + ";SP1;");
        sink->flush();
      }
      if (bytes) {
        // A plot of the recorded file parses it again: start the list afresh
        // rather than recording every command twice.
        CommandList.clear();
        scan(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), canvas, sink.get());
      }
      sink.reset();
      FormatName = FindFormat(MaxX, MaxY);
    }
    options.percentage = "100";
    options.offsetX = roundHalfEven(MinX * 0.025L);
    options.offsetY = roundHalfEven(MinY * 0.025L);
    if (HpglIdle)
      LastHpglFile.clear();
    else
      DrawCommands(canvas);
    HpglIdle = true;
    PlotScale = 1.0;
  } catch (...) {
    // The recorded commands are incomplete: the next showing parses again.
    LastHpglFile.clear();
    HpglIdle = true;
    PlotScale = 1.0;
    throw;
  }
}

void HpglEngine::scan(std::string_view text, Canvas& canvas, PlotSink* sink) {
  std::string cmd;
  std::size_t sincePump = 0;
  for (std::size_t i = 0; i < text.size() && !HpglIdle; ++i) {
    const char c = text[i];
    if (c == 0) break;
    if (c == ';') {
      ProgressText = std::to_string(roundHalfEven(100.0L * (i + 1) / (text.size() + 1))) + "%";
      command(cmd, canvas, sink);
      cmd.assign(1, ';');
    } else if (c != '\n' && c != '\r' && c != ' ') {
      cmd += c;
    }
    if (++sincePump >= limits.pumpEvery) {
      sincePump = 0;
      if (pumpMessages) pumpMessages();
    }
  }
}

void HpglEngine::command(std::string_view cmd, Canvas& canvas, PlotSink* sink) {
  const std::string_view name = cmd.substr(std::min<std::size_t>(1, cmd.size()), 2);
  if (name != "N" && name != "PG" && name != "SP" && name != "PD" && name != "PU" && name != "VS") {
    NeedsConversion = true;
    HpglIdle = true;
    LastHpglFile.clear();
    return;
  }
  if (cmd.size() == 4 && cmd.substr(0, 3) == ";SP" && cmd[3] >= '0' && cmd[3] <= '6')
    canvas.setPenColor(PenColour[cmd[3] - '0']);
  if (!ColourPens) canvas.setPenColor(kBlack);

  if (name == "SP") {
    const Color colour = canvas.pen().color;
    char digit = penDigitOf(colour);
    // A colour without a plotter pen keeps the file's digit; a pen command
    // without a number then goes to pen 1 rather than putting the pen away.
    if (!digit) digit = cmd.size() > 3 ? cmd[3] : '1';
    if (sink) {
      sink->write(std::string("SP") + digit + ";");
      sink->flush();
    }
    CommandList.push_back({std::int32_t(colour), 0, 'P'});
    return;
  }
  if (cmd.size() > 4 && (name == "PD" || name == "PU")) {
    std::string_view xText, rest = cmd.substr(3);
    for (std::size_t comma; (comma = rest.find(',')) != std::string_view::npos;) {
      xText = rest.substr(0, comma);
      rest.remove_prefix(comma + 1);
    }
    const std::int32_t X = coordinate(xText, cmd), Y = coordinate(rest, cmd);
    if (name == "PD") {
      MaxX = std::max(MaxX, X);
      MaxY = std::max(MaxY, Y);
      MinX = std::min(MinX, X);
      MinY = std::min(MinY, Y);
    }
    if (sink) {
      sink->write(std::string(name) + std::to_string(roundHalfEven((X + OffsetX) * PlotScale)) + "," +
                  std::to_string(roundHalfEven((Y + OffsetY) * PlotScale)) + ";");
      sink->flush();
    }
    CommandList.push_back({X, Y, name == "PD" ? 'D' : 'U'});
  }
}

void HpglEngine::DrawCommands(Canvas& canvas) {
  CalcScale();
  OffsetX = OffsetY = 0;
  if (MinX < 0 || MinY < 0) {
    OffsetX = -std::int64_t(MinX);
    OffsetY = -std::int64_t(MinY);
  }
  const long double sheet = DrawWidth * UnitsPerPixel;
  if (!NotPrinting) {
    OffsetX = roundHalfEven((sheet - (std::int64_t(MaxX) - MinX)) * 0.5L) - MinX;
    OffsetY = roundHalfEven((sheet * kSheetAspect - (std::int64_t(MaxY) - MinY)) * 0.5L) - MinY;
  }
  ScaleText = "Scale = " + options.scaleLeft + " : " + options.scaleRight;
  PenColour[0] = kWhite;
  CalcScale();
  for (const auto& c : CommandList) {
    if (c.Kind == 'P') {
      canvas.setPenColor(Color(c.X));
      continue;
    }
    const Point p{roundToInt((c.X + OffsetX) / UnitsPerPixel),
                  DrawHeight - roundToInt((c.Y + OffsetY) / UnitsPerPixel)};
    if (c.Kind == 'D')
      canvas.lineTo(p);
    else
      canvas.moveTo(p);
  }
}

}  // namespace pelindra
