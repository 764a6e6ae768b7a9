// "WPG": converts a WordPerfect graphics file into an enhanced metafile.
//
//   Wpg -p <input> <output>
//
// The picture is drawn through GDI into the metafile at its own size (the
// frame is the picture's size in hundredths of a millimetre). Exit codes: 0
// converted, 1 the picture cannot be read (no metafile is left), 2 wrong usage.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "engine/wpg/wpg.h"
#include "tools/hp/converter_io.h"
#include "win32/vcl/canvas.h"

namespace {

struct MetafileDc {
  HDC dc;
  ~MetafileDc() {
    if (dc) DeleteEnhMetaFile(CloseEnhMetaFile(dc));
  }
};

void convert(const std::wstring& input, const std::wstring& output) {
  const auto bytes = pelindra::converter::ReadInput(input, std::size_t(64) << 20);
  const pelindra::WpgPicture picture = pelindra::ReadWpg(bytes);
  const int width = std::max(picture.width, 1), height = std::max(picture.height, 1);
  // WordPerfect units are 1200 an inch; the frame is in 0.01 mm.
  const RECT frame{0, 0, MulDiv(width, 2540, 1200), MulDiv(height, 2540, 1200)};
  const std::wstring temp = output + L".partial";
  MetafileDc meta{CreateEnhMetaFileW(nullptr, temp.c_str(), &frame, L"Pelindra\0WPG\0")};
  if (!meta.dc) throw std::runtime_error("cannot create the metafile");
  // Logical units are WordPerfect units, laid over the frame's device pixels.
  HDC screen = GetDC(nullptr);
  const int pxW = MulDiv(frame.right, GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, HORZSIZE) * 100);
  const int pxH = MulDiv(frame.bottom, GetDeviceCaps(screen, VERTRES), GetDeviceCaps(screen, VERTSIZE) * 100);
  ReleaseDC(nullptr, screen);
  SetMapMode(meta.dc, MM_ANISOTROPIC);
  SetWindowExtEx(meta.dc, width, height, nullptr);
  SetViewportExtEx(meta.dc, std::max(pxW, 1), std::max(pxH, 1), nullptr);
  {
    vcl::TCanvas canvas(meta.dc);
    pelindra::DrawWpg(picture, canvas, width, height);
  }
  HENHMETAFILE done = CloseEnhMetaFile(meta.dc);
  meta.dc = nullptr;
  if (!done) {
    DeleteFileW(temp.c_str());
    throw std::runtime_error("cannot write the metafile");
  }
  DeleteEnhMetaFile(done);
  if (!MoveFileExW(temp.c_str(), output.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(temp.c_str());
    throw std::runtime_error("cannot write the metafile");
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4 || std::wstring(argv[1]) != L"-p") {
    std::fputs("usage: Wpg -p <input> <output>\n", stderr);
    return 2;
  }
  const std::wstring input = argv[2], output = argv[3];
  return pelindra::converter::Run("Wpg", output, [&] {
    try {
      convert(input, output);
    } catch (...) {
      DeleteFileW((output + L".partial").c_str());
      throw;
    }
  });
}
