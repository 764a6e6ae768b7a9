#include "win32/imaging/ants.h"

#include <algorithm>

namespace pelindra::imaging {

TSelection Selection;

namespace {

struct Walk {
  TSelection* selection;
  HDC dc;
};

void CALLBACK visit(int x, int y, LPARAM data) {
  auto* walk = reinterpret_cast<Walk*>(data);
  SetPixelV(walk->dc, x, y, walk->selection->NextDashColour());
}

}  // namespace

void TSelection::StartSelection(int x, int y) {
  X1 = X2 = x;
  Y1 = Y2 = y;
}

RECT TSelection::Rect() const { return {std::min(X1, X2), std::min(Y1, Y2), std::max(X1, X2), std::max(Y1, Y2)}; }

COLORREF TSelection::NextDashColour() {
  const std::uint8_t old = dash;
  dash = std::uint8_t(old << 1);
  if ((old & 0x7F) == 0) dash = 1;
  return dash < 32 ? RGB(255, 0, 0) : RGB(255, 255, 255);
}

void TSelection::EraseSelection() {
  if (!window) return;
  RECT r = Rect();
  InflateRect(&r, 1, 1);
  InvalidateRect(window, &r, TRUE);
  InflateRect(&r, -2, -2);
  ValidateRect(window, &r);
  UpdateWindow(window);
}

void TSelection::DrawSelection() {
  if (!window) return;
  HDC dc = GetDC(window);
  if (!dc) return;
  Walk walk{this, dc};
  const LPARAM data = reinterpret_cast<LPARAM>(&walk);
  LineDDA(X1, Y1, X2, Y1, visit, data);
  LineDDA(X2, Y1, X2, Y2, visit, data);
  LineDDA(X2, Y2, X1, Y2, visit, data);
  LineDDA(X1, Y2, X1, Y1, visit, data);
  ReleaseDC(window, dc);
}

}  // namespace pelindra::imaging
