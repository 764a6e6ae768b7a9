#include "win32/print/printer_form.h"

namespace pelindra::print {

TPrinterForm* PrinterForm = nullptr;

TPrinterForm::TPrinterForm() { PrinterForm = this; }

}  // namespace pelindra::print
