#include "win32/vcl/clipboard.h"

#include <cstring>
#include <stdexcept>

#include "engine/base/bmp.h"
#include "win32/vcl/application.h"
#include "win32/vcl/bitmap.h"
#include "win32/vcl/metafile.h"

namespace vcl {

namespace {

// Opens the clipboard for the lifetime of the object, retrying briefly while
// another program holds it.
class OpenClipboardGuard {
 public:
  OpenClipboardGuard() {
    HWND owner = Application ? Application->Handle() : nullptr;
    for (int attempt = 0; attempt < 10 && !open_; ++attempt) {
      open_ = OpenClipboard(owner) != FALSE;
      if (!open_) Sleep(20);
    }
    if (!open_) throw std::runtime_error("Cannot open clipboard");
  }
  ~OpenClipboardGuard() { CloseClipboard(); }
  OpenClipboardGuard(const OpenClipboardGuard&) = delete;
  OpenClipboardGuard& operator=(const OpenClipboardGuard&) = delete;

 private:
  bool open_ = false;
};

void putBytes(UINT format, std::span<const std::uint8_t> bytes) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!memory) throw std::runtime_error("out of memory");
  std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
  GlobalUnlock(memory);
  if (!SetClipboardData(format, memory)) {
    GlobalFree(memory);
    throw std::runtime_error("Cannot put the picture on the clipboard");
  }
}

}  // namespace

TClipboard& Clipboard() {
  static TClipboard clipboard;
  return clipboard;
}

UINT TClipboard::GifFormat() {
  static const UINT format = RegisterClipboardFormatW(L"GIF Image");
  return format;
}

void TClipboard::Assign(const TGraphic& graphic) {
  if (auto* bitmap = dynamic_cast<const TBitmap*>(&graphic)) {
    const auto dib = pelindra::writePackedDib(bitmap->ToDib());
    OpenClipboardGuard open;
    EmptyClipboard();
    putBytes(CF_DIB, dib);
    return;
  }
  if (auto* metafile = dynamic_cast<const TMetafile*>(&graphic)) {
    HENHMETAFILE copy = CopyEnhMetaFileW(metafile->Handle(), nullptr);
    OpenClipboardGuard open;
    EmptyClipboard();
    if (!SetClipboardData(CF_ENHMETAFILE, copy)) {
      DeleteEnhMetaFile(copy);
      throw std::runtime_error("Cannot put the picture on the clipboard");
    }
    return;
  }
  // Any other kind goes as the bitmap it draws.
  TBitmap bitmap;
  bitmap.Assign(graphic);
  Assign(bitmap);
}

bool TClipboard::HasFormat(UINT format) const { return IsClipboardFormatAvailable(format) != FALSE; }

bool TClipboard::HasPicture() const {
  return HasFormat(CF_BITMAP) || HasFormat(CF_DIB) || HasFormat(CF_ENHMETAFILE) || HasFormat(CF_METAFILEPICT) ||
         HasFormat(GifFormat());
}

void TClipboard::Clear() {
  OpenClipboardGuard open;
  EmptyClipboard();
}

std::vector<std::uint8_t> TClipboard::GetData(UINT format) const {
  OpenClipboardGuard open;
  HANDLE data = GetClipboardData(format);
  if (!data) return {};
  const SIZE_T size = GlobalSize(data);
  const void* bytes = GlobalLock(data);
  if (!bytes) return {};
  std::vector<std::uint8_t> out(static_cast<const std::uint8_t*>(bytes), static_cast<const std::uint8_t*>(bytes) + size);
  GlobalUnlock(data);
  return out;
}

void TClipboard::SetData(UINT format, std::span<const std::uint8_t> bytes) {
  OpenClipboardGuard open;
  EmptyClipboard();
  putBytes(format, bytes);
}

HENHMETAFILE TClipboard::GetEnhMetafile() const {
  OpenClipboardGuard open;
  HENHMETAFILE handle = static_cast<HENHMETAFILE>(GetClipboardData(CF_ENHMETAFILE));
  return handle ? CopyEnhMetaFileW(handle, nullptr) : nullptr;
}

}  // namespace vcl
