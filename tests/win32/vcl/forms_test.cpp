#include "win32/vcl/forms.h"

#include <gtest/gtest.h>

#include "tests/win32/support/win_test.h"
#include "win32/vcl/application.h"
#include "win32/vcl/stdwin.h"

namespace vcl {
namespace {

// A form that loses the keyboard to another window (a colour dialog, a message box) gets it
// back in the control that had it, and that return is not a new activation of the form.
TEST(Form, ActivationGivesTheKeyboardBackToItsControl) {
  auto* form = Application->CreateForm<TForm>();
  TEdit edit(form);
  edit.SetBounds(10, 10, 80, 21);
  int activations = 0;
  form->OnActivate = [&](TObject*) { ++activations; };
  form->Show();
  pelindra::test::PumpMessages(50);
  edit.SetFocus();
  ASSERT_EQ(GetFocus(), edit.Handle());

  HWND other =
      CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  SetActiveWindow(other);
  pelindra::test::PumpMessages(50);
  ASSERT_NE(GetFocus(), edit.Handle());
  DestroyWindow(other);
  SetActiveWindow(form->Handle());
  pelindra::test::PumpMessages(50);

  EXPECT_EQ(GetFocus(), edit.Handle());
  EXPECT_EQ(activations, 1);
  form->Hide();
}

// Typing into an edit entered by program replaces its text, as the angle of the rotate dialog.
TEST(Edit, EnteringSelectsTheWholeText) {
  auto* form = Application->CreateForm<TForm>();
  TEdit edit(form);
  edit.SetText(L"0");
  form->Show();
  edit.SetFocus();
  pelindra::test::PumpMessages(20);
  for (wchar_t ch : std::wstring(L"30")) SendMessageW(edit.Handle(), WM_CHAR, ch, 0);
  EXPECT_EQ(edit.Text(), L"30");
  form->Hide();
}

}  // namespace
}  // namespace vcl
