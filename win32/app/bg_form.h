#pragma once
// The black full-screen background behind the main window during a slide show.

#include "win32/vcl/forms.h"

namespace pelindra::app {

class TBGForm : public vcl::TForm {
 public:
  TBGForm();
  // A key or a click ends the slide show.
  void FormKeyDown(vcl::TObject* Sender, WORD& Key, vcl::TShiftState Shift);
  void FormClick(vcl::TObject* Sender);
};

extern TBGForm* BGForm;

}  // namespace pelindra::app
