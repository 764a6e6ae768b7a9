// "TIF2BMP": converts a TIFF picture into the bitmap the viewer shows.
//
//   Tif2Bmp <path of the TIFF file, blanks and all>
//
// The caller passes the path without quotes, so it is taken whole from the
// command line after the program's name, blanks and all (joining the split
// arguments again would turn a run of blanks into one). The bitmap always goes to the Windows directory's
// "Temp" folder as "Temp.bmp". Exit codes: 0 converted, 1 the picture cannot
// be read (no bitmap is left), 2 no path given.

#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "engine/base/bmp.h"
#include "tools/hp/converter_io.h"
#include "tools/tif2bmp/tiff_to_dib.h"

namespace {

std::wstring pathFromCommandLine(const wchar_t* line) {
  std::wstring_view rest(line);
  // The program's name, quoted or not.
  if (!rest.empty() && rest.front() == L'"') {
    const auto close = rest.find(L'"', 1);
    rest.remove_prefix(close == std::wstring_view::npos ? rest.size() : close + 1);
  } else {
    const auto blank = rest.find_first_of(L" \t");
    rest.remove_prefix(blank == std::wstring_view::npos ? rest.size() : blank);
  }
  while (!rest.empty() && (rest.front() == L' ' || rest.front() == L'\t')) rest.remove_prefix(1);
  while (!rest.empty() && (rest.back() == L' ' || rest.back() == L'\t')) rest.remove_suffix(1);
  if (rest.size() >= 2 && rest.front() == L'"' && rest.back() == L'"') rest = rest.substr(1, rest.size() - 2);
  return std::wstring(rest);
}

}  // namespace

int wmain() {
  const std::wstring input = pathFromCommandLine(GetCommandLineW());
  if (input.empty()) {
    std::fputs("usage: Tif2Bmp <tiff file>\n", stderr);
    return 2;
  }
  wchar_t windows[MAX_PATH] = L"";
  const UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring output = n > 0 && n < MAX_PATH ? std::wstring(windows) + L"\\Temp\\Temp.bmp" : L"";
  return pelindra::converter::Run("Tif2Bmp", output, [&] {
    if (output.empty()) throw std::runtime_error("no Windows directory");
    const auto bytes = pelindra::converter::ReadInput(input, std::size_t(1) << 30);
    const auto bmp = pelindra::writeBmp(pelindra::ReadTiffToDib(bytes));
    pelindra::converter::WriteOutput(output, bmp);
  });
}
