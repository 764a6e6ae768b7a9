#pragma once
// The conversion module: picture operations on the main window's picture view
// through fixed work files.

#include <string>

namespace pelindra::imaging {

// The module's own copy of the current extension, copied from the viewer
// before each command and back after it.
extern std::wstring ConvExt;
// Re-encode JPEG pictures quietly (quality 80, no dialog).
extern bool QuietReencode;

}  // namespace pelindra::imaging
