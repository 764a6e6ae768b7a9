#include "engine/gif/gif_dither.h"

#include <algorithm>

namespace pelindra {

namespace {
int Clamp(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }
}  // namespace

TColorMatch TDitherEngine::MapPixel(int red, int green, int blue) {
  const TColorMatch match = lookup_->FindIndex(red, green, blue);
  column_ += direction_;
  return match;
}

void TDitherEngine::EndRow() {
  direction_ = -direction_;
  column_ = direction_ > 0 ? 0 : width_ - 1;
}

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int width, TColorLookup* lookup) : TDitherEngine(width, lookup) {
  for (auto& row : rows_) row.assign(std::size_t(width) + 2, 0);
}

TColorMatch TFloydSteinbergDitherer::MapPixel(int red, int green, int blue) {
  const int input[3] = {red, green, blue};
  int value[3];
  for (int c = 0; c < 3; ++c)
    value[c] = Clamp(input[c] + (rows_[std::size_t(c)][std::size_t(p_)] + current_[std::size_t(c)] + 8) / 16);
  const TColorMatch match = lookup_->FindIndex(value[0], value[1], value[2]);
  const int chosen[3] = {match.Red, match.Green, match.Blue};
  for (std::size_t c = 0; c < 3; ++c) {
    const std::int32_t e = value[c] - chosen[c];
    if (e != 0) {
      rows_[c][std::size_t(p_)] = behind_[c] + 3 * e;
      behind_[c] = below_[c] + 5 * e;
      below_[c] = e;
      current_[c] = 7 * e;
    } else {
      current_[c] = 0;
    }
  }
  p_ += direction_;
  column_ += direction_;
  return match;
}

void TFloydSteinbergDitherer::EndRow() {
  for (std::size_t c = 0; c < 3; ++c) {
    rows_[c][std::size_t(p_)] = behind_[c];
    current_[c] = below_[c] = behind_[c] = 0;
  }
  TDitherEngine::EndRow();
  p_ = direction_ > 0 ? 0 : width_ + 1;
}

TRowDitherer::TRowDitherer(int width, TColorLookup* lookup, int rows, int margin, int divisor)
    : TDitherEngine(width, lookup), rows_count_(rows), margin_(margin), divisor_(divisor), p_(margin) {
  for (auto& channel : rows_)
    channel.assign(std::size_t(rows), std::vector<std::int32_t>(std::size_t(width) + 2 * std::size_t(margin), 0));
}

TColorMatch TRowDitherer::MapPixel(int red, int green, int blue) {
  const int input[3] = {red, green, blue};
  int value[3];
  for (std::size_t c = 0; c < 3; ++c)
    value[c] = Clamp(input[c] + (rows_[c][0][std::size_t(p_)] + divisor_ / 2) / divisor_);
  const TColorMatch match = lookup_->FindIndex(value[0], value[1], value[2]);
  const int chosen[3] = {match.Red, match.Green, match.Blue};
  const auto& matrix = Matrix();
  for (std::size_t c = 0; c < 3; ++c) {
    const std::int32_t e = value[c] - chosen[c];
    if (e == 0) continue;
    for (const TDitherWeight& w : matrix)
      rows_[c][std::size_t(w.Row)][std::size_t(p_ + w.Offset * direction_)] += e * w.Weight;
  }
  p_ += direction_;
  column_ += direction_;
  return match;
}

void TRowDitherer::EndRow() {
  for (auto& channel : rows_) {
    std::fill(channel[0].begin(), channel[0].end(), 0);
    std::rotate(channel.begin(), channel.begin() + 1, channel.end());
  }
  TDitherEngine::EndRow();
  p_ = direction_ > 0 ? margin_ : width_ + margin_ - 1;
  (void)rows_count_;
}

const std::vector<TDitherWeight>& TStuckiDitherer::Matrix() const {
  static const std::vector<TDitherWeight> m = {{0, 1, 8}, {0, 2, 4},  {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4},
                                               {1, 2, 2}, {2, -2, 1}, {2, -1, 2}, {2, 0, 4},  {2, 1, 2}, {2, 2, 1}};
  return m;
}

const std::vector<TDitherWeight>& TSierraDitherer::Matrix() const {
  static const std::vector<TDitherWeight> m = {{0, 1, 5}, {0, 2, 3}, {1, -2, 2}, {1, -1, 4}, {1, 0, 5},
                                               {1, 1, 4}, {1, 2, 2}, {2, -1, 2}, {2, 0, 3},  {2, 1, 2}};
  return m;
}

const std::vector<TDitherWeight>& TJaJuNiDitherer::Matrix() const {
  static const std::vector<TDitherWeight> m = {{0, 1, 7}, {0, 2, 5},  {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5},
                                               {1, 2, 3}, {2, -2, 1}, {2, -1, 3}, {2, 0, 5},  {2, 1, 3}, {2, 2, 1}};
  return m;
}

const std::vector<TDitherWeight>& TSteveArcheDitherer::Matrix() const {
  static const std::vector<TDitherWeight> m = {{0, 2, 32}, {1, -3, 12}, {1, -1, 26}, {1, 1, 30},
                                               {1, 3, 16}, {2, -2, 12}, {2, 0, 26},  {2, 2, 12},
                                               {3, -3, 5}, {3, -1, 12}, {3, 1, 12},  {3, 3, 5}};
  return m;
}

const std::vector<TDitherWeight>& TBurkesDitherer::Matrix() const {
  static const std::vector<TDitherWeight> m = {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4},
                                               {1, 0, 8}, {1, 1, 4}, {1, 2, 2}};
  return m;
}

std::unique_ptr<TDitherEngine> CreateDitherer(TDitherMode kind, int width, TColorLookup* lookup) {
  switch (kind) {
    case TDitherMode::Nearest: return std::make_unique<TDitherEngine>(width, lookup);
    case TDitherMode::FloydSteinberg: return std::make_unique<TFloydSteinbergDitherer>(width, lookup);
    case TDitherMode::Stucki: return std::make_unique<TStuckiDitherer>(width, lookup);
    case TDitherMode::Sierra: return std::make_unique<TSierraDitherer>(width, lookup);
    case TDitherMode::JaJuNi: return std::make_unique<TJaJuNiDitherer>(width, lookup);
    case TDitherMode::SteveArche: return std::make_unique<TSteveArcheDitherer>(width, lookup);
    case TDitherMode::Burkes: return std::make_unique<TBurkesDitherer>(width, lookup);
  }
  return nullptr;
}

}  // namespace pelindra
