#include "win32/vcl/strings.h"

#include <windows.h>

#include <stdexcept>

namespace vcl {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring out(std::size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
  return out;
}

std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(std::size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring UpperCase(std::wstring_view text) {
  std::wstring out(text);
  if (!out.empty()) CharUpperBuffW(out.data(), DWORD(out.size()));
  return out;
}

std::wstring LowerCase(std::wstring_view text) {
  std::wstring out(text);
  if (!out.empty()) CharLowerBuffW(out.data(), DWORD(out.size()));
  return out;
}

bool SameText(std::wstring_view a, std::wstring_view b) { return UpperCase(a) == UpperCase(b); }

std::wstring IntToStr(long long value) { return std::to_wstring(value); }

int StrToInt(std::wstring_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && iswspace(text[begin])) ++begin;
  while (end > begin && iswspace(text[end - 1])) --end;
  const std::wstring t(text.substr(begin, end - begin));
  std::size_t used = 0;
  const long long v = std::stoll(t, &used, 10);
  if (used != t.size() || v < INT_MIN || v > INT_MAX)
    throw std::invalid_argument("'" + Narrow(text) + "' is not a valid integer value");
  return int(v);
}

}  // namespace vcl
