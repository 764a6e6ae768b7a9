#pragma once
// The picture view: a windowless control showing a picture, stretched,
// centred or at its place.

#include <memory>

#include "win32/vcl/controls.h"
#include "win32/vcl/graphics.h"

namespace vcl {

class TPicture;

class TImage : public TGraphicControl {
 public:
  explicit TImage(TWinControl* parent);
  ~TImage() override;

  TPicture& Picture() { return *picture_; }
  const TPicture& Picture() const { return *picture_; }
  // Fills the whole control with the picture.
  bool Stretch = false;
  // Puts an unstretched picture in the middle.
  bool Center = false;
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  // Progress of pictures loading into the view.
  TProgressEvent OnProgress;

  void Paint(TCanvas& canvas) override;

 private:
  void pictureChanged();
  std::unique_ptr<TPicture> picture_;
  bool transparent_ = false;
};

}  // namespace vcl
