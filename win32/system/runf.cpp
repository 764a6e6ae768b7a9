#include "win32/system/runf.h"

#include <windows.h>
#include <shellapi.h>

#include "win32/system/win.h"
#include "win32/vcl/application.h"
#include "win32/vcl/graphics.h"

namespace pelindra {

bool ExtractResource(const std::wstring& name, const std::wstring& path) {
  try {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, name.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (info) {
      HGLOBAL data = LoadResource(module, info);
      const void* bytes = data ? LockResource(data) : nullptr;
      const DWORD size = SizeofResource(module, info);
      if (bytes) vcl::WriteFileBytes(path, {static_cast<const std::uint8_t*>(bytes), size});
    }
  } catch (...) {
  }
  return FileExists(path);
}

int RunAndWait(const std::wstring& file, const std::wstring& parameters, int showMode, bool wait) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // No error box of the shell: the callers report a converter that produced nothing.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.hwnd = vcl::Application ? vcl::Application->Handle() : nullptr;
  info.lpFile = file.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.nShow = showMode;
  if (!ShellExecuteExW(&info)) return 0;
  if (!info.hProcess) return 0;
  if (wait) {
    // Sleep until the program ends or a message arrives, instead of spinning.
    for (;;) {
      if (vcl::Application) vcl::Application->ProcessMessages();
      // An ended process is signalled, whatever exit code it chose (even 259).
      if (WaitForSingleObject(info.hProcess, 0) != WAIT_TIMEOUT) break;
      if (vcl::Application && vcl::Application->Terminated()) break;
      MsgWaitForMultipleObjects(1, &info.hProcess, FALSE, INFINITE, QS_ALLINPUT);
    }
  }
  CloseHandle(info.hProcess);
  return 0;
}

void SetPrinterDrv() {}

}  // namespace pelindra
