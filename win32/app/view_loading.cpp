// Picture loading and display: reading the current file by its kind and
// fitting the borderless window to the picture.

#include <algorithm>

#include "engine/base/numbers.h"
#include "win32/app/view_form.h"
#include "win32/cad/hpgl_form.h"
#include "win32/gif/gif_graphic.h"
#include "win32/imaging/graph_conv.h"
#include "win32/print/scanning.h"
#include "win32/system/runf.h"
#include "win32/system/settings.h"
#include "win32/system/win.h"
#include "win32/vcl/application.h"
#include "win32/vcl/bitmap.h"
#include "win32/vcl/clipboard.h"
#include "win32/vcl/jpeg.h"
#include "win32/vcl/metafile.h"
#include "win32/vcl/picture.h"
#include "win32/vcl/strings.h"

namespace pelindra::app {

namespace {

bool isOneOf(const std::wstring& ext, std::initializer_list<const wchar_t*> list) {
  return std::any_of(list.begin(), list.end(), [&](const wchar_t* e) { return ext == e; });
}

std::wstring upperExtension(const std::wstring& file) { return vcl::UpperCase(ExtractFileExt(file)).substr(0, 4); }

}  // namespace

void TViewForm::MenuVisible() {
  Item(L"Crop1")->SetEnabled(false);
  Item(L"Optimize1")->SetVisible(CurrentExt == L".GIF");
}

void TViewForm::CheckFile() {
  Item(L"Undo1")->SetVisible(false);
  IsTransparent = false;
  CurrentDir = ExtractFileDir(CurrentFile);
  if (!CurrentDir.empty() && !SetCurrentDirectoryW(CurrentDir.c_str()))
    throw std::runtime_error("I/O error: cannot change directory");
  CurrentExt = upperExtension(CurrentFile);
  // Files ending in .jpeg are JPEG pictures like .jpg ones.
  if (vcl::UpperCase(ExtractFileExt(CurrentFile)) == L".JPEG") CurrentExt = L".JPG";
  imaging::ConvExt = CurrentExt;
  OpenDialog1->FileName = CurrentFile;
  MenuVisible();
  IsCadFile = false;
  IsMetafile = isOneOf(CurrentExt, {L".EMF", L".WMF", L".WPG"});
  const DWORD attributes = GetFileAttributesW(CurrentFile.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesW(CurrentFile.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));

  if (isOneOf(CurrentExt, {L".BMP", L".WMF", L".EMF", L".WPG", L".ICO", L".JPG"})) {
    ShowPic();
  } else if (CurrentExt == L".TIF") {
    ShowTif();
  } else if (CurrentExt == L".GIF") {
    ShowGif();
  } else if (isOneOf(CurrentExt, {L".DXF", L".PLT", L".000", L".HPG"})) {
    IsCadFile = true;
    CadPending = true;
    Timer1->SetEnabled(true);
  }

  LogoBackup.clear();
  if (CurrentExt == L".SYS") {
    // A start-up logo holds a bitmap: show it under a .bmp name, then give the
    // file its name back. When the file cannot take the .bmp name (another file
    // has it), nothing is shown rather than that other file.
    LogoBackup = CurrentFile;
    std::wstring asBitmap = CurrentFile;
    ChangeExt(asBitmap, L".bmp");
    CurrentFile = asBitmap;
    if (MoveFileW(LogoBackup.c_str(), asBitmap.c_str())) {
      CurrentExt = L".BMP";
      try {
        ShowPic();
        FileInfo(CurrentFile);
      } catch (...) {
        MoveFileW(asBitmap.c_str(), LogoBackup.c_str());
        throw;
      }
      MoveFileW(asBitmap.c_str(), LogoBackup.c_str());
    }
  }
  if (LogoBackup.empty()) FileInfo(CurrentFile);
  DelFile(UndoFile);
  PopupEnabled = true;
}

void TViewForm::OpenFile() {
  print::ScanToPrint = false;
  if (!OpenDialog1->Execute()) return;
  WindowMoved = false;
  CurrentFile = OpenDialog1->FileName;
  CheckFile();
  Item(L"Undo1")->SetVisible(false);
  Item(L"N9")->SetVisible(false);
}

void TViewForm::ShowPic() {
  try {
    if (CurrentExt == L".JPG") {
      auto jpeg = std::make_unique<vcl::TJPEGImage>();
      jpeg->LoadFromFile(CurrentFile);
      if (jpeg->PixelFormat() == vcl::TJPEGPixelFormat::jf8Bit) PicturePixelFormat = pelindra::PixelFormat::Bits8;
      if (jpeg->PixelFormat() == vcl::TJPEGPixelFormat::jf24Bit) PicturePixelFormat = pelindra::PixelFormat::Bits24;
      Image1->Picture().Assign(*jpeg);
    } else if (CurrentExt != L".WPG") {
      Image1->Picture().LoadFromFile(CurrentFile);
    } else {
      Wpg2Wmf();
      const std::wstring emf = TempFolder() + L"\\Temp.emf";
      if (FileExists(emf)) {
        CurrentExt = L".EMF";
        Image1->Picture().LoadFromFile(emf);
        ScaleFactor = 100;
        const int w = Image1->Picture().Width(), h = Image1->Picture().Height();
        if (w > vcl::TScreen::Width() || h > vcl::TScreen::Height()) {
          ScaleX = static_cast<long double>(vcl::TScreen::Width()) / w;
          ScaleY = static_cast<long double>(vcl::TScreen::Height()) / h;
          ScaleFactor = std::min(ScaleX, ScaleY);
        }
        if (ScaleFactor < 100) {
          if (auto* meta = dynamic_cast<vcl::TMetafile*>(Image1->Picture().Graphic())) {
            imaging::ResizeMetafile(*meta, roundToInt(w * ScaleFactor), roundToInt(h * ScaleFactor));
            meta->SaveToFile(emf);
            Image1->Picture().LoadFromFile(emf);
          }
        }
        FileInfo(emf);
      }
    }
    IsAnimated = false;
    ScalePic(Image1->Picture().Width(), Image1->Picture().Height());
  } catch (...) {
    // An unreadable picture leaves the window as it was.
  }
}

void TViewForm::ShowGif() {
  // Still pictures for now: an animation shows its first frame.
  try {
    auto picture = std::make_unique<gif::TGIFGraphic>();
    picture->LoadFromFile(CurrentFile);
    IsAnimated = picture->FrameCount() > 2;
    PicturePixelFormat = picture->Bitmap().PixelFormat();
    IsTransparent = picture->HasTransparency();
    const int width = picture->Width(), height = picture->Height();
    Image1->Picture().SetGraphic(std::move(picture));
    ScalePic(width, height);
  } catch (...) {
    // An unreadable picture leaves the window as it was.
  }
}

void TViewForm::ShowTif() {
  const std::wstring temp = TempFolder();
  const std::wstring output = temp + L"\\Temp.bmp";
  const std::wstring converter = temp + L"\\Tif2Bmp.exe";
  DelFile(output);
  ExtractResource(L"Tif2Bmp", converter);
  std::wstring argument = CurrentDir;
  if (!argument.empty() && argument.back() != L'\\') argument += L'\\';
  argument += ExtractFileName(CurrentFile);
  try {
    if (FileExists(converter)) RunAndWait(converter, argument, SW_HIDE, true);
    if (FileExists(output)) {
      Image1->Picture().LoadFromFile(output);
      ScalePic(Image1->Picture().Width(), Image1->Picture().Height());
    } else {
      vcl::ShowMessage(argument + L"\n\r" + L"Unknow Tiff Format!!");
    }
  } catch (...) {
  }
  DelFile(converter);
}

void TViewForm::Wpg2Wmf() {
  const std::wstring temp = TempFolder();
  const std::wstring output = temp + L"\\Temp.emf";
  const std::wstring converter = temp + L"\\Wpg.exe";
  DelFile(temp + L"\\Temp.wmf");
  // A metafile left by an earlier conversion must not pass for this one's result.
  DelFile(output);
  ExtractResource(L"Wpg", converter);
  const std::wstring arguments = L"-p " + ShortPath(OpenDialog1->FileName) + L" " + ShortPath(output);
  if (FileExists(converter)) {
    try {
      RunAndWait(converter, arguments, SW_HIDE, true);
    } catch (...) {
    }
    DelFile(converter);
  }
  if (FileExists(output))
    CurrentExt = L".EMF";
  else
    vcl::ShowMessage(L"Unknow File Format!!");
}

void TViewForm::ShowCad() {
  try {
    IsAnimated = false;
    Hide();
    cad::HpglForm->ShowModal();
    if (CloseRequested) {
      Close();
      return;
    }
    Show();
    CurrentFile = OpenDialog1->FileName;
    if (isOneOf(CurrentExt, {L".BMP", L".ICO", L".JPG", L".GIF"})) {
      CheckFile();
      return;
    }
    CurrentExt = L".EMF";
    auto meta = std::make_unique<vcl::TMetafile>();
    HENHMETAFILE drawing = vcl::Clipboard().GetEnhMetafile();
    if (!drawing) throw std::runtime_error("no drawing on the clipboard");
    meta->SetHandle(drawing);
    Image1->Picture().SetGraphic(std::move(meta));
    CurrentFile = TempFolder() + L"\\Cad.emf";
    Image1->Picture().SaveToFile(CurrentFile);
    ScalePic(Image1->Picture().Width(), Image1->Picture().Height());
    FileInfo(CurrentFile);
    vcl::Clipboard().Clear();
  } catch (...) {
    Show();
  }
}

void TViewForm::ScalePic(int width, int height) {
  const int pictureWidth = width, pictureHeight = height;
  // The hidden file list follows the folder of the picture shown.
  FileListBox->SetDirectory(ExtractFileDir(CurrentFile));
  const std::wstring name = ExtractFileName(CurrentFile);
  for (int i = 0; i < FileListBox->Count(); ++i)
    if (vcl::SameText(FileListBox->Items()[std::size_t(i)], name)) SlideIndex = i;
  if (SlideShowOn) ++SlideIndex;
  if (SlideIndex > FileListBox->Count() - 1) SlideIndex = 0;

  Panel1->SetVisible(false);
  Panel2->SetVisible(false);
  Image1->SetVisible(false);
  Image2->SetVisible(false);
  Item(L"N4")->SetEnabled(true);
  if (IsAnimated) Item(L"Color1")->SetCaption(L"Animation");
  for (const wchar_t* item :
       {L"Copy1", L"Print1", L"Rotate1", L"N8", L"Convert1", L"N4", L"Mirror1", L"Crop1", L"Croptofit1"})
    Item(item)->SetVisible(!IsAnimated);
  ClientArea->SetVisible(!IsAnimated);

  IsTransparent = CurrentExt == L".GIF";
  if (!IsAnimated) {
    Image1->SetTransparent(IsTransparent);
    Image2->SetTransparent(IsTransparent);
  }
  if (CurrentFile != UndoSource && !CurrentFile.empty()) {
    BaseName = ExtractFileName(ShellDisplayName(CurrentFile));
    StripExt(BaseName);
    SafeBaseName = BaseName;
    std::replace(SafeBaseName.begin(), SafeBaseName.end(), L' ', L'_');
  }

  const int screenWidth = vcl::TScreen::Width(), screenHeight = vcl::TScreen::Height();
  ScaleFactor = 100;
  if (width > 0 && height > 0 && (screenWidth < width || screenHeight < height)) {
    ScaleX = 1 / (static_cast<long double>(width) / screenWidth);
    ScaleY = 1 / (static_cast<long double>(height) / screenHeight);
    ScaleFactor = ScaleY < ScaleX ? ScaleY : ScaleX;
  }
  if (ScaleFactor < 100) {
    width = roundToInt(width * ScaleFactor);
    height = roundToInt(height * ScaleFactor);
  }

  SetColor(isOneOf(CurrentExt, {L".WMF", L".EMF"}) ? RGB(255, 255, 255) : GetSysColor(COLOR_DESKTOP));
  if (width > 5 || height > 5) {
    SetClientSize(width, height);
  } else {
    SetClientSize(50, 50);
    SetColor(RGB(0, 0, 0));
  }
  if (!WindowMoved) {
    SetBounds(roundToInt((screenWidth - Width()) * 0.5L), roundToInt((screenHeight - Height()) * 0.5L), Width(),
              Height());
  } else {
    WriteSetting(L"Moved", L"1");
    if (auto l = parseInt(vcl::Narrow(ReadSetting(L"MovedL")))) SetLeft(*l);
    if (auto t = parseInt(vcl::Narrow(ReadSetting(L"MovedT")))) SetTop(*t);
  }
  Item(L"Format1")
      ->SetCaption(L"Format = " + std::to_wstring(pictureWidth) + L" x " + std::to_wstring(pictureHeight) + L"  (" +
                   vcl::LowerCase(CurrentExt) + L")");
  if (CurrentExt == L".BMP")
    if (auto* bitmap = dynamic_cast<vcl::TBitmap*>(Image1->Picture().Graphic()))
      PicturePixelFormat = bitmap->PixelFormat();

  bool reduced = false;
  if (CurrentExt == L".BMP" && ScreenBits < 15 && PicturePixelFormat > pelindra::PixelFormat::Bits8 &&
      PicturePixelFormat != pelindra::PixelFormat::Custom) {
    const std::wstring temps = TempFolder() + L"\\Temps.jpg";
    try {
      auto* bitmap = dynamic_cast<vcl::TBitmap*>(Image1->Picture().Graphic());
      if (!bitmap) throw std::runtime_error("not a bitmap");
      {
        vcl::TJPEGImage jpeg;
        jpeg.OnProgress = Image1->OnProgress;
        jpeg.Assign(*bitmap);
        jpeg.SetCompressionQuality(90);
        jpeg.Performance = vcl::jpBestQuality;
        jpeg.SaveToFile(temps);
      }
      Image2->Picture().LoadFromFile(temps);
      Image1->SetVisible(false);
      Image2->SetVisible(true);
      reduced = true;
    } catch (...) {
      Image2->Picture().SetGraphic(nullptr);
      Image1->SetVisible(true);
    }
    DelFile(temps);
  }
  if (!reduced) {
    Image2->Picture().SetGraphic(nullptr);
    Image1->SetVisible(true);
    Image2->SetVisible(false);
  }

  ProcessMessages();
  Item(L"Croptofit1")->SetVisible(false);
  if (!isOneOf(CurrentExt, {L".WMF", L".EMF", L".WPG", L".TIF"}) && !IsAnimated && pictureWidth <= screenWidth &&
      pictureHeight <= screenHeight)
    Item(L"Croptofit1")->SetVisible(imaging::CropFitTest(*Image1));
  SetFocus();
}

void TViewForm::Image1Progress(vcl::TObject*, vcl::TProgressStage, int PercentDone, bool, const RECT&,
                               const std::wstring&) {
  if (SlideShowOn) return;
  centrePanel3();
  if (!IsAnimated) Panel3->SetVisible(true);
  Gauge->SetProgress(PercentDone);
  if (PercentDone >= 100) Panel3->SetVisible(false);
  ProcessMessages();
}

void TViewForm::centrePanel3() {
  Panel3->SetBounds(roundToInt((ClientWidth() - Panel3->Width()) * 0.5L),
                    roundToInt((ClientHeight() - Panel3->Height()) * 0.5L), Panel3->Width(), Panel3->Height());
}

}  // namespace pelindra::app
