#pragma once
// The registry and profile (.ini) files.

#include <windows.h>

#include <stdexcept>
#include <string>

#include "win32/vcl/classes.h"

namespace vcl {

class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TRegistry : public TObject {
 public:
  explicit TRegistry(HKEY root = HKEY_CURRENT_USER) : root_(root) {}
  ~TRegistry() override { CloseKey(); }
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return root_; }
  void SetRootKey(HKEY root) {
    CloseKey();
    root_ = root;
  }
  // Opens a key (a leading "\" is allowed and means the root); creates it when
  // canCreate is set. False when it cannot be opened.
  bool OpenKey(const std::wstring& key, bool canCreate);
  bool OpenKeyReadOnly(const std::wstring& key);
  void CloseKey();
  bool KeyExists(const std::wstring& key) const;
  // Deletes a key with all its subkeys; false when it could not be deleted.
  bool DeleteKey(const std::wstring& key);
  bool ValueExists(const std::wstring& name) const;
  // Reads a string value of the open key; a missing value reads as empty, a value of
  // another kind raises ERegistryException.
  std::wstring ReadString(const std::wstring& name) const;
  void WriteString(const std::wstring& name, const std::wstring& value);
  bool DeleteValue(const std::wstring& name);
  HKEY CurrentKey() const { return key_; }

 private:
  HKEY root_;
  HKEY key_ = nullptr;
};

// A profile file; a bare file name lives in the Windows directory.
class TIniFile : public TObject {
 public:
  explicit TIniFile(std::wstring fileName) : fileName_(std::move(fileName)) {}
  std::wstring ReadString(const std::wstring& section, const std::wstring& key, const std::wstring& def) const;
  void WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value);
  const std::wstring& FileName() const { return fileName_; }

 private:
  std::wstring fileName_;
};

}  // namespace vcl
