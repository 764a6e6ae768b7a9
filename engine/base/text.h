#pragma once
// Text of files that name no encoding, as the UTF-8 the canvases draw.

#include <string>
#include <string_view>

namespace pelindra {

bool isUtf8(std::string_view text);
// Kept when it already is UTF-8; otherwise read as Windows-1252, the code page
// of most such files.
std::string textToUtf8(std::string_view text);

}  // namespace pelindra
