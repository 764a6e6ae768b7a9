#pragma once
// Ditherers: they turn rows of 24-bit colours into palette indices through a
// colour lookup, in serpentine order, optionally spreading each pixel's
// quantisation error to pixels not yet visited.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/gif/gif_colors.h"

namespace pelindra {

// Plain nearest-colour mapping in serpentine order.
class TDitherEngine {
 public:
  TDitherEngine(int width, TColorLookup* lookup) : lookup_(lookup), width_(width) {}
  virtual ~TDitherEngine() = default;
  virtual TColorMatch MapPixel(int red, int green, int blue);
  virtual void EndRow();
  // The column of the next pixel and the direction of this row (+1 or -1).
  int Column() const { return column_; }
  int Direction() const { return direction_; }
  // Passes over the current pixel without mapping it.
  void Skip() { column_ += direction_; }

 protected:
  TColorLookup* lookup_;
  int width_;
  int direction_ = 1;
  int column_ = 0;
};

class TFloydSteinbergDitherer : public TDitherEngine {
 public:
  TFloydSteinbergDitherer(int width, TColorLookup* lookup);
  TColorMatch MapPixel(int red, int green, int blue) override;
  void EndRow() override;

 private:
  std::array<std::vector<std::int32_t>, 3> rows_;
  std::array<std::int32_t, 3> current_{}, below_{}, behind_{};
  int p_ = 0;
};

// One weight of a spreading matrix: row (0 = current), column offset (positive = ahead).
struct TDitherWeight {
  int Row, Offset, Weight;
};

// The error-diffusion ditherers with row buffers (5 x 3 matrices, Stevenson-Arce, Burkes).
class TRowDitherer : public TDitherEngine {
 public:
  TColorMatch MapPixel(int red, int green, int blue) override;
  void EndRow() override;

 protected:
  TRowDitherer(int width, TColorLookup* lookup, int rows, int margin, int divisor);
  virtual const std::vector<TDitherWeight>& Matrix() const = 0;

 private:
  int rows_count_, margin_, divisor_;
  // rows_[channel][row] of width + 2 margin cells.
  std::array<std::vector<std::vector<std::int32_t>>, 3> rows_;
  int p_ = 0;
};

class T5by3Ditherer : public TRowDitherer {
 protected:
  T5by3Ditherer(int width, TColorLookup* lookup, int divisor) : TRowDitherer(width, lookup, 3, 2, divisor) {}
};

class TStuckiDitherer : public T5by3Ditherer {
 public:
  TStuckiDitherer(int width, TColorLookup* lookup) : T5by3Ditherer(width, lookup, 42) {}

 protected:
  const std::vector<TDitherWeight>& Matrix() const override;
};

class TSierraDitherer : public T5by3Ditherer {
 public:
  TSierraDitherer(int width, TColorLookup* lookup) : T5by3Ditherer(width, lookup, 32) {}

 protected:
  const std::vector<TDitherWeight>& Matrix() const override;
};

class TJaJuNiDitherer : public T5by3Ditherer {
 public:
  TJaJuNiDitherer(int width, TColorLookup* lookup) : T5by3Ditherer(width, lookup, 48) {}

 protected:
  const std::vector<TDitherWeight>& Matrix() const override;
};

class TSteveArcheDitherer : public TRowDitherer {
 public:
  TSteveArcheDitherer(int width, TColorLookup* lookup) : TRowDitherer(width, lookup, 4, 3, 200) {}

 protected:
  const std::vector<TDitherWeight>& Matrix() const override;
};

class TBurkesDitherer : public TRowDitherer {
 public:
  TBurkesDitherer(int width, TColorLookup* lookup) : TRowDitherer(width, lookup, 2, 2, 32) {}

 protected:
  const std::vector<TDitherWeight>& Matrix() const override;
};

// The ditherer of a DitherKind; null for an unknown kind.
std::unique_ptr<TDitherEngine> CreateDitherer(TDitherMode kind, int width, TColorLookup* lookup);

}  // namespace pelindra
