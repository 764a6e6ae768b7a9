// bmp-convert: reads any BMP and writes it again at a chosen colour depth.

#include "engine/base/bmp.h"

#include <cstdio>
#include <optional>

#include "engine/base/convert.h"
#include "engine/base/numbers.h"
#include "tools/cli/command.h"

namespace pelindra::cli {
namespace {

int bmpConvert(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  std::optional<int> bits;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--bits") {
      if (i + 1 == args.size()) throw UsageError{"--bits needs a value"};
      bits = parseInt(args[++i]);
      if (!bits || (*bits != 1 && *bits != 4 && *bits != 8 && *bits != 16 && *bits != 24 && *bits != 32))
        throw UsageError{"--bits must be 1, 4, 8, 16, 24 or 32"};
    } else if (args[i].starts_with("--")) {
      throw UsageError{"unknown option " + args[i]};
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2) throw UsageError{"expected an input and an output file"};

  const auto bytes = ReadFile(files[0]);
  BmpImage image;
  try {
    image = readBmp(bytes);
  } catch (const BmpError& e) {
    std::fprintf(stderr, "pelindra-cli bmp-convert: %s: %s\n", files[0].c_str(), e.what());
    return kBadInput;
  }
  if (image.truncated)
    std::fprintf(stderr, "pelindra-cli bmp-convert: %s: pixel data ends early; the missing pixels are black\n",
                 files[0].c_str());
  // 16 bits keep a 5-6-5 picture's layout and are 5-5-5 otherwise.
  const Dib& dib = image.dib;
  const Dib out = bits ? convertDib(dib, *bits, dib.isRgb565()) : dib;
  WriteFileAtomically(files[1], writeBmp(out));
  return kOk;
}

const Registration reg{{"bmp-convert", "<in> <out.bmp> [--bits N]",
                        "read any BMP and write it at 1, 4, 8, 16, 24 or 32 bits (default: as read)", bmpConvert}};

}  // namespace
}  // namespace pelindra::cli
