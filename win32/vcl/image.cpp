#include "win32/vcl/image.h"

#include "win32/vcl/canvas.h"
#include "win32/vcl/picture.h"

namespace vcl {

TImage::TImage(TWinControl* parent) : TGraphicControl(parent), picture_(std::make_unique<TPicture>()) {
  bounds_ = {0, 0, 105, 105};
  picture_->OnChange = [this](TObject*) { pictureChanged(); };
  picture_->OnProgress = [this](TObject* sender, TProgressStage stage, int percent, bool redraw, const RECT& r,
                                const std::wstring& msg) {
    if (OnProgress) OnProgress(sender, stage, percent, redraw, r, msg);
  };
}

TImage::~TImage() = default;

void TImage::SetTransparent(bool v) {
  transparent_ = v;
  pictureChanged();
}

void TImage::pictureChanged() {
  if (TGraphic* g = picture_->Graphic()) g->Transparent = transparent_;
  Invalidate();
}

void TImage::Paint(TCanvas& canvas) {
  TGraphic* g = picture_->Graphic();
  if (!g || g->Empty()) return;
  RECT dest{0, 0, g->Width(), g->Height()};
  if (Stretch) {
    dest = {0, 0, Width(), Height()};
  } else if (Center) {
    const int x = (Width() - g->Width()) / 2, y = (Height() - g->Height()) / 2;
    dest = {x, y, x + g->Width(), y + g->Height()};
  }
  canvas.StretchDraw(dest, *g);
}

}  // namespace vcl
