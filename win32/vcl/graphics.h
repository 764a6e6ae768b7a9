#pragma once
// The abstract picture: anything that has a size, can be drawn into a
// rectangle of a canvas, and can be read from and written to bytes.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "win32/vcl/classes.h"

namespace vcl {

class TCanvas;

// Raised when a picture file cannot be read or a picture cannot be converted.
class EInvalidGraphic : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TProgressStage { psStarting, psRunning, psEnding };
using TProgressEvent = std::function<void(TObject* Sender, TProgressStage Stage, int PercentDone, bool RedrawNow,
                                          const RECT& R, const std::wstring& Msg)>;

class TGraphic : public TObject {
 public:
  virtual bool Empty() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Draws the picture stretched into r.
  virtual void Draw(TCanvas& canvas, const RECT& r) = 0;

  virtual void LoadFromStream(std::span<const std::uint8_t> bytes) = 0;
  virtual std::vector<std::uint8_t> SaveToStream() const = 0;
  virtual void LoadFromFile(const std::wstring& path);
  // Writes to a temporary name beside the target and renames it, so a failure
  // never leaves a partial file.
  virtual void SaveToFile(const std::wstring& path) const;
  // Takes over the picture of another graphic; throws EInvalidGraphic when the
  // kinds cannot be converted.
  virtual void Assign(const TGraphic& source) = 0;
  virtual std::unique_ptr<TGraphic> Clone() const = 0;
  // Lets a picture kind put itself into another kind it knows how to fill (a
  // JPEG picture into a bitmap); false when it cannot, and the destination then
  // decides what to do.
  virtual bool AssignTo(TGraphic& /*destination*/) const { return false; }

  // Draw with the picture's transparent colour left out (where the kind supports it).
  bool Transparent = false;
  TProgressEvent OnProgress;
  // Fired after the picture changed its size, format or contents as a whole.
  TNotifyEvent OnChange;

 protected:
  TGraphic() = default;
  // Copies carry the picture, not the event handlers of the original.
  TGraphic(const TGraphic& other) : TObject(), Transparent(other.Transparent) {}
  TGraphic& operator=(const TGraphic&) = delete;

  void Progress(TProgressStage stage, int percent, const std::wstring& msg = {});
  void Changed();
};

// Bytes of a whole file; throws EInvalidGraphic when the file cannot be read.
std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path);
// Replaces a file with new contents through a temporary file and a rename.
void WriteFileBytes(const std::wstring& path, std::span<const std::uint8_t> bytes);

}  // namespace vcl
