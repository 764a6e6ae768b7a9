#pragma once
// The resize dialog.

#include "win32/vcl/forms.h"

namespace pelindra::imaging {

class TResizeForm : public vcl::TForm {
 public:
  TResizeForm();
};

extern TResizeForm* ResizeForm;

}  // namespace pelindra::imaging
