#include "tests/engine/support/test_support.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace pelindra::test {

std::filesystem::path fixture(const std::string& relative) {
  return std::filesystem::path(PELINDRA_FIXTURES) / relative;
}

bool haveTestdata() { return std::filesystem::is_directory(PELINDRA_TESTDATA); }

std::filesystem::path testdata(const std::string& relative) {
  if (!haveTestdata()) return {};
  return std::filesystem::path(PELINDRA_TESTDATA) / relative;
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

TempDir::TempDir() {
  std::random_device rd;
  for (;;) {
    path_ = std::filesystem::temp_directory_path() / ("pelindra-test-" + std::to_string(rd()));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace pelindra::test
