// The two popup menus of the main window, with every item as it starts.

#include "win32/app/view_form.h"

namespace pelindra::app {

namespace {

struct MenuEntry {
  const wchar_t* name;
  const wchar_t* caption;
  int depth;  // 0 top level, 1 submenu entry, 2 entry of a submenu's submenu
  bool visible = true;
  bool enabled = true;
  bool dispatch = true;  // bound to the command dispatcher
};

// Picture menu, in menu order.
const MenuEntry kPictureMenu[] = {
    {L"N2", L"&Open", 0},
    {L"NextPicture1", L"Next Picture       -->", 0},
    {L"PrevPicture1", L"Prev Picture      <--", 0},
    {L"SlideShow1", L"Slide Show         S", 0},
    {L"Copy1", L"Copy", 0},
    {L"Paste1", L"Paste", 0, true, false},
    {L"SendtoPaint1", L"Edit", 0},
    {L"Acquire2", L"Acquire", 0},
    {L"Device1", L"Acquire", 1},
    {L"CopytoPrinter1", L"Copy to Printer", 1},
    {L"ScannerSelect2", L"Scanner Select", 1, true, true, false},
    {L"CadView2", L"CadView", 0},
    {L"Print1", L"Print", 0},
    {L"N4", L"Set as Walpaper", 0, true, false},
    {L"N5", L"Screen Center", 1},
    {L"N6", L"Set as Tilling", 1},
    {L"N7", L"Stretch", 1},
    {L"N8", L"Save as", 0},
    {L"Bmp1", L"Bmp", 1},
    {L"Wmf1", L"Wmf", 1},
    {L"Emf1", L"Emf", 1},
    {L"Jpg1", L"Jpg", 1},
    {L"Gif1", L"Gif", 1},
    {L"Tif1", L"Tif", 1},
    {L"Logosys1", L"SystemLogo.sys", 1, false},
    {L"StartUpLogo1", L"StartUp Logo", 2},
    {L"ShutDownLogo1", L"ShutDown Logo", 2},
    {L"ReBootLogo1", L"ReBoot Logo", 2},
    {L"N9", L"Save Animation", 0, false},
    {L"Crop1", L"Crop", 0, true, false},
    {L"Croptofit1", L"Crop to fit", 0},
    {L"Resize1", L"Resize", 0},
    {L"Optimize1", L"Optimize  ( gif )", 0},
    {L"Convert1", L"Convert", 0},
    {L"N1BitBlackWhite1", L"1 Bit Black/White", 1},
    {L"N4Bit16color1", L"4 Bit 16 color", 1},
    {L"N8Bit256color1", L"8 Bit 256 color", 1},
    {L"N24BitTrueColor1", L"24 Bit true color", 1},
    {L"Grayscale1", L"Grayscale", 1},
    {L"Mirror1", L"Flip", 0},
    {L"Horizontal1", L"Horizontal", 1},
    {L"Vertikal1", L"Vertikal", 1},
    {L"Rotate1", L"Rotate", 0},
    {L"Info1", L"Info", 0},
    // Information lines: text only, no actions.
    {L"Format1", L"Format", 1, true, false, false},
    {L"BitCount1", L"BitCount", 1, false, false, false},
    {L"Color1", L"Color", 1, false, false, false},
    {L"FileSize1", L"FileSize", 1, false, false, false},
    {L"DeviceCaps1", L"DeviceCaps", 1, true, false, false},
    {L"Undo1", L"Undo ...", 0, false},
    {L"Move1", L"Move", 0},
    {L"N3", L"&Close  ( Space )", 0},
};

// Start menu.
const MenuEntry kStartMenu[] = {
    {L"M2", L"&Open", 0},
    {L"Paste2", L"Paste", 0},
    {L"Print2", L"Print", 0},
    {L"Aquire1", L"Aquire", 0},
    {L"Device2", L"Aquire", 1},
    {L"CopytoPrinter2", L"Copy to Printer", 1},
    {L"ScannerSelect1", L"Scanner Select", 1, true, true, false},
    {L"CadView1", L"CadView", 0},
    {L"M3", L"&Close  ( Space )", 0},
};

}  // namespace

void TViewForm::createMenus() {
  auto build = [this](vcl::TPopupMenu& menu, const MenuEntry* begin, const MenuEntry* end) {
    vcl::TMenuItem* parents[3] = {&menu.Items(), nullptr, nullptr};
    for (const MenuEntry* entry = begin; entry != end; ++entry) {
      vcl::TMenuItem* item = parents[entry->depth]->Add(entry->name, entry->caption);
      item->SetVisible(entry->visible);
      item->SetEnabled(entry->enabled);
      if (entry->dispatch) item->OnClick = [this](vcl::TObject* sender) { Desktop1Click(sender); };
      if (entry->depth < 2) parents[entry->depth + 1] = item;
    }
  };
  build(*PopupMenu1, std::begin(kPictureMenu), std::end(kPictureMenu));
  build(*PopupMenu2, std::begin(kStartMenu), std::end(kStartMenu));
  PopupMenu1->OnPopup = [this](vcl::TObject* sender) { PopupMenu1Popup(sender); };
}

vcl::TMenuItem* TViewForm::Item(const std::wstring& name) const {
  if (vcl::TMenuItem* item = PopupMenu1->Find(name)) return item;
  return PopupMenu2->Find(name);
}

}  // namespace pelindra::app
