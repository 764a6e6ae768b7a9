#include "tools/tif2bmp/tiff_to_dib.h"

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace pelindra {

namespace {

struct Source {
  std::span<const std::uint8_t> data;
  std::uint64_t pos = 0;
  std::string error;
};

tmsize_t readProc(thandle_t h, void* buf, tmsize_t size) {
  auto* s = static_cast<Source*>(h);
  if (size < 0 || s->pos >= s->data.size()) return 0;
  const std::uint64_t n = std::min<std::uint64_t>(std::uint64_t(size), s->data.size() - s->pos);
  std::memcpy(buf, s->data.data() + s->pos, std::size_t(n));
  s->pos += n;
  return tmsize_t(n);
}
tmsize_t writeProc(thandle_t, void*, tmsize_t) { return -1; }
toff_t seekProc(thandle_t h, toff_t off, int whence) {
  auto* s = static_cast<Source*>(h);
  std::uint64_t base = whence == SEEK_CUR ? s->pos : whence == SEEK_END ? s->data.size() : 0;
  s->pos = base + off;
  return s->pos;
}
int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t h) { return static_cast<Source*>(h)->data.size(); }
int mapProc(thandle_t, void**, toff_t*) { return 0; }
void unmapProc(thandle_t, void*, toff_t) {}

int onError(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
  auto* s = static_cast<Source*>(user);
  if (s->error.empty()) {
    char buf[512];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    s->error = std::string(module ? module : "TIFF") + ": " + buf;
  }
  return 1;
}
int onWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct Closer {
  void operator()(TIFF* t) const { TIFFClose(t); }
};
struct OptionsFree {
  void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

// Indexed copy of the picture when it has no more colours than the bits allow.
bool toIndexed(const std::vector<std::uint32_t>& raster, Dib& dib) {
  std::vector<std::uint32_t> table;
  const std::size_t limit = std::size_t(1) << dib.bitsPerPixel();
  std::uint32_t last = 0;
  unsigned lastIndex = 0;
  bool haveLast = false;
  const int w = dib.width();
  for (int y = 0; y < dib.height(); ++y) {
    const std::uint32_t* row = raster.data() + std::size_t(y) * w;
    for (int x = 0; x < w; ++x) {
      const std::uint32_t c = row[x] & 0xFFFFFF;
      if (!haveLast || c != last) {
        auto it = std::find(table.begin(), table.end(), c);
        if (it == table.end()) {
          if (table.size() == limit) return false;
          table.push_back(c);
          it = table.end() - 1;
        }
        last = c;
        lastIndex = unsigned(it - table.begin());
        haveLast = true;
      }
      dib.setIndex(x, y, lastIndex);
    }
  }
  dib.colors().resize(table.size());
  for (std::size_t i = 0; i < table.size(); ++i)
    dib.colors()[i] = {std::uint8_t(TIFFGetB(table[i])), std::uint8_t(TIFFGetG(table[i])),
                       std::uint8_t(TIFFGetR(table[i])), 0};
  return true;
}

}  // namespace

Dib ReadTiffToDib(std::span<const std::uint8_t> file, const TiffReadLimits& limits) {
  Source source{file, 0, {}};
  std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t(limits.maxAllocation));
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onError, &source);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), onWarning, &source);
  std::unique_ptr<TIFF, Closer> tif(TIFFClientOpenExt("TIFF", "rm", &source, readProc, writeProc, seekProc, closeProc,
                                                      sizeProc, mapProc, unmapProc, options.get()));
  auto fail = [&](const char* what) { throw TiffReadError(source.error.empty() ? std::string(what) : source.error); };
  if (!tif) fail("not a TIFF file");
  std::uint32_t w = 0, h = 0;
  std::uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISBLACK;
  TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
  if (w == 0 || h == 0) fail("picture without pixels");
  if (std::uint64_t(w) * h > limits.maxPixels || w > 0x7FFFFFFF / 4 || h > 0x7FFFFFFF / 4)
    throw TiffReadError("picture of " + std::to_string(w) + " x " + std::to_string(h) + " pixels is too large");
  char message[1024] = "";
  if (!TIFFRGBAImageOK(tif.get(), message)) throw TiffReadError(message);

  // Plain 8-bit RGB in strips, the commonest kind, goes straight into the
  // bitmap's rows without the 32-bit detour.
  std::uint16_t planar = PLANARCONFIG_CONTIG, extra = 0;
  std::uint16_t* extraTypes = nullptr;
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_EXTRASAMPLES, &extra, &extraTypes);
  std::uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ORIENTATION, &orientation);
  if (photometric == PHOTOMETRIC_RGB && bits == 8 && samples == 3 && extra == 0 && planar == PLANARCONFIG_CONTIG &&
      orientation == ORIENTATION_TOPLEFT && !TIFFIsTiled(tif.get()) && TIFFScanlineSize(tif.get()) == tmsize_t(w) * 3) {
    Dib dib(int(w), int(h), 24);
    std::vector<std::uint8_t> line(std::size_t(w) * 3);
    for (std::uint32_t y = 0; y < h; ++y) {
      if (TIFFReadScanline(tif.get(), line.data(), y, 0) < 0) fail("unreadable picture data");
      std::uint8_t* out = dib.scanLine(int(y));
      for (std::size_t x = 0; x < w; ++x, out += 3) {
        out[0] = line[3 * x + 2];
        out[1] = line[3 * x + 1];
        out[2] = line[3 * x];
      }
    }
    return dib;
  }

  std::vector<std::uint32_t> raster(std::size_t(w) * h);
  if (!TIFFReadRGBAImageOriented(tif.get(), w, h, raster.data(), ORIENTATION_TOPLEFT, 1))
    fail("unreadable picture data");

  const bool indexedSource = samples == 1 && bits <= 8 &&
                             (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE ||
                              photometric == PHOTOMETRIC_PALETTE);
  if (indexedSource) {
    Dib indexed(int(w), int(h), bits == 1 ? 1 : bits <= 4 ? 4 : 8);
    if (toIndexed(raster, indexed)) return indexed;
  }
  Dib dib(int(w), int(h), 24);
  for (std::uint32_t y = 0; y < h; ++y) {
    std::uint8_t* out = dib.scanLine(int(y));
    const std::uint32_t* row = raster.data() + std::size_t(y) * w;
    for (std::uint32_t x = 0; x < w; ++x, out += 3) {
      const std::uint32_t p = row[x];
      const unsigned a = TIFFGetA(p);
      // Colours come premultiplied or not; either way white shows through.
      auto over = [a](unsigned c) { return std::uint8_t(a == 255 ? c : std::min(255u, c + (255 - a))); };
      out[0] = over(TIFFGetB(p));
      out[1] = over(TIFFGetG(p));
      out[2] = over(TIFFGetR(p));
    }
  }
  return dib;
}

}  // namespace pelindra
