#include "win32/imaging/graph_conv.h"

namespace pelindra::imaging {

std::wstring ConvExt;
bool QuietReencode = false;

}  // namespace pelindra::imaging
