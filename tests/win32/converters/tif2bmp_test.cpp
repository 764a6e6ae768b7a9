#include <gtest/gtest.h>

#include <fstream>

#include "tests/win32/converters/converter_runner.h"
#include "tests/win32/support/win_test.h"

namespace pelindra::test {
namespace {

std::filesystem::path tempBmp() {
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  return std::filesystem::path(windows) / "Temp" / "Temp.bmp";
}

class Tif2BmpProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteResource(L"TIF2BMP", exe));
    std::filesystem::remove(tempBmp());
  }
  void TearDown() override { std::filesystem::remove(tempBmp()); }

  TempDir dir;
  std::filesystem::path exe = dir.path() / "Tif2Bmp.exe";
};

TEST_F(Tif2BmpProgram, WritesTheBitmapForAPathWithBlanks) {
  const auto folder = dir.path() / "my  pictures";
  std::filesystem::create_directories(folder);
  for (const char* name : {"hopper_lzw.tif", "palette-1c-4b.tiff"}) {
    SCOPED_TRACE(name);
    const auto tif = folder / (std::string("a b ") + name);
    std::filesystem::copy_file(fixture(std::string("tiff/") + name), tif);
    // The path is passed without quotes, as the viewer passes it.
    ASSERT_EQ(RunProgram(exe, tif.wstring()), 0);
    const std::string bmp = ReadText(tempBmp());
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    std::filesystem::remove(tempBmp());
  }
}

TEST_F(Tif2BmpProgram, WritesNothingForWhatItCannotRead) {
  const auto junk = dir.path() / "junk.tif";
  std::ofstream(junk) << "II*\x00 certainly not a picture";
  EXPECT_EQ(RunProgram(exe, junk.wstring()), 1);
  EXPECT_EQ(RunProgram(exe, (dir.path() / "missing.tif").wstring()), 1);
  EXPECT_FALSE(std::filesystem::exists(tempBmp()));
  EXPECT_EQ(RunProgram(exe, L""), 2);
}

}  // namespace
}  // namespace pelindra::test
