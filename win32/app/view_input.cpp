// Keyboard, mouse, timers and menus of the main window: stepping through the
// folder, the slide show, moving the borderless window.

#include "engine/base/numbers.h"
#include "win32/app/bg_form.h"
#include "win32/app/view_form.h"
#include "win32/imaging/ants.h"
#include "win32/system/settings.h"
#include "win32/system/win.h"
#include "win32/vcl/application.h"
#include "win32/vcl/clipboard.h"
#include "win32/vcl/registry.h"
#include "win32/vcl/strings.h"

namespace pelindra::app {

namespace {

std::wstring ReadScreenSaver() {
  std::wstring saver = vcl::TIniFile(L"System.ini").ReadString(L"Boot", L"SCRNSAVE.EXE", L"");
  if (saver.empty()) RegAccess(HKEY_CURRENT_USER, RegRead, L"\\Control Panel\\Desktop", saver, L"SCRNSAVE.EXE");
  return saver;
}

void WriteScreenSaver(const std::wstring& name) {
  std::wstring value = name;
  RegAccess(HKEY_CURRENT_USER, RegWrite, L"\\Control Panel\\Desktop", value, L"SCRNSAVE.EXE");
  vcl::TIniFile(L"SYSTEM.INI").WriteString(L"Boot", L"SCRNSAVE.EXE", name);
  SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, 1, nullptr, 0);
}

bool clipboardHasPicture() { return vcl::Clipboard().HasPicture(); }

}  // namespace

// ------------------------------------------------------------------ stepping

void TViewForm::NextPicture() {
  if (FileListBox->Count() == 0) return;
  if (SlideIndex + 1 >= FileListBox->Count()) SlideIndex = -1;
  CurrentFile = FileListBox->Directory() + L"\\" + FileListBox->Items()[std::size_t(SlideIndex + 1)];
  CheckFile();
}

void TViewForm::PreviousPicture() {
  if (FileListBox->Count() == 0) return;
  if (SlideIndex <= 0 || SlideIndex > FileListBox->Count()) SlideIndex = FileListBox->Count();
  CurrentFile = FileListBox->Directory() + L"\\" + FileListBox->Items()[std::size_t(SlideIndex - 1)];
  CheckFile();
}

void TViewForm::StepWithKeyLock(bool next) {
  if (KeyBusy) return;
  KeyBusy = true;
  try {
    next ? NextPicture() : PreviousPicture();
  } catch (...) {
    KeyBusy = false;
    throw;
  }
  // Keys arriving during the load and the pause after it do not step again.
  const DWORD deadline = GetTickCount() + 250;
  while (LONG(GetTickCount() - deadline) < 0 && !vcl::Application->Terminated()) {
    ProcessMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  KeyBusy = false;
}

void TViewForm::StartSlideShow() {
  SlideShowOn = true;
  SlideTicks = 0;
  SetFormStyle(vcl::TFormStyle::fsStayOnTop);
  BGForm->Show();
  BringToFront();
  ++SlideIndex;
  if (SlideIndex >= FileListBox->Count()) SlideIndex = 0;
}

// ---------------------------------------------------------------------- keys

void TViewForm::FormKeyDown(vcl::TObject*, WORD& Key, vcl::TShiftState) {
  if (Key == VK_SPACE) {
    WriteSetting(L"Moved", L"0");
    Close();
    return;
  }
  if (Key == 'S') StartSlideShow();
  if (Key != 'S') SlideShowOn = false;
  if (Key == VK_RIGHT || Key == VK_UP) StepWithKeyLock(true);
  if (Key == VK_LEFT || Key == VK_DOWN) StepWithKeyLock(false);
}

// --------------------------------------------------------------------- mouse

void TViewForm::FormMouseMove(vcl::TObject* Sender, vcl::TShiftState Shift, int X, int Y) {
  const POINT screen = static_cast<vcl::TControl*>(Sender)->ClientToScreen(POINT{X, Y});
  MouseScreen = screen;
  Item(L"Paste1")->SetEnabled(!Item(L"Undo1")->Visible() && clipboardHasPicture());
  if ((Shift & vcl::ssLeft) && SelectEnabled) ExtendSelection(Sender, X, Y);
}

void TViewForm::FormMouseDown(vcl::TObject* Sender, vcl::TMouseButton Button, vcl::TShiftState, int X, int Y) {
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  if (SlideShowOn) {
    AnchorSelection(Sender, X, Y);
    SlideShowOn = false;
    return;
  }
  if (Button == vcl::TMouseButton::mbLeft && SelectEnabled) {
    SetCursor(LoadCursorW(nullptr, IDC_CROSS));
    AnchorSelection(Sender, X, Y);
  }
  if (Button == vcl::TMouseButton::mbRight && PopupEnabled) {
    if (!Panel1->Visible()) PopupMenu1->Popup(MouseScreen.x, MouseScreen.y);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  }
}

void TViewForm::AnchorSelection(vcl::TObject*, int X, int Y) { imaging::Selection.StartSelection(X, Y); }

void TViewForm::ExtendSelection(vcl::TObject*, int X, int Y) {
  auto& selection = imaging::Selection;
  selection.EraseSelection();
  selection.X2 = std::clamp(X, 0, ClientArea->Width());
  selection.Y2 = std::clamp(Y, 0, ClientArea->Height());
  selection.DrawSelection();
  // The frame in picture coordinates: a picture shown at full size has the factor 1.
  if (ScaleFactor >= 1) ScaleFactor = 1;
  const RECT r = selection.Rect();
  CropLeft = roundToInt(r.left / ScaleFactor);
  CropTop = roundToInt(r.top / ScaleFactor);
  CropWidth = roundToInt((r.right - r.left) / ScaleFactor);
  CropHeight = roundToInt((r.bottom - r.top) / ScaleFactor);
}

// -------------------------------------------------------------------- timers

void TViewForm::Timer1Timer(vcl::TObject*) {
  ++MoveTicks;
  if (CadPending && MoveTicks == 1) {
    CadPending = false;
    Timer1->SetEnabled(false);
    MoveTicks = 0;
    ShowCad();
  } else {
    HitMode = L"Client";
  }
  if (MoveTicks == 5) {
    MoveTicks = 0;
    HitMode.clear();
    WriteSetting(L"Moved", L"1");
    WriteSetting(L"MovedL", std::to_wstring(Left()));
    WriteSetting(L"MovedT", std::to_wstring(Top()));
    WindowMoved = true;
    Timer1->SetEnabled(false);
  }
}

void TViewForm::Timer2Timer(vcl::TObject*) {
  if (SelectEnabled) imaging::Selection.DrawSelection();
  ++SlideTicks;
  const std::wstring saver = ReadScreenSaver();
  if (!saver.empty() && vcl::UpperCase(saver) != L"NONE") SavedScreenSaver = saver;
  if (SlideTicks >= 50 && SlideShowOn) {
    SlideTicks = 0;
    try {
      SetCursor(LoadCursorW(nullptr, IDC_ARROW));
      WriteScreenSaver(L"None");
      SetCursorPos(0, vcl::TScreen::Width());
      if (SlideIndex >= 0 && SlideIndex < FileListBox->Count()) {
        const std::wstring next = FileListBox->Directory() + L"\\" + FileListBox->Items()[std::size_t(SlideIndex)];
        if (next != CurrentFile) {
          CurrentFile = next;
          if (FileExists(CurrentFile)) CheckFile();
        }
      }
    } catch (...) {
    }
  }
  if (!SlideShowOn && FormStyle() == vcl::TFormStyle::fsStayOnTop) {
    try {
      WriteScreenSaver(SavedScreenSaver);
      SetFormStyle(vcl::TFormStyle::fsNormal);
      BGForm->Hide();
    } catch (...) {
    }
  }
}

// --------------------------------------------------------------------- menus

void TViewForm::Label1Click(vcl::TObject*) {
  Item(L"Paste2")->SetEnabled(clipboardHasPicture());
  Panel2->SetVisible(false);
  PopupMenu2->Popup(Panel1->Left() + Left(), Panel1->Top() + Top() + Panel1->Height());
}

void TViewForm::PopupMenu1Popup(vcl::TObject*) {
  Item(L"Crop1")->SetEnabled(CropWidth > 2 && CropHeight > 2);
  SlideShowOn = false;
}

}  // namespace pelindra::app
