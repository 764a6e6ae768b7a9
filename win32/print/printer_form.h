#pragma once
// The print window with its preview.

#include "win32/vcl/forms.h"

namespace pelindra::print {

class TPrinterForm : public vcl::TForm {
 public:
  TPrinterForm();
};

extern TPrinterForm* PrinterForm;

}  // namespace pelindra::print
