#include "tools/hp/converter_io.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>

namespace pelindra::converter {

namespace {

struct Handle {
  HANDLE h;
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

std::string narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s += c < 128 ? char(c) : '?';
  return s;
}

}  // namespace

std::vector<std::uint8_t> ReadInput(const std::wstring& path, std::size_t limit) {
  Handle file{CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)};
  if (file.h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + narrow(path));
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.h, &size) || size.QuadPart < 0) throw std::runtime_error("cannot read " + narrow(path));
  if (std::uint64_t(size.QuadPart) > limit) throw std::runtime_error(narrow(path) + " is too large");
  std::vector<std::uint8_t> bytes(std::size_t(size.QuadPart));
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    const DWORD want = DWORD(std::min<std::size_t>(bytes.size() - done, 1 << 24));
    if (!ReadFile(file.h, bytes.data() + done, want, &got, nullptr) || got == 0)
      throw std::runtime_error("cannot read " + narrow(path));
    done += got;
  }
  return bytes;
}

void WriteOutput(const std::wstring& path, std::span<const std::uint8_t> bytes) {
  const std::wstring temp = path + L".partial";
  {
    Handle file{CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)};
    if (file.h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + narrow(path));
    std::size_t done = 0;
    while (done < bytes.size()) {
      DWORD put = 0;
      const DWORD want = DWORD(std::min<std::size_t>(bytes.size() - done, 1 << 24));
      if (!WriteFile(file.h, bytes.data() + done, want, &put, nullptr) || put == 0) {
        CloseHandle(file.h);
        file.h = INVALID_HANDLE_VALUE;
        DeleteFileW(temp.c_str());
        throw std::runtime_error("cannot write " + narrow(path));
      }
      done += put;
    }
  }
  if (!MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(temp.c_str());
    throw std::runtime_error("cannot write " + narrow(path));
  }
}

int Run(const char* program, const std::wstring& output, const std::function<void()>& convert) {
  try {
    convert();
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", program, e.what());
  } catch (...) {
    std::fprintf(stderr, "%s: conversion failed\n", program);
  }
  if (!output.empty()) DeleteFileW(output.c_str());
  return 1;
}

}  // namespace pelindra::converter
