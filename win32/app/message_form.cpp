#include "win32/app/message_form.h"

#include "win32/system/settings.h"

namespace pelindra::app {

TMessageForm* MessageForm = nullptr;

namespace {

// A coloured square in the pen table.
class TSwatch : public vcl::TGraphicControl {
 public:
  TSwatch(vcl::TWinControl* parent, COLORREF color) : TGraphicControl(parent) { color_ = color; }
  void Paint(vcl::TCanvas& canvas) override {
    canvas.setPen({RGB(0, 0, 0), 1, pelindra::PenStyle::Solid});
    canvas.setBrush({color_, pelindra::BrushStyle::Solid});
    canvas.rectangle({0, 0, Width(), Height()});
  }
};

}  // namespace

TMessageForm::TMessageForm() {
  MessageForm = this;
  SetBorderStyle(vcl::TFormBorderStyle::bsSingle);
  SetBorderIcons(0);
  SetCaption(L"                        Hint");
  Position = vcl::TPosition::poScreenCenter;
  SetClientSize(330, 330);

  TitleLabel = std::make_unique<vcl::TLabel>(this);
  vcl::TFontSpec bold;
  bold.Bold = true;
  bold.Size = 10;
  TitleLabel->SetFont(bold);
  TitleLabel->SetCaption(L"DXF-Emf-WMF-WPG To PLT");
  TitleLabel->SetBounds(16, 10, TitleLabel->Width(), TitleLabel->Height());

  MessageLabel = std::make_unique<vcl::TLabel>(this);
  MessageLabel->AutoSize = false;
  MessageLabel->SetBounds(16, 36, 300, 72);

  PenPanel = std::make_unique<vcl::TPanel>(this);
  PenPanel->SetBounds(16, 112, 298, 150);
  PenPanel->BevelOuter = vcl::TBevelCut::bvLowered;
  auto* heading = new vcl::TLabel(PenPanel.get());
  heading->SetCaption(L"Configure Pen Color Pallet Like This.");
  heading->SetBounds(8, 6, heading->Width(), heading->Height());
  penRows_.emplace_back(heading);
  const COLORREF colors[6] = {RGB(0, 0, 0),     RGB(0, 0, 255),   RGB(0, 128, 0),
                              RGB(255, 0, 0),   RGB(255, 0, 255), RGB(0, 255, 255)};
  for (int i = 0; i < 6; ++i) {
    auto* name = new vcl::TLabel(PenPanel.get());
    name->SetCaption(L"Pen" + std::to_wstring(i + 1));
    name->SetBounds(24, 26 + i * 19, name->Width(), name->Height());
    penRows_.emplace_back(name);
    auto* swatch = new TSwatch(PenPanel.get(), colors[i]);
    swatch->SetBounds(80, 26 + i * 19, 60, 15);
    penRows_.emplace_back(swatch);
  }

  CheckBox1 = std::make_unique<vcl::TCheckBox>(this);
  CheckBox1->SetCaption(L"Do not show again");
  CheckBox1->SetBounds(16, 276, 150, 17);
  CheckBox1->OnClick = [this](vcl::TObject* s) { CheckBox1Click(s); };

  Button1 = std::make_unique<vcl::TButton>(this);
  Button1->SetCaption(L"Ok");
  Button1->Default = true;
  Button1->SetBounds(240, 294, 75, 25);
  Button1->OnClick = [this](vcl::TObject* s) { Button1Click(s); };

  OnActivate = [this](vcl::TObject* s) { FormActivate(s); };
  OnKeyDown = [this](vcl::TObject* s, WORD& k, vcl::TShiftState sh) { FormKeyDown(s, k, sh); };
}

TMessageForm::~TMessageForm() {
  // Rows live on the panel: they go before it.
  penRows_.clear();
}

void TMessageForm::FormActivate(vcl::TObject*) {
  MessageLabel->SetCaption(
      L"For Wmf, Emf, Wmf, Dxf to Plt select\n\rthe HP 7475A printer driver which \n\rcomes with your Windows "
      L"version\n\rand configure \"print to file\".");
}

void TMessageForm::Button1Click(vcl::TObject*) { Close(); }

void TMessageForm::FormKeyDown(vcl::TObject*, WORD& Key, vcl::TShiftState) {
  if (Key == VK_RETURN) Close();
}

void TMessageForm::CheckBox1Click(vcl::TObject*) {
  if (CheckBox1->Checked()) WriteSetting(L"Message", L"Not Show");
}

}  // namespace pelindra::app
