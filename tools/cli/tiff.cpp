// tiff-write: any BMP written as the program's own TIFF; tiff-read: any TIFF
// read as the carried converter reads it, written as a BMP.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

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

// Pictures of tens of megabytes are read in one piece.
std::vector<std::uint8_t> readWhole(const std::string& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary | std::ios::ate);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::vector<std::uint8_t> bytes(std::size_t(in.tellg()));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size())))
    throw std::runtime_error("cannot read " + path);
  return bytes;
}

int tiffRead(const std::vector<std::string>& args) {
  if (args.size() != 2) throw UsageError{"expected an input TIFF and an output file"};
  const auto bytes = readWhole(args[0]);
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
