#include <gtest/gtest.h>

#include "tests/win32/app/viewer_fixture.h"
#include "win32/app/bg_form.h"
#include "win32/imaging/graph_conv.h"
#include "win32/imaging/resize_form.h"
#include "win32/imaging/rotate_form.h"
#include "win32/system/win.h"
#include "win32/vcl/bitmap.h"
#include "win32/vcl/clipboard.h"
#include "win32/vcl/picture.h"

namespace pelindra::test {
namespace {

class Commands : public StartedViewerTest {
 protected:
  void SetUp() override {
    StartedViewerTest::SetUp();
  }
  void TearDown() override {
    vcl::TForm::ModalHook = nullptr;
    StartedViewerTest::TearDown();
  }
  void Show(const std::wstring& file) {
    view->CurrentFile = file;
    view->CheckFile();
  }
  void Click(const wchar_t* item) { view->Item(item)->Click(); }
  pelindra::Color TopLeft() {
    return imaging::PictureDib(*view->Image1).pixel(0, 0);
  }
  TempDir dir;
};

TEST_F(Commands, AFailingCommandLeavesTheWindowUsable) {
  vcl::TForm::ModalHook = [](vcl::TForm& form) { form.ModalResult = vcl::mrCancel; };
  // Nothing is shown: every picture operation fails inside the command.
  for (const wchar_t* item : {L"Rotate1", L"Horizontal1", L"Grayscale1", L"N4Bit16color1", L"Croptofit1",
                              L"Copy1", L"SendtoPaint1", L"Crop1", L"Resize1"}) {
    Click(item);
    EXPECT_FALSE(view->Panel3->Visible()) << vcl::Narrow(item);
    EXPECT_FALSE(view->BusyCursor) << vcl::Narrow(item);
    EXPECT_TRUE(view->PopupEnabled) << vcl::Narrow(item);
    EXPECT_TRUE(view->SelectEnabled) << vcl::Narrow(item);
  }
  // Without a scanner the scanning items are off after the first command.
  EXPECT_FALSE(view->Item(L"Device1")->Enabled());
  EXPECT_FALSE(view->Item(L"CopytoPrinter2")->Enabled());
}

TEST_F(Commands, EveryItemCanBeClickedWithoutAPicture) {
  vcl::TFileDialog::TestHook = [](vcl::TFileDialog&) { return false; };
  vcl::TForm::ModalHook = [](vcl::TForm& form) { form.ModalResult = vcl::mrCancel; };
  std::vector<vcl::TMenuItem*> items;
  std::function<void(vcl::TMenuItem&)> collect = [&](vcl::TMenuItem& parent) {
    for (int i = 0; i < parent.Count(); ++i) {
      items.push_back(parent.Items(i));
      collect(*parent.Items(i));
    }
  };
  collect(view->PopupMenu1->Items());
  collect(view->PopupMenu2->Items());
  for (vcl::TMenuItem* item : items) {
    if (item->Name == L"N3" || item->Name == L"M3") continue;  // these end the program
    item->Click();
  }
  EXPECT_FALSE(vcl::Application->Terminated());
  Click(L"N3");
  EXPECT_TRUE(vcl::Application->Terminated());
  EXPECT_EQ(ReadSetting(L"Moved"), L"0");
}

TEST_F(Commands, UndoGoesBackOneStep) {
  const std::wstring file = dir / L"photo.bmp";
  WriteBitmap(file, 40, 20);
  Show(file);
  Click(L"Horizontal1");
  EXPECT_EQ(TopLeft(), rgb(0, 0, 255)) << "the red pixel moved to the right";
  EXPECT_TRUE(view->Item(L"Undo1")->Visible());
  EXPECT_EQ(view->Item(L"Undo1")->Caption(), L"Undo Flip");
  EXPECT_EQ(view->UndoSource, file) << "the first edit keeps no copy: the file is the state";
  EXPECT_TRUE(view->UndoFile.empty());

  Click(L"Vertikal1");  // a second edit keeps a copy of the first edit's result
  const std::wstring copy = TempFolder() + L"\\Undo.bmp";
  EXPECT_EQ(view->UndoSource, copy);
  EXPECT_TRUE(FileExists(copy));

  Click(L"Undo1");
  EXPECT_EQ(TopLeft(), rgb(0, 0, 255)) << "back to the flipped picture";
  EXPECT_EQ(view->CurrentFile, copy);
  EXPECT_FALSE(FileExists(copy)) << "an undo copy is used once";
  EXPECT_FALSE(view->Item(L"Undo1")->Visible());
}

TEST_F(Commands, FirstEditThenUndoReadsTheFileAgain) {
  const std::wstring file = dir / L"photo.bmp";
  WriteBitmap(file, 40, 20);
  Show(file);
  Click(L"Grayscale1");
  EXPECT_NE(TopLeft(), rgb(255, 0, 0));
  Click(L"Undo1");
  EXPECT_EQ(TopLeft(), rgb(255, 0, 0));
  EXPECT_EQ(view->CurrentFile, file);
}

TEST_F(Commands, RotateAskAndUndoCaption) {
  const std::wstring file = dir / L"wide.bmp";
  WriteBitmap(file, 100, 50);
  Show(file);
  vcl::TForm::ModalHook = [](vcl::TForm& form) {
    auto& rotate = dynamic_cast<imaging::TRotateForm&>(form);
    rotate.Edit1->SetText(L"-90");
    EXPECT_EQ(rotate.Edit1->Text(), L"90");
    rotate.Button1->Click();
  };
  Click(L"Rotate1");
  EXPECT_EQ(view->Image1->Picture().Width(), 50);
  EXPECT_EQ(view->Image1->Picture().Height(), 100);
  EXPECT_TRUE(view->Item(L"Undo1")->Visible());
  EXPECT_EQ(view->Item(L"Undo1")->Caption(), L"Undo Rotate");

  vcl::TForm::ModalHook = [](vcl::TForm& form) { dynamic_cast<imaging::TRotateForm&>(form).Button1->Click(); };
  Click(L"Rotate1");  // an angle of 0 counts as cancel
  EXPECT_EQ(view->Image1->Picture().Width(), 50);
  EXPECT_FALSE(view->Item(L"Undo1")->Visible());
}

TEST_F(Commands, RotateWithARedBorder) {
  const std::wstring file = dir / L"pic.bmp";
  WriteBitmap(file, 60, 40);
  Show(file);
  vcl::TForm::ModalHook = [](vcl::TForm& form) {
    auto& rotate = dynamic_cast<imaging::TRotateForm&>(form);
    rotate.Edit1->SetText(L"30");
    vcl::TColorDialog::TestHook = [](vcl::TColorDialog& d) {
      d.Color = RGB(255, 0, 0);
      return true;
    };
    rotate.Panel1->Click();
    vcl::TColorDialog::TestHook = nullptr;
    rotate.Button1->Click();
  };
  Click(L"Rotate1");
  const Dib result = imaging::PictureDib(*view->Image1);
  const int r = result.width() - 1, b = result.height() - 1;
  for (const auto& [x, y] : std::initializer_list<std::pair<int, int>>{{0, 0}, {r, 0}, {0, b}, {r, b}})
    EXPECT_EQ(result.pixel(x, y), rgb(255, 0, 0)) << x << "," << y;
}

TEST_F(Commands, ResizeThroughTheDialog) {
  const std::wstring file = dir / L"pic.bmp";
  WriteBitmap(file, 200, 100);
  Show(file);
  vcl::TForm::ModalHook = [](vcl::TForm& form) {
    auto& resize = dynamic_cast<imaging::TResizeForm&>(form);
    EXPECT_EQ(resize.Edit1->Text(), L"100");
    EXPECT_EQ(resize.Edit2->Text(), L"200");
    resize.Edit1->SetText(L"50");
    resize.Calculate();
    EXPECT_EQ(resize.Edit3->Text(), L"50");
    resize.Button1->Click();
  };
  Click(L"Resize1");
  EXPECT_EQ(view->Image1->Picture().Width(), 100);
  EXPECT_EQ(view->Image1->Picture().Height(), 50);
  EXPECT_EQ(view->Item(L"Undo1")->Caption(), L"Undo Resize");
  EXPECT_TRUE(view->Item(L"Undo1")->Visible());

  vcl::TForm::ModalHook = [](vcl::TForm& form) { dynamic_cast<imaging::TResizeForm&>(form).Button1->Click(); };
  Click(L"Resize1");  // GO! without a change
  EXPECT_EQ(view->Image1->Picture().Width(), 100);
  EXPECT_FALSE(view->Item(L"Undo1")->Visible());
}

TEST_F(Commands, CropToFitRemovesAFrame) {
  // A 50 x 40 drawing inside a white frame of 10 pixels.
  Dib framed(70, 60, 24);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 70; ++x) framed.setPixel(x, y, rgb(255, 255, 255));
  for (int y = 10; y < 50; ++y)
    for (int x = 10; x < 60; ++x) framed.setPixel(x, y, rgb(0, 128, 0));
  const std::wstring file = dir / L"framed.bmp";
  vcl::WriteFileBytes(file, writeBmp(framed));
  Show(file);
  ASSERT_TRUE(view->Item(L"Croptofit1")->Visible());
  Click(L"Croptofit1");
  EXPECT_EQ(view->Image1->Picture().Width(), 50);
  EXPECT_EQ(view->Image1->Picture().Height(), 40);
  EXPECT_EQ(view->Item(L"Undo1")->Caption(), L"Undo Crop to fit");
  EXPECT_FALSE(view->Item(L"Croptofit1")->Visible()) << "nothing left to remove";
}

TEST_F(Commands, DepthConversionsFollowTheInformationMenu) {
  const std::wstring file = dir / L"pic.bmp";
  WriteBitmap(file, 30, 20);
  Show(file);
  EXPECT_FALSE(view->Item(L"N24BitTrueColor1")->Enabled());
  EXPECT_TRUE(view->Item(L"N4Bit16color1")->Enabled());
  Click(L"N4Bit16color1");
  EXPECT_EQ(readBmpHeader(vcl::ReadFileBytes(TempFolder() + L"\\Temp.bmp")).bitCount, 4);
  EXPECT_EQ(view->PicturePixelFormat, pelindra::PixelFormat::Bits4);
  EXPECT_EQ(view->Item(L"BitCount1")->Caption(), L"4 Bit 16 Colors");
  EXPECT_FALSE(view->Item(L"N8Bit256color1")->Enabled());
  EXPECT_TRUE(view->Item(L"Gif1")->Visible());
  Click(L"N1BitBlackWhite1");
  EXPECT_FALSE(view->Item(L"Convert1")->Enabled());
  Click(L"Undo1");
  EXPECT_EQ(view->PicturePixelFormat, pelindra::PixelFormat::Bits4);
  EXPECT_TRUE(view->Item(L"Convert1")->Enabled());
}

TEST_F(Commands, CopyPutsThePictureOnTheClipboard) {
  const std::wstring file = dir / L"pic.bmp";
  WriteBitmap(file, 30, 20);
  Show(file);
  vcl::Clipboard().Clear();
  Click(L"Copy1");
  EXPECT_TRUE(vcl::Clipboard().HasPicture());
  EXPECT_TRUE(vcl::Clipboard().HasFormat(CF_DIB));
  view->FormMouseMove(view->Image1.get(), 0, 1, 1);
  EXPECT_TRUE(view->Item(L"Paste1")->Enabled());
}

TEST_F(Commands, DialogsRememberTheirFolders) {
  const std::wstring file = dir / L"pic.bmp";
  WriteBitmap(file, 30, 20);
  vcl::TFileDialog::TestHook = [&](vcl::TFileDialog& d) {
    EXPECT_EQ(d.Title, L"Open Picture");
    EXPECT_EQ(d.InitialDir, ExtractFilePath(vcl::Application->ExeName()) + L"Demo");
    d.FileName = file;
    return true;
  };
  Click(L"N2");
  EXPECT_EQ(view->CurrentFile, file);
  EXPECT_EQ(ReadSetting(L"OpenPic"), dir.path().wstring());
  // Pictures opened from the work folder do not move the memory there.
  const std::wstring work = TempFolder() + L"\\Temp.bmp";
  WriteBitmap(work, 10, 10);
  vcl::TFileDialog::TestHook = [&](vcl::TFileDialog& d) {
    EXPECT_EQ(d.InitialDir, dir.path().wstring());
    d.FileName = work;
    return true;
  };
  Click(L"N2");
  EXPECT_EQ(ReadSetting(L"OpenPic"), dir.path().wstring());
}

TEST_F(Commands, MenuStatesFollowThePictureKind) {
  const std::wstring file = dir / L"pic.bmp";
  WriteBitmap(file, 30, 20);
  Show(file);
  for (const wchar_t* item : {L"Copy1", L"Print1", L"Rotate1", L"N8", L"Convert1", L"N4", L"Mirror1", L"Crop1"})
    EXPECT_TRUE(view->Item(item)->Visible()) << vcl::Narrow(item);
  EXPECT_TRUE(view->Item(L"N4")->Enabled());
  EXPECT_FALSE(view->Item(L"Optimize1")->Visible());
  view->IsAnimated = true;
  view->ScalePic(30, 20);
  for (const wchar_t* item : {L"Copy1", L"Print1", L"Rotate1", L"N8", L"Convert1", L"N4", L"Mirror1", L"Crop1",
                              L"Croptofit1"})
    EXPECT_FALSE(view->Item(item)->Visible()) << vcl::Narrow(item);
  EXPECT_EQ(view->Item(L"Color1")->Caption(), L"Animation");
  EXPECT_FALSE(view->ClientArea->Visible());
}

TEST_F(Commands, InformationLines) {
  // A 24-bit bitmap whose header gives a file size of 1 000 000 bytes.
  Dib dib(100, 100, 24);
  const std::wstring file = dir / L"pic.bmp";
  auto bytes = writeBmp(dib);
  bytes.resize(1000000, 0);
  bytes[2] = 0x40, bytes[3] = 0x42, bytes[4] = 0x0F, bytes[5] = 0;  // file size 1000000 in the header
  vcl::WriteFileBytes(file, bytes);
  Show(file);
  EXPECT_EQ(view->Item(L"FileSize1")->Caption(), L"Filesize 976.563 KB");
  EXPECT_TRUE(view->Item(L"FileSize1")->Visible());
  EXPECT_EQ(view->Item(L"BitCount1")->Caption(), L"24 Bit True Colors");
  EXPECT_EQ(view->Item(L"DeviceCaps1")->Caption(), L"Screen = True Colors (32 Bit)");
  EXPECT_FALSE(view->Item(L"N24BitTrueColor1")->Enabled());
  EXPECT_TRUE(view->Item(L"N8Bit256color1")->Enabled());
  EXPECT_FALSE(view->Item(L"Gif1")->Visible());

  struct Case {
    long long bytes;
    const wchar_t* text;
  };
  for (const Case c : {Case{1024, L"Filesize 1024 Bytes"}, Case{1025, L"Filesize 1.001 KB"},
                       Case{1048576, L"Filesize 1024.000 KB"}, Case{3 * 1048576LL, L"Filesize 3.000 MB"}})
    EXPECT_EQ(app::TViewForm::FileSizeText(c.bytes, L'.'), c.text);
  EXPECT_EQ(app::TViewForm::FileSizeText(1025, L','), L"Filesize 1,001 KB");
}

// The overwrite question, and the existing file left in place whatever the answer: the save
// that follows replaces it only once the new file is complete.
TEST_F(Commands, SaveCheckAsksBeforeReplacing) {
  const std::wstring existing = dir / L"Picture.jpeg";
  vcl::WriteFileBytes(existing, std::vector<std::uint8_t>{1, 2, 3});
  int answer = IDNO;
  std::vector<std::wstring> captions;
  vcl::MessageBoxHook = [&](const std::wstring& text, const std::wstring& caption, UINT flags) {
    messages.push_back(text);
    captions.push_back(caption);
    EXPECT_EQ(flags & MB_TYPEMASK, UINT(MB_YESNO));
    return answer;
  };

  view->SaveDialog1->FileName = dir / L"new.bmp";
  EXPECT_TRUE(view->SaveCheck());
  EXPECT_EQ(view->CurrentExt, L".BMP");
  EXPECT_TRUE(messages.empty());

  view->SaveDialog1->FileName = existing;
  EXPECT_FALSE(view->SaveCheck());
  EXPECT_EQ(view->CurrentExt, L".JPE");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], L"Wavefile Picture.jpeg exsists !\n\r\n\rOverwrite ?");
  EXPECT_EQ(captions[0], L"Confirm");

  answer = IDYES;
  EXPECT_TRUE(view->SaveCheck());
  EXPECT_TRUE(FileExists(existing));
}

}  // namespace
}  // namespace pelindra::test
