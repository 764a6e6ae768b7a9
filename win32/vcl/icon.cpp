#include "win32/vcl/icon.h"

#include "engine/base/icon_file.h"
#include "win32/vcl/canvas.h"

namespace vcl {

TIcon::TIcon(const TIcon& other) : TGraphic(other) {
  if (!other.Empty()) LoadFromStream(other.bytes_);
  Transparent = other.Transparent;
}

void TIcon::Draw(TCanvas& canvas, const RECT& r) {
  if (!handle_ || !canvas.Handle()) return;
  DrawIconEx(canvas.Handle(), r.left, r.top, handle_.get(), r.right - r.left, r.bottom - r.top, 0, nullptr, DI_NORMAL);
}

void TIcon::LoadFromStream(std::span<const std::uint8_t> bytes) {
  pelindra::IconDirectory dir;
  try {
    dir = pelindra::readIconDirectory(bytes);
  } catch (const pelindra::IconError& e) {
    throw EInvalidGraphic(std::string("Invalid icon: ") + e.what());
  }
  // The best image first; should the system refuse it (a PNG image it cannot
  // decode), the next best.
  std::vector<pelindra::IconImage> order = dir.images;
  const std::size_t best = pelindra::bestIconImage(dir);
  std::swap(order[0], order[best]);
  for (const auto& image : order) {
    // The data is copied: the system may keep or change what it is given.
    std::vector<BYTE> data(bytes.begin() + std::ptrdiff_t(image.offset),
                           bytes.begin() + std::ptrdiff_t(image.offset + image.size));
    HICON h = CreateIconFromResourceEx(data.data(), DWORD(data.size()), TRUE, 0x00030000, image.width, image.height,
                                       LR_DEFAULTCOLOR);
    if (!h) continue;
    handle_.reset(h);
    bytes_.assign(bytes.begin(), bytes.end());
    width_ = image.width;
    height_ = image.height;
    cursor_ = dir.cursor;
    Changed();
    return;
  }
  throw EInvalidGraphic("Invalid icon: no image could be made");
}

void TIcon::Assign(const TGraphic& source) {
  if (&source == this) return;
  if (const auto* icon = dynamic_cast<const TIcon*>(&source)) {
    if (icon->Empty()) {
      handle_.reset();
      bytes_.clear();
      width_ = height_ = 0;
      Changed();
    } else {
      LoadFromStream(icon->bytes_);
    }
    return;
  }
  if (source.AssignTo(*this)) return;
  throw EInvalidGraphic("Cannot assign this picture to an icon");
}

std::unique_ptr<TGraphic> TIcon::Clone() const { return std::make_unique<TIcon>(*this); }

}  // namespace vcl
