#include "win32/app/view_form.h"

namespace pelindra::app {

TViewForm* ViewForm = nullptr;

TViewForm::TViewForm() {
  ViewForm = this;
  SetBorderStyle(vcl::TFormBorderStyle::bsNone);
  SetBorderIcons(0);
  SetColor(RGB(128, 128, 128));
  Position = vcl::TPosition::poScreenCenter;
  SetClientSize(395, 238);
}

}  // namespace pelindra::app
