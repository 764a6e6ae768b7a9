#include "win32/system/settings.h"

#include "win32/system/win.h"
#include "win32/vcl/application.h"
#include "win32/vcl/registry.h"

namespace pelindra {

void RegAccess(HKEY root, int operation, const std::wstring& key, std::wstring& value, const std::wstring& name) {
  try {
    vcl::TRegistry reg(root);
    switch (operation) {
      case RegWrite:
        if (reg.OpenKey(key, true)) reg.WriteString(name, value);
        break;
      case RegRead:
        value.clear();
        if (reg.OpenKeyReadOnly(key)) value = reg.ReadString(name);
        break;
      case RegDeleteKey:
        if (reg.KeyExists(key)) reg.DeleteKey(key);
        break;
      default:
        break;
    }
  } catch (...) {
    if (operation == RegRead) value.clear();
  }
}

std::wstring ProgramName() {
  const std::wstring& exe = vcl::Application->ExeName();
  const std::wstring file = exe.substr(exe.find_last_of(L"\\/") + 1);
  std::wstring shown = ShellDisplayName(exe);
  if (shown == exe) shown = file;  // no display name from the shell
  shown = shown.substr(shown.find_last_of(L"\\/") + 1);
  return shown.size() > 4 ? shown.substr(0, shown.size() - 4) : std::wstring();
}

std::wstring SettingsKey() { return L"\\Software\\Tolvane\\" + ProgramName(); }

std::wstring ReadSetting(const std::wstring& name) {
  std::wstring value;
  RegAccess(HKEY_CURRENT_USER, RegRead, SettingsKey(), value, name);
  return value;
}

void WriteSetting(const std::wstring& name, const std::wstring& value) {
  std::wstring v = value;
  RegAccess(HKEY_CURRENT_USER, RegWrite, SettingsKey(), v, name);
}

std::wstring ReadRegString(std::uintptr_t root, const std::wstring& key, const std::wstring& name) {
  HKEY hroot;
  std::wstring path = key;
  switch (root) {
    case RootClasses: hroot = HKEY_CLASSES_ROOT; break;
    case RootShellFolders:
      hroot = HKEY_CURRENT_USER;
      path = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
      break;
    case RootWindows:
      hroot = HKEY_LOCAL_MACHINE;
      path = L"Software\\Microsoft\\Windows\\CurrentVersion\\";
      break;
    case RootWindowsNT:
      hroot = HKEY_LOCAL_MACHINE;
      path = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\";
      break;
    default: hroot = reinterpret_cast<HKEY>(root); break;
  }
  std::wstring value;
  RegAccess(hroot, RegRead, path, value, name);
  return value;
}

}  // namespace pelindra
