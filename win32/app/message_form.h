#pragma once
// The hint window about printing drawings to plotter files.

#include <memory>

#include "win32/vcl/forms.h"
#include "win32/vcl/stdctrls.h"
#include "win32/vcl/stdwin.h"

namespace pelindra::app {

class TMessageForm : public vcl::TForm {
 public:
  TMessageForm();
  ~TMessageForm() override;

  std::unique_ptr<vcl::TLabel> TitleLabel;
  std::unique_ptr<vcl::TLabel> MessageLabel;
  std::unique_ptr<vcl::TPanel> PenPanel;
  std::unique_ptr<vcl::TCheckBox> CheckBox1;
  std::unique_ptr<vcl::TButton> Button1;

  void FormActivate(vcl::TObject* Sender);
  void Button1Click(vcl::TObject* Sender);
  void FormKeyDown(vcl::TObject* Sender, WORD& Key, vcl::TShiftState Shift);
  void CheckBox1Click(vcl::TObject* Sender);

 private:
  std::vector<std::unique_ptr<vcl::TControl>> penRows_;
};

extern TMessageForm* MessageForm;

}  // namespace pelindra::app
