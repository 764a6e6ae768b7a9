#include <gtest/gtest.h>

#include "tests/win32/app/viewer_fixture.h"
#include "win32/system/win.h"
#include "win32/vcl/picture.h"

namespace pelindra::test {
namespace {

// These tests run on a display of 256 colours.
using ReducedColour = StartedViewerTest;

TEST_F(ReducedColour, TrueColourBitmapsAreShownThroughTheSecondView) {
  ASSERT_EQ(view->ScreenBits, 8);
  TempDir dir;
  view->CurrentFile = dir / L"photo.bmp";
  WriteBitmap(view->CurrentFile, 200, 100);
  view->CheckFile();
  EXPECT_TRUE(view->Image2->Visible());
  EXPECT_FALSE(view->Image1->Visible());
  EXPECT_EQ(view->Image2->Picture().Width(), 200);
  EXPECT_EQ(view->Image1->Picture().Width(), 200) << "the picture itself stays in the first view";
  EXPECT_FALSE(FileExists(TempFolder() + L"\\Temps.jpg"));
}

TEST_F(ReducedColour, PalettePicturesNeedNoSecondView) {
  view->CurrentFile = Demo(L"..\\win32\\resources\\startup.bmp");
  view->CheckFile();
  EXPECT_TRUE(view->Image1->Visible());
  EXPECT_FALSE(view->Image2->Visible());
  EXPECT_EQ(view->Image2->Picture().Graphic(), nullptr);
}

}  // namespace
}  // namespace pelindra::test
