#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/base/numbers.h"
#include "engine/gif/gif_image.h"
#include "tests/win32/app/viewer_fixture.h"
#include "win32/imaging/graph_conv.h"
#include "win32/system/win.h"
#include "win32/vcl/bitmap.h"
#include "win32/vcl/picture.h"

namespace pelindra::test {
namespace {

using Display = StartedViewerTest;

TEST_F(Display, PicturesAreShrunkToTheScreenNeverEnlarged) {
  ASSERT_EQ(vcl::TScreen::Width(), 1024);
  ASSERT_EQ(vcl::TScreen::Height(), 768);
  struct Case {
    int width, height;
    long double scale;
    int clientWidth, clientHeight;
  };
  for (const Case c : {Case{4000, 3000, 0.256L, 1024, 768}, Case{640, 480, 100, 640, 480},
                       Case{2048, 300, 0.5L, 1024, 150}, Case{6, 2, 100, 6, 2}}) {
    view->ScalePic(c.width, c.height);
    EXPECT_NEAR(double(view->ScaleFactor), double(c.scale), 1e-12) << c.width;
    EXPECT_EQ(view->ClientWidth(), c.clientWidth) << c.width;
    EXPECT_EQ(view->ClientHeight(), c.clientHeight) << c.width;
    EXPECT_EQ(view->Left(), roundToInt((1024 - view->Width()) * 0.5L)) << c.width;
    EXPECT_EQ(view->Top(), roundToInt((768 - view->Height()) * 0.5L)) << c.width;
  }
}

TEST_F(Display, TinyPicturesGetABlackFiftyPixelWindow) {
  view->ScalePic(1, 1);
  EXPECT_EQ(view->ClientWidth(), 50);
  EXPECT_EQ(view->ClientHeight(), 50);
  EXPECT_EQ(view->Color(), RGB(0, 0, 0));
}

TEST_F(Display, AUserPlacedWindowKeepsItsPlace) {
  view->WindowMoved = true;
  WriteSetting(L"MovedL", L"12");
  WriteSetting(L"MovedT", L"34");
  view->ScalePic(100, 80);
  EXPECT_EQ(view->Left(), 12);
  EXPECT_EQ(view->Top(), 34);
  EXPECT_EQ(ReadSetting(L"Moved"), L"1");
}

TEST_F(Display, ABitmapIsShownAndDescribed) {
  TempDir dir;
  view->CurrentFile = dir / L"Holiday Photo.bmp";
  WriteBitmap(view->CurrentFile, 640, 480);
  view->CheckFile();
  EXPECT_EQ(view->CurrentExt, L".BMP");
  EXPECT_EQ(view->Image1->Picture().Width(), 640);
  EXPECT_TRUE(view->Image1->Visible());
  EXPECT_FALSE(view->Image2->Visible());
  EXPECT_EQ(view->ClientWidth(), 640);
  EXPECT_EQ(view->Item(L"Format1")->Caption(), L"Format = 640 x 480  (.bmp)");
  EXPECT_EQ(view->PicturePixelFormat, pelindra::PixelFormat::Bits24);
  EXPECT_EQ(view->BaseName, L"Holiday Photo");
  EXPECT_EQ(view->SafeBaseName, L"Holiday_Photo");
  EXPECT_EQ(view->OpenDialog1->FileName, view->CurrentFile);
  EXPECT_TRUE(view->PopupEnabled);
  EXPECT_FALSE(view->Item(L"Optimize1")->Visible());
  EXPECT_FALSE(view->Item(L"Crop1")->Enabled());
}

TEST_F(Display, ACorruptBitmapLeavesTheWindowAsItWas) {
  TempDir dir;
  view->CurrentFile = dir / L"good.bmp";
  WriteBitmap(view->CurrentFile, 120, 90);
  view->CheckFile();
  auto bytes = vcl::ReadFileBytes(view->CurrentFile);
  bytes.resize(40);  // cut inside the header
  view->CurrentFile = dir / L"bad.bmp";
  vcl::WriteFileBytes(view->CurrentFile, bytes);
  view->CheckFile();
  EXPECT_EQ(view->Image1->Picture().Width(), 120);
  EXPECT_EQ(view->ClientWidth(), 120);
}

TEST_F(Display, StartUpLogoFilesAreShownAsBitmapsAndKeepTheirName) {
  TempDir dir;
  const std::wstring logo = dir / L"logo.sys";
  WriteBitmap(logo, 320, 400);
  view->CurrentFile = logo;
  view->CheckFile();
  EXPECT_EQ(view->Image1->Picture().Width(), 320);
  EXPECT_EQ(view->CurrentFile, dir / L"logo.bmp");
  EXPECT_EQ(view->CurrentExt, L".BMP");
  EXPECT_EQ(view->LogoBackup, logo);
  EXPECT_NE(view->Item(L"Format1")->Caption().find(L"(.bmp)"), std::wstring::npos);
  EXPECT_TRUE(FileExists(logo));
  EXPECT_FALSE(FileExists(dir / L"logo.bmp"));
}

TEST_F(Display, JpegFilesWithEitherExtension) {
  for (const wchar_t* name : {L"Landscape.jpg", L"copy.jpeg"}) {
    TempDir dir;
    const std::wstring target = dir / name;
    CopyFileW(Demo(L"Landscape.jpg").c_str(), target.c_str(), FALSE);
    view->CurrentFile = target;
    view->CheckFile();
    EXPECT_EQ(view->CurrentExt, L".JPG") << vcl::Narrow(name);
    EXPECT_EQ(view->Image1->Picture().Width(), 640) << vcl::Narrow(name);
    EXPECT_EQ(view->PicturePixelFormat, pelindra::PixelFormat::Bits24);
  }
}

TEST_F(Display, DrawingsGoToTheCadViewerAfterATick) {
  TempDir dir;
  view->CurrentFile = dir / L"plan.plt";
  vcl::WriteFileBytes(view->CurrentFile, std::vector<std::uint8_t>{'I', 'N', ';'});
  view->CheckFile();
  EXPECT_TRUE(view->IsCadFile);
  EXPECT_TRUE(view->CadPending);
  EXPECT_TRUE(view->Timer1->Enabled());
  EXPECT_EQ(view->Timer1->Interval(), 1000u);
}

TEST_F(Display, ConvertersThatProduceNothingSayWhat) {
  TempDir dir;
  view->CurrentFile = dir / L"scan.tif";
  vcl::WriteFileBytes(view->CurrentFile, std::vector<std::uint8_t>{'n', 'o', 't'});
  view->CheckFile();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], view->CurrentDir + L"\\scan.tif\n\rUnknow Tiff Format!!");
  EXPECT_FALSE(FileExists(TempFolder() + L"\\Tif2Bmp.exe"));

  messages.clear();
  view->CurrentFile = dir / L"art.wpg";
  vcl::WriteFileBytes(view->CurrentFile, std::vector<std::uint8_t>{'n', 'o', 't'});
  view->CheckFile();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], L"Unknow File Format!!");
  EXPECT_FALSE(FileExists(TempFolder() + L"\\Wpg.exe"));
}

// Every picture of the sample corpus is shown or refused without harm. TIFF and WPG files go
// through their carried converters, which must show all but the files made to break readers,
// refusing those with the converter's message and never staying behind in the work folder.
TEST_F(Display, CorpusPicturesAreShownOrRefused) {
  if (!haveTestdata()) GTEST_SKIP() << "no sample corpus";
  const auto hostile = [](const std::filesystem::path& p) {
    const std::string name = p.filename().string();
    for (const char* mark : {"crash-", "oom-", "segfault", "seek_too_large", "ofz", "loop", "wrong_bits"})
      if (name.find(mark) != std::string::npos) return true;
    return p.parent_path().filename() == "fail";
  };
  struct Kind {
    const char* folder;
    const wchar_t* refusal;           // the converter's message, or none for pictures read directly
    const char* extension = nullptr;  // only files of this extension (the folder holds others too)
  };
  for (const Kind kind :
       {Kind{"tiff", L"Unknow Tiff Format!!"}, Kind{"wpg", L"Unknow File Format!!"}, Kind{"jpeg", nullptr},
        Kind{"gif", nullptr, ".gif"}, Kind{"ico", nullptr}, Kind{"wmf", nullptr}, Kind{"emf", nullptr}}) {
    int files = 0, shown = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(testdata(kind.folder))) {
      if (!entry.is_regular_file()) continue;
      const std::filesystem::path& file = entry.path();
      if (kind.extension && file.extension() != kind.extension) continue;
      SCOPED_TRACE(file.string());
      ++files;
      messages.clear();
      view->Image1->Picture().SetGraphic(nullptr);
      view->CurrentFile = file.wstring();
      std::replace(view->CurrentFile.begin(), view->CurrentFile.end(), L'/', L'\\');
      view->CheckFile();
      if (view->Image1->Picture().Width() > 0) {
        EXPECT_TRUE(messages.empty());
        ++shown;
      } else if (kind.refusal) {
        EXPECT_TRUE(hostile(file));
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_TRUE(messages[0].ends_with(kind.refusal)) << vcl::Narrow(messages[0]);
      }
      EXPECT_FALSE(FileExists(TempFolder() + L"\\Tif2Bmp.exe"));
      EXPECT_FALSE(FileExists(TempFolder() + L"\\Wpg.exe"));
    }
    EXPECT_GT(shown, files / 2) << kind.folder;
  }
}

// A GIF shows its first frame at the logical screen's size; more than two frames make it an
// animation (which hides the editing items), a transparent index makes it transparent.
TEST_F(Display, GifPicturesShowTheirFirstFrame) {
  TempDir dir;
  TGIFImage gif;
  for (const Color colour : {rgb(255, 0, 0), rgb(0, 255, 0), rgb(0, 0, 255)}) {
    Dib frame(20, 10, 24);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 20; ++x) frame.setPixel(x, y, colour);
    gif.AddFrame(frame);
  }
  const std::wstring file = dir / L"anim.gif";
  vcl::WriteFileBytes(file, gif.SaveToBytes());
  view->CurrentFile = file;
  view->CheckFile();
  EXPECT_EQ(view->CurrentExt, L".GIF");
  ASSERT_EQ(view->Image1->Picture().Width(), 20);
  EXPECT_EQ(view->Image1->Picture().Height(), 10);
  EXPECT_TRUE(view->IsAnimated);
  EXPECT_EQ(view->PicturePixelFormat, pelindra::PixelFormat::Bits8);
  EXPECT_EQ(imaging::PictureDib(*view->Image1).pixel(5, 5), rgb(255, 0, 0));
  EXPECT_FALSE(view->Item(L"Rotate1")->Visible());

  // A still GIF takes the editing commands through its bitmap.
  TGIFImage still;
  Dib red(8, 4, 24);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) red.setPixel(x, y, rgb(255, 0, 0));
  still.AddFrame(red);
  view->CurrentFile = dir / L"still.gif";
  vcl::WriteFileBytes(view->CurrentFile, still.SaveToBytes());
  view->CheckFile();
  EXPECT_FALSE(view->IsAnimated);
  ASSERT_TRUE(view->Item(L"Grayscale1")->Visible());
  view->Item(L"Grayscale1")->Click();
  EXPECT_EQ(imaging::PictureDib(*view->Image1).pixel(3, 2), rgb(85, 85, 85));
  view->Item(L"Undo1")->Click();
  EXPECT_EQ(imaging::PictureDib(*view->Image1).pixel(3, 2), rgb(255, 0, 0));

  const std::wstring broken = dir / L"broken.gif";
  vcl::WriteFileBytes(broken, std::vector<std::uint8_t>{'G', 'I', 'F', '8', '9', 'a', 1});
  view->CurrentFile = broken;
  view->CheckFile();
  EXPECT_EQ(view->Image1->Picture().Width(), 8);
}

TEST_F(Display, ProgressShowsTheGaugeInTheMiddle) {
  view->ScalePic(200, 100);
  RECT r{};
  view->Image1Progress(view, vcl::TProgressStage::psRunning, 40, false, r, L"");
  EXPECT_TRUE(view->Panel3->Visible());
  EXPECT_EQ(view->Gauge->Progress(), 40);
  EXPECT_EQ(view->Panel3->Left(), 82);
  EXPECT_EQ(view->Panel3->Top(), 32);
  view->Image1Progress(view, vcl::TProgressStage::psEnding, 100, false, r, L"");
  EXPECT_FALSE(view->Panel3->Visible());
}

}  // namespace
}  // namespace pelindra::test
