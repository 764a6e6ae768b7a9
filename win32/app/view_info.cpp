// The "Info" submenu: facts about the shown picture and the screen, and the
// commands they make possible.

#include <optional>

#include "engine/base/bmp.h"
#include "engine/base/numbers.h"
#include "win32/app/view_form.h"
#include "win32/system/win.h"
#include "win32/vcl/graphics.h"
#include "win32/vcl/picture.h"
#include "win32/vcl/strings.h"

namespace pelindra::app {

namespace {

using pelindra::PixelFormat;

const wchar_t* depthCaption(PixelFormat format) {
  switch (format) {
    case PixelFormat::Bits1: return L"1 Bit Black/White";
    case PixelFormat::Bits4: return L"4 Bit 16 Colors";
    case PixelFormat::Bits8: return L"8 Bit 256 Colors";
    case PixelFormat::Bits15: return L"15 Bit True Colors";
    case PixelFormat::Bits16: return L"16 Bit True Colors";
    case PixelFormat::Bits24: return L"24 Bit True Colors";
    case PixelFormat::Bits32: return L"32 Bit True Colors";
    default: return nullptr;
  }
}

wchar_t systemDecimalSeparator() {
  wchar_t buffer[4] = {};
  return GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 4) > 0 && buffer[0] ? buffer[0] : L'.';
}

std::optional<PixelFormat> formatOfBitCount(unsigned bits) {
  switch (bits) {
    case 1: return PixelFormat::Bits1;
    case 4: return PixelFormat::Bits4;
    case 8: return PixelFormat::Bits8;
    case 15: return PixelFormat::Bits15;
    case 16: return PixelFormat::Bits16;
    case 24: return PixelFormat::Bits24;
    case 32: return PixelFormat::Bits32;
    default: return std::nullopt;
  }
}

// The first bytes of a file: enough for every BMP header.
std::vector<std::uint8_t> headBytes(const std::wstring& path) {
  std::vector<std::uint8_t> bytes(4096);
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  DWORD got = 0;
  if (!ReadFile(f, bytes.data(), DWORD(bytes.size()), &got, nullptr)) got = 0;
  CloseHandle(f);
  bytes.resize(got);
  return bytes;
}

long long fileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

std::wstring TViewForm::FileSizeText(long long s, wchar_t separator) {
  const char sep = static_cast<char>(separator < 128 ? separator : L'.');
  const long double size = s;
  if (size / 1048576 > 1) return L"Filesize " + vcl::Widen(fixedText(size / 1048576, 3, sep)) + L" MB";
  if (size / 1024 > 1) return L"Filesize " + vcl::Widen(fixedText(size / 1024, 3, sep)) + L" KB";
  return L"Filesize " + vcl::Widen(floatText(size, sep)) + L" Bytes";
}

void TViewForm::FileInfo(const std::wstring& fileName) {
  vcl::TMenuItem* format = Item(L"Format1");
  vcl::TMenuItem* bitCount = Item(L"BitCount1");
  vcl::TMenuItem* colors = Item(L"Color1");
  vcl::TMenuItem* size = Item(L"FileSize1");
  vcl::TMenuItem* screen = Item(L"DeviceCaps1");

  const int n = ScreenBits;
  if (n >= 16)
    screen->SetCaption(L"Screen = True Colors (" + std::to_wstring(n) + L" Bit)");
  else if (n == 8)
    screen->SetCaption(L"Screen = 256 Colors (" + std::to_wstring(n) + L" Bit)");
  else if (n < 8)
    screen->SetCaption(L"Screen = 16 Colors (" + std::to_wstring(n) + L" Bit)");

  const std::wstring e = vcl::UpperCase(ExtractFileExt(fileName)).substr(0, 4);
  const std::wstring lower = vcl::LowerCase(e);
  format->SetCaption(L"Format = " + std::to_wstring(Image1->Picture().Width()) + L" x " +
                     std::to_wstring(Image1->Picture().Height()) + L"  (" + lower + L")");
  long long s = fileSize(fileName);
  if (s != 0) size->SetVisible(true);
  colors->SetVisible(IsAnimated);
  Item(L"Optimize1")->SetVisible(e == L".GIF");
  bitCount->SetVisible(false);

  if (e == L".GIF" || e == L".TIF" || e == L".JPG") {
    if (const wchar_t* caption = depthCaption(PicturePixelFormat)) bitCount->SetCaption(caption);
    bitCount->SetVisible(true);
  }
  if (e == L".BMP") {
    try {
      const BmpHeader header = readBmpHeader(headBytes(fileName));
      const wchar_t* caption = nullptr;
      if (const auto chosen = formatOfBitCount(header.bitCount)) {
        PicturePixelFormat = *chosen;
        caption = depthCaption(*chosen);
      }
      format->SetCaption(L"Format = " + std::to_wstring(header.width) + L" x " + std::to_wstring(header.height) +
                         L"  (" + lower + L")");
      if (header.colorsUsed != 0) {
        colors->SetCaption(L"Colors Used " + std::to_wstring(header.colorsUsed));
        colors->SetVisible(true);
        bitCount->SetVisible(true);
      }
      if (caption) {
        bitCount->SetCaption(caption);
        bitCount->SetVisible(true);
      }
      if (header.fileSize != 0) {
        size->SetVisible(true);
        s = header.fileSize;
      }
    } catch (...) {
      // A file without readable headers keeps what the picture view said.
    }
  }

  for (const wchar_t* name : {L"N1BitBlackWhite1", L"N4Bit16color1", L"N8Bit256color1", L"N24BitTrueColor1"})
    Item(name)->SetEnabled(true);
  Item(L"Convert1")->SetEnabled(PicturePixelFormat != PixelFormat::Bits1);
  switch (PicturePixelFormat) {
    case PixelFormat::Bits4:
      for (const wchar_t* name : {L"N4Bit16color1", L"N8Bit256color1", L"N24BitTrueColor1"})
        Item(name)->SetEnabled(false);
      break;
    case PixelFormat::Bits8:
      for (const wchar_t* name : {L"N8Bit256color1", L"N24BitTrueColor1"}) Item(name)->SetEnabled(false);
      break;
    case PixelFormat::Bits15:
    case PixelFormat::Bits16:
    case PixelFormat::Bits24: Item(L"N24BitTrueColor1")->SetEnabled(false); break;
    default: break;
  }
  Item(L"Gif1")->SetVisible(PicturePixelFormat == PixelFormat::Bits1 || PicturePixelFormat == PixelFormat::Bits4 ||
                            PicturePixelFormat == PixelFormat::Bits8);
  size->SetCaption(FileSizeText(s, systemDecimalSeparator()));
  if (OSName == L"Microsoft Windows 98") Item(L"Logosys1")->SetVisible(true);
}

}  // namespace pelindra::app
