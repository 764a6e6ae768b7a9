#include "win32/vcl/registry.h"

#include <vector>

#include "win32/vcl/strings.h"

namespace vcl {

namespace {

std::wstring relative(const std::wstring& key) {
  std::size_t i = 0;
  while (i < key.size() && key[i] == L'\\') ++i;
  return key.substr(i);
}

}  // namespace

bool TRegistry::OpenKey(const std::wstring& key, bool canCreate) {
  CloseKey();
  HKEY h = nullptr;
  LONG rc;
  if (canCreate)
    rc = RegCreateKeyExW(root_, relative(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr);
  else
    rc = RegOpenKeyExW(root_, relative(key).c_str(), 0, KEY_ALL_ACCESS, &h);
  if (rc != ERROR_SUCCESS) return false;
  key_ = h;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::wstring& key) {
  CloseKey();
  HKEY h = nullptr;
  if (RegOpenKeyExW(root_, relative(key).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  key_ = h;
  return true;
}

void TRegistry::CloseKey() {
  if (key_) RegCloseKey(key_);
  key_ = nullptr;
}

bool TRegistry::KeyExists(const std::wstring& key) const {
  HKEY h = nullptr;
  if (RegOpenKeyExW(root_, relative(key).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

bool TRegistry::DeleteKey(const std::wstring& key) {
  const std::wstring k = relative(key);
  if (k.empty()) return false;
  return RegDeleteTreeW(root_, k.c_str()) == ERROR_SUCCESS && RegDeleteKeyW(root_, k.c_str()) != ERROR_ACCESS_DENIED;
}

bool TRegistry::ValueExists(const std::wstring& name) const {
  return key_ && RegQueryValueExW(key_, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::wstring TRegistry::ReadString(const std::wstring& name) const {
  if (!key_) throw ERegistryException("no key is open");
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    throw ERegistryException("Invalid data type for '" + Narrow(name) + "'");
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
  DWORD bytes = DWORD(buffer.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) !=
      ERROR_SUCCESS)
    return {};
  buffer.back() = L'\0';
  return buffer.data();
}

void TRegistry::WriteString(const std::wstring& name, const std::wstring& value) {
  if (!key_) throw ERegistryException("no key is open");
  const LONG rc = RegSetValueExW(key_, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 DWORD((value.size() + 1) * sizeof(wchar_t)));
  if (rc != ERROR_SUCCESS) throw ERegistryException("Failed to set data for '" + Narrow(name) + "'");
}

bool TRegistry::DeleteValue(const std::wstring& name) {
  return key_ && RegDeleteValueW(key_, name.c_str()) == ERROR_SUCCESS;
}

std::wstring TIniFile::ReadString(const std::wstring& section, const std::wstring& key,
                                  const std::wstring& def) const {
  std::vector<wchar_t> buffer(2048, L'\0');
  GetPrivateProfileStringW(section.c_str(), key.c_str(), def.c_str(), buffer.data(), DWORD(buffer.size()),
                           fileName_.c_str());
  return buffer.data();
}

void TIniFile::WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
  WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), fileName_.c_str());
}

}  // namespace vcl

