#pragma once
// The CAD viewer window for plotter files and drawings.

#include "win32/vcl/forms.h"

namespace pelindra::cad {

class THpglForm : public vcl::TForm {
 public:
  THpglForm();
};

extern THpglForm* HpglForm;

}  // namespace pelindra::cad
