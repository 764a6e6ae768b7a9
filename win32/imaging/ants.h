#pragma once
// The selection rectangle drawn as moving dashes ("marching ants") straight on
// the main window; the dashes move on each time it is drawn again.

#include <windows.h>

#include <cstdint>

namespace pelindra::imaging {

struct TSelection {
  HWND window = nullptr;  // the main window, handed over at start-up
  int X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
  std::uint8_t dash = 0;

  // Puts both corners at the point (a new drag, or the reset of every command).
  void StartSelection(int x, int y);
  // Repaints the two-pixel ring under the frame from the window's own picture.
  void EraseSelection();
  // Walks the four edges, setting each pixel red or white by the dash counter.
  void DrawSelection();
  // The frame's rectangle with left <= right and top <= bottom.
  RECT Rect() const;
  // The colour of the next pixel of the frame (advances the dash counter).
  COLORREF NextDashColour();
};

extern TSelection Selection;

}  // namespace pelindra::imaging
