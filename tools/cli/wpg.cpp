// wpg-svg: a WordPerfect graphics file drawn as the viewer draws it.

#include "engine/wpg/wpg.h"

#include <algorithm>
#include <cstdio>

#include "engine/canvas/svg_canvas.h"
#include "tools/cli/command.h"

namespace pelindra::cli {
namespace {

int wpgSvg(const std::vector<std::string>& args) {
  if (args.size() != 2) throw UsageError{"expected an input WPG and an output file"};
  const auto bytes = ReadFile(args[0]);
  WpgPicture picture;
  try {
    picture = ReadWpg(bytes);
  } catch (const WpgError& e) {
    std::fprintf(stderr, "pelindra-cli wpg-svg: %s: %s\n", args[0].c_str(), e.what());
    return kBadInput;
  }
  // One point (1/72 inch) per pixel, as large as the picture is.
  const int width = std::max(1, picture.width * 72 / 1200), height = std::max(1, picture.height * 72 / 1200);
  SvgCanvas canvas(width, height);
  DrawWpg(picture, canvas, width, height);
  const std::string svg = canvas.svg();
  WriteFileAtomically(args[1], {svg.begin(), svg.end()});
  return kOk;
}

const Registration reg{{"wpg-svg", "<in.wpg> <out.svg>", "draw a WordPerfect graphics file as SVG", wpgSvg}};

}  // namespace
}  // namespace pelindra::cli
