#pragma once
// A bitmap held as a DIB section: its bits have exactly the layout of the
// engine's Dib, so pictures move between the two without reinterpretation,
// and GDI can draw on it through its canvas at the same time.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/base/dib.h"
#include "win32/vcl/canvas.h"
#include "win32/vcl/gdi.h"
#include "win32/vcl/graphics.h"

namespace vcl {

using TPixelFormat = pelindra::PixelFormat;
constexpr TPixelFormat pfDevice = TPixelFormat::Device, pf1bit = TPixelFormat::Bits1, pf4bit = TPixelFormat::Bits4,
                       pf8bit = TPixelFormat::Bits8, pf15bit = TPixelFormat::Bits15, pf16bit = TPixelFormat::Bits16,
                       pf24bit = TPixelFormat::Bits24, pf32bit = TPixelFormat::Bits32, pfCustom = TPixelFormat::Custom;

// tmAuto takes the transparent colour from the bottom-left pixel; tmFixed uses
// the colour that was set.
enum class TTransparentMode { tmAuto, tmFixed };

class TBitmap : public TGraphic {
 public:
  TBitmap();
  TBitmap(int width, int height, TPixelFormat format = pfDevice);
  TBitmap(const TBitmap& other);
  ~TBitmap() override;
  TBitmap& operator=(const TBitmap&) = delete;

  bool Empty() const override { return width_ == 0 || height_ == 0; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // Changes the size keeping the pixels that stay inside (anchored at the top
  // left); new areas are white.
  void SetSize(int width, int height);
  void SetWidth(int width) { SetSize(width, height_); }
  void SetHeight(int height) { SetSize(width_, height); }

  // pfDevice for bitmaps in the screen's format, else the format of the bits.
  TPixelFormat PixelFormat() const;
  // Converts the pixels to another format. pfDevice means the screen's format;
  // pfCustom is not a format a bitmap can be given.
  void SetPixelFormat(TPixelFormat format);

  // Row y counted from the top, inside the DIB section's bits. Valid until the
  // size or format changes.
  std::uint8_t* ScanLine(int y);
  const std::uint8_t* ScanLine(int y) const;
  int BitsPerPixel() const { return bitsPerPixel_; }
  const std::vector<pelindra::RgbQuad>& Colors() const { return colors_; }

  // A canvas over a memory DC holding the bitmap; it stays valid when the
  // bitmap changes size or format.
  TCanvas& Canvas();
  HBITMAP Handle() const { return handle_.get(); }
  // A logical palette of the colour table for indexed bitmaps; null otherwise.
  HPALETTE Palette();

  pelindra::Dib ToDib() const;
  void Assign(const pelindra::Dib& dib);
  // From a bitmap: a copy. From a kind that can fill a bitmap (JPEG): its
  // pixels. From any other picture: drawn on a white 24-bit bitmap of its size.
  void Assign(const TGraphic& source) override;
  std::unique_ptr<TGraphic> Clone() const override;

  void Draw(TCanvas& canvas, const RECT& r) override;
  void LoadFromStream(std::span<const std::uint8_t> bytes) override;
  std::vector<std::uint8_t> SaveToStream() const override;

  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode mode) { transparentMode_ = mode; }
  // The colour left out when drawing transparently.
  COLORREF TransparentColor() const;
  // Fixes the transparent colour (the mode becomes tmFixed).
  void SetTransparentColor(COLORREF color);

 private:
  struct Layout {
    int bits;
    bool rgb565;
  };
  static Layout deviceLayout();
  void adopt(const pelindra::Dib& dib);
  void release();
  void selectIntoDC();
  std::size_t stride() const { return pelindra::Dib::strideFor(width_, bitsPerPixel_); }

  BitmapHandle handle_;
  std::uint8_t* bits_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int bitsPerPixel_ = 0;
  bool rgb565_ = false;
  std::vector<pelindra::RgbQuad> colors_;
  // What the caller asked for: a concrete format or pfDevice.
  TPixelFormat format_ = pfDevice;

  std::unique_ptr<MemoryDC> dc_;
  HGDIOBJ dcDefaultBitmap_ = nullptr;
  std::unique_ptr<TCanvas> canvas_;
  PaletteHandle palette_;

  TTransparentMode transparentMode_ = TTransparentMode::tmAuto;
  COLORREF transparentColor_ = 0;
};

}  // namespace vcl
