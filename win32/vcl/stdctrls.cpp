#include "win32/vcl/stdctrls.h"

#include <algorithm>
#include <map>
#include <cmath>

#include <shlwapi.h>

#include "win32/vcl/application.h"
#include "win32/vcl/strings.h"

namespace vcl {

// ------------------------------------------------------------------ TLabel

TLabel::TLabel(TWinControl* parent) : TGraphicControl(parent) {
  bounds_ = {0, 0, 32, 13};
  ParentColor = true;
}

void TLabel::SetCaption(const std::wstring& text) {
  caption_ = text;
  adjustSize();
  Invalidate();
}

void TLabel::adjustSize() {
  if (!AutoSize) return;
  HDC dc = GetDC(nullptr);
  TCanvas canvas(dc);
  canvas.setFont(font_.ToCanvasFont());
  const SIZE s = canvas.TextExtent(caption_.empty() ? L" " : caption_);
  canvas.SetHandle(nullptr);
  ReleaseDC(nullptr, dc);
  SetBounds(Left(), Top(), s.cx, s.cy);
}

void TLabel::Paint(TCanvas& canvas) {
  RECT r{0, 0, Width(), Height()};
  if (!Transparent) {
    canvas.setBrush({ParentColor && parent_ ? parent_->Color() : color_, pelindra::BrushStyle::Solid});
    canvas.FillRect(r);
  }
  canvas.setFont(font_.ToCanvasFont());
  canvas.Realize();
  HDC dc = canvas.Handle();
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, font_.Color);
  UINT format = DT_NOPREFIX | DT_WORDBREAK;
  if (Alignment == TAlignment::taCenter) format |= DT_CENTER;
  if (Alignment == TAlignment::taRightJustify) format |= DT_RIGHT;
  DrawTextW(dc, caption_.c_str(), int(caption_.size()), &r, format);
}

// --------------------------------------------------------------- TPaintBox

TPaintBox::TPaintBox(TWinControl* parent) : TGraphicControl(parent) { bounds_ = {0, 0, 105, 105}; }

void TPaintBox::Paint(TCanvas& canvas) {
  // A paint box shows only what OnPaint draws; its colour is the canvas brush.
  canvas.setBrush({color_, pelindra::BrushStyle::Solid});
  if (!OnPaint) return;
  canvas_ = &canvas;
  try {
    OnPaint(this);
  } catch (...) {
    canvas_ = nullptr;
    throw;
  }
  canvas_ = nullptr;
}

// ------------------------------------------------------------------ TGauge

TGauge::TGauge(TWinControl* parent) : TGraphicControl(parent) { bounds_ = {0, 0, 32, 32}; }

void TGauge::SetProgress(int percent) {
  percent = std::clamp(percent, 0, 100);
  if (percent == progress_) return;
  progress_ = percent;
  Invalidate();
}

void TGauge::Paint(TCanvas& canvas) {
  const int w = Width(), h = Height();
  canvas.setPen({ForeColor, 1, pelindra::PenStyle::Solid});
  canvas.setBrush({BackColor, pelindra::BrushStyle::Solid});
  canvas.ellipse({0, 0, w, h});
  if (progress_ <= 0) return;
  canvas.setBrush({ForeColor, pelindra::BrushStyle::Solid});
  canvas.Realize();
  if (progress_ >= 100) {
    canvas.ellipse({0, 0, w, h});
    return;
  }
  // The slice grows clockwise from twelve o'clock.
  const double angle = 3.14159265358979323846 * 2 * progress_ / 100.0;
  const int cx = w / 2, cy = h / 2;
  const int ex = cx + int(w * std::sin(angle)), ey = cy - int(h * std::cos(angle));
  Pie(canvas.Handle(), 0, 0, w, h, ex, ey, cx, 0);
}

// ------------------------------------------------------------------ TTimer

namespace {

std::map<UINT_PTR, TTimer*>& timers() {
  static std::map<UINT_PTR, TTimer*> all;
  return all;
}

UINT_PTR nextTimerId() {
  static UINT_PTR next = 1;
  return next++;
}

void CALLBACK timerProc(HWND, UINT, UINT_PTR id, DWORD) {
  const auto it = timers().find(id);
  if (it == timers().end()) return;
  try {
    it->second->Tick();
  } catch (...) {
    if (Application) Application->HandleException(std::current_exception());
  }
}

}  // namespace

TTimer::~TTimer() {
  enabled_ = false;
  update();
}

void TTimer::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  update();
}

void TTimer::SetInterval(unsigned ms) {
  if (ms == interval_) return;
  interval_ = ms;
  update();
}

void TTimer::update() {
  if (id_) {
    KillTimer(Application ? Application->Handle() : nullptr, id_);
    timers().erase(id_);
    id_ = 0;
  }
  if (enabled_ && interval_ > 0 && Application && Application->Handle()) {
    const UINT_PTR id = nextTimerId();
    if (SetTimer(Application->Handle(), id, interval_, timerProc)) {
      id_ = id;
      timers()[id_] = this;
    }
  }
}

void TTimer::Tick() {
  if (OnTimer) OnTimer(this);
}

// ------------------------------------------------------------ TFileListBox

namespace {

std::vector<std::wstring> splitMask(const std::wstring& mask) {
  std::vector<std::wstring> parts;
  std::size_t start = 0;
  while (start <= mask.size()) {
    const std::size_t end = mask.find(L';', start);
    std::wstring part = mask.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    if (!part.empty()) parts.push_back(part);
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return parts;
}

}  // namespace

void TFileListBox::SetDirectory(const std::wstring& folder) {
  directory_ = folder;
  while (directory_.size() > 3 && (directory_.back() == L'\\' || directory_.back() == L'/')) directory_.pop_back();
  Update();
}

void TFileListBox::Update() {
  items_.clear();
  ItemIndex = -1;
  if (directory_.empty()) return;
  std::wstring base = directory_;
  if (base.back() != L'\\') base += L'\\';
  for (const std::wstring& pattern : splitMask(Mask)) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((base + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) continue;
    do {
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      // Short-name matches make "*.jpg" find "x.jpeg"; keep only names whose own extension fits.
      if (PathMatchSpecW(data.cFileName, pattern.c_str())) items_.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  std::sort(items_.begin(), items_.end(), [](const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), int(a.size()), b.c_str(),
                          int(b.size())) == CSTR_LESS_THAN;
  });
  items_.erase(std::unique(items_.begin(), items_.end()), items_.end());
}

}  // namespace vcl
