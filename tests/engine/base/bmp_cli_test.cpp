// pelindra-cli bmp-convert, run as a program: exit codes, depths, no partial output.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "engine/base/bmp.h"
#include "engine/base/palettes.h"
#include "tests/engine/support/test_support.h"

namespace pelindra {
namespace {

namespace fs = std::filesystem;

// The test programs are built beside the command-line tool in the same tree.
fs::path cliPath() { return fs::canonical("/proc/self/exe").parent_path().parent_path() / "tools/cli/pelindra-cli"; }

int runCli(const std::string& arguments) {
  const std::string command = "'" + cliPath().string() + "' " + arguments + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

class BmpCli : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(cliPath())) << "build pelindra-cli first: " << cliPath();
    Dib dib(5, 3, 24);
    dib.setPixel(0, 0, rgb(250, 10, 10));
    dib.setPixel(4, 2, rgb(240, 240, 240));
    dib.setPixel(2, 1, rgb(0x7f, 0x80, 0x00));
    source = dir / "in.bmp";
    test::writeBytes(source, writeBmp(dib));
  }
  test::TempDir dir;
  fs::path source;
};

TEST_F(BmpCli, WritesEveryDepth) {
  for (const int bits : {1, 4, 8, 16, 24, 32}) {
    const auto out = dir / ("out" + std::to_string(bits) + ".bmp");
    ASSERT_EQ(runCli("bmp-convert " + quoted(source) + " " + quoted(out) + " --bits " + std::to_string(bits)), 0);
    const BmpImage image = readBmp(test::readBytes(out));
    EXPECT_EQ(image.dib.bitsPerPixel(), bits);
    if (bits <= 8) EXPECT_EQ(image.dib.colors(), standardPalette(bits));
    const Color expected = bits == 1   ? rgb(0, 0, 0)
                           : bits == 4 ? rgb(0x80, 0x80, 0)
                           : bits == 8 ? rgb(0x80, 0x80, 0)
                                       : rgb(0x7f, 0x80, 0);
    EXPECT_EQ(image.dib.pixel(2, 1) & (bits == 16 ? 0xf8f8f8u : 0xffffffu),
              expected & (bits == 16 ? 0xf8f8f8u : 0xffffffu))
        << bits;
  }
  // Without --bits the picture keeps the depth it was read with.
  const auto same = dir / "same.bmp";
  ASSERT_EQ(runCli("bmp-convert " + quoted(source) + " " + quoted(same)), 0);
  EXPECT_EQ(test::readBytes(same), test::readBytes(source));
}

TEST_F(BmpCli, FailsWithoutLeavingOutput) {
  const auto out = dir / "out.bmp";
  test::writeBytes(dir / "bad.bmp", {'B', 'M', 1, 2, 3});
  struct Case {
    std::string arguments;
    int exitCode;
  };
  const Case cases[] = {
      {"bmp-convert " + quoted(dir / "missing.bmp") + " " + quoted(out), 1},
      {"bmp-convert " + quoted(dir / "bad.bmp") + " " + quoted(out), 1},
      {"bmp-convert " + quoted(source) + " " + quoted(dir / "no" / "such" / "folder.bmp"), 1},
      {"bmp-convert " + quoted(source) + " " + quoted(out) + " --bits 2", 2},
      {"bmp-convert " + quoted(source) + " " + quoted(out) + " --bits", 2},
      {"bmp-convert " + quoted(source) + " " + quoted(out) + " --depth 8", 2},
      {"bmp-convert " + quoted(source), 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(runCli(c.arguments), c.exitCode) << c.arguments;
    EXPECT_FALSE(fs::exists(out)) << c.arguments;
  }
  for (const auto& entry : fs::directory_iterator(dir.path()))
    EXPECT_NE(entry.path().extension(), ".partial") << entry.path();
  EXPECT_EQ(runCli("bmp-convert --help"), 0);
}

}  // namespace
}  // namespace pelindra
