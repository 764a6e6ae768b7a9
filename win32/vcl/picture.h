#pragma once
// A picture of any registered kind. The kind is chosen by the file extension
// from a registry of formats that picture classes add themselves to.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "win32/vcl/bitmap.h"
#include "win32/vcl/graphics.h"

namespace vcl {

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

struct TFileFormat {
  std::wstring extension;  // lower case, without the dot
  std::wstring description;
  TGraphicFactory create;
};

class TPicture : public TObject {
 public:
  TPicture() = default;
  ~TPicture() override;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  // Adds a kind for files ending in the extension (with or without its dot, in
  // any case); a later registration of the same extension takes its place.
  // Built in: bmp, ico, wmf, emf, jpg, jpeg.
  static void RegisterFileFormat(const std::wstring& extension, const std::wstring& description,
                                 TGraphicFactory create);
  static void UnregisterFileFormat(const std::wstring& extension);
  static std::vector<TFileFormat> FileFormats();

  // The graphic, or null for an empty picture.
  TGraphic* Graphic() const { return graphic_.get(); }
  void SetGraphic(std::unique_ptr<TGraphic> graphic);
  // Copies of the other picture's graphic, or of a graphic.
  void Assign(const TPicture& source);
  void Assign(const TGraphic& source);
  // The graphic as a bitmap; any other kind is first replaced by an empty bitmap.
  TBitmap& Bitmap();

  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }

  // Reads the file into a new graphic of the kind its extension names; the
  // picture changes only when that succeeded. Throws EInvalidGraphic for an
  // unknown extension or a file that cannot be read.
  void LoadFromFile(const std::wstring& path);
  // Writes the graphic in its own format (nothing for an empty picture).
  void SaveToFile(const std::wstring& path) const;

  TNotifyEvent OnChange;
  // Progress of the graphic while it reads, decodes or encodes.
  TProgressEvent OnProgress;

 private:
  void take(std::unique_ptr<TGraphic> graphic);
  void changed();

  std::unique_ptr<TGraphic> graphic_;
};

}  // namespace vcl
