#include "win32/vcl/bitmap.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "engine/base/bmp.h"
#include "engine/base/convert.h"
#include "engine/base/palettes.h"
#include "win32/vcl/strings.h"

namespace vcl {

namespace {

int bitsOf(TPixelFormat format) {
  switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

// BITMAPINFO with room for a full colour table or the three masks of 5-6-5.
struct DibInfo {
  BITMAPINFOHEADER header{};
  RGBQUAD colors[256]{};
};

DibInfo infoFor(int width, int height, int bits, bool rgb565, const std::vector<pelindra::RgbQuad>& colors) {
  DibInfo info;
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;  // bottom-up, as the engine's Dib
  info.header.biPlanes = 1;
  info.header.biBitCount = WORD(bits);
  info.header.biCompression = BI_RGB;
  if (bits == 16 && rgb565) {
    info.header.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(info.colors, masks, sizeof masks);
  } else if (bits <= 8) {
    const std::size_t n = std::min<std::size_t>(colors.size(), std::size_t(1) << bits);
    info.header.biClrUsed = DWORD(n);
    for (std::size_t i = 0; i < n; ++i) info.colors[i] = {colors[i].blue, colors[i].green, colors[i].red, 0};
  }
  return info;
}

pelindra::Dib mirror(const pelindra::Dib& dib, bool horizontal, bool vertical) {
  pelindra::Dib out = dib;
  const int w = dib.width(), h = dib.height();
  for (int y = 0; y < h; ++y) {
    const int fromY = vertical ? h - 1 - y : y;
    if (!horizontal) {
      std::memcpy(out.scanLine(y), dib.scanLine(fromY), dib.stride());
    } else if (dib.isIndexed()) {
      for (int x = 0; x < w; ++x) out.setIndex(x, y, dib.index(w - 1 - x, fromY));
    } else {
      const std::size_t bytes = std::size_t(dib.bitsPerPixel() / 8);
      const std::uint8_t* from = dib.scanLine(fromY);
      std::uint8_t* to = out.scanLine(y);
      for (int x = 0; x < w; ++x)
        std::memcpy(to + std::size_t(x) * bytes, from + std::size_t(w - 1 - x) * bytes, bytes);
    }
  }
  return out;
}

}  // namespace

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height, TPixelFormat format) {
  SetPixelFormat(format);
  SetSize(width, height);
}

TBitmap::TBitmap(const TBitmap& other)
    : TGraphic(other),
      format_(other.format_),
      transparentMode_(other.transparentMode_),
      transparentColor_(other.transparentColor_) {
  if (!other.Empty()) adopt(other.ToDib());
}

TBitmap::~TBitmap() {
  canvas_.reset();
  if (dc_ && dcDefaultBitmap_) SelectObject(dc_->get(), dcDefaultBitmap_);
  dc_.reset();
}

TBitmap::Layout TBitmap::deviceLayout() {
  WindowDC screen;
  const int bits = screen.get() ? GetDeviceCaps(screen.get(), BITSPIXEL) * GetDeviceCaps(screen.get(), PLANES) : 32;
  if (bits > 16) return {bits >= 32 ? 32 : 24, false};
  if (bits > 8) return {16, bits == 16};
  return {8, false};
}

void TBitmap::selectIntoDC() {
  if (!dc_) return;
  HGDIOBJ previous = SelectObject(dc_->get(), handle_ ? HGDIOBJ(handle_.get()) : dcDefaultBitmap_);
  if (!dcDefaultBitmap_) dcDefaultBitmap_ = previous;
  if (canvas_) canvas_->Realize();
}

void TBitmap::release() {
  // The memory DC must let go of the old section before it can be deleted.
  if (dc_ && dcDefaultBitmap_) SelectObject(dc_->get(), dcDefaultBitmap_);
  handle_.reset();
  palette_.reset();
  bits_ = nullptr;
  width_ = height_ = 0;
}

void TBitmap::adopt(const pelindra::Dib& dib) {
  if (dib.empty()) {
    release();
    bitsPerPixel_ = dib.bitsPerPixel();
    rgb565_ = dib.isRgb565();
    colors_ = dib.colors();
    selectIntoDC();
    return;
  }
  const DibInfo info = infoFor(dib.width(), dib.height(), dib.bitsPerPixel(), dib.isRgb565(), dib.colors());
  void* bits = nullptr;
  BitmapHandle section(
      CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!section || !bits)
    throw EInvalidGraphic("Out of system resources for a bitmap of " + std::to_string(dib.width()) + " x " +
                          std::to_string(dib.height()));
  std::memcpy(bits, dib.bits().data(), dib.bits().size());
  release();
  handle_ = std::move(section);
  bits_ = static_cast<std::uint8_t*>(bits);
  width_ = dib.width();
  height_ = dib.height();
  bitsPerPixel_ = dib.bitsPerPixel();
  rgb565_ = dib.isRgb565();
  colors_ = dib.colors();
  selectIntoDC();
}

TPixelFormat TBitmap::PixelFormat() const {
  if (format_ == pfDevice) return pfDevice;
  switch (bitsPerPixel_) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 16: return rgb565_ ? pf16bit : pf15bit;
    case 24: return pf24bit;
    case 32: return pf32bit;
    default: return format_;
  }
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == pfCustom) throw EInvalidGraphic("Invalid pixel format");
  Layout target{bitsOf(format), format == pf16bit};
  if (format == pfDevice) target = deviceLayout();
  const bool same = target.bits == bitsPerPixel_ && target.rgb565 == rgb565_;
  format_ = format;
  if (Empty()) {
    bitsPerPixel_ = 0;  // the layout is made when the bitmap gets a size
    return;
  }
  if (same) return;
  try {
    adopt(pelindra::convertDib(ToDib(), target.bits, target.rgb565));
  } catch (const std::exception& e) {
    throw EInvalidGraphic(e.what());
  }
  Changed();
}

void TBitmap::SetSize(int width, int height) {
  if (width < 0 || height < 0) throw EInvalidGraphic("Invalid bitmap size");
  if (width == width_ && height == height_) return;
  Layout layout{bitsOf(format_), format_ == pf16bit};
  if (format_ == pfDevice) layout = deviceLayout();
  if (bitsPerPixel_ != 0) layout = {bitsPerPixel_, rgb565_};
  if (width == 0 || height == 0) {
    release();
    width_ = width;
    height_ = height;
    Changed();
    return;
  }
  if (!pelindra::Dib::fits(width, height, layout.bits))
    throw EInvalidGraphic("Bitmap of " + std::to_string(width) + " x " + std::to_string(height) + " is too large");
  pelindra::Dib next(width, height, layout.bits, layout.rgb565);
  if (next.isIndexed()) next.colors() = colors_.empty() ? pelindra::standardPalette(layout.bits) : colors_;
  // New areas are white; the top row is made once and copied to the others.
  {
    const unsigned white = next.isIndexed() ? next.nearestIndex(pelindra::rgb(255, 255, 255)) : 0;
    for (int x = 0; x < width; ++x) {
      if (next.isIndexed())
        next.setIndex(x, 0, white);
      else
        next.setPixel(x, 0, pelindra::rgb(255, 255, 255));
    }
    for (int y = 1; y < height; ++y) std::memcpy(next.scanLine(y), next.scanLine(0), next.stride());
  }
  if (!Empty()) {
    GdiFlush();
    const int w = std::min(width, width_), h = std::min(height, height_);
    const std::size_t wholeBytes = std::size_t(w) * std::size_t(layout.bits) / 8;
    for (int y = 0; y < h; ++y) {
      const std::uint8_t* from = ScanLine(y);
      std::uint8_t* to = next.scanLine(y);
      std::memcpy(to, from, wholeBytes);
      // The last partial byte of 1- and 4-bit rows, pixel by pixel.
      const int done = int(wholeBytes * 8 / std::size_t(layout.bits));
      for (int x = done; x < w; ++x) {
        const int shift = layout.bits == 1 ? 7 - (x & 7) : ((x & 1) ? 0 : 4);
        const unsigned mask = layout.bits == 1 ? 1u : 15u;
        const std::size_t at = std::size_t(x) * std::size_t(layout.bits) / 8;
        const unsigned v = (from[at] >> shift) & mask;
        to[at] = std::uint8_t((to[at] & ~(mask << shift)) | (v << shift));
      }
    }
  }
  adopt(next);
  Changed();
}

std::uint8_t* TBitmap::ScanLine(int y) {
  if (Empty() || y < 0 || y >= height_) throw EInvalidGraphic("Scan line index out of range");
  GdiFlush();
  return bits_ + std::size_t(height_ - 1 - y) * stride();
}

const std::uint8_t* TBitmap::ScanLine(int y) const { return const_cast<TBitmap*>(this)->ScanLine(y); }

TCanvas& TBitmap::Canvas() {
  if (!canvas_) {
    dc_ = std::make_unique<MemoryDC>();
    if (!dc_->get()) {
      dc_.reset();
      throw EInvalidGraphic("Out of system resources for a canvas");
    }
    canvas_ = std::make_unique<TCanvas>(dc_->get());
    if (handle_) dcDefaultBitmap_ = SelectObject(dc_->get(), handle_.get());
  }
  return *canvas_;
}

HPALETTE TBitmap::Palette() {
  if (bitsPerPixel_ > 8 || bitsPerPixel_ == 0 || colors_.empty()) return nullptr;
  if (!palette_) {
    struct {
      WORD version, count;
      PALETTEENTRY entries[256];
    } pal{};
    pal.version = 0x300;
    pal.count = WORD(std::min<std::size_t>(colors_.size(), 256));
    for (std::size_t i = 0; i < pal.count; ++i) pal.entries[i] = {colors_[i].red, colors_[i].green, colors_[i].blue, 0};
    palette_.reset(CreatePalette(reinterpret_cast<const LOGPALETTE*>(&pal)));
  }
  return palette_.get();
}

pelindra::Dib TBitmap::ToDib() const {
  if (Empty()) return {};
  GdiFlush();
  pelindra::Dib dib(width_, height_, bitsPerPixel_, rgb565_);
  std::memcpy(dib.bits().data(), bits_, dib.bits().size());
  if (dib.isIndexed()) dib.colors() = colors_;
  return dib;
}

void TBitmap::Assign(const pelindra::Dib& dib) {
  if (dib.bitsPerPixel() != 0) format_ = dib.pixelFormat();
  adopt(dib);
  Changed();
}

void TBitmap::Assign(const TGraphic& source) {
  if (&source == this) return;
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(&source)) {
    format_ = bitmap->format_;
    Transparent = bitmap->Transparent;
    transparentMode_ = bitmap->transparentMode_;
    transparentColor_ = bitmap->transparentColor_;
    if (bitmap->Empty()) {
      release();
      bitsPerPixel_ = bitmap->bitsPerPixel_;
      rgb565_ = bitmap->rgb565_;
      colors_ = bitmap->colors_;
      width_ = bitmap->width_;
      height_ = bitmap->height_;
    } else {
      adopt(bitmap->ToDib());
    }
    Changed();
    return;
  }
  if (source.AssignTo(*this)) return;
  if (source.Empty()) {
    SetSize(0, 0);
    return;
  }
  // Any other picture is drawn on white at its own size.
  TBitmap canvasBitmap(source.Width(), source.Height(), pf24bit);
  RECT r{0, 0, source.Width(), source.Height()};
  // Drawing does not change a picture; Draw is not const only because some
  // kinds decode or cache on first use.
  const_cast<TGraphic&>(source).Draw(canvasBitmap.Canvas(), r);
  format_ = pf24bit;
  adopt(canvasBitmap.ToDib());
  Changed();
}

std::unique_ptr<TGraphic> TBitmap::Clone() const { return std::make_unique<TBitmap>(*this); }

COLORREF TBitmap::TransparentColor() const {
  if (transparentMode_ == TTransparentMode::tmFixed || Empty()) return transparentColor_;
  GdiFlush();
  pelindra::Dib row(width_, 1, bitsPerPixel_, rgb565_);
  std::memcpy(row.bits().data(), bits_, row.stride());  // the bottom row comes first in memory
  if (row.isIndexed()) row.colors() = colors_;
  return row.pixel(0, 0);
}

void TBitmap::SetTransparentColor(COLORREF color) {
  transparentColor_ = color & 0xFFFFFF;
  transparentMode_ = TTransparentMode::tmFixed;
}

void TBitmap::Draw(TCanvas& canvas, const RECT& r) {
  HDC dest = canvas.Handle();
  if (Empty() || !dest) return;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w == 0 || h == 0) return;
  if (w < 0 || h < 0) {
    // GDI's mirrored stretching is off by one pixel on some systems and
    // TransparentBlt cannot mirror at all: mirror the pixels instead.
    TBitmap mirrored;
    mirrored.Assign(mirror(ToDib(), w < 0, h < 0));
    mirrored.Transparent = Transparent;
    mirrored.SetTransparentColor(TransparentColor());
    mirrored.Draw(canvas, {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                           std::max(r.top, r.bottom)});
    return;
  }
  HDC source = Canvas().Handle();
  GdiFlush();
  HPALETTE oldPalette = nullptr;
  if (HPALETTE pal = Palette(); pal && (GetDeviceCaps(dest, RASTERCAPS) & RC_PALETTE)) {
    oldPalette = SelectPalette(dest, pal, TRUE);
    RealizePalette(dest);
  }
  const int oldMode = SetStretchBltMode(dest, COLORONCOLOR);
  if (Transparent) {
    TransparentBlt(dest, r.left, r.top, w, h, source, 0, 0, width_, height_, TransparentColor());
  } else if (w == width_ && h == height_) {
    BitBlt(dest, r.left, r.top, w, h, source, 0, 0, SRCCOPY);
  } else {
    StretchBlt(dest, r.left, r.top, w, h, source, 0, 0, width_, height_, SRCCOPY);
  }
  SetStretchBltMode(dest, oldMode);
  if (oldPalette) SelectPalette(dest, oldPalette, TRUE);
}

void TBitmap::LoadFromStream(std::span<const std::uint8_t> bytes) {
  pelindra::BmpImage image;
  try {
    image = pelindra::readBmp(bytes);
  } catch (const pelindra::BmpError& e) {
    throw EInvalidGraphic(e.what());
  } catch (const pelindra::DibSizeError& e) {
    throw EInvalidGraphic(e.what());
  }
  // A picture cut short shows the rows that were there, as the reader delivers them.
  Assign(image.dib);
}

std::vector<std::uint8_t> TBitmap::SaveToStream() const {
  if (Empty()) throw EInvalidGraphic("Cannot save an empty bitmap");
  return pelindra::writeBmp(ToDib());
}

}  // namespace vcl
