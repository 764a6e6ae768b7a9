#include "win32/vcl/graphics.h"

#include "win32/vcl/strings.h"

namespace vcl {

namespace {

struct FileHandle {
  HANDLE h;
  explicit FileHandle(HANDLE handle) : h(handle) {}
  ~FileHandle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
};

}  // namespace

std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path) {
  FileHandle f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (f.h == INVALID_HANDLE_VALUE) throw EInvalidGraphic("Cannot open file \"" + Narrow(path) + "\"");
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(f.h, &size) || size.QuadPart > (LONGLONG(1) << 31))
    throw EInvalidGraphic("File \"" + Narrow(path) + "\" is too large");
  std::vector<std::uint8_t> bytes(std::size_t(size.QuadPart));
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    const DWORD want = DWORD(std::min<std::size_t>(bytes.size() - done, 1u << 24));
    if (!ReadFile(f.h, bytes.data() + done, want, &got, nullptr) || got == 0)
      throw EInvalidGraphic("Cannot read file \"" + Narrow(path) + "\"");
    done += got;
  }
  return bytes;
}

void WriteFileBytes(const std::wstring& path, std::span<const std::uint8_t> bytes) {
  const std::wstring temp = path + L".~new";
  {
    FileHandle f(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (f.h == INVALID_HANDLE_VALUE) throw EInvalidGraphic("Cannot create file \"" + Narrow(path) + "\"");
    std::size_t done = 0;
    while (done < bytes.size()) {
      DWORD put = 0;
      const DWORD want = DWORD(std::min<std::size_t>(bytes.size() - done, 1u << 24));
      if (!WriteFile(f.h, bytes.data() + done, want, &put, nullptr) || put == 0) {
        CloseHandle(f.h);
        f.h = INVALID_HANDLE_VALUE;
        DeleteFileW(temp.c_str());
        throw EInvalidGraphic("Cannot write file \"" + Narrow(path) + "\"");
      }
      done += put;
    }
  }
  if (!MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(temp.c_str());
    throw EInvalidGraphic("Cannot create file \"" + Narrow(path) + "\"");
  }
}

void TGraphic::LoadFromFile(const std::wstring& path) { LoadFromStream(ReadFileBytes(path)); }

void TGraphic::SaveToFile(const std::wstring& path) const { WriteFileBytes(path, SaveToStream()); }

void TGraphic::Progress(TProgressStage stage, int percent, const std::wstring& msg) {
  if (!OnProgress) return;
  const RECT r{0, 0, Width(), Height()};
  OnProgress(this, stage, percent, false, r, msg);
}

void TGraphic::Changed() {
  if (OnChange) OnChange(this);
}

}  // namespace vcl
