#include "win32/print/printer_options.h"

namespace pelindra::print {

TPrinterOptions* PrinterOptions = nullptr;

TPrinterOptions::TPrinterOptions() { PrinterOptions = this; }

}  // namespace pelindra::print
