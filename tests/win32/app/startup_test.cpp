#include <gtest/gtest.h>

#include <shlobj.h>

#include "tests/win32/app/viewer_fixture.h"
#include "win32/system/associations.h"
#include "win32/system/win.h"
#include "win32/vcl/picture.h"

namespace pelindra::test {
namespace {

std::wstring regValue(HKEY root, const std::wstring& key, const std::wstring& name = L"") {
  std::wstring v;
  RegAccess(root, RegRead, key, v, name);
  return v;
}

const std::wstring kUninstallKey = L"\\Software\\MicroSoft\\Windows\\CurrentVersion\\Uninstall\\Pelindra";

using StartUp = ViewerTest;

TEST_F(StartUp, RegistersTheProgramAndMakesItsFolders) {
  std::wstring none;
  RegAccess(HKEY_CLASSES_ROOT, RegWrite, L"\\SystemFileAssociations\\Image\\ShellEx\\x", none, L"");
  view->FormActivate(view);

  const std::wstring own = vcl::Application->ExeName() + L" %L";
  for (const std::wstring& ext : AssociatedExtensions()) {
    const std::wstring type = regValue(HKEY_CLASSES_ROOT, L"." + ext);
    ASSERT_FALSE(type.empty()) << vcl::Narrow(ext);
    EXPECT_EQ(regValue(HKEY_CLASSES_ROOT, type + L"\\shell\\open\\command"), own) << vcl::Narrow(ext);
  }
  EXPECT_FALSE(vcl::TRegistry(HKEY_CLASSES_ROOT).KeyExists(L"SystemFileAssociations\\Image\\ShellEx"));
  EXPECT_EQ(regValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName"), L"Pelindra");
  EXPECT_EQ(regValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"UnInstallString"),
            vcl::Application->ExeName() + L" UnInstall");
  EXPECT_TRUE(DirectoryExists(TempFolder()));
  EXPECT_EQ(ReadSetting(L"FirstTime"), L"1");
  EXPECT_EQ(view->OSName, L"Microsoft Windows 7");
  EXPECT_EQ(view->Label2->Caption(), L"Microsoft Windows 7");
  EXPECT_EQ(view->ClientWidth(), 395);
  EXPECT_EQ(view->ClientHeight(), 240);
  EXPECT_EQ(view->Left(), (vcl::TScreen::Width() - view->Width()) / 2);
  EXPECT_TRUE(view->SelectEnabled);
  EXPECT_TRUE(view->Panel2->Visible()) << "the start-up picture stays without a picture to show";
  EXPECT_FALSE(vcl::Application->Terminated());
}

TEST_F(StartUp, UnInstallRestoresAndRemovesEverything) {
  // An earlier handler of .wpg, kept by an earlier start.
  std::wstring v = L"WPGImage";
  RegAccess(HKEY_CLASSES_ROOT, RegWrite, L"\\.wpg", v, L"");
  WriteSetting(L"wpgOldUsr", L"C:\\Other\\viewer.exe %1");
  WriteSetting(L"wpgOldIcon", L"C:\\Other\\viewer.exe,2");
  std::wstring name = L"Pelindra";
  RegAccess(HKEY_LOCAL_MACHINE, RegWrite, kUninstallKey, name, L"DisplayName");
  RegAccess(HKEY_CURRENT_USER, RegWrite, L"\\Software\\Tolvane\\Pelindra", name, L"Moved");
  const std::wstring shortcut = DesktopFolder() + L"\\Pelindra.lnk";
  SHCreateDirectoryExW(nullptr, DesktopFolder().c_str(), nullptr);
  vcl::WriteFileBytes(shortcut, std::vector<std::uint8_t>{1, 2, 3});

  vcl::Application->SetParams({L"UnInstall"});
  view->FormActivate(view);

  EXPECT_EQ(regValue(HKEY_CLASSES_ROOT, L"WPGImage\\shell\\open\\command"), L"C:\\Other\\viewer.exe %1");
  EXPECT_EQ(regValue(HKEY_CLASSES_ROOT, L"WPGImage\\DefaultIcon"), L"C:\\Other\\viewer.exe,2");
  EXPECT_FALSE(vcl::TRegistry(HKEY_LOCAL_MACHINE).KeyExists(kUninstallKey));
  EXPECT_FALSE(vcl::TRegistry(HKEY_CURRENT_USER).KeyExists(L"\\Software\\Tolvane\\Pelindra"));
  EXPECT_FALSE(FileExists(shortcut));
  EXPECT_TRUE(vcl::Application->Terminated());
  EXPECT_EQ(view->Image1->Picture().Graphic(), nullptr);
}

TEST_F(StartUp, ArgumentsAreJoinedIntoOnePath) {
  TempDir dir;
  const std::wstring folder = dir / L"My Pictures";
  CreateDirectoryW(folder.c_str(), nullptr);
  WriteBitmap(folder + L"\\a b.bmp", 64, 32);
  // The shell passed the path unquoted: it arrives in three pieces.
  const std::wstring full = folder + L"\\a b.bmp";
  const auto first = full.find(L' '), second = full.find(L' ', first + 1);
  vcl::Application->SetParams({full.substr(0, first), full.substr(first + 1, second - first - 1),
                               full.substr(second + 1)});
  view->FormActivate(view);
  EXPECT_EQ(view->CurrentFile, full);
  EXPECT_EQ(view->Image1->Picture().Width(), 64);
  EXPECT_EQ(view->ClientWidth(), 64);
  EXPECT_FALSE(view->Panel2->Visible());
}

TEST_F(StartUp, AMissingFileOnTheCommandLineShowsNothing) {
  vcl::Application->SetParams({L"C:\\nowhere\\x.bmp"});
  view->FormActivate(view);
  EXPECT_EQ(view->CurrentFile, L"C:\\nowhere\\x.bmp");
  EXPECT_TRUE(view->Panel2->Visible());
}

// A window with the program's title stands for an earlier instance.
struct EarlierInstance {
  static inline int closes = 0;
  HWND wnd = nullptr;
  explicit EarlierInstance(const std::wstring& title) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"EarlierInstance";
    RegisterClassW(&wc);
    wnd = CreateWindowW(L"EarlierInstance", title.c_str(), WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                        GetModuleHandleW(nullptr), nullptr);
  }
  ~EarlierInstance() { DestroyWindow(wnd); }
  static LRESULT CALLBACK WndProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_CLOSE) {
      ++closes;
      return 0;
    }
    return DefWindowProcW(h, m, w, l);
  }
};

TEST_F(StartUp, AnEarlierInstanceIsClosedAndItsPlaceTaken) {
  EarlierInstance earlier(vcl::Application->Title());
  EarlierInstance::closes = 0;
  WriteSetting(L"Moved", L"1");
  WriteSetting(L"MovedL", L"33");
  WriteSetting(L"MovedT", L"44");
  EXPECT_EQ(view->RunOnce(), earlier.wnd);
  EXPECT_EQ(EarlierInstance::closes, 1);
  EXPECT_TRUE(view->WindowMoved);
  EXPECT_EQ(vcl::Application->Title(), L"win32_app_tests");

  view->FormActivate(view);
  EXPECT_FALSE(view->Panel2->Visible());
}

TEST_F(StartUp, ADropShowsTheFirstOfItsFiles) {
  TempDir dir;
  const std::wstring files[3] = {dir / L"one.bmp", dir / L"two.bmp", dir / L"three.bmp"};
  WriteBitmap(files[0], 40, 30);
  WriteBitmap(files[1], 50, 30);
  WriteBitmap(files[2], 60, 30);
  view->FormActivate(view);
  std::wstring list;
  for (const auto& f : files) list += f + L'\0';
  list += L'\0';
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  SendMessageW(view->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);

  EXPECT_EQ(view->CurrentFile, files[0]);
  EXPECT_EQ(view->Image1->Picture().Width(), 40);
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  EXPECT_TRUE(vcl::SameText(current, dir.path().wstring()));
}

TEST_F(StartUp, ClosingRemovesTheWorkFilesAndResetsMoved) {
  view->FormActivate(view);
  const std::wstring temp = TempFolder();
  const std::wstring work[] = {temp + L"\\Temp.bmp", temp + L"\\Temp.emf", temp + L"\\Cad.emf",
                               temp + L"\\Merg.bmp", temp + L"\\Undo.jpg"};
  for (const auto& f : work) vcl::WriteFileBytes(f, std::vector<std::uint8_t>{1});
  const std::wstring other = temp + L"\\keep.txt";
  vcl::WriteFileBytes(other, std::vector<std::uint8_t>{1});
  view->UndoFile = temp + L"\\Undo.jpg";
  WriteSetting(L"Moved", L"1");
  vcl::TCloseAction action = vcl::TCloseAction::caHide;
  view->FormClose(view, action);
  for (const auto& f : work) EXPECT_FALSE(FileExists(f)) << vcl::Narrow(f);
  EXPECT_TRUE(FileExists(other));
  DeleteFileW(other.c_str());
  EXPECT_EQ(ReadSetting(L"Moved"), L"0");
}

TEST_F(StartUp, ElevenWindowsInTheirOrder) {
  std::vector<std::string> kinds;
  vcl::Application->ForEachForm([&](vcl::TForm* f) { kinds.push_back(typeid(*f).name()); });
  ASSERT_EQ(kinds.size(), 11u);
  EXPECT_NE(kinds.front().find("TViewForm"), std::string::npos);
  EXPECT_NE(kinds[3].find("THpglForm"), std::string::npos);
  EXPECT_NE(kinds.back().find("TBGForm"), std::string::npos);
  EXPECT_EQ(vcl::Application->MainForm(), view);
  const LONG style = GetWindowLongW(view->Handle(), GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), 0);
}

}  // namespace
}  // namespace pelindra::test
