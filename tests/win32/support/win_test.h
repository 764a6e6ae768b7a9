#pragma once
// Support for the Windows suites: one application object for the whole test
// program, message pumping, and paths of fixtures.

#include <windows.h>

#include <filesystem>
#include <string>

namespace pelindra::test {

// Dispatches window messages for the given time (at least one pass).
void PumpMessages(int milliseconds = 0);

std::filesystem::path fixture(const std::string& relative);
std::filesystem::path testdata(const std::string& relative);
bool haveTestdata();

// A fresh empty folder removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return (path_ / name).wstring(); }

 private:
  std::filesystem::path path_;
};

}  // namespace pelindra::test
