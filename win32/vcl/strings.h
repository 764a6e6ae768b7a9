#pragma once
// Conversions between the engine's UTF-8 text and the wide text of Windows.

#include <string>
#include <string_view>

namespace vcl {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
std::wstring UpperCase(std::wstring_view text);
std::wstring LowerCase(std::wstring_view text);
bool SameText(std::wstring_view a, std::wstring_view b);
std::wstring IntToStr(long long value);
// Converts decimal text; throws std::invalid_argument when it is not a whole number.
int StrToInt(std::wstring_view text);

}  // namespace vcl
