#include "win32/vcl/picture.h"

#include <algorithm>

#include "win32/vcl/icon.h"
#include "win32/vcl/jpeg.h"
#include "win32/vcl/metafile.h"
#include "win32/vcl/strings.h"

namespace vcl {

namespace {

std::wstring normalExtension(const std::wstring& extension) {
  return LowerCase(!extension.empty() && extension.front() == L'.' ? extension.substr(1) : extension);
}

std::vector<TFileFormat>& formats() {
  static std::vector<TFileFormat> list = [] {
    const auto bitmap = [] { return std::unique_ptr<TGraphic>(std::make_unique<TBitmap>()); };
    const auto icon = [] { return std::unique_ptr<TGraphic>(std::make_unique<TIcon>()); };
    const auto metafile = [] { return std::unique_ptr<TGraphic>(std::make_unique<TMetafile>()); };
    const auto jpeg = [] { return std::unique_ptr<TGraphic>(std::make_unique<TJPEGImage>()); };
    return std::vector<TFileFormat>{{L"bmp", L"Bitmaps", bitmap},       {L"ico", L"Icons", icon},
                                    {L"wmf", L"Metafiles", metafile},   {L"emf", L"Enhanced Metafiles", metafile},
                                    {L"jpg", L"JPEG Image File", jpeg}, {L"jpeg", L"JPEG Image File", jpeg}};
  }();
  return list;
}

}  // namespace

void TPicture::RegisterFileFormat(const std::wstring& extension, const std::wstring& description,
                                  TGraphicFactory create) {
  const std::wstring ext = normalExtension(extension);
  auto& list = formats();
  const auto it = std::find_if(list.begin(), list.end(), [&](const TFileFormat& f) { return f.extension == ext; });
  if (it != list.end())
    *it = {ext, description, std::move(create)};
  else
    list.push_back({ext, description, std::move(create)});
}

void TPicture::UnregisterFileFormat(const std::wstring& extension) {
  const std::wstring ext = normalExtension(extension);
  auto& list = formats();
  list.erase(std::remove_if(list.begin(), list.end(), [&](const TFileFormat& f) { return f.extension == ext; }),
             list.end());
}

std::vector<TFileFormat> TPicture::FileFormats() { return formats(); }

TPicture::~TPicture() {
  // The graphic's handlers point back here.
  if (graphic_) graphic_->OnChange = nullptr, graphic_->OnProgress = nullptr;
}

void TPicture::take(std::unique_ptr<TGraphic> graphic) {
  if (graphic) {
    graphic->OnChange = [this](TObject*) { changed(); };
    graphic->OnProgress = [this](TObject* sender, TProgressStage stage, int percent, bool redraw, const RECT& r,
                                 const std::wstring& msg) {
      if (OnProgress) OnProgress(sender, stage, percent, redraw, r, msg);
    };
  }
  graphic_ = std::move(graphic);
}

void TPicture::changed() {
  if (OnChange) OnChange(this);
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) {
  take(std::move(graphic));
  changed();
}

void TPicture::Assign(const TPicture& source) {
  if (&source == this) return;
  SetGraphic(source.graphic_ ? source.graphic_->Clone() : nullptr);
}

void TPicture::Assign(const TGraphic& source) {
  if (&source == graphic_.get()) return;
  SetGraphic(source.Clone());
}

TBitmap& TPicture::Bitmap() {
  if (auto* bitmap = dynamic_cast<TBitmap*>(graphic_.get())) return *bitmap;
  SetGraphic(std::make_unique<TBitmap>());
  return static_cast<TBitmap&>(*graphic_);
}

void TPicture::LoadFromFile(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  const std::size_t dot = path.find_last_of(L'.');
  const std::wstring ext =
      dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash) ? std::wstring() : path.substr(dot + 1);
  const auto list = formats();
  const std::wstring key = LowerCase(ext);
  const auto it = std::find_if(list.begin(), list.end(), [&](const TFileFormat& f) { return f.extension == key; });
  if (it == list.end()) throw EInvalidGraphic("Unknown picture file extension (." + Narrow(ext) + ")");
  std::unique_ptr<TGraphic> graphic = it->create();
  // Progress of the read reaches our handler, but the old picture stays ours
  // until the new one has been read completely.
  graphic->OnProgress = [this](TObject* sender, TProgressStage stage, int percent, bool redraw, const RECT& r,
                               const std::wstring& msg) {
    if (OnProgress) OnProgress(sender, stage, percent, redraw, r, msg);
  };
  graphic->LoadFromFile(path);
  SetGraphic(std::move(graphic));
}

void TPicture::SaveToFile(const std::wstring& path) const {
  if (graphic_) graphic_->SaveToFile(path);
}

}  // namespace vcl
