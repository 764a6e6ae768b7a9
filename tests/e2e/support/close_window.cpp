// close-window <title>: asks the top-level window with that caption to close,
// as a second start of the program would, and waits until it has answered.

#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: close-window <window title>\n", stderr);
    return 2;
  }
  HWND wnd = FindWindowW(nullptr, argv[1]);
  if (!wnd) {
    std::fputs("close-window: no such window\n", stderr);
    return 1;
  }
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(wnd, WM_CLOSE, 0, 0, SMTO_NORMAL, 10000, &result)) {
    std::fputs("close-window: the window did not answer\n", stderr);
    return 1;
  }
  return 0;
}
