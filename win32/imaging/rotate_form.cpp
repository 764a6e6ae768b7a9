#include "win32/imaging/rotate_form.h"

#include "engine/base/numbers.h"
#include "engine/imaging/rotate.h"
#include "win32/vcl/strings.h"

namespace pelindra::imaging {

TRotateForm* RotateForm = nullptr;

TRotateForm::TRotateForm() {
  RotateForm = this;
  SetBorderStyle(vcl::TFormBorderStyle::bsSingle);
  SetBorderIcons(0);
  SetCaption(L"Rotate Picture");
  Position = vcl::TPosition::poScreenCenter;
  SetClientSize(262, 130);

  auto label = [this](const wchar_t* text, int x, int y) {
    auto l = std::make_unique<vcl::TLabel>(this);
    l->SetCaption(text);
    l->SetBounds(x, y, l->Width(), l->Height());
    return l;
  };
  Label1 = label(L"Rotate", 16, 19);
  Edit1 = std::make_unique<vcl::TEdit>(this);
  Edit1->SetBounds(70, 15, 60, 21);
  Edit1->OnChange = [this](vcl::TObject* s) { Edit1Change(s); };
  Label2 = label(L"Deg.", 138, 19);
  Label3 = label(L"BorderColor  --->", 16, 54);
  Panel1 = std::make_unique<vcl::TPanel>(this);
  Panel1->SetBounds(120, 48, 40, 24);
  Panel1->Hint = L"Click to Change Color.";
  Panel1->OnClick = [this](vcl::TObject* s) { Panel1Click(s); };
  Label4 = label(L"Or --->", 170, 54);
  Panel2 = std::make_unique<vcl::TPanel>(this);
  Panel2->SetBounds(214, 48, 32, 24);
  Panel2->Hint = L"BackGround Color";
  Panel2->SetColor(GetSysColor(COLOR_DESKTOP));
  Panel2->OnClick = [this](vcl::TObject* s) { Panel2Click(s); };
  Button1 = std::make_unique<vcl::TButton>(this);
  Button1->SetCaption(L"Rotate");
  Button1->Default = true;
  Button1->SetBounds(40, 92, 80, 25);
  Button1->OnClick = [this](vcl::TObject* s) { Button1Click(s); };
  CancelBtn = std::make_unique<vcl::TButton>(this);
  CancelBtn->SetCaption(L"Cancel");
  CancelBtn->Cancel = true;
  CancelBtn->SetBounds(140, 92, 80, 25);
  CancelBtn->OnClick = [this](vcl::TObject* s) { CancelBtnClick(s); };
  ColorDialog1 = std::make_unique<vcl::TColorDialog>();
  OnActivate = [this](vcl::TObject* s) { FormActivate(s); };
}

TRotateForm::~TRotateForm() = default;

long long TRotateForm::Angle() const {
  return parseInt64(vcl::Narrow(Edit1->Text())).value_or(0);
}

void TRotateForm::FormActivate(vcl::TObject*) {
  Confirmed = false;
  Edit1->SetText(L"0");
  Edit1->SetFocus();
}

void TRotateForm::Edit1Change(vcl::TObject*) {
  if (editing_) return;
  editing_ = true;
  const std::wstring shown = vcl::Widen(RotateAngleText(vcl::Narrow(Edit1->Text())));
  if (shown != Edit1->Text()) {
    Edit1->SetText(shown);
    SendMessageW(Edit1->Handle(), EM_SETSEL, shown.size(), shown.size());
  }
  editing_ = false;
}

void TRotateForm::Panel1Click(vcl::TObject*) {
  ColorDialog1->Color = Panel1->Color();
  Panel1->SetColor(ColorDialog1->Execute() ? ColorDialog1->Color : GetSysColor(COLOR_DESKTOP));
}

void TRotateForm::Panel2Click(vcl::TObject*) { Panel1->SetColor(Panel2->Color()); }

void TRotateForm::Button1Click(vcl::TObject*) {
  Confirmed = Edit1->Text() != L"0";
  ModalResult = vcl::mrOk;
  Close();
}

void TRotateForm::CancelBtnClick(vcl::TObject*) {
  Confirmed = false;
  ModalResult = vcl::mrCancel;
  Close();
}

}  // namespace pelindra::imaging
