#pragma once
// GIF pictures in the picture view: the engine's GIF model behind the graphic
// interface, shown as its picture bitmap (the first frame on the logical
// screen). Registered with the picture class under "gif".

#include <memory>

#include "engine/gif/gif_image.h"
#include "win32/vcl/bitmap.h"
#include "win32/vcl/graphics.h"

namespace pelindra::gif {

class TGIFGraphic : public vcl::TGraphic {
 public:
  TGIFGraphic();
  TGIFGraphic(const TGIFGraphic& other);
  TGIFGraphic& operator=(const TGIFGraphic&) = delete;

  bool Empty() const override { return image_->GetEmpty(); }
  int Width() const override { return image_->GetWidth(); }
  int Height() const override { return image_->GetHeight(); }
  void Draw(vcl::TCanvas& canvas, const RECT& r) override;
  // Reading failures (GIFException) become EInvalidGraphic; the picture stays as it was.
  void LoadFromStream(std::span<const std::uint8_t> bytes) override;
  std::vector<std::uint8_t> SaveToStream() const override;
  // From another GIF: a copy. From a bitmap: one frame converted from it.
  void Assign(const vcl::TGraphic& source) override;
  std::unique_ptr<vcl::TGraphic> Clone() const override;
  // Into a bitmap: the picture bitmap.
  bool AssignTo(vcl::TGraphic& destination) const override;

  pelindra::TGIFImage& Image() const { return *image_; }
  int FrameCount() const { return image_->FrameCount(); }
  bool HasTransparency() const { return image_->HasTransparency(); }
  // The picture bitmap as a bitmap of the picture view (rendered on first use).
  const vcl::TBitmap& Bitmap() const;

 private:
  void changedPicture();

  // The model is shared by copies until one of them loads or takes another picture.
  std::shared_ptr<pelindra::TGIFImage> image_;
  mutable std::shared_ptr<vcl::TBitmap> bitmap_;
};

// Adds "gif" to the picture class's formats (once; later calls do nothing).
void RegisterGifPicture();

}  // namespace pelindra::gif
