#include "win32/vcl/application.h"

#include <commctrl.h>

#include "win32/vcl/forms.h"
#include "win32/vcl/menus.h"
#include "win32/vcl/stdwin.h"

namespace vcl {

TApplication* Application = nullptr;

namespace {
constexpr wchar_t kAppClass[] = L"PelindraApplication";
}

TApplication::TApplication(HINSTANCE instance) : instance_(instance ? instance : GetModuleHandleW(nullptr)) {
  Application = this;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);

  wchar_t path[MAX_PATH * 2] = {};
  GetModuleFileNameW(nullptr, path, DWORD(std::size(path)));
  exeName_ = path;
  std::wstring name = exeName_.substr(exeName_.find_last_of(L"\\/") + 1);
  if (const auto dot = name.rfind(L'.'); dot != std::wstring::npos) name.erase(dot);
  title_ = name;

  params_ = SplitCommandLine(GetCommandLineW());
  if (!params_.empty()) params_.erase(params_.begin());

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance_;
  wc.lpszClassName = kAppClass;
  RegisterClassExW(&wc);
  handle_ = CreateWindowExW(0, kAppClass, title_.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance_, this);
}

TApplication::~TApplication() {
  DestroyForms();
  if (handle_) DestroyWindow(handle_);
  if (Application == this) Application = nullptr;
}

std::vector<std::wstring> TApplication::SplitCommandLine(const std::wstring& commandLine) {
  std::vector<std::wstring> out;
  std::size_t i = 0;
  const std::size_t n = commandLine.size();
  for (;;) {
    while (i < n && commandLine[i] <= L' ') ++i;
    if (i >= n) break;
    std::wstring arg;
    bool quoted = false;
    while (i < n && (quoted || commandLine[i] > L' ')) {
      if (commandLine[i] == L'"')
        quoted = !quoted;
      else
        arg += commandLine[i];
      ++i;
    }
    out.push_back(arg);
  }
  return out;
}

std::wstring TApplication::ParamStr(int i) const {
  if (i == 0) return exeName_;
  if (i < 0 || i > int(params_.size())) return {};
  return params_[std::size_t(i - 1)];
}

void TApplication::SetTitle(const std::wstring& title) {
  title_ = title;
  SetHandleCaption(title);
}

void TApplication::SetHandleCaption(const std::wstring& caption) {
  if (handle_) SetWindowTextW(handle_, caption.c_str());
}

void TApplication::adopt(std::unique_ptr<TForm> form) {
  if (!mainForm_) mainForm_ = form.get();
  forms_.push_back(std::move(form));
}

void TApplication::ForEachForm(const std::function<void(TForm*)>& visit) const {
  for (const auto& f : forms_) visit(f.get());
}

void TApplication::FormActivated(TForm* form) {
  TForm* previous = activeForm_;
  activeForm_ = form;
  if (previous == form) return;
  if (previous && previous->OnDeactivate) previous->OnDeactivate(previous);
  try {
    form->Activate();
  } catch (...) {
    HandleException(std::current_exception());
  }
}

void TApplication::Run() {
  if (mainForm_ && !terminated_) mainForm_->Show();
  while (!terminated_) {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) break;
    HandleMessage(msg);
  }
  terminated_ = true;
}

bool TApplication::HandleMessage(MSG& msg) {
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return false;
  }
  // Tab, Enter and Escape on the system controls of a form work as in dialogs.
  if (msg.hwnd && TStdControl::FromHandle(msg.hwnd)) {
    if (HWND root = GetAncestor(msg.hwnd, GA_ROOT); root && IsDialogMessageW(root, &msg)) return true;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  return true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      break;
    }
    HandleMessage(msg);
  }
}

void TApplication::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::ResetTerminated() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  terminated_ = false;
}

void TApplication::DestroyForms() {
  while (!forms_.empty()) {
    std::unique_ptr<TForm> last = std::move(forms_.back());
    forms_.pop_back();
    if (activeForm_ == last.get()) activeForm_ = nullptr;
    if (mainForm_ == last.get()) mainForm_ = nullptr;
    last.reset();
  }
}

void TApplication::HandleException(std::exception_ptr error) {
  if (OnException) {
    OnException(error);
    return;
  }
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    OutputDebugStringA(e.what());
  } catch (...) {
  }
}

LRESULT CALLBACK TApplication::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE) {
    // Another program closing us by our title closes the main form.
    if (Application && Application->mainForm_) {
      try {
        Application->mainForm_->Close();
      } catch (...) {
        Application->HandleException(std::current_exception());
      }
    }
    return 0;
  }
  if (msg == WM_INITMENUPOPUP) {
    // A submenu of the open popup menu opens: its item hears a click.
    if (TPopupMenu* menu = TPopupMenu::Active()) {
      try {
        menu->SubmenuOpening(reinterpret_cast<HMENU>(wp));
      } catch (...) {
        if (Application) Application->HandleException(std::current_exception());
      }
    }
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace vcl
