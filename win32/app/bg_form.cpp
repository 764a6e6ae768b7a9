#include "win32/app/bg_form.h"

#include "win32/app/view_form.h"

namespace pelindra::app {

TBGForm* BGForm = nullptr;

TBGForm::TBGForm() {
  BGForm = this;
  SetBorderStyle(vcl::TFormBorderStyle::bsNone);
  SetBorderIcons(0);
  SetColor(RGB(0, 0, 0));
  SetWindowState(vcl::TWindowState::wsMaximized);
  OnKeyDown = [this](vcl::TObject* s, WORD& k, vcl::TShiftState sh) { FormKeyDown(s, k, sh); };
  OnClick = [this](vcl::TObject* s) { FormClick(s); };
}

void TBGForm::FormKeyDown(vcl::TObject*, WORD&, vcl::TShiftState) {
  if (ViewForm) ViewForm->SlideShowOn = false;
}

void TBGForm::FormClick(vcl::TObject*) {
  if (ViewForm) ViewForm->SlideShowOn = false;
}

}  // namespace pelindra::app
