#pragma once
// Acquiring pictures from a scanner.

namespace pelindra::print {

// The print window scans at once when it opens.
extern bool ScanToPrint;

}  // namespace pelindra::print
