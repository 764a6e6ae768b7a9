#pragma once
// Icons and cursors read from .ico and .cur files. The file's bytes are kept,
// so saving writes back exactly what was read; the image shown is the best
// one of the file.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "win32/vcl/graphics.h"

namespace vcl {

// Owns an HICON.
struct IconDeleter {
  void operator()(HICON h) const { DestroyIcon(h); }
};
using IconHandle = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

class TIcon : public TGraphic {
 public:
  TIcon() = default;
  TIcon(const TIcon& other);
  TIcon& operator=(const TIcon&) = delete;

  bool Empty() const override { return !handle_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  HICON Handle() const { return handle_.get(); }
  bool IsCursor() const { return cursor_; }

  // Icons always draw with their mask: the Transparent flag does not apply.
  void Draw(TCanvas& canvas, const RECT& r) override;
  void LoadFromStream(std::span<const std::uint8_t> bytes) override;
  // The bytes that were read.
  std::vector<std::uint8_t> SaveToStream() const override { return bytes_; }
  void Assign(const TGraphic& source) override;
  std::unique_ptr<TGraphic> Clone() const override;

 private:
  IconHandle handle_;
  std::vector<std::uint8_t> bytes_;
  int width_ = 0;
  int height_ = 0;
  bool cursor_ = false;
};

}  // namespace vcl
