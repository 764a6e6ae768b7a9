#include "win32/vcl/dialogs.h"

#include <commdlg.h>

#include <vector>

#include "win32/vcl/application.h"

namespace vcl {

std::function<bool(TFileDialog&)> TFileDialog::TestHook;
std::function<int(const std::wstring&, const std::wstring&, UINT)> MessageBoxHook;

namespace {

HWND ownerWindow() {
  HWND active = GetActiveWindow();
  if (active) return active;
  return Application ? Application->Handle() : nullptr;
}

// "a|b|c|d" becomes "a\0b\0c\0d\0\0" as the system wants it.
std::vector<wchar_t> filterBuffer(const std::wstring& filter) {
  std::vector<wchar_t> out(filter.begin(), filter.end());
  for (wchar_t& c : out)
    if (c == L'|') c = L'\0';
  out.push_back(L'\0');
  out.push_back(L'\0');
  return out;
}

}  // namespace

bool TFileDialog::Execute() {
  if (TestHook) return TestHook(*this);
  std::vector<wchar_t> file(32768, L'\0');
  FileName.copy(file.data(), std::min(FileName.size(), file.size() - 1));
  const std::vector<wchar_t> filter = filterBuffer(Filter);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = ownerWindow();
  ofn.lpstrFilter = Filter.empty() ? nullptr : filter.data();
  ofn.nFilterIndex = DWORD(FilterIndex);
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = DWORD(file.size());
  ofn.lpstrInitialDir = InitialDir.empty() ? nullptr : InitialDir.c_str();
  ofn.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
  ofn.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
  ofn.Flags = Options | OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  const BOOL ok = IsSave() ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!ok) return false;
  FileName = file.data();
  FilterIndex = int(ofn.nFilterIndex);
  return true;
}

std::function<bool(TColorDialog&)> TColorDialog::TestHook;

bool TColorDialog::Execute() {
  if (TestHook) return TestHook(*this);
  static COLORREF custom[16] = {};
  CHOOSECOLORW cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = ownerWindow();
  cc.rgbResult = Color;
  cc.lpCustColors = custom;
  cc.Flags = CC_RGBINIT | CC_FULLOPEN;
  if (!ChooseColorW(&cc)) return false;
  Color = cc.rgbResult;
  return true;
}

int MessageBox(const std::wstring& text, const std::wstring& caption, UINT flags) {
  if (MessageBoxHook) return MessageBoxHook(text, caption, flags);
  return MessageBoxW(ownerWindow(), text.c_str(), caption.c_str(), flags);
}

void ShowMessage(const std::wstring& text) {
  MessageBox(text, Application ? Application->Title() : L"", MB_OK);
}

}  // namespace vcl
