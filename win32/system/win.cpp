#include "win32/system/win.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "win32/system/settings.h"

namespace pelindra {

std::wstring DesktopFolder() { return ReadRegString(RootShellFolders, L"", L"Desktop"); }

std::wstring OSName() {
  std::wstring name = L"Windows";
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(&info)) return name;
#pragma GCC diagnostic pop
  if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
    name = ReadRegString(reinterpret_cast<std::uintptr_t>(HKEY_LOCAL_MACHINE),
                         L"\\Software\\Microsoft\\Windows\\CurrentVersion", L"ProductName");
  else if (info.dwPlatformId == VER_PLATFORM_WIN32_NT)
    name = ReadRegString(reinterpret_cast<std::uintptr_t>(HKEY_LOCAL_MACHINE),
                         L"\\Software\\Microsoft\\Windows NT\\CurrentVersion", L"ProductName");
  return name;
}

std::wstring WindowsDir() {
  // The whole path, however long: a cut path would name another folder.
  std::vector<wchar_t> buffer(MAX_PATH, L'\0');
  UINT n = GetWindowsDirectoryW(buffer.data(), UINT(buffer.size()));
  if (n >= buffer.size()) {
    buffer.assign(n + 1, L'\0');
    n = GetWindowsDirectoryW(buffer.data(), UINT(buffer.size()));
  }
  return std::wstring(buffer.data(), n < buffer.size() ? n : 0);
}

std::wstring TempFolder() { return WindowsDir() + L"\\Temp"; }

std::wstring ShortPath(const std::wstring& path) {
  wchar_t buffer[255];
  const DWORD n = GetShortPathNameW(path.c_str(), buffer, 255);
  if (n == 0 || n > 254) return path;
  return std::wstring(buffer, n);
}

std::wstring ShellDisplayName(const std::wstring& path) {
  SHFILEINFOW info{};
  if (!SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME) || info.szDisplayName[0] == 0)
    return path;
  return info.szDisplayName;
}

void StripExt(std::wstring& s) {
  const auto dot = s.rfind(L'.');
  if (dot != std::wstring::npos) s.erase(dot);
}

void ChangeExt(std::wstring& path, const std::wstring& ext) {
  StripExt(path);
  if (ext.empty() || ext[0] != L'.') path += L'.';
  path += ext;
}

std::wstring ExtractFilePath(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring ExtractFileName(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring ExtractFileDir(const std::wstring& path) {
  std::wstring dir = ExtractFilePath(path);
  if (dir.size() > 1 && (dir.back() == L'\\' || dir.back() == L'/') && dir[dir.size() - 2] != L':') dir.pop_back();
  return dir;
}

std::wstring ExtractFileExt(const std::wstring& path) {
  const std::wstring name = ExtractFileName(path);
  const auto dot = name.rfind(L'.');
  return dot == std::wstring::npos ? std::wstring() : name.substr(dot);
}

bool FileExists(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void DelFile(const std::wstring& path) {
  if (!path.empty() && FileExists(path)) DeleteFileW(path.c_str());
}

}  // namespace pelindra
