#include "tests/win32/converters/converter_runner.h"

#include <fstream>
#include <iterator>

namespace pelindra::test {

bool WriteResource(const wchar_t* name, const std::filesystem::path& path) {
  HRSRC found = FindResourceW(nullptr, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!found) return false;
  HGLOBAL loaded = LoadResource(nullptr, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return false;
  std::ofstream out(path, std::ios::binary);
  out.write(static_cast<const char*>(data), SizeofResource(nullptr, found));
  return bool(out);
}

int RunProgram(const std::filesystem::path& program, const std::wstring& parameters) {
  std::wstring line = L"\"" + program.wstring() + L"\" " + parameters;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      program.parent_path().c_str(), &si, &pi))
    return -1;
  DWORD code = DWORD(-1);
  if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return int(code);
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace pelindra::test
