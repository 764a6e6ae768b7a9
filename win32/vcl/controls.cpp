#include "win32/vcl/controls.h"

#include <windowsx.h>

#include <algorithm>

#include "win32/vcl/application.h"
#include "win32/vcl/stdwin.h"
#include "win32/vcl/strings.h"

namespace vcl {

namespace {

constexpr wchar_t kWindowClass[] = L"PelindraControl";

TShiftState mouseShift(WPARAM wp) { return KeysToShiftState(wp) | (GetKeyState(VK_MENU) < 0 ? ssAlt : 0); }

bool contains(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

}  // namespace

TShiftState KeysToShiftState(WPARAM keys) {
  TShiftState s = 0;
  if (keys & MK_SHIFT) s |= ssShift;
  if (keys & MK_CONTROL) s |= ssCtrl;
  if (keys & MK_LBUTTON) s |= ssLeft;
  if (keys & MK_RBUTTON) s |= ssRight;
  if (keys & MK_MBUTTON) s |= ssMiddle;
  return s;
}

TShiftState KeyboardShiftState() {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

pelindra::Font TFontSpec::ToCanvasFont(int dpi) const {
  pelindra::Font f;
  f.name = Narrow(Name);
  f.height = -MulDiv(Size, dpi, 72);
  f.color = Color;
  f.bold = Bold;
  return f;
}

// ---------------------------------------------------------------- TControl

TControl::TControl(TWinControl* parent) : parent_(parent) {
  if (parent_) parent_->AddControl(this);
}

TControl::~TControl() {
  if (parent_) parent_->RemoveControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  const RECT r{left, top, left + std::max(width, 0), top + std::max(height, 0)};
  if (EqualRect(&r, &bounds_)) return;
  const RECT old = bounds_;
  bounds_ = r;
  BoundsChanged();
  if (parent_ && align_ != TAlign::alNone && (old.right - old.left != Width() || old.bottom - old.top != Height()))
    parent_->Realign();
}

void TControl::SetVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  VisibilityChanged();
  if (parent_ && align_ != TAlign::alNone) parent_->Realign();
}

void TControl::SetEnabled(bool v) { enabled_ = v; }

void TControl::SetAlign(TAlign a) {
  align_ = a;
  if (parent_) parent_->Realign();
}

void TControl::SetColor(COLORREF c) {
  color_ = c;
  Invalidate();
}

void TControl::SetCaption(const std::wstring& text) {
  caption_ = text;
  Invalidate();
}

void TControl::SetFont(const TFontSpec& f) {
  font_ = f;
  Invalidate();
}

void TControl::Invalidate() {}

void TControl::Repaint() {
  Invalidate();
  for (const TControl* c = this; c; c = c->parent_) {
    if (auto* w = dynamic_cast<const TWinControl*>(c); w && w->Handle()) {
      UpdateWindow(w->Handle());
      break;
    }
  }
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

POINT TControl::OriginInWindow() const { return {bounds_.left, bounds_.top}; }

POINT TControl::ClientToScreen(POINT p) const {
  const TControl* c = this;
  while (c && !dynamic_cast<const TWinControl*>(c)) {
    p.x += c->Left();
    p.y += c->Top();
    c = c->Parent();
  }
  if (auto* w = dynamic_cast<const TWinControl*>(c); w && w->Handle()) ::ClientToScreen(w->Handle(), &p);
  return p;
}

POINT TControl::ScreenToClient(POINT p) const {
  const POINT origin = ClientToScreen(POINT{0, 0});
  return {p.x - origin.x, p.y - origin.y};
}

// --------------------------------------------------------- TGraphicControl

TGraphicControl::TGraphicControl(TWinControl* parent) : TControl(parent) {}

void TGraphicControl::Invalidate() {
  if (!parent_ || !parent_->Handle()) return;
  InvalidateRect(parent_->Handle(), &bounds_, FALSE);
}

POINT TGraphicControl::OriginInWindow() const {
  POINT p{bounds_.left, bounds_.top};
  if (parent_) {
    const POINT q = parent_->OriginInWindow();
    p.x += q.x;
    p.y += q.y;
  }
  return p;
}

void TGraphicControl::BoundsChanged() {
  if (parent_ && parent_->Handle()) InvalidateRect(parent_->Handle(), nullptr, FALSE);
}

// ------------------------------------------------------------- TWinControl

TWinControl::TWinControl(TWinControl* parent) : TControl(parent) {}

TWinControl::~TWinControl() { DestroyHandle(); }

ATOM TWinControl::RegisterClass() {
  static ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = StaticWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc);
  }();
  return atom;
}

void TWinControl::CreateHandle(const CreateParams& params) {
  RegisterClass();
  HWND parentWnd = params.parent;
  if (!parentWnd && parent_) parentWnd = parent_->Handle();
  const DWORD style = params.style & ~WS_VISIBLE;
  handle_ = CreateWindowExW(params.exStyle, kWindowClass, caption_.c_str(), style, bounds_.left, bounds_.top,
                            Width(), Height(), parentWnd, nullptr, GetModuleHandleW(nullptr), this);
  if (!handle_) throw std::runtime_error("cannot create window");
  if (visible_ && (style & WS_CHILD)) ShowWindow(handle_, SW_SHOWNA);
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  HWND h = std::exchange(handle_, nullptr);
  SetWindowLongPtrW(h, GWLP_USERDATA, 0);
  DestroyWindow(h);
}

LRESULT CALLBACK TWinControl::StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    auto* self = static_cast<TWinControl*>(cs->lpCreateParams);
    self->handle_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TWinControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  try {
    return self->WndProc(msg, wp, lp);
  } catch (...) {
    if (Application) Application->HandleException(std::current_exception());
    return 0;
  }
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
  return DefWindowProcW(handle_, msg, wp, lp);
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(handle_, &ps);
      const RECT client = ClientRect();
      if (client.right > 0 && client.bottom > 0) {
        // Paint off screen so pictures never flicker.
        MemoryDC mem(dc);
        BitmapHandle buffer(CreateCompatibleBitmap(dc, client.right, client.bottom));
        SelectGuard keep(mem.get(), buffer.get());
        {
          TCanvas canvas(mem.get());
          PaintWindow(canvas, ps.rcPaint);
        }
        BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
               ps.rcPaint.bottom - ps.rcPaint.top, mem.get(), ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
      }
      EndPaint(handle_, &ps);
      return 0;
    }
    case WM_SIZE:
      if (!realigning_) {
        Realign();
        Resized();
      }
      return 0;
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP:
    case WM_LBUTTONDBLCLK: case WM_RBUTTONDBLCLK: case WM_MBUTTONDBLCLK:
    case WM_MOUSEMOVE:
      if (HandleMouse(msg, wp, lp)) return 0;
      break;
    case WM_CAPTURECHANGED:
      captured_ = nullptr;
      break;
    case WM_COMMAND:
      if (lp) {
        if (TStdControl* control = TStdControl::FromHandle(reinterpret_cast<HWND>(lp))) {
          control->Command(HIWORD(wp));
          return 0;
        }
      } else if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
        // Enter or Escape in a form: its default or cancel button answers.
        if (TButton* button = FindButton(LOWORD(wp) == IDOK)) {
          button->Click();
          return 0;
        }
      }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      // Check boxes and radio buttons take the colour of the control they sit on.
      SetBkColor(reinterpret_cast<HDC>(wp), color_);
      if (!ctlBrush_ || ctlBrushColor_ != color_) {
        ctlBrush_.reset(CreateSolidBrush(color_));
        ctlBrushColor_ = color_;
      }
      return reinterpret_cast<LRESULT>(ctlBrush_.get());
    default:
      break;
  }
  return DefaultHandler(msg, wp, lp);
}

bool TWinControl::HandleMouse(UINT msg, WPARAM wp, LPARAM lp) {
  const int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
  const TShiftState shift = mouseShift(wp);
  TMouseButton button = TMouseButton::mbLeft;
  if (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONUP || msg == WM_RBUTTONDBLCLK) button = TMouseButton::mbRight;
  if (msg == WM_MBUTTONDOWN || msg == WM_MBUTTONUP || msg == WM_MBUTTONDBLCLK) button = TMouseButton::mbMiddle;

  TControl* target = captured_ ? captured_ : ControlAt(x, y);
  TControl* receiver = target ? target : this;
  const int rx = target ? x - target->Left() : x;
  const int ry = target ? y - target->Top() : y;

  switch (msg) {
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
      captured_ = target;
      pressed_ = receiver;
      SetCapture(handle_);
      receiver->MouseDown(button, shift, rx, ry);
      return true;
    case WM_LBUTTONDBLCLK: case WM_RBUTTONDBLCLK: case WM_MBUTTONDBLCLK:
      captured_ = target;
      pressed_ = receiver;
      SetCapture(handle_);
      if (button == TMouseButton::mbLeft) receiver->DblClick();
      receiver->MouseDown(button, shift | ssDouble, rx, ry);
      return true;
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP: {
      TControl* pressed = std::exchange(pressed_, nullptr);
      captured_ = nullptr;
      if (GetCapture() == handle_) ReleaseCapture();
      const bool inside = target ? contains(RECT{0, 0, target->Width(), target->Height()}, rx, ry)
                                 : contains(ClientRect(), x, y);
      if (button == TMouseButton::mbLeft && pressed == receiver && inside) receiver->Click();
      // The click may have destroyed or replaced controls; only a still-present receiver hears the release.
      if (receiver == this || std::find(controls_.begin(), controls_.end(), receiver) != controls_.end())
        receiver->MouseUp(button, shift, rx, ry);
      return true;
    }
    case WM_MOUSEMOVE:
      receiver->MouseMove(shift, rx, ry);
      return true;
    default:
      return false;
  }
}

TButton* TWinControl::FindButton(bool isDefault) const {
  for (TControl* c : controls_) {
    if (auto* b = dynamic_cast<TButton*>(c); b && b->Visible() && b->Enabled() && (isDefault ? b->Default : b->Cancel))
      return b;
    if (auto* w = dynamic_cast<TWinControl*>(c))
      if (TButton* found = w->FindButton(isDefault)) return found;
  }
  return nullptr;
}

TControl* TWinControl::ControlAt(int x, int y) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    if (dynamic_cast<TWinControl*>(c)) continue;  // windowed children get their own messages
    if (c->Visible() && c->Enabled() && contains(c->BoundsRect(), x, y)) return c;
  }
  return nullptr;
}

void TWinControl::PaintWindow(TCanvas& canvas, const RECT& dirty) {
  const RECT client = ClientRect();
  canvas.setBrush({color_, pelindra::BrushStyle::Solid});
  canvas.FillRect(client);
  Paint(canvas);
  HDC dc = canvas.Handle();
  for (TControl* c : controls_) {
    auto* g = dynamic_cast<TGraphicControl*>(c);
    if (!g || !g->Visible() || g->Width() <= 0 || g->Height() <= 0) continue;
    RECT r = g->BoundsRect(), overlap;
    if (!IntersectRect(&overlap, &r, &dirty)) continue;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    POINT old;
    OffsetViewportOrgEx(dc, r.left, r.top, &old);
    {
      TCanvas own(dc);
      g->Paint(own);
    }
    RestoreDC(dc, saved);
  }
}

void TWinControl::AddControl(TControl* control) {
  controls_.push_back(control);
  if (control->Align() != TAlign::alNone) Realign();
}

void TWinControl::RemoveControl(TControl* control) {
  std::erase(controls_, control);
  if (captured_ == control) captured_ = nullptr;
  if (pressed_ == control) pressed_ = nullptr;
}

void TWinControl::Realign() {
  if (realigning_) return;
  realigning_ = true;
  RECT r = ClientRect();
  auto place = [&](TAlign which) {
    std::vector<TControl*> group;
    for (TControl* c : controls_)
      if (c->Align() == which && c->Visible()) group.push_back(c);
    for (TControl* c : group) {
      switch (which) {
        case TAlign::alTop:
          c->SetBounds(r.left, r.top, r.right - r.left, c->Height());
          r.top += c->Height();
          break;
        case TAlign::alBottom:
          c->SetBounds(r.left, r.bottom - c->Height(), r.right - r.left, c->Height());
          r.bottom -= c->Height();
          break;
        case TAlign::alLeft:
          c->SetBounds(r.left, r.top, c->Width(), r.bottom - r.top);
          r.left += c->Width();
          break;
        case TAlign::alRight:
          c->SetBounds(r.right - c->Width(), r.top, c->Width(), r.bottom - r.top);
          r.right -= c->Width();
          break;
        case TAlign::alClient:
          c->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
          break;
        case TAlign::alNone:
          break;
      }
    }
  };
  for (TAlign a : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) place(a);
  realigning_ = false;
  if (handle_) InvalidateRect(handle_, nullptr, FALSE);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  TControl::SetBounds(left, top, width, height);
}

void TWinControl::BoundsChanged() {
  if (handle_) {
    realigning_ = true;
    MoveWindow(handle_, bounds_.left, bounds_.top, Width(), Height(), TRUE);
    realigning_ = false;
  }
  Realign();
  Resized();
}

RECT TWinControl::ClientRect() const {
  RECT r{0, 0, 0, 0};
  if (handle_) GetClientRect(handle_, &r);
  return r;
}

int TWinControl::ClientWidth() const { return ClientRect().right; }
int TWinControl::ClientHeight() const { return ClientRect().bottom; }

void TWinControl::SetVisible(bool v) {
  TControl::SetVisible(v);
  if (handle_) ShowWindow(handle_, v ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::SetEnabled(bool v) {
  TControl::SetEnabled(v);
  if (handle_) EnableWindow(handle_, v);
}

void TWinControl::SetColor(COLORREF c) {
  color_ = c;
  Invalidate();
}

void TWinControl::SetCaption(const std::wstring& text) {
  caption_ = text;
  if (handle_) SetWindowTextW(handle_, text.c_str());
  Invalidate();
}

void TWinControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, FALSE);
}

void TWinControl::SetFocus() {
  if (handle_) ::SetFocus(handle_);
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

// ------------------------------------------------------------------ TPanel

TPanel::TPanel(TWinControl* parent) : TWinControl(parent) {
  bounds_ = {0, 0, 185, 41};
  CreateHandle({});
}

void TPanel::Paint(TCanvas& canvas) {
  RECT r = ClientRect();
  HDC dc = canvas.Handle();
  auto bevel = [&](TBevelCut cut) {
    if (cut == TBevelCut::bvNone) return;
    DrawEdge(dc, &r, cut == TBevelCut::bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  };
  bevel(BevelOuter);
  bevel(BevelInner);
  if (!caption_.empty()) {
    canvas.setFont(font_.ToCanvasFont());
    canvas.Realize();
    SetTextColor(dc, font_.Color);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, caption_.c_str(), int(caption_.size()), &r, Alignment | DT_VCENTER | DT_SINGLELINE);
  }
}

}  // namespace vcl
