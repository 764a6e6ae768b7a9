// DXF drawings on the command line: render to SVG as the drawing control draws
// them, list what was read, and convert HPGL plotter files to DXF.

#include <cstdio>
#include <string>
#include <vector>

#include "engine/base/numbers.h"
#include "engine/canvas/svg_canvas.h"
#include "engine/dxf/dxf_view.h"
#include "engine/dxf/plt2dxf.h"
#include "tools/cli/command.h"

namespace pelindra::cli {
namespace {

// Messages of the reader go to stderr; every warning is answered with OK.
class Console_Events : public DXF_Read_Events {
 public:
  bool failed = false;
  bool entity_warning(const std::string& message) override {
    print("warning", message);
    return true;
  }
  void read_error(const std::string& message) override {
    failed = true;
    print("error", message);
  }
  void show_message(const std::string& message) override { print("message", message); }

 private:
  static void print(const char* kind, std::string message) {
    for (char& c : message)
      if (c == '\r' || c == '\n') c = ' ';
    std::fprintf(stderr, "%s: %s\n", kind, message.c_str());
  }
};

int parseSize(const std::string& text) {
  const auto v = parseInt(text);
  if (!v || *v < 41 || *v > 100000) throw UsageError{"size must be a number from 41 to 100000: " + text};
  return *v;
}

int dxfSvg(const std::vector<std::string>& args) {
  int width = 2048, height = 1454;
  if (args.size() == 5 && args[2] == "--size") {
    width = parseSize(args[3]);
    height = parseSize(args[4]);
  } else if (args.size() != 2) {
    throw UsageError{"expected an input and an output file"};
  }
  Console_Events events;
  DxfViewControl view(&events);
  SvgCanvas canvas(width, height);
  view.load(args[0], width, height, &canvas);
  if (view.nothing_to_draw) {
    std::fprintf(stderr, "dxf-svg: %s has nothing to draw\n", args[0].c_str());
    return kBadInput;
  }
  const std::string svg = canvas.svg();
  WriteFileAtomically(args[1], std::vector<unsigned char>(svg.begin(), svg.end()));
  return events.failed ? kBadInput : kOk;
}

int dxfDump(const std::vector<std::string>& args) {
  if (args.size() != 1) throw UsageError{"expected one input file"};
  Console_Events events;
  DxfViewControl view(&events);
  view.load(args[0], 2048, 1454, nullptr);
  for (const DXF_Entry& e : view.entries)
    if (e.list)
      std::printf("%s\t%s\t%zu\n", e.list->layer->name.c_str(), e.list->name.c_str(), e.list->entities.size());
  const Point3D &lo = view.view_min, &hi = view.view_max;
  std::printf("extents %s %s %s %s %s %s\n", floatText(lo.x).c_str(), floatText(lo.y).c_str(), floatText(lo.z).c_str(),
              floatText(hi.x).c_str(), floatText(hi.y).c_str(), floatText(hi.z).c_str());
  return events.failed ? kBadInput : kOk;
}

int hpglDxf(const std::vector<std::string>& args) {
  if (args.size() != 2) throw UsageError{"expected an input and an output file"};
  Hpgl_To_Dxf converter;
  converter.convert(args[0], args[1]);
  return kOk;
}

const Registration svgCommand{{"dxf-svg", "<in.dxf> <out.svg> [--size W H]",
                               "draw a DXF drawing fitted into W x H (2048 x 1454) as SVG", dxfSvg}};
const Registration dumpCommand{
    {"dxf-dump", "<in.dxf>", "list the entity lists of a DXF drawing in drawing order, then its extents", dxfDump}};

}  // namespace
}  // namespace pelindra::cli

namespace pelindra::cli {
namespace {
const Registration hpglCommand{
    {"hpgl-dxf", "<in.plt> <out.dxf>", "convert an HPGL plotter file to a DXF drawing", hpglDxf}};
}  // namespace
}  // namespace pelindra::cli
