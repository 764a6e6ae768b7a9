#pragma once
// The rotate dialog.

#include "win32/vcl/forms.h"

namespace pelindra::imaging {

class TRotateForm : public vcl::TForm {
 public:
  TRotateForm();
};

extern TRotateForm* RotateForm;

}  // namespace pelindra::imaging
