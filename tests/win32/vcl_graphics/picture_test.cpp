#include "win32/vcl/picture.h"

#include <gtest/gtest.h>

#include "tests/win32/support/win_test.h"
#include "tests/win32/vcl_graphics/test_pictures.h"
#include "win32/vcl/icon.h"
#include "win32/vcl/jpeg.h"
#include "win32/vcl/metafile.h"

namespace vcl {
namespace {

using pelindra::test::TempDir;

std::wstring writeBitmap(const TempDir& dir, const std::wstring& name) {
  TBitmap bitmap;
  bitmap.Assign(test::pattern(pf8bit, 20, 10));
  bitmap.SaveToFile(dir / name);
  return dir / name;
}

TEST(Picture, ChoosesTheKindByExtension) {
  TempDir dir;
  TBitmap bitmap;
  bitmap.Assign(test::pattern(pf24bit, 20, 10));
  bitmap.SaveToFile(dir / L"a.bmp");
  TJPEGImage jpeg;
  jpeg.Assign(bitmap);
  jpeg.SaveToFile(dir / L"a.jpg");
  jpeg.SaveToFile(dir / L"A.JPEG");
  TMetafile mf;
  mf.SetWidth(20), mf.SetHeight(10);
  {
    TMetafileCanvas canvas(mf, nullptr);
    canvas.FillRect({0, 0, 20, 10});
  }
  mf.SaveToFile(dir / L"a.emf");
  mf.Enhanced = false;
  mf.SaveToFile(dir / L"a.wmf");
  const auto ico = test::iconFile({test::image4(16)});
  WriteFileBytes(dir / L"a.ico", ico);

  struct Case {
    const wchar_t* name;
    bool (*is)(TGraphic*);
    int width;
  };
  const Case cases[] = {
      {L"a.bmp", [](TGraphic* g) { return dynamic_cast<TBitmap*>(g) != nullptr; }, 20},
      {L"a.jpg", [](TGraphic* g) { return dynamic_cast<TJPEGImage*>(g) != nullptr; }, 20},
      {L"A.JPEG", [](TGraphic* g) { return dynamic_cast<TJPEGImage*>(g) != nullptr; }, 20},
      {L"a.emf", [](TGraphic* g) { return dynamic_cast<TMetafile*>(g) != nullptr; }, 20},
      {L"a.wmf", [](TGraphic* g) { return dynamic_cast<TMetafile*>(g) != nullptr; }, 20},
      {L"a.ico", [](TGraphic* g) { return dynamic_cast<TIcon*>(g) != nullptr; }, 16},
  };
  for (const auto& c : cases) {
    TPicture picture;
    picture.LoadFromFile(dir / c.name);
    EXPECT_TRUE(c.is(picture.Graphic())) << c.name;
    EXPECT_EQ(picture.Width(), c.width) << c.name;
  }
}

TEST(Picture, AFailedLoadKeepsTheOldPicture) {
  TempDir dir;
  const std::wstring good = writeBitmap(dir, L"good.bmp");
  WriteFileBytes(dir / L"bad.bmp", std::vector<std::uint8_t>{'B', 'M', 1, 2, 3});
  WriteFileBytes(dir / L"picture.xyz", std::vector<std::uint8_t>{1});
  TPicture picture;
  picture.LoadFromFile(good);
  TGraphic* before = picture.Graphic();
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };
  EXPECT_THROW(picture.LoadFromFile(dir / L"bad.bmp"), EInvalidGraphic);
  EXPECT_THROW(picture.LoadFromFile(dir / L"missing.bmp"), EInvalidGraphic);
  try {
    picture.LoadFromFile(dir / L"picture.xyz");
    ADD_FAILURE() << "an unknown extension was read";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Unknown picture file extension (.xyz)");
  }
  EXPECT_EQ(picture.Graphic(), before);
  EXPECT_EQ(picture.Bitmap().ToDib(), test::pattern(pf8bit, 20, 10));
  EXPECT_EQ(changes, 0);
}

TEST(Picture, ChangesAreAnnounced) {
  TempDir dir;
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &picture);
    ++changes;
  };
  picture.LoadFromFile(writeBitmap(dir, L"a.bmp"));
  EXPECT_EQ(changes, 1);
  picture.Bitmap().SetSize(5, 5);  // a change of the graphic itself
  EXPECT_EQ(changes, 2);
  picture.SetGraphic(std::make_unique<TMetafile>());
  EXPECT_EQ(changes, 3);
  TBitmap& bitmap = picture.Bitmap();  // replaces the metafile
  EXPECT_EQ(changes, 4);
  EXPECT_TRUE(bitmap.Empty());
  TPicture copy;
  copy.Assign(picture);
  EXPECT_NE(copy.Graphic(), picture.Graphic());
  EXPECT_NE(dynamic_cast<TBitmap*>(copy.Graphic()), nullptr);
  picture.SetGraphic(nullptr);
  EXPECT_EQ(picture.Width(), 0);
  picture.SaveToFile(dir / L"nothing.bmp");  // an empty picture writes nothing
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "nothing.bmp"));
}

TEST(Picture, ProgressOfTheGraphicIsForwarded) {
  TempDir dir;
  TBitmap bitmap;
  bitmap.Assign(test::pattern(pf24bit, 64, 64));
  TJPEGImage jpeg;
  jpeg.Assign(bitmap);
  jpeg.SaveToFile(dir / L"a.jpg");
  TPicture picture;
  std::vector<TProgressStage> stages;
  TObject* from = nullptr;
  picture.OnProgress = [&](TObject* sender, TProgressStage stage, int, bool, const RECT&, const std::wstring&) {
    stages.push_back(stage);
    from = sender;
  };
  picture.LoadFromFile(dir / L"a.jpg");
  static_cast<TJPEGImage*>(picture.Graphic())->DIBNeeded();
  ASSERT_FALSE(stages.empty());
  EXPECT_EQ(stages.front(), TProgressStage::psStarting);
  EXPECT_EQ(stages.back(), TProgressStage::psEnding);
  EXPECT_EQ(from, picture.Graphic());
}

TEST(Picture, RegistryTakesNewKinds) {
  TempDir dir;
  const std::wstring file = writeBitmap(dir, L"a.dib");
  TPicture picture;
  EXPECT_THROW(picture.LoadFromFile(file), EInvalidGraphic);
  int made = 0;
  TPicture::RegisterFileFormat(L".DIB", L"Device independent bitmaps", [&] {
    ++made;
    return std::make_unique<TBitmap>();
  });
  picture.LoadFromFile(file);
  EXPECT_EQ(made, 1);
  EXPECT_EQ(picture.Width(), 20);
  TPicture::UnregisterFileFormat(L"dib");
  EXPECT_THROW(picture.LoadFromFile(file), EInvalidGraphic);
  const auto formats = TPicture::FileFormats();
  for (const wchar_t* ext : {L"bmp", L"ico", L"wmf", L"emf", L"jpg", L"jpeg"})
    EXPECT_TRUE(std::any_of(formats.begin(), formats.end(), [&](const TFileFormat& f) { return f.extension == ext; }))
        << ext;
}

}  // namespace
}  // namespace vcl
