// make-metafiles <folder>: draws the demo drawing with GDI and records it as an
// enhanced metafile (Drawing.emf) and a placeable Windows metafile (Drawing.wmf).

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The drawing in units of 0.1 mm on a 160 x 100 mm sheet.
void draw(HDC dc) {
  HBRUSH sky = CreateSolidBrush(RGB(220, 236, 248));
  RECT sheet{0, 0, 1600, 1000};
  FillRect(dc, &sheet, sky);
  DeleteObject(sky);

  HPEN frame = CreatePen(PS_SOLID, 6, RGB(20, 40, 90));
  HGDIOBJ oldPen = SelectObject(dc, frame);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, 40, 40, 1560, 960);

  HBRUSH sun = CreateSolidBrush(RGB(255, 196, 0));
  SelectObject(dc, sun);
  Ellipse(dc, 1180, 120, 1420, 360);

  HBRUSH hill = CreateSolidBrush(RGB(42, 157, 143));
  SelectObject(dc, hill);
  const POINT hills[] = {{40, 960}, {40, 700}, {420, 420}, {800, 760}, {1140, 520}, {1560, 820}, {1560, 960}};
  Polygon(dc, hills, int(std::size(hills)));

  HPEN road = CreatePen(PS_DASH, 1, RGB(90, 60, 30));
  SelectObject(dc, road);
  const POINT path[] = {{100, 930}, {400, 850}, {700, 880}, {1000, 800}, {1400, 860}};
  Polyline(dc, path, int(std::size(path)));
  Arc(dc, 200, 150, 600, 550, 600, 350, 200, 350);

  HFONT font = CreateFontW(-90, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(20, 40, 90));
  TextOutW(dc, 90, 80, L"Pelindra", 8);

  SelectObject(dc, oldFont);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(font);
  DeleteObject(road);
  DeleteObject(hill);
  DeleteObject(sun);
  DeleteObject(frame);
}

bool writeFile(const std::wstring& path, const std::vector<BYTE>& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(f, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
  CloseHandle(f);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: make-metafiles <folder>\n", stderr);
    return 2;
  }
  const std::wstring folder = argv[1];

  // Enhanced metafile: a 160 x 100 mm frame (in 0.01 mm).
  const RECT frame{0, 0, 16000, 10000};
  HDC emf = CreateEnhMetaFileW(nullptr, (folder + L"\\Drawing.emf").c_str(), &frame, L"Pelindra\0Demo drawing\0");
  if (!emf) return 1;
  draw(emf);
  DeleteEnhMetaFile(CloseEnhMetaFile(emf));

  // Windows metafile with a placeable header: 1600 x 1000 units at 254 units per inch.
  HDC wmf = CreateMetaFileW(nullptr);
  if (!wmf) return 1;
  SetWindowOrgEx(wmf, 0, 0, nullptr);
  SetWindowExtEx(wmf, 1600, 1000, nullptr);
  draw(wmf);
  HMETAFILE handle = CloseMetaFile(wmf);
  const UINT size = GetMetaFileBitsEx(handle, 0, nullptr);
  std::vector<BYTE> bits(size);
  GetMetaFileBitsEx(handle, size, bits.data());
  DeleteMetaFile(handle);
  std::vector<BYTE> file(22);
  auto put16 = [&](std::size_t at, unsigned v) {
    file[at] = BYTE(v);
    file[at + 1] = BYTE(v >> 8);
  };
  put16(0, 0xCDD7);
  put16(2, 0x9AC6);
  put16(10, 1600);  // right
  put16(12, 1000);  // bottom
  put16(14, 254);   // units per inch
  unsigned checksum = 0;
  for (std::size_t i = 0; i < 20; i += 2) checksum ^= unsigned(file[i]) | unsigned(file[i + 1]) << 8;
  put16(20, checksum);
  file.insert(file.end(), bits.begin(), bits.end());
  return writeFile(folder + L"\\Drawing.wmf", file) ? 0 : 1;
}
