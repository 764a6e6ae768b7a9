#include <gtest/gtest.h>

#include <fstream>

#include "tests/win32/converters/converter_runner.h"
#include "tests/win32/support/win_test.h"

namespace pelindra::test {
namespace {

class WpgProgram : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(WriteResource(L"WPG", exe)); }

  TempDir dir;
  std::filesystem::path exe = dir.path() / "Wpg.exe";
  std::filesystem::path out = dir.path() / "Temp.emf";
};

TEST_F(WpgProgram, DrawsThePictureIntoAnEnhancedMetafile) {
  const auto in = fixture("wpg/shapes.wpg");
  ASSERT_EQ(RunProgram(exe, L"-p " + in.wstring() + L" " + out.wstring()), 0);
  HENHMETAFILE emf = GetEnhMetaFileW(out.c_str());
  ASSERT_NE(emf, nullptr);
  ENHMETAHEADER header{};
  GetEnhMetaFileHeader(emf, sizeof header, &header);
  // 2 x 1 inches in hundredths of a millimetre.
  EXPECT_NEAR(header.rclFrame.right, 5080, 2);
  EXPECT_NEAR(header.rclFrame.bottom, 2540, 2);
  EXPECT_GT(header.nRecords, 20u);
  DeleteEnhMetaFile(emf);
  EXPECT_FALSE(std::filesystem::exists(out.wstring() + L".partial"));
}

TEST_F(WpgProgram, LeavesNoOutputForWhatItCannotRead) {
  const auto junk = dir.path() / "junk.wpg";
  std::ofstream(junk) << "\xffWPC not really";
  std::ofstream(out) << "stale";
  EXPECT_EQ(RunProgram(exe, L"-p " + junk.wstring() + L" " + out.wstring()), 1);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(RunProgram(exe, L"-x " + junk.wstring() + L" " + out.wstring()), 2);
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace pelindra::test
