#include "win32/app/view_form.h"

#include <shellapi.h>
#include <shlobj.h>
#include <winspool.h>

#include "engine/base/numbers.h"
#include "win32/app/bg_form.h"
#include "win32/imaging/ants.h"
#include "win32/imaging/graph_conv.h"
#include "win32/print/scanning.h"
#include "win32/system/associations.h"
#include "win32/system/runf.h"
#include "win32/system/settings.h"
#include "win32/system/win.h"
#include "win32/vcl/application.h"
#include "win32/vcl/bitmap.h"
#include "win32/vcl/picture.h"
#include "win32/vcl/strings.h"

namespace pelindra::app {

TViewForm* ViewForm = nullptr;

namespace {

// Work files of the temporary folder deleted at close, in this order.
const wchar_t* const kWorkFiles[] = {
    L"\\Temp\\Temp.gif",     L"\\Temp\\Temp.bmp",     L"\\Temp\\Temp.jpg",     L"\\Temp\\Temp.emf",
    L"\\Temp\\Temp.wmf",     L"\\Temp\\Temp.plt",     L"\\Temp\\ClipBrd.bmp",  L"\\Temp\\ClipBrd.emf",
    L"\\Temp\\ClipBrd.gif",  L"\\Temp\\Optimize.gif", L"\\Temp\\Scan.bmp",     L"\\Temp\\Rot.bmp",
    L"\\Temp\\Cad.emf",      L"\\Temp\\Crp.emf",      L"\\Temp\\Str.emf",      L"\\Temp\\Merg.bmp",
};

constexpr wchar_t kOpenFilter[] =
    L"All (*.bmp;*.ico;*.emf;*.wmf;*.wpg;*.gif;*.jpg;*.plt;*.hpg;*.000;*.dxf;*.tif)|*.bmp;*.ico;*.emf;*.wmf;*.wpg;"
    L"*.gif;*.jpg;*.plt;*.hpg;*.000;*.dxf;*.tif|Bitmaps (*.bmp)|*.bmp|Icons (*.ico)|*.ico|MetaFiles "
    L"(*.emf;*.wmf;*.wpg)|*.emf;*.wmf;*.wpg|GifFiles (*.gif)|*.gif|JPegFiles (*.jpg)|*.jpg|PltFiles(*.plt;*.hpg;"
    L"*.000)|*.plt;*.hpg;*.000|DxfFiles(*.dxf)|*.dxf|TiffFiles(*.tif)|*.tif";
constexpr wchar_t kSaveFilter[] =
    L"All (*.bmp;*.ico;*.emf;*.wmf;*.gif;*.jpg;*.plt;*.hpg;*.000;*.dxf)|*.bmp;*.ico;*.emf;*.wmf;*.gif;*.jpg;*.plt;"
    L"*.hpg;*.000;*.dxf|Bitmaps (*.bmp)|*.bmp|Icons (*.ico)|*.ico|Enhanced Metafiles (*.emf)|*.emf|Metafiles "
    L"(*.wmf)|*.wmf|Giffiles (*.gif)|*.gif|JPegfiles (*.jpg)|*.jpg|PltFiles(*.plt;*.hpg;*.000)|*.plt;*.hpg;*.000|"
    L"DxfFiles(*.dxf)|*.dxf";

}  // namespace

TViewForm::TViewForm() {
  ViewForm = this;
  SetBorderStyle(vcl::TFormBorderStyle::bsNone);
  SetBorderIcons(0);
  SetColor(RGB(128, 128, 128));
  Position = vcl::TPosition::poScreenCenter;
  SetClientSize(395, 238);
  createControls();
  createMenus();
  setStartupPicture();
  ScreenBits = vcl::TScreen::BitsPerPixel();

  OnActivate = [this](vcl::TObject* s) { FormActivate(s); };
  OnClose = [this](vcl::TObject* s, vcl::TCloseAction& a) { FormClose(s, a); };
  OnKeyDown = [this](vcl::TObject* s, WORD& k, vcl::TShiftState sh) { FormKeyDown(s, k, sh); };
  OnMouseDown = [this](vcl::TObject* s, vcl::TMouseButton b, vcl::TShiftState sh, int x, int y) {
    FormMouseDown(s, b, sh, x, y);
  };
  OnMouseMove = [this](vcl::TObject* s, vcl::TShiftState sh, int x, int y) { FormMouseMove(s, sh, x, y); };
}

TViewForm::~TViewForm() {
  // Graphic controls of the panels go before their panels.
  Label2.reset();
  Image3.reset();
  Gauge.reset();
  Label1.reset();
  if (ViewForm == this) ViewForm = nullptr;
}

void TViewForm::createControls() {
  Panel1 = std::make_unique<vcl::TPanel>(this);
  Panel1->SetBounds(0, 0, 395, 20);
  Panel1->SetAlign(vcl::TAlign::alTop);
  Panel1->Alignment = DT_LEFT;
  Panel1->BevelOuter = vcl::TBevelCut::bvNone;
  Label1 = std::make_unique<vcl::TLabel>(Panel1.get());
  Label1->SetCaption(L"  Menu");
  Label1->SetBounds(0, 3, Label1->Width(), Label1->Height());
  Label1->OnClick = [this](vcl::TObject* s) { Label1Click(s); };

  auto mouse = [this](vcl::TControl& c) {
    c.OnMouseDown = [this](vcl::TObject* s, vcl::TMouseButton b, vcl::TShiftState sh, int x, int y) {
      FormMouseDown(s, b, sh, x, y);
    };
    c.OnMouseMove = [this](vcl::TObject* s, vcl::TShiftState sh, int x, int y) { FormMouseMove(s, sh, x, y); };
  };
  Image1 = std::make_unique<vcl::TImage>(this);
  Image1->SetAlign(vcl::TAlign::alClient);
  Image1->Center = true;
  Image1->Stretch = true;
  Image1->OnProgress = [this](vcl::TObject* s, vcl::TProgressStage st, int p, bool r, const RECT& rc,
                              const std::wstring& m) { Image1Progress(s, st, p, r, rc, m); };
  mouse(*Image1);
  ClientArea = std::make_unique<vcl::TPaintBox>(this);
  ClientArea->SetAlign(vcl::TAlign::alClient);
  ClientArea->SetColor(RGB(255, 255, 255));
  mouse(*ClientArea);
  Image2 = std::make_unique<vcl::TImage>(this);
  Image2->SetAlign(vcl::TAlign::alClient);
  Image2->Stretch = true;
  Image2->SetVisible(false);
  Image2->OnProgress = Image1->OnProgress;
  mouse(*Image2);

  Panel2 = std::make_unique<vcl::TPanel>(this);
  Panel2->SetBounds(0, 0, 395, 240);
  Panel2->BevelOuter = vcl::TBevelCut::bvNone;
  Image3 = std::make_unique<vcl::TImage>(Panel2.get());
  Image3->SetAlign(vcl::TAlign::alClient);
  Image3->Stretch = true;
  Label2 = std::make_unique<vcl::TLabel>(Panel2.get());
  Label2->AutoSize = false;
  Label2->Transparent = true;
  Label2->Alignment = vcl::TAlignment::taCenter;
  vcl::TFontSpec labelFont;
  labelFont.Color = RGB(255, 255, 255);
  labelFont.Bold = true;
  Label2->SetFont(labelFont);
  Label2->SetBounds(0, 214, 395, 18);
  for (vcl::TControl* c : {static_cast<vcl::TControl*>(Panel2.get()), static_cast<vcl::TControl*>(Image3.get()),
                           static_cast<vcl::TControl*>(Label2.get())})
    c->OnClick = [this](vcl::TObject* s) { Label1Click(s); };

  Panel3 = std::make_unique<vcl::TPanel>(this);
  Panel3->SetBounds(0, 0, 36, 36);
  Panel3->SetColor(RGB(0, 128, 0));
  Panel3->SetVisible(false);
  Gauge = std::make_unique<vcl::TGauge>(Panel3.get());
  Gauge->SetBounds(2, 2, 32, 32);

  FileListBox = std::make_unique<vcl::TFileListBox>();
  FileListBox->Mask = L"*.bmp;*.ico;*.emf;*.wmf;*.wpg;*.gif;*.jpg;*.tif";
  OpenDialog1 = std::make_unique<vcl::TOpenDialog>();
  OpenDialog1->Filter = kOpenFilter;
  SaveDialog1 = std::make_unique<vcl::TSaveDialog>();
  SaveDialog1->Filter = kSaveFilter;
  PopupMenu1 = std::make_unique<vcl::TPopupMenu>();
  PopupMenu2 = std::make_unique<vcl::TPopupMenu>();

  Timer1 = std::make_unique<vcl::TTimer>();
  Timer1->SetInterval(1000);
  Timer1->OnTimer = [this](vcl::TObject* s) { Timer1Timer(s); };
  Timer2 = std::make_unique<vcl::TTimer>();
  Timer2->SetInterval(100);
  Timer2->OnTimer = [this](vcl::TObject* s) { Timer2Timer(s); };
  Timer2->SetEnabled(true);
}

void TViewForm::setStartupPicture() {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, L"STARTUP", MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!info) return;
  HGLOBAL data = LoadResource(module, info);
  const auto* bytes = data ? static_cast<const std::uint8_t*>(LockResource(data)) : nullptr;
  if (!bytes) return;
  try {
    auto bitmap = std::make_unique<vcl::TBitmap>();
    bitmap->LoadFromStream({bytes, SizeofResource(module, info)});
    Image3->Picture().SetGraphic(std::move(bitmap));
  } catch (...) {
    // Without its picture the start-up panel still shows the system's name.
  }
}

void TViewForm::ProcessMessages() {
  if (vcl::Application) vcl::Application->ProcessMessages();
}

// ------------------------------------------------------------ single instance

HWND TViewForm::RunOnce() {
  const std::wstring moved = ReadSetting(L"Moved");
  if (!moved.empty()) WindowMoved = moved != L"0";
  const std::wstring title = vcl::Application->Title();
  vcl::Application->SetHandleCaption(L"X");
  HWND earlier = FindWindowW(nullptr, title.c_str());
  if (earlier) SendMessageW(earlier, WM_CLOSE, 0, 0);
  vcl::Application->SetHandleCaption(title);
  return earlier;
}

// --------------------------------------------------------------- start-up

void TViewForm::FormActivate(vcl::TObject*) {
  // Start-up runs once, at the first activation: later activations (coming back
  // from the slide show's background) must not reset the window or re-register.
  if (startedUp_) return;
  startedUp_ = true;

  if (RunOnce()) {
    Panel2->SetVisible(false);
    if (WindowMoved) {
      if (auto l = parseInt(vcl::Narrow(ReadSetting(L"MovedL")))) SetLeft(*l);
      if (auto t = parseInt(vcl::Narrow(ReadSetting(L"MovedT")))) SetTop(*t);
    }
  }
  for (const std::wstring& ext : AssociatedExtensions()) Associate(ext);
  std::wstring none;
  RegAccess(HKEY_CLASSES_ROOT, RegDeleteKey, L"\\SystemFileAssociations\\Image\\ShellEx", none, L"");
  {
    const std::wstring key = L"\\Software\\MicroSoft\\Windows\\CurrentVersion\\Uninstall\\Pelindra";
    std::wstring name = L"Pelindra", uninstall = vcl::Application->ExeName() + L" UnInstall";
    RegAccess(HKEY_LOCAL_MACHINE, RegWrite, key, name, L"DisplayName");
    RegAccess(HKEY_LOCAL_MACHINE, RegWrite, key, uninstall, L"UnInstallString");
  }
  if (Uninstalling()) {
    std::wstring log = vcl::Application->ExeName();
    ChangeExt(log, L"ulg");
    if (FileExists(log)) ShellExecuteW(nullptr, L"Open", log.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    RegAccess(HKEY_LOCAL_MACHINE, RegDeleteKey, L"\\Software\\MicroSoft\\Windows\\CurrentVersion\\Uninstall\\Pelindra",
              none, L"");
    RegAccess(HKEY_CURRENT_USER, RegDeleteKey, L"\\Software\\Tolvane\\Pelindra", none, L"");
    const std::wstring shortcut = DesktopFolder() + L"\\Pelindra.lnk";
    if (FileExists(shortcut)) DeleteFileW(shortcut.c_str());
    vcl::Application->Terminate();
    return;
  }
  const std::wstring temp = TempFolder();
  if (!DirectoryExists(temp)) SHCreateDirectoryExW(nullptr, temp.c_str(), nullptr);
  ReadSavedWallpaper();
  ScaleFactor = 100;
  PicturePixelFormat = pelindra::PixelFormat::Bits8;
  ScreenBits = vcl::TScreen::BitsPerPixel();

  if (vcl::Application->ParamCount() == 1) {
    CurrentFile = vcl::Application->ParamStr(1);
  } else if (vcl::Application->ParamCount() > 1) {
    std::wstring joined;
    for (int i = 1; i <= vcl::Application->ParamCount(); ++i) joined += vcl::Application->ParamStr(i) + L" ";
    joined.pop_back();
    CurrentFile = joined;
  }
  DragAcceptFiles(Handle(), TRUE);
  imaging::Selection.window = Handle();
  if (ReadSetting(L"FirstTime").empty()) {
    WriteSetting(L"FirstTime", L"1");
    ApplySavedWallpaper();
  }
  {
    wchar_t dir[200] = {};
    DWORD needed = 0;
    if (GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(dir), sizeof dir, &needed))
      PrinterDriverDir = dir;
  }
  OSName = pelindra::OSName();
  Label2->SetCaption(OSName);
  if (!FileExists(PrinterDriverDir + L"\\Hpplot.drv") && OSName != L"Microsoft Windows XP") SetPrinterDrv();
  SetClientSize(395, 240);
  SetBounds((vcl::TScreen::Width() - Width()) / 2, (vcl::TScreen::Height() - Height()) / 2, Width(), Height());
  if (FileExists(CurrentFile)) CheckFile();
  SelectEnabled = true;
}

void TViewForm::ReadSavedWallpaper() {
  for (int i = 0; i < 3; ++i) {
    static const wchar_t* const names[3] = {L"Wallpaper", L"TileWallpaper", L"WallpaperStyle"};
    RegAccess(HKEY_CURRENT_USER, RegRead, L"\\Control Panel\\desktop\\", SavedWallpaper[i], names[i]);
  }
}

void TViewForm::ApplySavedWallpaper() {
  static const wchar_t* const names[3] = {L"Wallpaper", L"TileWallpaper", L"WallpaperStyle"};
  for (int i = 0; i < 3; ++i) {
    std::wstring v = SavedWallpaper[i];
    RegAccess(HKEY_CURRENT_USER, RegWrite, L"\\Control Panel\\desktop\\", v, names[i]);
  }
  std::wstring path = SavedWallpaper[0];
  SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, path.data(), SPIF_UPDATEINIFILE);
}

// -------------------------------------------------------------- close, drop

void TViewForm::FormClose(vcl::TObject*, vcl::TCloseAction&) {
  DelFile(UndoFile);
  const std::wstring windows = WindowsDir();
  for (const wchar_t* file : kWorkFiles) DelFile(windows + file);
  WriteSetting(L"Moved", L"0");
}

void TViewForm::DropFiles(HDROP drop) {
  std::wstring file;
  if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
    // The whole name, however long: a cut name would open another file.
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    file.assign(length + 1, L'\0');
    DragQueryFileW(drop, 0, file.data(), length + 1);
    file.resize(length);
  }
  DragFinish(drop);
  if (file.empty()) return;
  CurrentFile = file;
  CurrentDir = ExtractFileDir(CurrentFile);
  if (!SetCurrentDirectoryW(CurrentDir.c_str())) throw std::runtime_error("I/O error: cannot change directory");
  print::ScanToPrint = false;
  CheckFile();
}

LRESULT TViewForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_DROPFILES:
      DropFiles(reinterpret_cast<HDROP>(wp));
      return 0;
    case WM_SETCURSOR:
      if (BusyCursor) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      return TForm::WndProc(msg, wp, lp);
    case WM_NCHITTEST: {
      TForm::WndProc(msg, wp, lp);
      return HitMode == L"Client" ? HTCAPTION : HTCLIENT;
    }
    default:
      return TForm::WndProc(msg, wp, lp);
  }
}

}  // namespace pelindra::app
