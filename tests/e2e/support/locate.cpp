// locate: tells a driving script where to click in another program's windows.
//   locate client <title> <x> <y>   screen position of a client point of a top-level window
//   locate control <title> <id>     screen rectangle "left top right bottom" of a dialog control
//   locate controls <title>         every child window: id, class, text and screen rectangle
// Positions are screen pixels, which under Wine without a desktop window are the X screen's.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string_view>

namespace {

int usage() {
  std::fputs("usage: locate client <title> <x> <y> | control <title> <id> | controls <title>\n", stderr);
  return 2;
}

HWND topLevel(const wchar_t* title) {
  // The window may still be on its way: a dialog opens a moment after the click.
  for (int tries = 0; tries < 200; ++tries) {
    if (HWND wnd = FindWindowW(nullptr, title); wnd && IsWindowVisible(wnd)) return wnd;
    Sleep(100);
  }
  return nullptr;
}

BOOL CALLBACK printChild(HWND child, LPARAM) {
  wchar_t cls[64] = {}, text[128] = {};
  GetClassNameW(child, cls, 64);
  GetWindowTextW(child, text, 128);
  RECT r{};
  GetWindowRect(child, &r);
  std::wprintf(L"%d\t%ls\t%ls\t%ld %ld %ld %ld\t%ls\n", GetDlgCtrlID(child), cls, text, r.left, r.top, r.right,
               r.bottom, IsWindowVisible(child) ? L"visible" : L"hidden");
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return usage();
  const std::wstring_view mode = argv[1];
  HWND wnd = topLevel(argv[2]);
  if (!wnd) {
    std::fwprintf(stderr, L"locate: no window \"%ls\"\n", argv[2]);
    return 1;
  }
  if (mode == L"client" && argc == 5) {
    POINT p{_wtoi(argv[3]), _wtoi(argv[4])};
    ClientToScreen(wnd, &p);
    std::printf("%ld %ld\n", p.x, p.y);
    return 0;
  }
  if (mode == L"control" && argc == 4) {
    HWND control = GetDlgItem(wnd, _wtoi(argv[3]));
    RECT r{};
    if (!control || !GetWindowRect(control, &r)) {
      std::fputs("locate: no such control\n", stderr);
      return 1;
    }
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    return 0;
  }
  if (mode == L"controls" && argc == 3) {
    EnumChildWindows(wnd, printChild, 0);
    return 0;
  }
  return usage();
}
