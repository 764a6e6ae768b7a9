// GIF commands: facts of a GIF, one frame as a BMP, a BMP as a GIF, and the optimiser.

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "engine/base/bmp.h"
#include "engine/base/numbers.h"
#include "engine/gif/gif_image.h"
#include "tools/cli/command.h"

namespace pelindra::cli {
namespace {

const char* const kReductionNames[] = {"NoReduction", "System20",   "Halftone256", "FourGrays",    "BlackWhite",
                                       "Grays256",    "WebCube216", "Octree",      "OctreeSystem", "GivenPalette"};
const char* const kDitherNames[] = {"Nearest", "FloydSteinberg", "Stucki", "Sierra", "JaJuNi", "SteveArche", "Burkes"};

// Splits arguments into files and "--name value" options.
struct Arguments {
  std::vector<std::string> files;
  std::vector<std::pair<std::string, std::string>> options;
  std::vector<std::string> flags;
};

Arguments Parse(const std::vector<std::string>& args, const std::vector<std::string>& valued,
                const std::vector<std::string>& flags) {
  Arguments result;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!a.starts_with("--")) {
      result.files.push_back(a);
    } else if (std::find(valued.begin(), valued.end(), a) != valued.end()) {
      if (i + 1 == args.size()) throw UsageError{a + " needs a value"};
      result.options.emplace_back(a, args[++i]);
    } else if (std::find(flags.begin(), flags.end(), a) != flags.end()) {
      result.flags.push_back(a);
    } else {
      throw UsageError{"unknown option " + a};
    }
  }
  return result;
}

// Reads a GIF; a picture that fails part-way keeps the frames read before.
bool Load(TGIFImage& image, const std::string& path, const char* command) {
  const auto bytes = ReadFile(path);
  image.OnWarn = [&](TGIFObject*, int, const std::string& message) {
    std::fprintf(stderr, "pelindra-cli %s: %s: warning: %s\n", command, path.c_str(), message.c_str());
  };
  try {
    image.LoadFromBytes(bytes);
  } catch (const GIFException& e) {
    std::fprintf(stderr, "pelindra-cli %s: %s: %s\n", command, path.c_str(), e.what());
    if (image.GetEmpty()) return false;
  }
  image.OnWarn = nullptr;
  return true;
}

std::string Extensions(const TGIFSubImage& frame) {
  std::string text;
  for (const auto& ext : frame.ExtensionItems) {
    if (!text.empty()) text += ", ";
    if (const auto* loop = dynamic_cast<const TGIFAppExtNSLoop*>(ext.get()))
      text += "loop " + loop->IdentifierText() + " count " + std::to_string(loop->LoopCount);
    else if (dynamic_cast<const TGIFGraphicControlExtension*>(ext.get()))
      text += "graphic control";
    else if (dynamic_cast<const TGIFCommentExtension*>(ext.get()))
      text += "comment";
    else if (dynamic_cast<const TGIFTextExtension*>(ext.get()))
      text += "plain text";
    else if (const auto* app = dynamic_cast<const TGIFApplicationExtension*>(ext.get()))
      text += "application " + app->IdentifierText();
  }
  return text.empty() ? "none" : text;
}

int GifInfo(const std::vector<std::string>& args) {
  const Arguments a = Parse(args, {}, {});
  if (a.files.size() != 1) throw UsageError{"expected one GIF file"};
  TGIFImage image;
  if (!Load(image, a.files[0], "gif-info")) return kBadInput;
  std::printf("screen %d x %d, global colours %d, background %d\n", image.GetWidth(), image.GetHeight(),
              image.GlobalColors().Count(), image.ScreenHeader.BackgroundIndex);
  for (int i = 0; i < image.FrameCount(); ++i) {
    const TGIFSubImage& f = *image.FrameAt(i);
    const TGIFGraphicControlExtension* gce = f.ControlBlock();
    std::printf("frame %d: at %d,%d size %d x %d, interlaced %s, local colours %d, disposal %d, delay %d, ", i,
                f.FrameLeft(), f.FrameTop(), f.FrameWidth(), f.FrameHeight(), f.Interlaced() ? "yes" : "no",
                f.LocalColors.Count(), gce ? gce->DisposalValue() : 0, gce ? gce->Delay() : 0);
    if (f.TransparentFlag())
      std::printf("transparent %d", f.TransparentIndex());
    else
      std::printf("transparent none");
    std::printf(", extensions: %s\n", Extensions(f).c_str());
  }
  return kOk;
}

int GifFrame(const std::vector<std::string>& args) {
  const Arguments a = Parse(args, {}, {});
  if (a.files.size() != 3) throw UsageError{"expected a GIF file, a frame number and a BMP file"};
  const std::optional<int> n = parseInt(a.files[1]);
  if (!n || *n < 0) throw UsageError{"the frame number must be 0 or more"};
  TGIFImage image;
  image.PaintFlags &= std::uint16_t(~DitherDisplay);
  if (!Load(image, a.files[0], "gif-frame")) return kBadInput;
  if (*n >= image.FrameCount()) {
    std::fprintf(stderr, "pelindra-cli gif-frame: %s has %d frames\n", a.files[0].c_str(), image.FrameCount());
    return kBadInput;
  }
  try {
    const GIFBitmap* bitmap = image.FrameAt(*n)->FrameRendering();
    if (!bitmap || bitmap->Image.empty()) {
      std::fprintf(stderr, "pelindra-cli gif-frame: frame %d is empty\n", *n);
      return kBadInput;
    }
    WriteFileAtomically(a.files[2], writeBmp(bitmap->Image));
  } catch (const GIFException& e) {
    std::fprintf(stderr, "pelindra-cli gif-frame: %s\n", e.what());
    return kBadInput;
  }
  return kOk;
}

template <class Enum, std::size_t N>
Enum ByName(const char* const (&names)[N], const std::string& name, const char* what) {
  for (std::size_t i = 0; i < N; ++i)
    if (name == names[i]) return Enum(i);
  std::string known;
  for (const char* n : names) known += std::string(known.empty() ? "" : ", ") + n;
  throw UsageError{std::string("unknown ") + what + " " + name + " (" + known + ")"};
}

int GifFrom(const std::vector<std::string>& args) {
  const Arguments a = Parse(args, {"--method", "--dither", "--depth"}, {"--rle"});
  if (a.files.size() != 2) throw UsageError{"expected a BMP file and a GIF file"};
  TGIFImage image;
  for (const auto& [name, value] : a.options) {
    if (name == "--method") image.ReductionMethod = ByName<TColorReduction>(kReductionNames, value, "method");
    if (name == "--dither") image.DitherKind = ByName<TDitherMode>(kDitherNames, value, "ditherer");
    if (name == "--depth") {
      const std::optional<int> depth = parseInt(value);
      if (!depth || *depth < 1 || *depth > 8) throw UsageError{"--depth must be 1 to 8"};
      image.ReductionDepth = *depth;
    }
  }
  if (image.ReductionMethod == TColorReduction::GivenPalette) throw UsageError{"GivenPalette needs a palette"};
  if (!a.flags.empty()) image.Encoding = TGIFEncoding::RunLength;
  const auto bytes = ReadFile(a.files[0]);
  try {
    const BmpImage bmp = readBmp(bytes);
    image.Assign(bmp.dib);
    WriteFileAtomically(a.files[1], image.SaveToBytes());
  } catch (const BmpError& e) {
    std::fprintf(stderr, "pelindra-cli gif-from: %s: %s\n", a.files[0].c_str(), e.what());
    return kBadInput;
  } catch (const GIFException& e) {
    std::fprintf(stderr, "pelindra-cli gif-from: %s\n", e.what());
    return kBadInput;
  }
  return kOk;
}

int GifOptimize(const std::vector<std::string>& args) {
  const Arguments a = Parse(args, {"--options"}, {});
  if (a.files.size() != 2) throw UsageError{"expected an input and an output GIF file"};
  int options = kAllOptimizeOptions;
  for (const auto& [name, value] : a.options) {
    const std::optional<int> n = parseInt(value);
    if (!n || *n < 0 || *n > kAllOptimizeOptions) throw UsageError{"--options must be 0 to 31"};
    options = *n;
  }
  TGIFImage image;
  if (!Load(image, a.files[0], "gif-optimize")) return kBadInput;
  const std::size_t before = ReadFile(a.files[0]).size();
  try {
    image.OptimizeFrames(std::uint8_t(options), TColorReduction::NoReduction);
    const auto out = image.SaveToBytes();
    WriteFileAtomically(a.files[1], out);
    std::printf("%zu bytes -> %zu bytes\n", before, out.size());
  } catch (const GIFException& e) {
    std::fprintf(stderr, "pelindra-cli gif-optimize: %s\n", e.what());
    return kBadInput;
  }
  return kOk;
}

const Registration info{{"gif-info", "<in.gif>", "screen, colour tables and every frame of a GIF as text", GifInfo}};
const Registration frame{
    {"gif-frame", "<in.gif> <n> <out.bmp>", "frame n alone, as an 8-bit BMP of the frame's colours", GifFrame}};
const Registration from{{"gif-from", "<in.bmp> <out.gif> [--method NAME] [--dither NAME] [--depth N] [--rle]",
                         "a bitmap as a one-frame GIF, its colours reduced by the named method and ditherer", GifFrom}};
const Registration optimize{{"gif-optimize", "<in.gif> <out.gif> [--options N]",
                             "optimise a GIF's frames (options: bit set of crop 1, merge 2, clean-up 4, pack 8, "
                             "reduce 16; default 31)",
                             GifOptimize}};

}  // namespace
}  // namespace pelindra::cli
