#include "win32/gif/gif_graphic.h"

#include "engine/gif/gif_stream.h"
#include "win32/vcl/canvas.h"
#include "win32/vcl/picture.h"

namespace pelindra::gif {

TGIFGraphic::TGIFGraphic() : image_(std::make_shared<pelindra::TGIFImage>()) {}

TGIFGraphic::TGIFGraphic(const TGIFGraphic& other)
    : vcl::TGraphic(other), image_(other.image_), bitmap_(other.bitmap_) {}

const vcl::TBitmap& TGIFGraphic::Bitmap() const {
  if (!bitmap_) {
    auto bitmap = std::make_shared<vcl::TBitmap>();
    if (!image_->GetEmpty()) {
      try {
        if (const pelindra::GIFBitmap* picture = image_->PictureBitmap()) bitmap->Assign(picture->Image);
      } catch (const pelindra::GIFException& e) {
        throw vcl::EInvalidGraphic(e.what());
      }
    }
    bitmap_ = std::move(bitmap);
  }
  return *bitmap_;
}

void TGIFGraphic::Draw(vcl::TCanvas& canvas, const RECT& r) {
  if (Empty()) return;
  canvas.StretchDraw(r, const_cast<vcl::TBitmap&>(Bitmap()));
}

void TGIFGraphic::LoadFromStream(std::span<const std::uint8_t> bytes) {
  auto image = std::make_shared<pelindra::TGIFImage>();
  try {
    image->LoadFromBytes(bytes);
    if (image->GetEmpty()) throw vcl::EInvalidGraphic("GIF picture has no frames");
    image->CheckScreenSize();
  } catch (const pelindra::GIFException& e) {
    throw vcl::EInvalidGraphic(e.what());
  }
  image_ = std::move(image);
  changedPicture();
}

std::vector<std::uint8_t> TGIFGraphic::SaveToStream() const {
  try {
    return image_->SaveToBytes();
  } catch (const pelindra::GIFException& e) {
    throw vcl::EInvalidGraphic(e.what());
  }
}

void TGIFGraphic::Assign(const vcl::TGraphic& source) {
  if (const auto* gif = dynamic_cast<const TGIFGraphic*>(&source)) {
    image_ = gif->image_;
    bitmap_ = gif->bitmap_;
    Changed();
    return;
  }
  vcl::TBitmap bitmap;
  bitmap.Assign(source);
  auto image = std::make_shared<pelindra::TGIFImage>();
  try {
    image->Assign(bitmap.ToDib());
  } catch (const pelindra::GIFException& e) {
    throw vcl::EInvalidGraphic(e.what());
  }
  image_ = std::move(image);
  changedPicture();
}

std::unique_ptr<vcl::TGraphic> TGIFGraphic::Clone() const { return std::make_unique<TGIFGraphic>(*this); }

bool TGIFGraphic::AssignTo(vcl::TGraphic& destination) const {
  auto* bitmap = dynamic_cast<vcl::TBitmap*>(&destination);
  if (!bitmap) return false;
  bitmap->Assign(static_cast<const vcl::TGraphic&>(Bitmap()));
  return true;
}

void TGIFGraphic::changedPicture() {
  bitmap_.reset();
  Changed();
}

void RegisterGifPicture() {
  for (const auto& format : vcl::TPicture::FileFormats())
    if (format.extension == L"gif") return;
  vcl::TPicture::RegisterFileFormat(L"gif", L"GIF Image", [] { return std::make_unique<TGIFGraphic>(); });
}

}  // namespace pelindra::gif
