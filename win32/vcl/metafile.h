#pragma once
// Enhanced and Windows metafiles. The picture is always held as an enhanced
// metafile; Windows metafiles are converted when read and written (with the
// 22-byte placeable header) when Enhanced is cleared.

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

#include "win32/vcl/canvas.h"
#include "win32/vcl/graphics.h"

namespace vcl {

// Owns an HENHMETAFILE.
struct EnhMetafileDeleter {
  void operator()(HENHMETAFILE h) const { DeleteEnhMetaFile(h); }
};
using EnhMetafileHandle = std::unique_ptr<std::remove_pointer_t<HENHMETAFILE>, EnhMetafileDeleter>;

class TMetafile : public TGraphic {
 public:
  TMetafile() = default;
  TMetafile(const TMetafile& other);
  TMetafile& operator=(const TMetafile&) = delete;

  bool Empty() const override { return !handle_; }
  // Size in screen pixels, from the size in hundredths of a millimetre.
  int Width() const override;
  int Height() const override;
  void SetWidth(int width);
  void SetHeight(int height);
  // Size in hundredths of a millimetre.
  int MMWidth() const { return mmWidth_; }
  int MMHeight() const { return mmHeight_; }
  void SetMMWidth(int value) { mmWidth_ = value, Changed(); }
  void SetMMHeight(int value) { mmHeight_ = value, Changed(); }
  // Units per inch of the placeable header the picture was read from (0 when
  // it was not read from a placeable Windows metafile).
  int Inch() const { return inch_; }

  // Saved as an enhanced metafile when set, as a placeable Windows metafile otherwise.
  bool Enhanced = true;
  // The two texts of the enhanced metafile's description.
  std::wstring CreatedBy() const;
  std::wstring Description() const;

  HENHMETAFILE Handle() const { return handle_.get(); }
  // Takes ownership of an enhanced metafile; its frame gives the size.
  void SetHandle(HENHMETAFILE handle);
  // Gives up ownership; the metafile becomes empty.
  HENHMETAFILE ReleaseHandle();
  void Clear();

  void Draw(TCanvas& canvas, const RECT& r) override;
  // Reads an enhanced metafile, a placeable Windows metafile or a plain
  // Windows metafile, checking its structure before GDI sees it.
  void LoadFromStream(std::span<const std::uint8_t> bytes) override;
  std::vector<std::uint8_t> SaveToStream() const override;
  void Assign(const TGraphic& source) override;
  std::unique_ptr<TGraphic> Clone() const override;

 private:
  friend class TMetafileCanvas;
  void adopt(EnhMetafileHandle handle, int mmWidth, int mmHeight, int inch);
  std::wstring descriptionText(int which) const;

  EnhMetafileHandle handle_;
  int mmWidth_ = 0;
  int mmHeight_ = 0;
  int inch_ = 0;
};

// Records drawing into a new enhanced metafile for a reference device (the
// screen when none is given). The metafile's size, when set, becomes the frame.
// The recording goes into the metafile when the canvas is closed or destroyed.
class TMetafileCanvas : public TCanvas {
 public:
  TMetafileCanvas(TMetafile& metafile, HDC referenceDevice);
  TMetafileCanvas(TMetafile& metafile, HDC referenceDevice, const std::wstring& createdBy,
                  const std::wstring& description);
  ~TMetafileCanvas() override;
  TMetafileCanvas(const TMetafileCanvas&) = delete;
  TMetafileCanvas& operator=(const TMetafileCanvas&) = delete;

  void Close();

 private:
  TMetafile& metafile_;
  HDC recording_ = nullptr;
};

}  // namespace vcl
