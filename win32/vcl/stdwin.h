#pragma once
// Controls made of the system's own window classes: buttons, check boxes,
// radio buttons and edit boxes. Their parent forwards WM_COMMAND to them.

#include <windows.h>

#include <string>

#include "win32/vcl/controls.h"
#include "win32/vcl/gdi.h"

namespace vcl {

class TStdControl : public TWinControl {
 public:
  // The control whose window this is, if it is one of ours.
  static TStdControl* FromHandle(HWND wnd);
  // A notification code of WM_COMMAND from the system control.
  virtual void Command(WORD code) { (void)code; }
  void SetCaption(const std::wstring& text) override;
  const std::wstring& Caption() const;
  void SetFontSpec(const TFontSpec& f);

 protected:
  TStdControl(TWinControl* parent, const wchar_t* className, DWORD style, DWORD exStyle = 0);
  ~TStdControl() override;
  void BoundsChanged() override;
  void Invalidate() override;

 private:
  FontHandle fontHandle_;
};

class TButton : public TStdControl {
 public:
  explicit TButton(TWinControl* parent);
  // Clicking sets this as the form's modal result (when not none).
  TModalResult ModalResult = mrNone;
  // Enter in the form clicks the default button; Escape the cancel button.
  bool Default = false;
  bool Cancel = false;
  void Click() override;
  void Command(WORD code) override;
};

class TCheckBox : public TStdControl {
 public:
  explicit TCheckBox(TWinControl* parent);
  bool Checked() const;
  void SetChecked(bool v);
  void Command(WORD code) override;
};

class TRadioButton : public TStdControl {
 public:
  explicit TRadioButton(TWinControl* parent);
  bool Checked() const;
  void SetChecked(bool v);
  void Command(WORD code) override;
};

class TEdit : public TStdControl {
 public:
  explicit TEdit(TWinControl* parent);
  std::wstring Text() const;
  void SetText(const std::wstring& text);
  // Entering the edit from the keyboard or by program selects its whole text, so typing
  // replaces it; a click places the caret where it lands.
  bool AutoSelect = true;
  TNotifyEvent OnChange;
  void Command(WORD code) override;
};

}  // namespace vcl
