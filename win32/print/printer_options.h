#pragma once
// The print list.

#include "win32/vcl/forms.h"

namespace pelindra::print {

class TPrinterOptions : public vcl::TForm {
 public:
  TPrinterOptions();
};

extern TPrinterOptions* PrinterOptions;

}  // namespace pelindra::print
