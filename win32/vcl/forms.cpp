#include "win32/vcl/forms.h"

#include "win32/vcl/application.h"
#include "win32/vcl/gdi.h"

namespace vcl {

namespace {

DWORD styleFor(TFormBorderStyle border, TBorderIcons icons) {
  DWORD style = WS_CLIPCHILDREN;
  switch (border) {
    case TFormBorderStyle::bsNone: style |= WS_POPUP; break;
    case TFormBorderStyle::bsSingle: style |= WS_CAPTION | WS_BORDER; break;
    case TFormBorderStyle::bsSizeable: style |= WS_CAPTION | WS_THICKFRAME; break;
    case TFormBorderStyle::bsDialog: style |= WS_POPUP | WS_CAPTION | DS_MODALFRAME; break;
    case TFormBorderStyle::bsToolWindow: style |= WS_CAPTION; break;
  }
  if (border != TFormBorderStyle::bsNone && (icons & biSystemMenu)) {
    style |= WS_SYSMENU;
    if (border != TFormBorderStyle::bsDialog && border != TFormBorderStyle::bsToolWindow) {
      if (icons & biMinimize) style |= WS_MINIMIZEBOX;
      if (icons & biMaximize) style |= WS_MAXIMIZEBOX;
    }
  }
  return style;
}

DWORD exStyleFor(TFormBorderStyle border, TFormStyle formStyle) {
  DWORD ex = 0;
  if (border == TFormBorderStyle::bsDialog) ex |= WS_EX_DLGMODALFRAME;
  if (border == TFormBorderStyle::bsToolWindow) ex |= WS_EX_TOOLWINDOW;
  if (formStyle == TFormStyle::fsStayOnTop) ex |= WS_EX_TOPMOST;
  return ex;
}

}  // namespace

TForm::TForm() : TWinControl(nullptr) {
  visible_ = false;
  bounds_ = {0, 0, 400, 300};
  CreateParams params;
  params.style = styleFor(borderStyle_, borderIcons_);
  params.exStyle = exStyleFor(borderStyle_, formStyle_);
  CreateHandle(params);
}

TForm::~TForm() { DestroyHandle(); }

void TForm::applyStyles() {
  if (!handle_) return;
  const DWORD visible = GetWindowLongW(handle_, GWL_STYLE) & WS_VISIBLE;
  SetWindowLongW(handle_, GWL_STYLE, LONG(styleFor(borderStyle_, borderIcons_) | visible));
  SetWindowLongW(handle_, GWL_EXSTYLE, LONG(exStyleFor(borderStyle_, formStyle_)));
  SetWindowPos(handle_, formStyle_ == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  Realign();
}

void TForm::SetBorderStyle(TFormBorderStyle s) {
  borderStyle_ = s;
  applyStyles();
}

void TForm::SetBorderIcons(TBorderIcons icons) {
  borderIcons_ = icons;
  applyStyles();
}

void TForm::SetFormStyle(TFormStyle s) {
  formStyle_ = s;
  applyStyles();
}

void TForm::SetWindowState(TWindowState s) {
  windowState_ = s;
  if (!handle_ || !visible_) return;
  ShowWindow(handle_, s == TWindowState::wsMaximized   ? SW_SHOWMAXIMIZED
                      : s == TWindowState::wsMinimized ? SW_SHOWMINIMIZED
                                                       : SW_SHOWNORMAL);
}

void TForm::SetClientSize(int w, int h) {
  RECT r{0, 0, w, h};
  AdjustWindowRectEx(&r, DWORD(GetWindowLongW(handle_, GWL_STYLE)), FALSE, DWORD(GetWindowLongW(handle_, GWL_EXSTYLE)));
  SetBounds(Left(), Top(), r.right - r.left, r.bottom - r.top);
}

void TForm::BoundsChanged() {
  if (!handle_ || inBoundsChange_) return;
  inBoundsChange_ = true;
  SetWindowPos(handle_, nullptr, bounds_.left, bounds_.top, Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  inBoundsChange_ = false;
  readBounds();
  Realign();
}

void TForm::readBounds() {
  if (!handle_ || IsIconic(handle_)) return;
  GetWindowRect(handle_, &bounds_);
}

void TForm::SetVisible(bool v) {
  if (v == visible_ && handle_ && bool(IsWindowVisible(handle_)) == v) return;
  visible_ = v;
  if (!handle_) return;
  if (v) {
    if (!shownOnce_ && Position == TPosition::poScreenCenter)
      SetBounds((TScreen::Width() - Width()) / 2, (TScreen::Height() - Height()) / 2, Width(), Height());
    shownOnce_ = true;
    ShowWindow(handle_, windowState_ == TWindowState::wsMaximized ? SW_SHOWMAXIMIZED : SW_SHOW);
    readBounds();
    Realign();
    if (OnShow) OnShow(this);
  } else {
    ShowWindow(handle_, SW_HIDE);
    if (OnHide) OnHide(this);
  }
}

void TForm::BringToFront() {
  if (!handle_) return;
  SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(handle_);
  const HWND focus = GetFocus();
  if (focus != handle_ && !IsChild(handle_, focus)) ::SetFocus(handle_);
}

bool TForm::Active() const { return Application && Application->ActiveForm() == this; }

void TForm::Activate() {
  if (OnActivate) OnActivate(this);
}

void TForm::Close() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  if (!canClose) return;
  TCloseAction action = TCloseAction::caHide;
  if (OnClose) OnClose(this, action);
  if (action == TCloseAction::caNone) return;
  if (modal_) {
    if (ModalResult == mrNone) ModalResult = mrCancel;
    return;
  }
  if (Application && Application->MainForm() == this) {
    Hide();
    Application->Terminate();
    return;
  }
  if (action == TCloseAction::caMinimize)
    SetWindowState(TWindowState::wsMinimized);
  else
    Hide();
}

std::function<void(TForm&)> TForm::ModalHook;

TModalResult TForm::ShowModal() {
  if (ModalHook) {
    ModalResult = mrNone;
    modal_ = true;
    Activate();
    try {
      ModalHook(*this);
    } catch (...) {
      modal_ = false;
      throw;
    }
    modal_ = false;
    if (ModalResult == mrNone) ModalResult = mrCancel;
    return ModalResult;
  }
  std::vector<HWND> disabled;
  Application->ForEachForm([&](TForm* f) {
    if (f != this && f->Handle() && IsWindowVisible(f->Handle()) && IsWindowEnabled(f->Handle())) {
      EnableWindow(f->Handle(), FALSE);
      disabled.push_back(f->Handle());
    }
  });
  TForm* caller = Application->ActiveForm();
  ModalResult = mrNone;
  modal_ = true;
  Show();
  BringToFront();
  while (ModalResult == mrNone && !Application->Terminated()) {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      Application->Terminate();
      break;
    }
    Application->HandleMessage(msg);
    if (!visible_ && ModalResult == mrNone) ModalResult = mrCancel;
  }
  for (HWND h : disabled) EnableWindow(h, TRUE);
  modal_ = false;
  Hide();
  // Giving the focus back after a modal form is not a new activation.
  Application->SetActiveForm(caller);
  if (caller && caller->Handle() && IsWindowVisible(caller->Handle())) caller->BringToFront();
  return ModalResult;
}

void TForm::Paint(TCanvas& canvas) {
  if (!OnPaint) return;
  paintCanvas_ = &canvas;
  try {
    OnPaint(this);
  } catch (...) {
    paintCanvas_ = nullptr;
    throw;
  }
  paintCanvas_ = nullptr;
}

void TForm::Resized() {
  if (OnResize) OnResize(this);
}

void TForm::KeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        focusedControl_ = focus && IsChild(Handle(), focus) ? focus : nullptr;
        break;
      }
      // The system would give the keyboard to the form itself: give it back to the control that
      // had it (a colour dialog or message box closing must not leave an edit without its caret).
      if (!HIWORD(wp)) {
        const HWND back = focusedControl_;
        if (back && IsChild(Handle(), back) && IsWindowVisible(back) && IsWindowEnabled(back))
          ::SetFocus(back);
        else
          ::SetFocus(Handle());
      }
      if (Application) Application->FormActivated(this);
      return 0;
    case WM_CLOSE: Close(); return 0;
    case WM_MOVE: readBounds(); return 0;
    case WM_SIZE: readBounds(); break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      WORD key = WORD(wp);
      KeyDown(key, KeyboardShiftState());
      if (key == 0) return 0;
      break;
    }
    case WM_KEYUP: {
      WORD key = WORD(wp);
      if (OnKeyUp) OnKeyUp(this, key, KeyboardShiftState());
      break;
    }
    case WM_CHAR: {
      wchar_t ch = wchar_t(wp);
      if (OnKeyPress) OnKeyPress(this, ch);
      return 0;
    }
    default: break;
  }
  return TWinControl::WndProc(msg, wp, lp);
}

int TScreen::Width() { return GetSystemMetrics(SM_CXSCREEN); }
int TScreen::Height() { return GetSystemMetrics(SM_CYSCREEN); }
int TScreen::BitsPerPixel() {
  WindowDC dc;
  return GetDeviceCaps(dc.get(), BITSPIXEL) * GetDeviceCaps(dc.get(), PLANES);
}

}  // namespace vcl
