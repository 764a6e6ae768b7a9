#include "win32/vcl/stdwin.h"

#include <vector>

#include "win32/vcl/forms.h"

namespace vcl {

namespace {
constexpr wchar_t kProp[] = L"PelindraControl";

TForm* formOf(TControl* c) {
  while (c && c->Parent()) c = c->Parent();
  return dynamic_cast<TForm*>(c);
}
}  // namespace

TStdControl::TStdControl(TWinControl* parent, const wchar_t* className, DWORD style, DWORD exStyle)
    : TWinControl(parent) {
  bounds_ = {0, 0, 75, 25};
  handle_ = CreateWindowExW(exStyle, className, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, 0, 0, Width(),
                            Height(), parent ? parent->Handle() : nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!handle_) throw std::runtime_error("cannot create control");
  SetPropW(handle_, kProp, this);
  SetFontSpec(font_);
}

TStdControl::~TStdControl() {
  if (handle_) {
    RemovePropW(handle_, kProp);
    DestroyWindow(std::exchange(handle_, nullptr));
  }
}

TStdControl* TStdControl::FromHandle(HWND wnd) { return static_cast<TStdControl*>(GetPropW(wnd, kProp)); }

void TStdControl::SetFontSpec(const TFontSpec& f) {
  font_ = f;
  WindowDC screen;
  const pelindra::Font cf = f.ToCanvasFont(GetDeviceCaps(screen.get(), LOGPIXELSY));
  LOGFONTW lf{};
  lf.lfHeight = cf.height;
  lf.lfWeight = f.Bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(lf.lfFaceName, f.Name.c_str(), LF_FACESIZE);
  FontHandle font(CreateFontIndirectW(&lf));
  SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
  fontHandle_ = std::move(font);
}

void TStdControl::SetCaption(const std::wstring& text) {
  caption_ = text;
  SetWindowTextW(handle_, text.c_str());
}

const std::wstring& TStdControl::Caption() const { return caption_; }

void TStdControl::BoundsChanged() {
  if (handle_) MoveWindow(handle_, bounds_.left, bounds_.top, Width(), Height(), TRUE);
}

void TStdControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

// ------------------------------------------------------------------ buttons

TButton::TButton(TWinControl* parent) : TStdControl(parent, L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON) {}

void TButton::Click() {
  if (ModalResult != mrNone)
    if (TForm* form = formOf(this)) form->ModalResult = ModalResult;
  TControl::Click();
}

void TButton::Command(WORD code) {
  if (code == BN_CLICKED) Click();
}

TCheckBox::TCheckBox(TWinControl* parent) : TStdControl(parent, L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX) {
  SetBounds(0, 0, 97, 17);
}

bool TCheckBox::Checked() const { return SendMessageW(handle_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TCheckBox::SetChecked(bool v) {
  if (v == Checked()) return;
  SendMessageW(handle_, BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
  TControl::Click();
}

void TCheckBox::Command(WORD code) {
  if (code == BN_CLICKED) TControl::Click();
}

TRadioButton::TRadioButton(TWinControl* parent) : TStdControl(parent, L"BUTTON", WS_TABSTOP | BS_AUTORADIOBUTTON) {
  SetBounds(0, 0, 113, 17);
}

bool TRadioButton::Checked() const { return SendMessageW(handle_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TRadioButton::SetChecked(bool v) {
  if (v == Checked()) return;
  if (v && parent_) {
    // Only one radio button of a parent is checked.
    for (TControl* c : parent_->Controls())
      if (auto* r = dynamic_cast<TRadioButton*>(c); r && r != this)
        SendMessageW(r->Handle(), BM_SETCHECK, BST_UNCHECKED, 0);
  }
  SendMessageW(handle_, BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
  if (v) TControl::Click();
}

void TRadioButton::Command(WORD code) {
  if (code == BN_CLICKED) TControl::Click();
}

// -------------------------------------------------------------------- edits

TEdit::TEdit(TWinControl* parent) : TStdControl(parent, L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE) {
  SetBounds(0, 0, 121, 21);
}

std::wstring TEdit::Text() const {
  const int n = GetWindowTextLengthW(handle_);
  std::vector<wchar_t> buffer(std::size_t(n) + 1, L'\0');
  GetWindowTextW(handle_, buffer.data(), n + 1);
  return buffer.data();
}

void TEdit::SetText(const std::wstring& text) { SetWindowTextW(handle_, text.c_str()); }

void TEdit::Command(WORD code) {
  if (code == EN_CHANGE && OnChange) OnChange(this);
  if (code == EN_SETFOCUS && AutoSelect && !(GetKeyState(VK_LBUTTON) & 0x8000)) SendMessageW(handle_, EM_SETSEL, 0, -1);
}

}  // namespace vcl
