#pragma once
// The rotate dialog: an angle and the colour of the uncovered corners.

#include <memory>

#include "win32/vcl/dialogs.h"
#include "win32/vcl/forms.h"
#include "win32/vcl/stdctrls.h"
#include "win32/vcl/stdwin.h"

namespace pelindra::imaging {

class TRotateForm : public vcl::TForm {
 public:
  TRotateForm();
  ~TRotateForm() override;

  std::unique_ptr<vcl::TLabel> Label1, Label2, Label3, Label4;
  std::unique_ptr<vcl::TEdit> Edit1;
  std::unique_ptr<vcl::TPanel> Panel1;
  std::unique_ptr<vcl::TPanel> Panel2;
  std::unique_ptr<vcl::TButton> Button1;
  std::unique_ptr<vcl::TButton> CancelBtn;
  std::unique_ptr<vcl::TColorDialog> ColorDialog1;

  // The dialog was closed with "Rotate" and an angle other than 0.
  bool Confirmed = false;
  long long Angle() const;
  COLORREF BorderColor() const { return Panel1->Color(); }
  void SetBorderColor(COLORREF c) { Panel1->SetColor(c); }

  void FormActivate(vcl::TObject* Sender);
  void Edit1Change(vcl::TObject* Sender);
  void Panel1Click(vcl::TObject* Sender);
  void Panel2Click(vcl::TObject* Sender);
  void Button1Click(vcl::TObject* Sender);
  void CancelBtnClick(vcl::TObject* Sender);

 private:
  bool editing_ = false;
};

extern TRotateForm* RotateForm;

}  // namespace pelindra::imaging
