#include "win32/system/associations.h"

#include <windows.h>

#include "win32/system/settings.h"
#include "win32/system/win.h"
#include "win32/vcl/application.h"
#include "win32/vcl/strings.h"

namespace pelindra {

namespace {

std::wstring readDefault(const std::wstring& key, const std::wstring& name = L"") {
  std::wstring value;
  RegAccess(HKEY_CLASSES_ROOT, RegRead, key, value, name);
  return value;
}

void writeDefault(const std::wstring& key, const std::wstring& value, const std::wstring& name = L"") {
  std::wstring v = value;
  RegAccess(HKEY_CLASSES_ROOT, RegWrite, key, v, name);
}

std::wstring ownCommand() { return vcl::Application->ExeName() + L" %L"; }

// Upper case of the program's file name + " %L": what a command of ours ends with.
std::wstring ownCommandName() { return vcl::UpperCase(ExtractFileName(vcl::Application->ExeName()) + L" %L"); }

bool isOtherHandler(const std::wstring& command) {
  if (command.empty()) return false;
  const auto slash = command.rfind(L'\\');
  const std::wstring tail = slash == std::wstring::npos ? command : command.substr(slash + 1);
  return vcl::UpperCase(tail) != ownCommandName();
}

}  // namespace

const std::vector<std::wstring>& AssociatedExtensions() {
  static const std::vector<std::wstring> list{L"bmp", L"wmf", L"emf", L"wpg", L"jpg", L"jpeg", L"gif",
                                              L"tif", L"ico", L"plt", L"000", L"hpg", L"dxf"};
  return list;
}

bool Uninstalling() { return vcl::Application->ParamStr(1) == L"UnInstall"; }

void BackupAssociation(const std::wstring& ext) {
  try {
    const std::wstring typeKey = ext.size() < 5 ? L"." + ext : ext;
    const std::wstring typeName = readDefault(typeKey);
    const std::wstring oldIcon = readDefault(L"\\" + typeName + L"\\DefaultIcon");
    const std::wstring oldCommand = readDefault(typeName + L"\\shell\\open\\command");
    if (isOtherHandler(oldCommand)) {
      WriteSetting(ext + L"OldUsr", oldCommand);
      WriteSetting(ext + L"OldIcon", oldIcon);
    }
    const std::wstring dropKey = typeName + L"\\shell\\open\\DropTarget";
    const std::wstring drop = readDefault(dropKey, L"Clsid");
    if (!drop.empty()) {
      WriteSetting(ext + L"DropTarget", drop);
      writeDefault(dropKey, L"", L"Clsid");
    }
    const std::wstring play = readDefault(typeName + L"\\shell\\play\\command");
    if (isOtherHandler(play)) {
      WriteSetting(ext + L"OldUsr", play);
      WriteSetting(ext + L"OldIcon", oldIcon);
    }
  } catch (...) {
  }
}

void Associate(const std::wstring& ext, const std::wstring& iconText) {
  try {
    const std::wstring icon = iconText.empty() ? vcl::Application->ExeName() + L",0" : iconText;
    const bool uninstalling = Uninstalling();
    if (!uninstalling) BackupAssociation(ext);
    const std::wstring oldUsr = ReadSetting(ext + L"OldUsr");
    const std::wstring oldIcon = ReadSetting(ext + L"OldIcon");
    const std::wstring dropTarget = ReadSetting(ext + L"DropTarget");

    std::wstring typeName = readDefault(L"." + ext);
    if (typeName.empty()) typeName = ext + L"File";
    writeDefault(L"." + ext, typeName);

    const std::wstring iconValue = uninstalling ? oldIcon : icon;
    if (!iconValue.empty() && ext != L"ico") writeDefault(L"\\" + typeName + L"\\DefaultIcon", iconValue);

    const std::wstring command = uninstalling ? oldUsr : ownCommand();
    if (!command.empty()) writeDefault(typeName + L"\\shell\\open\\command", command);

    if (uninstalling && !dropTarget.empty())
      writeDefault(typeName + L"\\shell\\open\\DropTarget", dropTarget, L"Clsid");

    const std::wstring playKey = typeName + L"\\shell\\play\\command";
    if (!readDefault(playKey).empty()) {
      const std::wstring play = uninstalling ? oldUsr : ownCommand();
      if (!play.empty()) writeDefault(playKey, play);
    }

    if (!uninstalling) {
      std::wstring name = ExtractFileName(vcl::Application->ExeName());
      StripExt(name);
      const std::wstring key = L"\\Software\\MicroSoft\\Windows\\CurrentVersion\\Uninstall\\" + name;
      std::wstring display = name, uninstall = vcl::Application->ExeName() + L" UnInstall";
      RegAccess(HKEY_LOCAL_MACHINE, RegWrite, key, display, L"DisplayName");
      RegAccess(HKEY_LOCAL_MACHINE, RegWrite, key, uninstall, L"UnInstallString");
    }
  } catch (...) {
  }
}

}  // namespace pelindra
