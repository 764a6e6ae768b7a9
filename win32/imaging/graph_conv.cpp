#include "win32/imaging/graph_conv.h"

#include <optional>

#include "engine/base/bmp.h"
#include "engine/imaging/depth.h"
#include "engine/imaging/resize.h"
#include "engine/imaging/rotate.h"
#include "win32/app/view_form.h"
#include "win32/imaging/resize_form.h"
#include "win32/imaging/rotate_form.h"
#include "win32/system/win.h"
#include "win32/vcl/application.h"
#include "win32/vcl/bitmap.h"
#include "win32/vcl/icon.h"
#include "win32/vcl/jpeg.h"
#include "win32/vcl/picture.h"
#include "win32/vcl/strings.h"

namespace pelindra::imaging {

std::wstring ConvExt;
bool QuietReencode = false;
FitBox CropFitBox;

namespace {

bool isMetafileKind(const std::wstring& ext) { return ext == L".WMF" || ext == L".EMF" || ext == L".WPG"; }

PixelFormat& pictureFormat() { return app::ViewForm->PicturePixelFormat; }

// Writes a bitmap as a work file and lets the view load it again.
void saveAndReload(vcl::TImage& view, const Dib& dib, const std::wstring& file) {
  vcl::WriteFileBytes(file, writeBmp(dib));
  view.Picture().SetGraphic(nullptr);
  view.Picture().LoadFromFile(file);
}

void reloadBitmap(vcl::TImage& view, const Dib& dib) { saveAndReload(view, dib, WorkFile(L"Temp.bmp")); }

}  // namespace

std::wstring WorkFile(const std::wstring& name) { return TempFolder() + L"\\" + name; }

Dib PictureDib(vcl::TImage& view) {
  vcl::TGraphic* graphic = view.Picture().Graphic();
  if (!graphic || graphic->Empty()) throw std::runtime_error("there is no picture");
  if (auto* bitmap = dynamic_cast<vcl::TBitmap*>(graphic)) return bitmap->ToDib();
  vcl::TBitmap bitmap;
  bitmap.Assign(*graphic);
  return bitmap.ToDib();
}

namespace {

// A picture drawn on a white 24-bit bitmap of its size, then reduced to the given depth.
Dib drawnOnWhite(vcl::TGraphic& graphic, PixelFormat depth) {
  vcl::TBitmap bitmap(graphic.Width(), graphic.Height(), vcl::pf24bit);
  bitmap.Canvas().setBrush({RGB(255, 255, 255), pelindra::BrushStyle::Solid});
  bitmap.Canvas().FillRect(RECT{0, 0, bitmap.Width(), bitmap.Height()});
  bitmap.Canvas().Draw(0, 0, graphic);
  return ConvertDepth(bitmap.ToDib(), depth);
}

}  // namespace

void ToBitmap(vcl::TImage& view) {
  vcl::TGraphic* graphic = view.Picture().Graphic();
  if (graphic && !graphic->Empty()) {
    std::optional<Dib> converted;
    if (isMetafileKind(ConvExt)) {
      converted = drawnOnWhite(*graphic, PixelFormat::Bits8);  // a drawing becomes 8-bit
    } else if (ConvExt == L".JPG" || ConvExt == L".GIF" || ConvExt == L".TIF") {
      converted = PictureDib(view);
    } else if (ConvExt == L".ICO") {
      converted = drawnOnWhite(*graphic, PixelFormat::Bits4);  // an icon becomes 16-colour
    }
    if (converted) reloadBitmap(view, *converted);
  }
  ConvExt = L".BMP";
}

void ConvertDepth(vcl::TImage& view, PixelFormat format) {
  if (ConvExt != L".BMP") ToBitmap(view);
  // The reduction is made directly from the picture's own colours (no JPEG
  // round trip first): exact when they fit, the nearest colour of a fixed
  // palette otherwise.
  reloadBitmap(view, imaging::ConvertDepth(PictureDib(view), format));
  ConvExt = L".BMP";
}

void Grayscale(vcl::TImage& view) {
  if (ConvExt != L".BMP") ToBitmap(view);
  const Dib picture = PictureDib(view);
  PixelFormat format = picture.pixelFormat();
  if (format == PixelFormat::Bits32 || format == PixelFormat::Custom || format == PixelFormat::Device)
    format = PixelFormat::Bits24;
  pictureFormat() = format;
  reloadBitmap(view, imaging::Grayscale(picture));
  ConvExt = L".BMP";
}

void Flip(vcl::TImage& view, const std::wstring& direction) {
  if (isMetafileKind(ConvExt)) ToBitmap(view);
  const FlipDirection d = direction == L"Horizontal" ? FlipDirection::Horizontal : FlipDirection::Vertical;
  reloadBitmap(view, imaging::Flip(PictureDib(view), d));
  ConvExt = L".BMP";
}

bool Rotate(vcl::TImage& view) {
  const Dib picture = PictureDib(view);
  if (dynamic_cast<vcl::TBitmap*>(view.Picture().Graphic())) pictureFormat() = picture.pixelFormat();
  TRotateForm& form = *RotateForm;
  form.SetBorderColor(picture.pixel(0, picture.height() - 1));
  form.ShowModal();
  if (!form.Confirmed) return false;
  if (ConvExt == L".ICO" || ConvExt == L".EMF" || ConvExt == L".WMF") pictureFormat() = PixelFormat::Bits8;
  const PixelFormat target = pictureFormat();
  pictureFormat() = PixelFormat::Bits24;
  const long long degrees = form.Angle();
  Dib result =
      imaging::Rotate(picture, NormalizeAngle(degrees), form.BorderColor(), [] { app::TViewForm::ProcessMessages(); });
  ConvExt = L".BMP";
  if (target != PixelFormat::Bits24 && target != PixelFormat::Bits32) {
    pictureFormat() = target;
    result = imaging::ConvertDepth(result, target);
  }
  reloadBitmap(view, result);
  return true;
}

void ShowResult(vcl::TImage& view, const Dib& result) {
  // A cut picture is a bitmap now. JPEG pictures are written as JPEG again, so
  // the work file's content matches its name; other kinds continue as bitmaps.
  Dib shown = result;
  if (pictureFormat() != PixelFormat::Bits24) shown = imaging::ConvertDepth(result, pictureFormat());
  if (ConvExt == L".JPG") {
    vcl::TBitmap bitmap;
    bitmap.Assign(shown);
    vcl::TJPEGImage jpeg;
    jpeg.Assign(bitmap);
    jpeg.SetCompressionQuality(80);
    const std::wstring file = WorkFile(L"Temp.jpg");
    jpeg.SaveToFile(file);
    view.Picture().SetGraphic(nullptr);
    view.Picture().LoadFromFile(file);
    return;
  }
  ConvExt = L".BMP";
  reloadBitmap(view, shown);
}

void Crop(vcl::TImage& view, int width, int height, int left, int top) {
  const Dib picture = PictureDib(view);
  if (ConvExt == L".BMP") pictureFormat() = picture.pixelFormat();
  ShowResult(view, imaging::Crop(picture, width, height, left, top));
}

bool CropFitTest(vcl::TImage& view) {
  CropFitBox = {};
  vcl::TGraphic* graphic = view.Picture().Graphic();
  if (!graphic || graphic->Empty()) return false;
  return CropFitTest(PictureDib(view), CropFitBox);
}

bool Resize(vcl::TImage& view) {
  TResizeForm& form = *ResizeForm;
  form.StartWidth = view.Picture().Width();
  form.StartHeight = view.Picture().Height();
  form.ShowModal();
  app::TViewForm::ProcessMessages();
  if (!form.Changed) return false;
  if (isMetafileKind(ConvExt))
    ResizeMetafile(view, form.NewWidth, form.NewHeight);
  else
    ResizeBitmap(view, form.NewWidth, form.NewHeight);
  return true;
}

void ResizeBitmap(vcl::TImage& view, int width, int height) {
  const Dib picture = PictureDib(view);
  if (ConvExt == L".BMP") pictureFormat() = picture.pixelFormat();
  Dib result = imaging::ResizeBitmap(picture, width, height);
  ConvExt = L".BMP";
  if (pictureFormat() != PixelFormat::Bits24) result = imaging::ConvertDepth(result, pictureFormat());
  reloadBitmap(view, result);
}

void ResizeMetafile(vcl::TMetafile& metafile, int width, int height) {
  vcl::TMetafile resized;
  resized.SetWidth(width);
  resized.SetHeight(height);
  {
    wchar_t time[64] = {}, date[64] = {};
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, 64);
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 64);
    vcl::TMetafileCanvas canvas(resized, nullptr, L"Pelindra.exe", std::wstring(time) + L" - " + date);
    canvas.StretchDraw(RECT{0, 0, width, height}, metafile);
  }
  metafile.Assign(resized);
}

void ResizeMetafile(vcl::TImage& view, int width, int height) {
  auto* metafile = dynamic_cast<vcl::TMetafile*>(view.Picture().Graphic());
  if (!metafile) throw std::runtime_error("the picture is not a drawing");
  ResizeMetafile(*metafile, width, height);
  const std::wstring file = WorkFile(L"Temp.emf");
  metafile->SaveToFile(file);
  view.Picture().SetGraphic(nullptr);
  view.Picture().LoadFromFile(file);
  ConvExt = L".EMF";
}

}  // namespace pelindra::imaging
