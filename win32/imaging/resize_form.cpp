#include "win32/imaging/resize_form.h"

#include "engine/imaging/resize.h"
#include "win32/vcl/strings.h"

namespace pelindra::imaging {

TResizeForm* ResizeForm = nullptr;

TResizeForm::TResizeForm() {
  ResizeForm = this;
  SetBorderStyle(vcl::TFormBorderStyle::bsSingle);
  SetBorderIcons(0);
  SetFormStyle(vcl::TFormStyle::fsStayOnTop);
  SetCaption(L"Resize");
  Position = vcl::TPosition::poScreenCenter;
  SetClientSize(250, 138);

  Panel1 = std::make_unique<vcl::TPanel>(this);
  Panel1->SetBounds(8, 8, 234, 88);
  Panel1->BevelOuter = vcl::TBevelCut::bvLowered;
  auto label = [this](const wchar_t* text, int y) {
    auto l = std::make_unique<vcl::TLabel>(Panel1.get());
    l->SetCaption(text);
    l->SetBounds(12, y, l->Width(), l->Height());
    return l;
  };
  auto edit = [this](int y) {
    auto e = std::make_unique<vcl::TEdit>(Panel1.get());
    e->SetBounds(80, y, 70, 21);
    e->OnChange = [this](vcl::TObject* s) { EditChange(s); };
    return e;
  };
  Label1 = label(L"Percent", 10);
  Edit1 = edit(6);
  Label2 = label(L"With", 34);
  Edit2 = edit(30);
  Label3 = label(L"Height", 58);
  Edit3 = edit(54);
  CheckBox1 = std::make_unique<vcl::TCheckBox>(Panel1.get());
  CheckBox1->SetCaption(L"Keep aspect ratio");
  CheckBox1->SetBounds(158, 8, 70, 34);
  CheckBox1->SetChecked(true);

  Button1 = std::make_unique<vcl::TButton>(this);
  Button1->SetCaption(L"GO!");
  Button1->Default = true;
  Button1->SetBounds(40, 104, 75, 25);
  Button1->OnClick = [this](vcl::TObject* s) { Button1Click(s); };
  Button2 = std::make_unique<vcl::TButton>(this);
  Button2->SetCaption(L"Cancel");
  Button2->Cancel = true;
  Button2->SetBounds(134, 104, 75, 25);
  Button2->OnClick = [this](vcl::TObject* s) { Button2Click(s); };
  Panel5 = std::make_unique<vcl::TPanel>(this);
  Panel5->SetBounds(8, 136, 234, 80);
  Panel5->SetVisible(false);

  // Moving the mouse over the dialog brings the other fields up to date.
  const auto calculate = [this](vcl::TObject*, vcl::TShiftState, int, int) { Calculate(); };
  for (vcl::TControl* c : {static_cast<vcl::TControl*>(this), static_cast<vcl::TControl*>(Panel1.get()),
                           static_cast<vcl::TControl*>(Label1.get()), static_cast<vcl::TControl*>(Label2.get()),
                           static_cast<vcl::TControl*>(Label3.get())})
    c->OnMouseMove = calculate;
  OnActivate = [this](vcl::TObject* s) { FormActivate(s); };
  OnClose = [this](vcl::TObject* s, vcl::TCloseAction& a) { FormClose(s, a); };
}

TResizeForm::~TResizeForm() {
  Label1.reset();
  Label2.reset();
  Label3.reset();
}

void TResizeForm::FormActivate(vcl::TObject*) {
  calculating_ = true;
  Edit1->SetText(L"100");
  Edit2->SetText(std::to_wstring(StartWidth));
  Edit3->SetText(std::to_wstring(StartHeight));
  calculating_ = false;
  Changed = false;
  percentChanged_ = widthChanged_ = heightChanged_ = false;
}

void TResizeForm::EditChange(vcl::TObject* Sender) {
  if (calculating_) return;
  percentChanged_ = percentChanged_ || Sender == Edit1.get();
  widthChanged_ = widthChanged_ || Sender == Edit2.get();
  heightChanged_ = heightChanged_ || Sender == Edit3.get();
  Changed = true;
}

void TResizeForm::Calculate() {
  if (!CheckBox1->Checked() && CheckBox1->Enabled()) return;
  calculating_ = true;
  try {
    ResizeFields fields;
    fields.startWidth = StartWidth;
    fields.startHeight = StartHeight;
    fields.percent = vcl::StrToInt(Edit1->Text());
    fields.width = vcl::StrToInt(Edit2->Text());
    fields.height = vcl::StrToInt(Edit3->Text());
    fields.percentChanged = percentChanged_;
    fields.widthChanged = widthChanged_;
    fields.heightChanged = heightChanged_;
    const ResizeCalculation r = imaging::Calculate(fields);
    Edit1->SetText(std::to_wstring(r.percent));
    Edit2->SetText(std::to_wstring(r.width));
    Edit3->SetText(std::to_wstring(r.height));
    ResizeFactor = r.factor;
  } catch (...) {
    calculating_ = false;
    throw;
  }
  percentChanged_ = widthChanged_ = heightChanged_ = false;
  calculating_ = false;
}

void TResizeForm::Button1Click(vcl::TObject*) {
  Calculate();
  NewWidth = vcl::StrToInt(Edit2->Text());
  NewHeight = vcl::StrToInt(Edit3->Text());
  ModalResult = vcl::mrOk;
  Close();
}

void TResizeForm::Button2Click(vcl::TObject*) {
  Changed = false;
  ModalResult = vcl::mrCancel;
  Close();
}

void TResizeForm::FormClose(vcl::TObject*, vcl::TCloseAction&) {
  SetHeight(165);
  Button1->SetTop(104);
  Button2->SetTop(104);
  Panel5->SetVisible(false);
}

}  // namespace pelindra::imaging
