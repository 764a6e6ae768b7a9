#include "win32/print/scanning.h"

namespace pelindra::print {

bool ScanToPrint = false;

}  // namespace pelindra::print
