#include <gtest/gtest.h>

#include "tests/win32/app/viewer_fixture.h"
#include "win32/app/bg_form.h"
#include "win32/system/win.h"
#include "win32/vcl/picture.h"

namespace pelindra::test {
namespace {

class Navigation : public StartedViewerTest {
 protected:
  void SetUp() override {
    StartedViewerTest::SetUp();
    WriteBitmap(dir / L"a.bmp", 10, 10);
    WriteBitmap(dir / L"b.bmp", 20, 10);
    WriteBitmap(dir / L"c.bmp", 30, 10);
    vcl::WriteFileBytes(dir / L"notes.txt", std::vector<std::uint8_t>{1});
  }
  void Show(const wchar_t* name) {
    view->CurrentFile = dir / name;
    view->CheckFile();
  }
  void Key(WORD key) { view->FormKeyDown(view, key, 0); }
  std::wstring Shown() const { return ExtractFileName(view->CurrentFile); }
  TempDir dir;
};

TEST_F(Navigation, ArrowsStepThroughTheFolderAndWrapAround) {
  Show(L"c.bmp");
  EXPECT_EQ(view->FileListBox->Count(), 3) << "only pictures are listed";
  EXPECT_EQ(view->SlideIndex, 2);
  Key(VK_RIGHT);
  EXPECT_EQ(Shown(), L"a.bmp");
  Key(VK_LEFT);
  EXPECT_EQ(Shown(), L"c.bmp");
  Key(VK_DOWN);
  EXPECT_EQ(Shown(), L"b.bmp");
  Key(VK_UP);
  EXPECT_EQ(Shown(), L"c.bmp");
  EXPECT_EQ(view->Image1->Picture().Width(), 30);
  EXPECT_FALSE(view->KeyBusy);
}

TEST_F(Navigation, KeysArrivingDuringTheLockDoNotStep) {
  Show(L"a.bmp");
  view->KeyBusy = true;
  Key(VK_RIGHT);
  EXPECT_EQ(Shown(), L"a.bmp");
  view->KeyBusy = false;
  // A step holds the keys back for 250 ms after the picture is shown.
  const DWORD start = GetTickCount();
  Key(VK_RIGHT);
  EXPECT_GE(GetTickCount() - start, 240u);
}

TEST_F(Navigation, TheSlideShowStepsEveryFiftyTicksAndEndsWithAKey) {
  Show(L"c.bmp");
  Key('S');
  EXPECT_TRUE(view->SlideShowOn);
  EXPECT_EQ(view->FormStyle(), vcl::TFormStyle::fsStayOnTop);
  EXPECT_TRUE(app::BGForm->Visible());
  EXPECT_EQ(view->SlideIndex, 0) << "after the last picture comes the first";
  for (int tick = 0; tick < 49; ++tick) view->Timer2Timer(view->Timer2.get());
  EXPECT_EQ(Shown(), L"c.bmp");
  view->Timer2Timer(view->Timer2.get());
  EXPECT_EQ(Shown(), L"a.bmp");
  EXPECT_EQ(view->SlideIndex, 1) << "the show moves on to the next entry";

  // Left stops the show and steps back from the entry that was due next.
  Key(VK_LEFT);
  EXPECT_FALSE(view->SlideShowOn);
  EXPECT_EQ(Shown(), L"a.bmp");
  EXPECT_EQ(view->SlideIndex, 0);
  view->Timer2Timer(view->Timer2.get());
  EXPECT_EQ(view->FormStyle(), vcl::TFormStyle::fsNormal);
  EXPECT_FALSE(app::BGForm->Visible());
}

TEST_F(Navigation, AClickOnTheBackgroundEndsTheShow) {
  Show(L"a.bmp");
  Key('S');
  app::BGForm->FormClick(app::BGForm);
  EXPECT_FALSE(view->SlideShowOn);
  view->SlideShowOn = true;
  view->PopupMenu1Popup(view->PopupMenu1.get());
  EXPECT_FALSE(view->SlideShowOn) << "opening the picture menu ends it too";
}

TEST_F(Navigation, MoveModeStoresThePlace) {
  Show(L"b.bmp");
  view->Item(L"Move1")->Click();
  EXPECT_EQ(view->HitMode, L"Client");
  EXPECT_TRUE(view->Timer1->Enabled());
  EXPECT_EQ(SendMessageW(view->Handle(), WM_NCHITTEST, 0, MAKELPARAM(view->Left() + 2, view->Top() + 2)), HTCAPTION);
  view->SetBounds(100, 120, view->Width(), view->Height());  // the user drags
  for (int tick = 0; tick < 4; ++tick) view->Timer1Timer(view->Timer1.get());
  EXPECT_TRUE(view->HitMode.empty());
  EXPECT_FALSE(view->Timer1->Enabled());
  EXPECT_TRUE(view->WindowMoved);
  EXPECT_EQ(ReadSetting(L"Moved"), L"1");
  EXPECT_EQ(ReadSetting(L"MovedL"), L"100");
  EXPECT_EQ(ReadSetting(L"MovedT"), L"120");
  EXPECT_EQ(SendMessageW(view->Handle(), WM_NCHITTEST, 0, MAKELPARAM(102, 122)), HTCLIENT);

  Show(L"c.bmp");
  EXPECT_EQ(view->Left(), 100) << "the next picture opens at the dragged place";
  vcl::TCloseAction action = vcl::TCloseAction::caHide;
  view->FormClose(view, action);
  EXPECT_EQ(ReadSetting(L"Moved"), L"0");
}

TEST_F(Navigation, ACadFileOpensTheViewerAtTheNextTick) {
  view->CurrentFile = dir / L"plan.dxf";
  vcl::WriteFileBytes(view->CurrentFile, std::vector<std::uint8_t>{'0'});
  view->CheckFile();
  int shown = 0;
  vcl::TForm::ModalHook = [&](vcl::TForm&) { ++shown; };
  view->Timer1Timer(view->Timer1.get());
  vcl::TForm::ModalHook = nullptr;
  EXPECT_EQ(shown, 1);
  EXPECT_FALSE(view->CadPending);
  EXPECT_FALSE(view->Timer1->Enabled());
  EXPECT_TRUE(view->Visible()) << "the main window comes back when the viewer returns";
}

}  // namespace
}  // namespace pelindra::test
