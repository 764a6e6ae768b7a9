#pragma once
// A fresh set of the program's windows for each test, with the settings key,
// command line, dialogs and message boxes under the test's control.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/base/bmp.h"
#include "engine/base/dib.h"
#include "tests/win32/support/win_test.h"
#include "win32/app/startup.h"
#include "win32/app/view_form.h"
#include "win32/system/settings.h"
#include "win32/vcl/application.h"
#include "win32/vcl/dialogs.h"
#include "win32/vcl/graphics.h"
#include "win32/vcl/registry.h"
#include "win32/vcl/strings.h"

namespace pelindra::test {

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::wstring none;
    RegAccess(HKEY_CURRENT_USER, RegDeleteKey, SettingsKey(), none, L"");
    vcl::Application->SetParams({});
    vcl::Application->ResetTerminated();
    vcl::MessageBoxHook = [this](const std::wstring& text, const std::wstring&, UINT) {
      messages.push_back(text);
      return IDOK;
    };
    app::CreateForms(*vcl::Application);
    view = app::ViewForm;
  }

  void TearDown() override {
    vcl::Application->DestroyForms();
    PumpMessages();
    vcl::MessageBoxHook = nullptr;
    vcl::TFileDialog::TestHook = nullptr;
    vcl::Application->SetParams({});
    vcl::Application->ResetTerminated();
  }

  // Writes a picture of the given size, top-left pixel red and the rest blue,
  // as a 24-bit BMP file.
  static void WriteBitmap(const std::wstring& path, int width, int height) {
    Dib dib(width, height, 24);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) dib.setPixel(x, y, rgb(0, 0, 255));
    dib.setPixel(0, 0, rgb(255, 0, 0));
    vcl::WriteFileBytes(path, writeBmp(dib));
  }

  // A file of the demo folder beside the program.
  static std::wstring Demo(const std::wstring& name) { return vcl::Widen(PELINDRA_DEMO) + L"\\" + name; }

  app::TViewForm* view = nullptr;
  std::vector<std::wstring> messages;
};

// The same after the program's start-up has run.
class StartedViewerTest : public ViewerTest {
 protected:
  void SetUp() override {
    ViewerTest::SetUp();
    view->FormActivate(view);
  }
};

}  // namespace pelindra::test
