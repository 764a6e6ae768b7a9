#pragma once
// JPEG pictures over libjpeg. The compressed bytes are kept as read and
// decoded into a bitmap when the picture is first drawn or converted; a bitmap
// assigned to the picture is encoded when the picture is saved.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "win32/vcl/bitmap.h"
#include "win32/vcl/graphics.h"

namespace vcl {

// Decoded pixels: 24-bit colour, or 8 bits (gray pictures, or colour reduced to
// 256 colours).
enum class TJPEGPixelFormat { jf24Bit, jf8Bit };
// Best quality: accurate integer transform, smooth upsampling, two-pass colour
// reduction with error diffusion. Best speed: fast transform, plain
// upsampling, one-pass reduction with ordered dithering.
enum class TJPEGPerformance { jpBestQuality, jpBestSpeed };
enum class TJPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };
constexpr TJPEGPixelFormat jf24Bit = TJPEGPixelFormat::jf24Bit, jf8Bit = TJPEGPixelFormat::jf8Bit;
constexpr TJPEGPerformance jpBestQuality = TJPEGPerformance::jpBestQuality, jpBestSpeed = TJPEGPerformance::jpBestSpeed;
constexpr TJPEGScale jsFullSize = TJPEGScale::jsFullSize, jsHalf = TJPEGScale::jsHalf,
                     jsQuarter = TJPEGScale::jsQuarter, jsEighth = TJPEGScale::jsEighth;

class TJPEGImage : public TGraphic {
 public:
  static constexpr int kDefaultQuality = 90;

  TJPEGImage() = default;
  TJPEGImage(const TJPEGImage& other);
  TJPEGImage& operator=(const TJPEGImage&) = delete;

  bool Empty() const override { return data_.empty() && !bitmap_; }
  // The size of the decoded picture, which Scale reduces.
  int Width() const override;
  int Height() const override;

  // 1 (smallest file) to 100 (best picture). 0 counts as 1, the lowest quality
  // the encoder knows; values above 100 count as 100.
  int CompressionQuality() const { return quality_; }
  void SetCompressionQuality(int quality);
  TJPEGPerformance Performance = jpBestQuality;
  bool Grayscale = false;
  TJPEGScale Scale = jsFullSize;
  bool Smoothing = true;
  bool ProgressiveEncoding = false;
  // After reading, jf8Bit for gray pictures and jf24Bit otherwise; set jf8Bit
  // to have colour pictures decoded to 256 colours.
  TJPEGPixelFormat PixelFormat() const { return pixelFormat_; }
  void SetPixelFormat(TJPEGPixelFormat format) { pixelFormat_ = format, pixelFormatChosen_ = true; }
  // Whether the compressed data (as read) is progressive.
  bool ProgressiveDisplay() const { return progressive_; }

  // Decodes now with the settings in force (otherwise done on first use).
  void DIBNeeded();
  // Encodes the bitmap now with the settings in force, replacing the bytes.
  void Compress();
  // The decoded (or assigned) picture.
  const TBitmap& Bitmap();

  void Draw(TCanvas& canvas, const RECT& r) override;
  // Keeps the bytes after checking the header; pixels are decoded on demand.
  void LoadFromStream(std::span<const std::uint8_t> bytes) override;
  // The bytes as read, or the assigned bitmap encoded with the settings in force.
  std::vector<std::uint8_t> SaveToStream() const override;
  // From a JPEG picture: a copy. From a bitmap: its pixels, to be encoded.
  // From any other picture: drawn on a white 24-bit bitmap of its size.
  void Assign(const TGraphic& source) override;
  bool AssignTo(TGraphic& destination) const override;
  std::unique_ptr<TGraphic> Clone() const override;

 private:
  struct DecodeKey {
    TJPEGPerformance performance;
    bool grayscale, smoothing;
    TJPEGScale scale;
    TJPEGPixelFormat pixelFormat;
    friend bool operator==(const DecodeKey&, const DecodeKey&) = default;
  };
  DecodeKey key() const { return {Performance, Grayscale, Smoothing, Scale, pixelFormat_}; }
  void decode();
  std::vector<std::uint8_t> encode(const TBitmap& bitmap) const;
  void setBitmap(const TBitmap& bitmap);
  static void reportPercent(TJPEGImage* image, int percent);

  std::vector<std::uint8_t> data_;
  // Decoded from data_ with decodedKey_, or assigned (then data_ is empty
  // until the picture is compressed).
  std::unique_ptr<TBitmap> bitmap_;
  DecodeKey decodedKey_{};
  int imageWidth_ = 0, imageHeight_ = 0;  // full size, from the header
  bool progressive_ = false;
  int quality_ = kDefaultQuality;
  TJPEGPixelFormat pixelFormat_ = jf24Bit;
  bool pixelFormatChosen_ = false;
};

}  // namespace vcl
