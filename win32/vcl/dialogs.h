#pragma once
// Common dialogs and message boxes. Each can be answered by a hook instead of
// a real dialog, so tests drive the program without windows of the system.

#include <windows.h>

#include <functional>
#include <string>

#include "win32/vcl/classes.h"

namespace vcl {

class TFileDialog : public TObject {
 public:
  // Filter in the form "text|mask|text|mask".
  std::wstring Filter;
  int FilterIndex = 1;
  std::wstring InitialDir;
  std::wstring FileName;
  std::wstring Title;
  std::wstring DefaultExt;
  // Extra OFN_ flags.
  DWORD Options = 0;

  // Shows the dialog; true when the user confirmed a file (then in FileName).
  bool Execute();

  // Answers every Execute instead of the system's dialog while set: it may fill
  // FileName and returns the user's choice.
  static std::function<bool(TFileDialog&)> TestHook;

 protected:
  virtual bool IsSave() const = 0;
};

class TOpenDialog : public TFileDialog {
 protected:
  bool IsSave() const override { return false; }
};

class TSaveDialog : public TFileDialog {
 protected:
  bool IsSave() const override { return true; }
};

class TColorDialog : public TObject {
 public:
  COLORREF Color = RGB(0, 0, 0);
  // Shows the dialog; true when the user chose a colour (then in Color).
  bool Execute();
  // Answers every Execute instead of the system's dialog while set.
  static std::function<bool(TColorDialog&)> TestHook;
};

// A message box owned by the active window; returns the button (IDOK, IDYES ...).
int MessageBox(const std::wstring& text, const std::wstring& caption, UINT flags);
// An information box with the application's title and an OK button.
void ShowMessage(const std::wstring& text);

// Answers every message box while set: receives text, caption and flags, returns the button.
extern std::function<int(const std::wstring& text, const std::wstring& caption, UINT flags)> MessageBoxHook;

}  // namespace vcl
