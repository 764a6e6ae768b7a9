#pragma once
// The resize dialog: a new size as a percentage or as width and height.

#include <memory>

#include "win32/vcl/forms.h"
#include "win32/vcl/stdctrls.h"
#include "win32/vcl/stdwin.h"

namespace pelindra::imaging {

class TResizeForm : public vcl::TForm {
 public:
  TResizeForm();
  ~TResizeForm() override;

  std::unique_ptr<vcl::TPanel> Panel1;
  std::unique_ptr<vcl::TLabel> Label1, Label2, Label3;
  std::unique_ptr<vcl::TEdit> Edit1, Edit2, Edit3;
  std::unique_ptr<vcl::TCheckBox> CheckBox1;
  std::unique_ptr<vcl::TButton> Button1, Button2;
  // Options for animations, hidden for single pictures.
  std::unique_ptr<vcl::TPanel> Panel5;

  // Set by the caller before showing: the picture's size.
  int StartWidth = 0, StartHeight = 0;
  // Results: whether the user changed the size, and to what.
  bool Changed = false;
  int NewWidth = 0, NewHeight = 0;
  long double ResizeFactor = 1;

  void FormActivate(vcl::TObject* Sender);
  void EditChange(vcl::TObject* Sender);
  void Calculate();
  void Button1Click(vcl::TObject* Sender);
  void Button2Click(vcl::TObject* Sender);
  void FormClose(vcl::TObject* Sender, vcl::TCloseAction& Action);

 private:
  bool calculating_ = false;
  bool percentChanged_ = false, widthChanged_ = false, heightChanged_ = false;
  std::vector<std::unique_ptr<vcl::TControl>> panelControls_;
};

extern TResizeForm* ResizeForm;

}  // namespace pelindra::imaging
