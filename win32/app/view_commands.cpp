// The command dispatcher of both popup menus, and the one-step undo.

#include <windows.h>
#include <shellapi.h>

#include "engine/base/numbers.h"
#include "win32/app/view_form.h"
#include "win32/imaging/ants.h"
#include "win32/imaging/graph_conv.h"
#include "win32/print/printer_form.h"
#include "win32/print/scanning.h"
#include "win32/system/settings.h"
#include "win32/system/win.h"
#include "win32/vcl/application.h"
#include "win32/vcl/bitmap.h"
#include "win32/vcl/clipboard.h"
#include "win32/vcl/icon.h"
#include "win32/vcl/jpeg.h"
#include "win32/vcl/metafile.h"
#include "win32/vcl/picture.h"
#include "win32/vcl/strings.h"

namespace pelindra::app {

namespace {

bool is(vcl::TObject* sender, std::initializer_list<const wchar_t*> names) {
  for (const wchar_t* n : names)
    if (sender->Name == n) return true;
  return false;
}

// The extension a picture of this kind is written with.
std::wstring kindExtension(const vcl::TGraphic* graphic, const std::wstring& fallback) {
  if (dynamic_cast<const vcl::TBitmap*>(graphic)) return L".bmp";
  if (dynamic_cast<const vcl::TJPEGImage*>(graphic)) return L".jpg";
  if (dynamic_cast<const vcl::TIcon*>(graphic)) return L".ico";
  if (dynamic_cast<const vcl::TMetafile*>(graphic)) return L".emf";
  return vcl::LowerCase(fallback);
}

}  // namespace

void TViewForm::SetUndo() {
  DelFile(UndoFile);
  Item(L"Undo1")->SetVisible(true);
  if (UndoSource.empty()) {
    // The first edit of a run: the file on disk is the state to go back to.
    UndoSource = CurrentFile;
    return;
  }
  // The copy is written in the kind the view holds, so that its name tells the
  // reader what it is (a TIFF shown as a bitmap is kept as Undo.bmp).
  UndoSource = TempFolder() + L"\\Undo" + kindExtension(Image1->Picture().Graphic(), CurrentExt);
  UndoFile = UndoSource;
  Image1->Picture().SaveToFile(UndoFile);
}

void TViewForm::AfterEdit() {
  imaging::QuietReencode = true;
  ScalePic(Image1->Picture().Width(), Image1->Picture().Height());
  FileInfo(imaging::WorkFile(L"Temp" + vcl::LowerCase(imaging::ConvExt)));
}

bool TViewForm::SaveCheck() {
  const std::wstring& name = SaveDialog1->FileName;
  CurrentExt = vcl::UpperCase(ExtractFileExt(name)).substr(0, 4);
  if (!FileExists(name)) return true;
  const std::wstring question =
      L"Wavefile " + ExtractFileName(name) + L" exsists !\n\r\n\rOverwrite ?";
  return vcl::MessageBox(question, L"Confirm", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void TViewForm::Desktop1Click(vcl::TObject* Sender) {
  auto* item = static_cast<vcl::TMenuItem*>(Sender);
  // Prologue.
  imaging::Selection.StartSelection(0, 0);
  SelectEnabled = false;
  PopupEnabled = false;
  Gauge->SetProgress(0);
  centrePanel3();
  ProcessMessages();
  imaging::ConvExt = CurrentExt;
  OpenDialog1->Title = L"Open Picture";
  SaveDialog1->Title = L"Save Picture As...";
  const std::wstring openFolder = ReadSetting(L"OpenPic");
  OpenDialog1->InitialDir = openFolder.empty() ? ExtractFilePath(vcl::Application->ExeName()) + L"Demo" : openFolder;
  const std::wstring saveFolder = ReadSetting(L"SavePic");
  SaveDialog1->InitialDir = saveFolder.empty() ? ReadRegString(RootShellFolders, L"", L"My Pictures") : saveFolder;

  try {
    if (is(Sender, {L"M3", L"N3"})) {
      WriteSetting(L"Moved", L"0");
      Close();
    }
    if (is(Sender, {L"SendtoPaint1"})) {
      if (CurrentExt != L".BMP") imaging::ToBitmap(*Image1);
      const std::wstring file = SafeBaseName + L".bmp";
      if (!FileExists(file)) Image1->Picture().SaveToFile(file);
      ShellExecuteW(Handle(), nullptr, L"mspaint.exe", file.c_str(), nullptr, SW_SHOWNORMAL);
    }
    const std::wstring twain = ReadSetting(L"Twain");
    if (twain.empty() || twain == L"0")
      for (const wchar_t* n : {L"Device1", L"Device2", L"CopytoPrinter1", L"CopytoPrinter2"})
        Item(n)->SetEnabled(false);
    BusyCursor = true;
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));

    if (is(Sender, {L"SlideShow1"})) StartSlideShow();
    if (is(Sender, {L"NextPicture1"})) NextPicture();
    if (is(Sender, {L"PrevPicture1"})) PreviousPicture();
    if (is(Sender, {L"CadView1", L"CadView2"})) ShowCad();
    if (is(Sender, {L"M2", L"N2"})) OpenFile();
    // Wallpaper, animation saving and the logo files come with their own windows.
    if (is(Sender, {L"Move1"})) {
      Timer1->SetEnabled(true);
      Timer1Timer(Timer1.get());
    }
    if (is(Sender, {L"Crop1"})) {
      Item(L"Undo1")->SetCaption(L"Undo Crop");
      SetUndo();
      imaging::Crop(*Image1, CropWidth, CropHeight, CropLeft, CropTop);
      AfterEdit();
    }
    if (is(Sender, {L"Croptofit1"})) {
      Item(L"Undo1")->SetCaption(L"Undo Crop to fit");
      SetUndo();
      const auto box = imaging::CropFitBox;
      imaging::Crop(*Image1, box.FitWidth, box.FitHeight, box.FitLeft, box.FitTop);
      AfterEdit();
    }
    if (is(Sender, {L"Resize1"}) && !IsAnimated) {
      Item(L"Undo1")->SetCaption(L"Undo Resize");
      SetUndo();
      const bool changed = imaging::Resize(*Image1);
      AfterEdit();
      Item(L"Undo1")->SetVisible(changed);
    }
    struct Depth {
      const wchar_t* item;
      pelindra::PixelFormat format;
    };
    for (const Depth d : {Depth{L"N1BitBlackWhite1", pelindra::PixelFormat::Bits1},
                          Depth{L"N4Bit16color1", pelindra::PixelFormat::Bits4},
                          Depth{L"N8Bit256color1", pelindra::PixelFormat::Bits8},
                          Depth{L"N24BitTrueColor1", pelindra::PixelFormat::Bits24}}) {
      if (!is(Sender, {d.item})) continue;
      Item(L"Undo1")->SetCaption(L"Undo Convert");
      SetUndo();
      imaging::ConvertDepth(*Image1, d.format);
      AfterEdit();
    }
    if (is(Sender, {L"Grayscale1"})) {
      Item(L"Undo1")->SetCaption(L"Undo Convert");
      SetUndo();
      imaging::Grayscale(*Image1);
      AfterEdit();
      Item(L"N4Bit16color1")->SetEnabled(true);
    }
    if (is(Sender, {L"Undo1"}) && item->Caption() != L"Undo WallPaper") {
      try {
        vcl::Clipboard().Clear();
      } catch (...) {
      }
      CurrentFile = UndoSource;
      CheckFile();
    }
    if (is(Sender, {L"Print1", L"Print2", L"CopytoPrinter1", L"CopytoPrinter2"})) {
      print::ScanToPrint = is(Sender, {L"CopytoPrinter1", L"CopytoPrinter2"});
      if (print::ScanToPrint) Image1->Picture().SetGraphic(nullptr);
      Hide();
      print::PrinterForm->ShowModal();
      if (CloseRequested) {
        Close();
      } else {
        Show();
        ScalePic(Image1->Picture().Width(), Image1->Picture().Height());
      }
    }
    if (is(Sender, {L"Horizontal1", L"Vertikal1"})) {
      Item(L"Undo1")->SetCaption(L"Undo Flip");
      SetUndo();
      imaging::Flip(*Image1, is(Sender, {L"Horizontal1"}) ? L"Horizontal" : L"Vertikal");
      AfterEdit();
    }
    if (is(Sender, {L"Copy1"})) {
      if (CurrentExt == L".ICO") imaging::ToBitmap(*Image1);
      if (vcl::TGraphic* graphic = Image1->Picture().Graphic()) vcl::Clipboard().Assign(*graphic);
    }
    if (is(Sender, {L"Rotate1"})) {
      Item(L"Undo1")->SetCaption(L"Undo Rotate");
      SetUndo();
      const bool confirmed = imaging::Rotate(*Image1);
      AfterEdit();
      Item(L"Undo1")->SetVisible(confirmed);
    }
    // Folder memory of the dialogs.
    if (CurrentFile != UndoSource && SaveDialog1->FileName != UndoSource && FileExists(SaveDialog1->FileName)) {
      const std::wstring folder = ExtractFilePath(SaveDialog1->FileName);
      if (folder != TempFolder() + L"\\") WriteSetting(L"SavePic", folder);
    }
    if (FileExists(CurrentFile) && CurrentDir != TempFolder()) WriteSetting(L"OpenPic", CurrentDir);
  } catch (...) {
    // A failing command ends here; the window stays usable.
  }
  // Epilogue.
  BusyCursor = false;
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  Panel3->SetVisible(false);
  imaging::QuietReencode = false;
  SelectEnabled = !IsAnimated;
  PopupEnabled = true;
  CropWidth = CropHeight = 0;
  CurrentExt = imaging::ConvExt;
}

}  // namespace pelindra::app
