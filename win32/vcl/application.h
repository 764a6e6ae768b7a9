#pragma once
// The application object: the hidden application window that carries the
// program's title, the message loop, and the forms created at start.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vcl {

class TForm;

class TApplication {
 public:
  explicit TApplication(HINSTANCE instance = nullptr);
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  HINSTANCE Instance() const { return instance_; }
  // The hidden top-level window whose caption is the title; closing it closes the main form.
  HWND Handle() const { return handle_; }
  const std::wstring& Title() const { return title_; }
  void SetTitle(const std::wstring& title);
  // Caption of the application window without changing Title (used while searching
  // for an earlier instance by title).
  void SetHandleCaption(const std::wstring& caption);
  // Full path of the running executable.
  const std::wstring& ExeName() const { return exeName_; }

  // Command-line arguments split at blanks outside double quotes, quotes removed
  // (so an unquoted path with blanks arrives in pieces).
  int ParamCount() const { return int(params_.size()); }
  // Argument i (1-based); 0 is the program's path; beyond the last, empty.
  std::wstring ParamStr(int i) const;
  // Replaces the arguments (tests start the program "with" arguments this way).
  void SetParams(std::vector<std::wstring> params) { params_ = std::move(params); }
  static std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

  // Creates a form owned by the application; the first one becomes the main form.
  template <class Form, class... Args>
  Form* CreateForm(Args&&... args) {
    auto form = std::make_unique<Form>(std::forward<Args>(args)...);
    Form* raw = form.get();
    adopt(std::move(form));
    return raw;
  }
  TForm* MainForm() const { return mainForm_; }

  // Shows the main form and dispatches messages until it closes or Terminate is called.
  void Run();
  // Dispatches every pending message, then returns.
  void ProcessMessages();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Lets a terminated application run again, with the quit message taken back
  // (tests run several programs' lives in one process).
  void ResetTerminated();

  // Handles one message the way the loop would (dialog navigation, modal forms).
  bool HandleMessage(MSG& msg);
  // Destroys all forms, newest first. Run at the end of the program and by tests.
  void DestroyForms();

  // The form the application last activated, and the activation rule: a form
  // hears OnActivate when it takes over from another of the program's forms, not
  // when the focus comes back from a dialog, a modal form or another program.
  TForm* ActiveForm() const { return activeForm_; }
  void SetActiveForm(TForm* form) { activeForm_ = form; }
  void FormActivated(TForm* form);
  void ForEachForm(const std::function<void(TForm*)>& visit) const;

  // Called with every exception that reaches the message boundary; by default
  // the exception is swallowed. Tests install a recorder.
  std::function<void(const std::exception_ptr&)> OnException;
  void HandleException(std::exception_ptr error);

 private:
  void adopt(std::unique_ptr<TForm> form);
  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);

  HINSTANCE instance_;
  HWND handle_ = nullptr;
  std::wstring title_;
  std::wstring exeName_;
  std::vector<std::wstring> params_;
  std::vector<std::unique_ptr<TForm>> forms_;
  TForm* mainForm_ = nullptr;
  TForm* activeForm_ = nullptr;
  bool terminated_ = false;
};

// The one application of the process, set while a TApplication exists.
extern TApplication* Application;

}  // namespace vcl
