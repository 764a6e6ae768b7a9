#pragma once
// The transparent-colour dialog of GIF saving.

#include "win32/vcl/forms.h"

namespace pelindra::imaging {

class TGifForm : public vcl::TForm {
 public:
  TGifForm();
};

extern TGifForm* GifForm;

}  // namespace pelindra::imaging
