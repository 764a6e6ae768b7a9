#include "win32/vcl/canvas.h"

#include <algorithm>
#include <vector>

#include "win32/vcl/bitmap.h"
#include "win32/vcl/graphics.h"
#include "win32/vcl/strings.h"

namespace vcl {

namespace {

int penStyleOf(pelindra::PenStyle s) {
  switch (s) {
    case pelindra::PenStyle::Solid: return PS_SOLID;
    case pelindra::PenStyle::Dash: return PS_DASH;
    case pelindra::PenStyle::Dot: return PS_DOT;
    case pelindra::PenStyle::DashDot: return PS_DASHDOT;
    case pelindra::PenStyle::DashDotDot: return PS_DASHDOTDOT;
    case pelindra::PenStyle::Clear: return PS_NULL;
  }
  return PS_SOLID;
}

std::vector<POINT> toPoints(std::span<const pelindra::Point> points) {
  std::vector<POINT> out(points.size());
  for (std::size_t i = 0; i < points.size(); ++i) out[i] = {points[i].x, points[i].y};
  return out;
}

}  // namespace

TCanvas::TCanvas(HDC dc) { SetHandle(dc); }

TCanvas::~TCanvas() { restore(); }

void TCanvas::restore() {
  if (!dc_) return;
  if (oldPen_) SelectObject(dc_, oldPen_);
  if (oldBrush_) SelectObject(dc_, oldBrush_);
  if (oldFont_) SelectObject(dc_, oldFont_);
  oldPen_ = oldBrush_ = oldFont_ = nullptr;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == dc_) return;
  restore();
  dc_ = dc;
  penDirty_ = brushDirty_ = fontDirty_ = true;
  if (dc_) {
    SetTextAlign(dc_, textAlign());
    SetBkMode(dc_, TRANSPARENT);
    MoveToEx(dc_, penPos().x, penPos().y, nullptr);
  }
}

void TCanvas::realizePen() {
  if (!penDirty_ || !dc_) return;
  const auto& p = pen();
  HPEN h = CreatePen(penStyleOf(p.style), p.width, p.color);
  HGDIOBJ old = SelectObject(dc_, h);
  if (!oldPen_) oldPen_ = old;
  pen_.reset(h);
  penDirty_ = false;
}

void TCanvas::realizeBrush() {
  if (!brushDirty_ || !dc_) return;
  const auto& b = brush();
  HBRUSH h = b.style == pelindra::BrushStyle::Clear ? HBRUSH(GetStockObject(NULL_BRUSH)) : CreateSolidBrush(b.color);
  HGDIOBJ old = SelectObject(dc_, h);
  if (!oldBrush_) oldBrush_ = old;
  brush_.reset(b.style == pelindra::BrushStyle::Clear ? nullptr : h);
  brushDirty_ = false;
}

void TCanvas::realizeFont() {
  if (!fontDirty_ || !dc_) return;
  const auto& f = font();
  LOGFONTW lf{};
  lf.lfHeight = f.height;
  lf.lfWeight = f.bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = f.italic;
  lf.lfEscapement = lf.lfOrientation = f.escapement;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  const std::wstring name = Widen(f.name);
  lstrcpynW(lf.lfFaceName, name.c_str(), LF_FACESIZE);
  HFONT h = CreateFontIndirectW(&lf);
  HGDIOBJ old = SelectObject(dc_, h);
  if (!oldFont_) oldFont_ = old;
  font_.reset(h);
  SetTextColor(dc_, f.color);
  fontDirty_ = false;
}

void TCanvas::Realize() {
  realizePen();
  realizeBrush();
  realizeFont();
}

void TCanvas::textAlignChanged() {
  if (dc_) SetTextAlign(dc_, textAlign());
}

void TCanvas::line(pelindra::Point from, pelindra::Point to) {
  if (!dc_) return;
  realizePen();
  MoveToEx(dc_, from.x, from.y, nullptr);
  LineTo(dc_, to.x, to.y);
}

void TCanvas::polyline(std::span<const pelindra::Point> points) {
  if (!dc_ || points.empty()) return;
  realizePen();
  const auto pts = toPoints(points);
  Polyline(dc_, pts.data(), int(pts.size()));
}

void TCanvas::polygon(std::span<const pelindra::Point> points) {
  if (!dc_ || points.empty()) return;
  realizePen();
  realizeBrush();
  const auto pts = toPoints(points);
  Polygon(dc_, pts.data(), int(pts.size()));
}

void TCanvas::polyPolygon(std::span<const pelindra::Point> points, std::span<const std::size_t> counts) {
  if (!dc_) return;
  std::vector<INT> sizes;
  std::size_t used = 0;
  for (std::size_t n : counts) {
    n = std::min(n, points.size() - used);
    if (n > 0) sizes.push_back(INT(n));
    used += n;
  }
  if (sizes.empty()) return;
  realizePen();
  realizeBrush();
  const auto pts = toPoints(points.first(used));
  PolyPolygon(dc_, pts.data(), sizes.data(), int(sizes.size()));
}

void TCanvas::ellipse(const pelindra::Rect& b) {
  if (!dc_) return;
  realizePen();
  realizeBrush();
  Ellipse(dc_, b.left, b.top, b.right, b.bottom);
}

void TCanvas::arc(const pelindra::Rect& b, pelindra::Point s, pelindra::Point e) {
  if (!dc_) return;
  realizePen();
  Arc(dc_, b.left, b.top, b.right, b.bottom, s.x, s.y, e.x, e.y);
}

void TCanvas::rectangle(const pelindra::Rect& b) {
  if (!dc_) return;
  realizePen();
  realizeBrush();
  Rectangle(dc_, b.left, b.top, b.right, b.bottom);
}

void TCanvas::textOut(pelindra::Point p, std::string_view text) { TextOut(p.x, p.y, Widen(text)); }

void TCanvas::setPixel(pelindra::Point p, pelindra::Color color) {
  if (dc_) SetPixelV(dc_, p.x, p.y, color);
}

void TCanvas::FillRect(const RECT& r) {
  if (!dc_) return;
  realizeBrush();
  if (brush().style == pelindra::BrushStyle::Clear) return;
  ::FillRect(dc_, &r, brush_.get());
}

void TCanvas::FrameRect(const RECT& r) {
  if (!dc_) return;
  realizeBrush();
  if (brush().style == pelindra::BrushStyle::Clear) return;
  ::FrameRect(dc_, &r, brush_.get());
}

void TCanvas::TextOut(int x, int y, const std::wstring& text) {
  if (!dc_) return;
  realizeFont();
  ExtTextOutW(dc_, x, y, 0, nullptr, text.c_str(), UINT(text.size()), nullptr);
}

SIZE TCanvas::TextExtent(const std::wstring& text) {
  SIZE s{0, 0};
  if (!dc_) return s;
  realizeFont();
  GetTextExtentPoint32W(dc_, text.c_str(), int(text.size()), &s);
  return s;
}

COLORREF TCanvas::Pixel(int x, int y) const { return dc_ ? GetPixel(dc_, x, y) : CLR_INVALID; }

void TCanvas::Draw(int x, int y, TGraphic& graphic) {
  if (graphic.Empty()) return;
  RECT r{x, y, x + graphic.Width(), y + graphic.Height()};
  graphic.Draw(*this, r);
}

void TCanvas::StretchDraw(const RECT& r, TGraphic& graphic) {
  if (graphic.Empty()) return;
  if ((r.right < r.left || r.bottom < r.top) && !dynamic_cast<TBitmap*>(&graphic)) {
    // A mirrored rectangle: only bitmaps mirror themselves, so other kinds go
    // through their pixels.
    TBitmap pixels;
    pixels.Assign(graphic);
    pixels.Draw(*this, r);
    return;
  }
  graphic.Draw(*this, r);
}

void TCanvas::CopyRect(const RECT& dest, TCanvas& source, const RECT& src) {
  if (!dc_ || !source.Handle()) return;
  const int sw = src.right - src.left, sh = src.bottom - src.top;
  const int dw = dest.right - dest.left, dh = dest.bottom - dest.top;
  if (sw == dw && sh == dh) {
    BitBlt(dc_, dest.left, dest.top, dw, dh, source.Handle(), src.left, src.top, CopyMode);
  } else {
    SetStretchBltMode(dc_, COLORONCOLOR);
    StretchBlt(dc_, dest.left, dest.top, dw, dh, source.Handle(), src.left, src.top, sw, sh, CopyMode);
  }
}

}  // namespace vcl
