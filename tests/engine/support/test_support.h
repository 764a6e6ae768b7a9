#pragma once
// Helpers shared by the engine suites: fixture paths and file bytes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pelindra::test {

// A file of tests/fixtures.
std::filesystem::path fixture(const std::string& relative);
// A file or folder of the shared sample corpus; empty when the corpus is absent.
std::filesystem::path testdata(const std::string& relative);
bool haveTestdata();

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// A fresh empty folder under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace pelindra::test
