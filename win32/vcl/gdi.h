#pragma once
// Owning handles for GDI objects and device contexts.

#include <windows.h>

#include <utility>

namespace vcl {

// Any HGDIOBJ (pen, brush, font, bitmap, palette, region), deleted with the owner.
template <class H>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(H handle) : h_(handle) {}
  ~GdiObject() { reset(); }
  GdiObject(GdiObject&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  GdiObject& operator=(GdiObject&& o) noexcept {
    if (this != &o) reset(std::exchange(o.h_, nullptr));
    return *this;
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;

  H get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  H release() { return std::exchange(h_, nullptr); }
  void reset(H h = nullptr) {
    if (h_) DeleteObject(h_);
    h_ = h;
  }

 private:
  H h_ = nullptr;
};

using PenHandle = GdiObject<HPEN>;
using BrushHandle = GdiObject<HBRUSH>;
using FontHandle = GdiObject<HFONT>;
using BitmapHandle = GdiObject<HBITMAP>;
using PaletteHandle = GdiObject<HPALETTE>;
using RegionHandle = GdiObject<HRGN>;

// A memory device context compatible with the given one (the screen by default).
class MemoryDC {
 public:
  explicit MemoryDC(HDC compatible = nullptr) : dc_(CreateCompatibleDC(compatible)) {}
  ~MemoryDC() {
    if (dc_) DeleteDC(dc_);
  }
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// The device context of a window (or of the screen for a null window).
class WindowDC {
 public:
  explicit WindowDC(HWND wnd = nullptr) : wnd_(wnd), dc_(GetDC(wnd)) {}
  ~WindowDC() {
    if (dc_) ReleaseDC(wnd_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND wnd_;
  HDC dc_;
};

// Selects an object into a DC for the lifetime of the guard.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ obj) : dc_(dc), old_(obj ? SelectObject(dc, obj) : nullptr) {}
  ~SelectGuard() {
    if (old_) SelectObject(dc_, old_);
  }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace vcl
