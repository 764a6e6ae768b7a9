#pragma once
// Plotter, pen, paper and scale options.

#include "win32/vcl/forms.h"

namespace pelindra::cad {

class TOptionForm : public vcl::TForm {
 public:
  TOptionForm();
};

extern TOptionForm* OptionForm;

}  // namespace pelindra::cad
