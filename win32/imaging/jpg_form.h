#pragma once
// The JPEG quality dialog.

#include "win32/vcl/forms.h"

namespace pelindra::imaging {

class TJpgForm : public vcl::TForm {
 public:
  TJpgForm();
};

extern TJpgForm* JpgForm;

}  // namespace pelindra::imaging
