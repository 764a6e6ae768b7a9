#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "tests/win32/converters/converter_runner.h"
#include "tests/win32/support/win_test.h"

namespace pelindra::test {
namespace {

// The record types of a metafile, and whether a dashed pen is among them.
struct Seen {
  std::set<DWORD> types;
  bool dashed = false;
};

int CALLBACK collect(HDC, HANDLETABLE*, const ENHMETARECORD* r, int, LPARAM data) {
  auto& s = *reinterpret_cast<Seen*>(data);
  s.types.insert(r->iType);
  if (r->iType == EMR_CREATEPEN && reinterpret_cast<const EMRCREATEPEN*>(r)->lopn.lopnStyle == PS_DASH) s.dashed = true;
  return 1;
}

class WpgProgram : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(WriteResource(L"WPG", exe)); }

  // Converts the fixture and opens the metafile written, with its header.
  HENHMETAFILE convert(const std::string& name, ENHMETAHEADER& header) {
    if (RunProgram(exe, L"-p " + fixture(name).wstring() + L" " + out.wstring()) != 0) return nullptr;
    HENHMETAFILE emf = GetEnhMetaFileW(out.c_str());
    if (emf) GetEnhMetaFileHeader(emf, sizeof header, &header);
    return emf;
  }

  TempDir dir;
  std::filesystem::path exe = dir.path() / "Wpg.exe";
  std::filesystem::path out = dir.path() / "Temp.emf";
};

TEST_F(WpgProgram, DrawsThePictureIntoAnEnhancedMetafile) {
  ENHMETAHEADER header{};
  HENHMETAFILE emf = convert("wpg/shapes.wpg", header);
  ASSERT_NE(emf, nullptr);
  // 2 x 1 inches in hundredths of a millimetre.
  EXPECT_NEAR(header.rclFrame.right, 5080, 2);
  EXPECT_NEAR(header.rclFrame.bottom, 2540, 2);
  EXPECT_GT(header.nRecords, 20u);
  DeleteEnhMetaFile(emf);
  EXPECT_FALSE(std::filesystem::exists(out.wstring() + L".partial"));
}

// A version 2 picture of vector records arrives as drawing records, not pixels:
// the compound polygon as one poly-polygon, the dashed pen as a dashed pen.
TEST_F(WpgProgram, DrawsVersion2VectorRecords) {
  ENHMETAHEADER header{};
  HENHMETAFILE emf = convert("wpg/vector2.wpg", header);
  ASSERT_NE(emf, nullptr);
  EXPECT_NEAR(header.rclFrame.right, 5080, 2);  // 2 x 1.5 inches
  EXPECT_NEAR(header.rclFrame.bottom, 3810, 2);
  Seen seen;
  EnumEnhMetaFile(nullptr, emf, collect, &seen, nullptr);
  DeleteEnhMetaFile(emf);
  for (DWORD type : {DWORD(EMR_RECTANGLE), DWORD(EMR_ELLIPSE), DWORD(EMR_ARC), DWORD(EMR_EXTTEXTOUTW)})
    EXPECT_TRUE(seen.types.count(type)) << "record type " << type;
  EXPECT_TRUE(seen.types.count(EMR_POLYPOLYGON16) || seen.types.count(EMR_POLYPOLYGON));
  EXPECT_TRUE(seen.types.count(EMR_POLYGON16) || seen.types.count(EMR_POLYGON));
  EXPECT_TRUE(seen.dashed);
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
