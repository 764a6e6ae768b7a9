#pragma once
// The borderless main window that shows one picture at a time.

#include "win32/vcl/forms.h"

namespace pelindra::app {

class TViewForm : public vcl::TForm {
 public:
  TViewForm();
};

extern TViewForm* ViewForm;

}  // namespace pelindra::app
