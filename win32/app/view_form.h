#pragma once
// The borderless main window: it shows one picture at a time, sized to the
// picture, and is the hub every command goes through.

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "engine/base/dib.h"
#include "win32/vcl/dialogs.h"
#include "win32/vcl/forms.h"
#include "win32/vcl/image.h"
#include "win32/vcl/menus.h"
#include "win32/vcl/stdctrls.h"

namespace pelindra::app {

class TViewForm : public vcl::TForm {
 public:
  TViewForm();
  ~TViewForm() override;

  // Controls, by their component names.
  std::unique_ptr<vcl::TPanel> Panel1;
  std::unique_ptr<vcl::TLabel> Label1;
  std::unique_ptr<vcl::TImage> Image1;
  std::unique_ptr<vcl::TPaintBox> ClientArea;
  std::unique_ptr<vcl::TImage> Image2;
  std::unique_ptr<vcl::TPanel> Panel2;
  std::unique_ptr<vcl::TImage> Image3;
  std::unique_ptr<vcl::TLabel> Label2;
  std::unique_ptr<vcl::TPanel> Panel3;
  std::unique_ptr<vcl::TGauge> Gauge;
  std::unique_ptr<vcl::TFileListBox> FileListBox;
  std::unique_ptr<vcl::TOpenDialog> OpenDialog1;
  std::unique_ptr<vcl::TSaveDialog> SaveDialog1;
  std::unique_ptr<vcl::TPopupMenu> PopupMenu1;
  std::unique_ptr<vcl::TPopupMenu> PopupMenu2;
  std::unique_ptr<vcl::TTimer> Timer1;
  std::unique_ptr<vcl::TTimer> Timer2;

  // Items of the two menus, by their component names ("Undo1", "Format1" ...).
  vcl::TMenuItem* Item(const std::wstring& name) const;

  // Shared state of the viewer window.
  std::wstring CurrentFile;
  std::wstring CurrentDir;
  std::wstring CurrentExt;
  pelindra::PixelFormat PicturePixelFormat = pelindra::PixelFormat::Bits8;
  int ScreenBits = 0;
  long double ScaleFactor = 100;
  bool WindowMoved = false;
  std::wstring HitMode;
  bool SlideShowOn = false;
  int SlideIndex = 0;
  int SlideTicks = 0;
  bool KeyBusy = false;
  int MoveTicks = 0;
  bool CadPending = false;
  bool IsCadFile = false;
  bool IsMetafile = false;
  bool IsAnimated = false;
  bool IsTransparent = false;
  bool SelectEnabled = false;
  bool PopupEnabled = false;
  bool CloseRequested = false;
  std::wstring UndoSource;
  std::wstring UndoFile;
  std::wstring SavedWallpaper[3];
  std::wstring PrinterDriverDir;
  std::wstring OSName;

  // Own values of picture loading.
  long double ScaleX = 0, ScaleY = 0;
  std::wstring BaseName;
  std::wstring SafeBaseName;
  std::wstring LogoBackup;

  // Start-up and main window.
  void FormActivate(vcl::TObject* Sender);
  void FormClose(vcl::TObject* Sender, vcl::TCloseAction& Action);
  HWND RunOnce();
  // Takes the first file of a shell drop.
  void DropFiles(HDROP drop);
  // The desktop wallpaper settings as found at start, and putting them back.
  void ReadSavedWallpaper();
  void ApplySavedWallpaper();

  // Picture loading and display.
  void CheckFile();
  void OpenFile();
  void ShowPic();
  void ShowGif();
  void ShowTif();
  void Wpg2Wmf();
  void ShowCad();
  void ScalePic(int width, int height);
  void Image1Progress(vcl::TObject* Sender, vcl::TProgressStage Stage, int PercentDone, bool RedrawNow,
                      const RECT& R, const std::wstring& Msg);
  void MenuVisible();
  // Fills the information submenu from a file and the shown picture.
  void FileInfo(const std::wstring& fileName);
  // The "Filesize ..." text for a size in bytes.
  static std::wstring FileSizeText(long long bytes, wchar_t decimalSeparator);

  // Input (keys, mouse, timers, menus).
  void FormKeyDown(vcl::TObject* Sender, WORD& Key, vcl::TShiftState Shift);
  void FormMouseDown(vcl::TObject* Sender, vcl::TMouseButton Button, vcl::TShiftState Shift, int X, int Y);
  void FormMouseMove(vcl::TObject* Sender, vcl::TShiftState Shift, int X, int Y);
  void Timer1Timer(vcl::TObject* Sender);
  void Timer2Timer(vcl::TObject* Sender);
  void Label1Click(vcl::TObject* Sender);
  void PopupMenu1Popup(vcl::TObject* Sender);
  void Desktop1Click(vcl::TObject* Sender);
  // Undo: keeps the state before an edit (the file itself after the first edit of a run).
  void SetUndo();
  // What every edit does afterwards: rescale, refresh the information menu.
  void AfterEdit();
  // Before a save: CurrentExt takes the chosen name's kind; an existing file of that name is
  // replaced only if the user agrees. It stays on disk until the new one is complete, which the
  // savers make sure of by writing beside it and moving over it.
  bool SaveCheck();
  // The hourglass shows while a command runs.
  bool BusyCursor = false;

  // Next and previous picture of the folder, with and without the key lock.
  void NextPicture();
  void PreviousPicture();
  void StepWithKeyLock(bool next);
  void StartSlideShow();
  void AnchorSelection(vcl::TObject* Sender, int X, int Y);
  void ExtendSelection(vcl::TObject* Sender, int X, int Y);
  POINT MouseScreen{0, 0};
  std::wstring SavedScreenSaver;
  int CropLeft = 0, CropTop = 0, CropWidth = 0, CropHeight = 0;

  // Lets pending window messages run (as long work does between its steps).
  static void ProcessMessages();

  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  bool startedUp_ = false;
  void createControls();
  void createMenus();
  void setStartupPicture();
  void centrePanel3();
};

extern TViewForm* ViewForm;

}  // namespace pelindra::app
