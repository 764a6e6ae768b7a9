// Picture operations on BMP files, each doing to the pixels what the viewer's
// command of the same name does.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "engine/base/bmp.h"
#include "engine/base/numbers.h"
#include "engine/imaging/crop.h"
#include "engine/imaging/depth.h"
#include "engine/imaging/resize.h"
#include "engine/imaging/rotate.h"
#include "tools/cli/command.h"

namespace pelindra::cli {

namespace {

using Args = std::vector<std::string>;

Dib readPicture(const std::string& path) {
  const auto bytes = ReadFile(path);
  return readBmp(bytes).dib;
}

void writePicture(const std::string& path, const Dib& dib) {
  WriteFileAtomically(path, writeBmp(dib));
}

void expectArgs(const Args& args, std::size_t count) {
  if (args.size() != count) throw UsageError{"expected " + std::to_string(count) + " arguments"};
}

int positive(const std::string& text, const char* what) {
  const auto value = parseInt(text);
  if (!value || *value <= 0)
    throw UsageError{std::string(what) + " must be a positive whole number, not '" + text + "'"};
  return *value;
}

// Operations that work in 24 bit bring the picture back to its own depth, as
// the viewer does; 32-bit pictures stay 32-bit.
Dib restoreDepth(const Dib& result, PixelFormat original) {
  return original == PixelFormat::Bits24 ? result : imaging::ConvertDepth(result, original);
}

std::optional<Color> parseColor(const std::string& text) {
  if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return std::nullopt;
  const unsigned long v = std::stoul(text, nullptr, 16);
  return rgb(std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v));
}

int rotate(const Args& args) {
  if (args.size() != 3 && args.size() != 5) throw UsageError{"expected <in> <out.bmp> <degrees> [--border RRGGBB]"};
  const auto degrees = parseInt(args[2]);
  if (!degrees) throw UsageError{"the angle must be a whole number of degrees, not '" + args[2] + "'"};
  std::optional<Color> border;
  if (args.size() == 5) {
    if (args[3] != "--border") throw UsageError{"unknown option '" + args[3] + "'"};
    border = parseColor(args[4]);
    if (!border) throw UsageError{"the border colour is six hex digits RRGGBB, not '" + args[4] + "'"};
  }
  const Dib picture = readPicture(args[0]);
  if (imaging::NormalizeAngle(*degrees) == 0) {
    // A whole turn changes nothing, as the viewer treats it.
    std::fprintf(stderr, "rotate: an angle of 0 (mod 360) leaves the picture as it is\n");
    writePicture(args[1], picture);
    return kOk;
  }
  // The viewer suggests the bottom-left pixel's colour for the border.
  const Color fill = border ? *border : picture.pixel(0, picture.height() - 1);
  writePicture(args[1], restoreDepth(imaging::Rotate(picture, *degrees, fill), picture.pixelFormat()));
  return kOk;
}

int grayscale(const Args& args) {
  expectArgs(args, 2);
  writePicture(args[1], imaging::Grayscale(readPicture(args[0])));
  return kOk;
}

int flip(const Args& args) {
  expectArgs(args, 3);
  if (args[2] != "h" && args[2] != "v") throw UsageError{"the direction is h or v, not '" + args[2] + "'"};
  const auto direction = args[2] == "h" ? imaging::FlipDirection::Horizontal : imaging::FlipDirection::Vertical;
  writePicture(args[1], imaging::Flip(readPicture(args[0]), direction));
  return kOk;
}

int resize(const Args& args) {
  expectArgs(args, 4);
  const int width = positive(args[2], "the width"), height = positive(args[3], "the height");
  const Dib picture = readPicture(args[0]);
  writePicture(args[1], restoreDepth(imaging::ResizeBitmap(picture, width, height), picture.pixelFormat()));
  return kOk;
}

int depth(const Args& args) {
  expectArgs(args, 3);
  PixelFormat format;
  if (args[2] == "1")
    format = PixelFormat::Bits1;
  else if (args[2] == "4")
    format = PixelFormat::Bits4;
  else if (args[2] == "8")
    format = PixelFormat::Bits8;
  else if (args[2] == "24")
    format = PixelFormat::Bits24;
  else
    throw UsageError{"the depth is 1, 4, 8 or 24, not '" + args[2] + "'"};
  writePicture(args[1], imaging::ConvertDepth(readPicture(args[0]), format));
  return kOk;
}

int cropFit(const Args& args) {
  expectArgs(args, 2);
  const Dib picture = readPicture(args[0]);
  imaging::FitBox box;
  if (!imaging::CropFitTest(picture, box)) {
    std::fprintf(stderr, "crop-fit: no uniform border to remove; the picture is left as it is\n");
    writePicture(args[1], picture);
    return kOk;
  }
  const Dib cropped = imaging::Crop(picture, box.FitWidth, box.FitHeight, box.FitLeft, box.FitTop);
  writePicture(args[1], restoreDepth(cropped, picture.pixelFormat()));
  return kOk;
}

const Registration regRotate{{"rotate", "<in> <out.bmp> <degrees> [--border RRGGBB]",
                              "turn counter-clockwise by |degrees| mod 360; the border defaults to the bottom-left "
                              "pixel's colour",
                              rotate}};
const Registration regGrayscale{
    {"grayscale", "<in> <out.bmp>", "average the colour channels, keeping the colour depth", grayscale}};
const Registration regFlip{{"flip", "<in> <out.bmp> h|v", "mirror left-right (h) or top-bottom (v)", flip}};
const Registration regResize{{"resize", "<in> <out.bmp> <width> <height>",
                              "resample to the given size (area averaging to shrink, bilinear to enlarge)", resize}};
const Registration regDepth{{"depth", "<in> <out.bmp> 1|4|8|24",
                             "convert the colour depth (exact colours when they fit, else nearest of a fixed palette)",
                             depth}};
const Registration regCropFit{
    {"crop-fit", "<in> <out.bmp>", "remove a uniform border of the bottom-left pixel's colour", cropFit}};

}  // namespace

}  // namespace pelindra::cli
