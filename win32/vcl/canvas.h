#pragma once
// A canvas over any device context: window, bitmap, metafile or printer. It
// implements the engine's Canvas, so engine drawings reach every device, and
// adds the picture operations windows need.

#include <windows.h>

#include <string>

#include "engine/canvas/canvas.h"
#include "win32/vcl/gdi.h"

namespace vcl {

class TGraphic;

class TCanvas : public pelindra::Canvas {
 public:
  TCanvas() = default;
  explicit TCanvas(HDC dc);
  ~TCanvas() override;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  HDC Handle() const { return dc_; }
  // Attaches another DC (or none); the objects selected into the old one are put back.
  void SetHandle(HDC dc);

  // pelindra::Canvas
  void polyline(std::span<const pelindra::Point> points) override;
  void polygon(std::span<const pelindra::Point> points) override;
  void polyPolygon(std::span<const pelindra::Point> points, std::span<const std::size_t> counts) override;
  void ellipse(const pelindra::Rect& box) override;
  void arc(const pelindra::Rect& box, pelindra::Point start, pelindra::Point end) override;
  void rectangle(const pelindra::Rect& box) override;
  void textOut(pelindra::Point p, std::string_view text) override;
  void setPixel(pelindra::Point p, pelindra::Color color) override;

  // Picture operations in the form windows code uses them.
  void FillRect(const RECT& r);
  void FrameRect(const RECT& r);
  void TextOut(int x, int y, const std::wstring& text);
  SIZE TextExtent(const std::wstring& text);
  int TextWidth(const std::wstring& text) { return TextExtent(text).cx; }
  int TextHeight(const std::wstring& text) { return TextExtent(text).cy; }
  COLORREF Pixel(int x, int y) const;
  void Draw(int x, int y, TGraphic& graphic);
  void StretchDraw(const RECT& r, TGraphic& graphic);
  // Copies a rectangle of another canvas with the copy mode (SRCCOPY by default).
  void CopyRect(const RECT& dest, TCanvas& source, const RECT& src);
  DWORD CopyMode = SRCCOPY;

  // Selects the current pen, brush and font into the DC now.
  void Realize();

 protected:
  void penChanged() override { penDirty_ = true; }
  void brushChanged() override { brushDirty_ = true; }
  void fontChanged() override { fontDirty_ = true; }
  void textAlignChanged() override;
  void line(pelindra::Point from, pelindra::Point to) override;

 private:
  void realizePen();
  void realizeBrush();
  void realizeFont();
  void restore();

  HDC dc_ = nullptr;
  PenHandle pen_;
  BrushHandle brush_;
  FontHandle font_;
  HGDIOBJ oldPen_ = nullptr, oldBrush_ = nullptr, oldFont_ = nullptr;
  bool penDirty_ = true, brushDirty_ = true, fontDirty_ = true;
};

}  // namespace vcl
