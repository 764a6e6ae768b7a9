// Entry of every Windows test program. The application lives for the whole run
// and every form is destroyed before the program ends, so no window outlives
// the objects behind it.

#include <gtest/gtest.h>

#include <random>

#include "tests/win32/support/win_test.h"
#include "win32/vcl/application.h"

namespace pelindra::test {

namespace {

class ApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { app_ = std::make_unique<vcl::TApplication>(GetModuleHandleW(nullptr)); }
  void TearDown() override {
    app_->DestroyForms();
    PumpMessages();
    app_.reset();
  }

 private:
  std::unique_ptr<vcl::TApplication> app_;
};

}  // namespace

void PumpMessages(int milliseconds) {
  const DWORD end = GetTickCount() + DWORD(milliseconds);
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (milliseconds > 0) Sleep(5);
  } while (LONG(GetTickCount() - end) < 0);
}

namespace {

// The build passes Linux paths; under Wine a path without a drive would follow the current
// drive, which a test may have moved, so they are pinned to the drive of the host's root.
std::filesystem::path hostPath(const char* path) {
  return path[0] == '/' ? std::filesystem::path(std::string("Z:") + path) : std::filesystem::path(path);
}

}  // namespace

std::filesystem::path fixture(const std::string& relative) { return hostPath(PELINDRA_FIXTURES) / relative; }

bool haveTestdata() { return std::filesystem::is_directory(hostPath(PELINDRA_TESTDATA)); }

std::filesystem::path testdata(const std::string& relative) { return hostPath(PELINDRA_TESTDATA) / relative; }

TempDir::TempDir() {
  std::random_device rd;
  for (;;) {
    path_ = std::filesystem::temp_directory_path() / ("pelindra-test-" + std::to_string(rd()));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace pelindra::test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new pelindra::test::ApplicationEnvironment);
  return RUN_ALL_TESTS();
}
