#include <gtest/gtest.h>

#include <fstream>

#include "tests/win32/converters/converter_runner.h"
#include "tests/win32/support/win_test.h"

namespace pelindra::test {
namespace {

class HpProgram : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(WriteResource(L"HP", exe)); }
  int run(const std::wstring& parameters) { return RunProgram(exe, parameters); }

  TempDir dir;
  std::filesystem::path exe = dir.path() / "Hp.exe";
  std::filesystem::path out = dir.path() / "DRAWING.###";
};

TEST_F(HpProgram, ConvertsPlotterFilesToPlainHpgl) {
  const auto in = fixture("hpgl/gnuplot_pcl5_hpgl2_pe.plt");
  ASSERT_EQ(run(L"-a0 " + in.wstring() + L" " + out.wstring()), 0);
  const std::string text = ReadText(out);
  EXPECT_EQ(text.substr(0, 3), "IN;");
  EXPECT_GT(text.size(), 2000u);
  EXPECT_EQ(text.find_first_not_of("INSPUDGV0123456789,;-"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out.wstring() + L".partial"));
}

TEST_F(HpProgram, LeavesNoOutputForWhatItCannotRead) {
  const auto text = dir.path() / "letter.txt";
  std::ofstream(text) << "Dear reader, this is no drawing at all.";
  // A stale result of an earlier run must not pass for this one.
  std::ofstream(out) << "IN;PD1,1;";
  for (const std::wstring& parameters : {L"-a0 " + text.wstring() + L" " + out.wstring(),
                                         L"-a0 " + (dir.path() / "missing.plt").wstring() + L" " + out.wstring()}) {
    EXPECT_EQ(run(parameters), 1);
    EXPECT_FALSE(std::filesystem::exists(out));
  }
  EXPECT_EQ(run(L"-x " + text.wstring() + L" " + out.wstring()), 2);
  EXPECT_EQ(run(L""), 2);
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace pelindra::test
