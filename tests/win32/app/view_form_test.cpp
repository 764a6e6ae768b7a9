#include "win32/app/view_form.h"

#include <gtest/gtest.h>

#include "tests/win32/support/win_test.h"
#include "win32/vcl/application.h"

namespace pelindra::app {
namespace {

TEST(ViewForm, IsABorderlessWindowOfTheStartSize) {
  auto* form = vcl::Application->CreateForm<TViewForm>();
  form->Show();
  test::PumpMessages(50);
  const LONG style = GetWindowLongW(form->Handle(), GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, 0);
  EXPECT_EQ(style & WS_THICKFRAME, 0);
  EXPECT_EQ(form->ClientWidth(), 395);
  EXPECT_EQ(form->ClientHeight(), 238);
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
}

}  // namespace
}  // namespace pelindra::app
