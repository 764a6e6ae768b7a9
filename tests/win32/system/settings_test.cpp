#include <gtest/gtest.h>

#include <fstream>

#include "tests/win32/support/win_test.h"
#include "win32/system/associations.h"
#include "win32/system/runf.h"
#include "win32/system/settings.h"
#include "win32/system/win.h"
#include "win32/vcl/application.h"
#include "win32/vcl/graphics.h"

namespace pelindra {
namespace {

std::wstring classesValue(const std::wstring& key, const std::wstring& name = L"") {
  std::wstring v;
  RegAccess(HKEY_CLASSES_ROOT, RegRead, key, v, name);
  return v;
}

void setClassesValue(const std::wstring& key, const std::wstring& value, const std::wstring& name = L"") {
  std::wstring v = value;
  RegAccess(HKEY_CLASSES_ROOT, RegWrite, key, v, name);
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clear();
    vcl::Application->SetParams({});
  }
  void TearDown() override {
    clear();
    vcl::Application->SetParams({});
  }
  static void clear() {
    std::wstring none;
    RegAccess(HKEY_CURRENT_USER, RegDeleteKey, SettingsKey(), none, L"");
    for (const wchar_t* key : {L"\\.zqb", L"\\PelPicture", L"\\.zqp", L"\\zqpFile", L"\\.zqi",
                               L"\\zqiFile"})
      RegAccess(HKEY_CLASSES_ROOT, RegDeleteKey, key, none, L"");
  }
  const std::wstring own = vcl::Application->ExeName() + L" %L";
};

TEST_F(SettingsTest, ValuesLiveUnderTheProgramsKey) {
  EXPECT_EQ(SettingsKey(), L"\\Software\\Tolvane\\" + ProgramName());
  EXPECT_EQ(ProgramName(), L"win32_system_tests");
  EXPECT_EQ(ReadSetting(L"Moved"), L"");
  WriteSetting(L"Moved", L"1");
  EXPECT_EQ(ReadSetting(L"Moved"), L"1");
  std::wstring value;
  RegAccess(HKEY_CURRENT_USER, RegRead, L"Software\\Tolvane\\win32_system_tests", value, L"Moved");
  EXPECT_EQ(value, L"1") << "keys with and without a leading backslash are the same";
  RegAccess(HKEY_CURRENT_USER, RegDeleteKey, SettingsKey(), value, L"");
  EXPECT_EQ(ReadSetting(L"Moved"), L"");
}

TEST_F(SettingsTest, FailuresReadAsEmpty) {
  std::wstring value = L"stale";
  RegAccess(HKEY_CURRENT_USER, RegRead, L"\\Software\\Tolvane\\NoSuchKey", value, L"x");
  EXPECT_EQ(value, L"");
  value = L"stale";
  RegAccess(reinterpret_cast<HKEY>(0x12345), RegRead, L"x", value, L"y");
  EXPECT_EQ(value, L"");
  RegAccess(reinterpret_cast<HKEY>(0x12345), RegWrite, L"x", value, L"y");  // no error escapes
}

TEST_F(SettingsTest, SystemQuestions) {
  EXPECT_EQ(OSName(), L"Microsoft Windows 7");
  EXPECT_FALSE(WindowsDir().empty());
  EXPECT_EQ(TempFolder(), WindowsDir() + L"\\Temp");
  EXPECT_NE(DesktopFolder().find(L"Desktop"), std::wstring::npos);
  EXPECT_EQ(ShortPath(L"C:\\no such folder\\x.gif"), L"C:\\no such folder\\x.gif");
  EXPECT_EQ(ShellDisplayName(L"C:\\no such file.bmp"), L"C:\\no such file.bmp");
}

TEST_F(SettingsTest, ExtensionsAreStrippedAndChanged) {
  struct Case {
    const wchar_t* in;
    const wchar_t* ext;
    const wchar_t* stripped;
    const wchar_t* changed;
  };
  for (const Case c : {Case{L"C:\\a\\logo.sys", L".bmp", L"C:\\a\\logo", L"C:\\a\\logo.bmp"},
                       Case{L"Pelindra.exe", L"ulg", L"Pelindra", L"Pelindra.ulg"},
                       Case{L"name", L"txt", L"name", L"name.txt"},
                       Case{L"a.b.c", L".d", L"a.b", L"a.b.d"}}) {
    std::wstring s = c.in;
    StripExt(s);
    EXPECT_EQ(s, c.stripped);
    s = c.in;
    ChangeExt(s, c.ext);
    EXPECT_EQ(s, c.changed);
  }
}

TEST_F(SettingsTest, FirstAssociationKeepsTheEarlierHandler) {
  setClassesValue(L"\\.zqb", L"PelPicture");
  setClassesValue(L"\\PelPicture\\shell\\open\\command", L"C:\\windows\\mspaint.exe \"%1\"");
  setClassesValue(L"\\PelPicture\\DefaultIcon", L"C:\\windows\\mspaint.exe,1");
  setClassesValue(L"\\PelPicture\\shell\\open\\DropTarget", L"{DROP}", L"Clsid");

  Associate(L"zqb");
  EXPECT_EQ(ReadSetting(L"zqbOldUsr"), L"C:\\windows\\mspaint.exe \"%1\"");
  EXPECT_EQ(ReadSetting(L"zqbOldIcon"), L"C:\\windows\\mspaint.exe,1");
  EXPECT_EQ(ReadSetting(L"zqbDropTarget"), L"{DROP}");
  EXPECT_EQ(classesValue(L"PelPicture\\shell\\open\\DropTarget", L"Clsid"), L"");
  EXPECT_EQ(classesValue(L"PelPicture\\shell\\open\\command"), own);
  EXPECT_EQ(classesValue(L"PelPicture\\DefaultIcon"), vcl::Application->ExeName() + L",0");

  // A second start finds its own command and keeps the backup as it is.
  WriteSetting(L"zqbOldUsr", L"kept");
  Associate(L"zqb");
  EXPECT_EQ(ReadSetting(L"zqbOldUsr"), L"kept");

  // Uninstalling puts the earlier handler back.
  WriteSetting(L"zqbOldUsr", L"C:\\windows\\mspaint.exe \"%1\"");
  vcl::Application->SetParams({L"UnInstall"});
  Associate(L"zqb");
  EXPECT_EQ(classesValue(L"PelPicture\\shell\\open\\command"), L"C:\\windows\\mspaint.exe \"%1\"");
  EXPECT_EQ(classesValue(L"PelPicture\\DefaultIcon"), L"C:\\windows\\mspaint.exe,1");
  EXPECT_EQ(classesValue(L"PelPicture\\shell\\open\\DropTarget", L"Clsid"), L"{DROP}");
}

TEST_F(SettingsTest, NewTypesAndIcons) {
  Associate(L"zqp");
  EXPECT_EQ(classesValue(L".zqp"), L"zqpFile");
  EXPECT_EQ(classesValue(L"zqpFile\\shell\\open\\command"), own);
  EXPECT_EQ(ReadSetting(L"zqpOldUsr"), L"");

  Associate(L"zqi");
  EXPECT_EQ(classesValue(L"zqiFile\\DefaultIcon"), vcl::Application->ExeName() + L",0");

  std::wstring none;
  RegAccess(HKEY_CLASSES_ROOT, RegDeleteKey, L"\\.ico", none, L"");
  RegAccess(HKEY_CLASSES_ROOT, RegDeleteKey, L"\\icoFile", none, L"");
  Associate(L"ico");
  EXPECT_EQ(classesValue(L"icoFile\\DefaultIcon"), L"") << "icons keep their own icon";
  EXPECT_EQ(classesValue(L"icoFile\\shell\\open\\command"), own);

  std::wstring name = L"win32_system_tests", uninstall;
  RegAccess(HKEY_LOCAL_MACHINE, RegRead, L"\\Software\\MicroSoft\\Windows\\CurrentVersion\\Uninstall\\" + name,
            uninstall, L"UnInstallString");
  EXPECT_EQ(uninstall, vcl::Application->ExeName() + L" UnInstall");
}

TEST_F(SettingsTest, ResourcesAreWrittenOut) {
  test::TempDir dir;
  const std::wstring path = dir / L"startup.bmp";
  ASSERT_TRUE(ExtractResource(L"startup", path)) << "names are matched without regard to case";
  const auto bytes = vcl::ReadFileBytes(path);
  ASSERT_GT(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  EXPECT_FALSE(ExtractResource(L"NoSuchResource", dir / L"none.exe"));
  EXPECT_FALSE(FileExists(dir / L"none.exe"));
}

TEST_F(SettingsTest, RunAndWaitReturnsWhenTheProgramHasEnded) {
  test::TempDir dir;
  const std::wstring out = dir / L"out.txt";
  RunAndWait(L"cmd.exe", L"/c echo done> \"" + out + L"\"", SW_HIDE, true);
  EXPECT_TRUE(FileExists(out));
  RunAndWait(L"no-such-program.exe", L"", SW_HIDE, true);  // a failed start returns at once
}

}  // namespace
}  // namespace pelindra
