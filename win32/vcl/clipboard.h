#pragma once
// The clipboard as a picture store: bitmaps, metafiles and registered formats.

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vcl {

class TGraphic;

class TClipboard {
 public:
  // Puts a picture on the clipboard in its own kind's format (bitmap as CF_DIB,
  // metafile as CF_ENHMETAFILE), replacing what was there.
  void Assign(const TGraphic& graphic);
  bool HasFormat(UINT format) const;
  // Whether the clipboard holds a picture the picture class can read.
  bool HasPicture() const;
  void Clear();
  // Raw data of a format, empty when absent.
  std::vector<std::uint8_t> GetData(UINT format) const;
  void SetData(UINT format, std::span<const std::uint8_t> bytes);
  // The enhanced metafile on the clipboard as a copy owned by the caller, or null.
  HENHMETAFILE GetEnhMetafile() const;
  // The registered format of GIF pictures.
  static UINT GifFormat();
};

TClipboard& Clipboard();

}  // namespace vcl
