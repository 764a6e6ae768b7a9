// tiff-write: any BMP written as the program's own TIFF; tiff-read: any TIFF
// read as the carried converter reads it, written as a BMP.

#include <cstdio>

#include "engine/base/bmp.h"
#include "engine/imaging/tiff_writer.h"
#include "tools/cli/command.h"
#include "tools/tif2bmp/tiff_to_dib.h"

namespace pelindra::cli {
namespace {

int tiffWrite(const std::vector<std::string>& args) {
  if (args.size() != 2) throw UsageError{"expected an input BMP and an output file"};
  const auto bytes = ReadFile(args[0]);
  BmpImage image;
  try {
    image = readBmp(bytes);
  } catch (const BmpError& e) {
    std::fprintf(stderr, "pelindra-cli tiff-write: %s: %s\n", args[0].c_str(), e.what());
    return kBadInput;
  }
  WriteFileAtomically(args[1], WriteTiff(image.dib));
  return kOk;
}

int tiffRead(const std::vector<std::string>& args) {
  if (args.size() != 2) throw UsageError{"expected an input TIFF and an output file"};
  const auto bytes = ReadFile(args[0]);
  Dib dib;
  try {
    dib = ReadTiffToDib(bytes);
  } catch (const TiffReadError& e) {
    std::fprintf(stderr, "pelindra-cli tiff-read: %s: %s\n", args[0].c_str(), e.what());
    return kBadInput;
  }
  WriteFileAtomically(args[1], writeBmp(dib));
  return kOk;
}

const Registration read{
    {"tiff-read", "<in.tif> <out.bmp>", "read the first page of any TIFF and write it as a BMP", tiffRead}};
const Registration write{
    {"tiff-write", "<in.bmp> <out.tif>", "write a BMP as an uncompressed bilevel, palette or RGB TIFF", tiffWrite}};

}  // namespace
}  // namespace pelindra::cli
