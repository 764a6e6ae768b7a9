// Conversion of bitmaps into frames, the frame optimiser and colour-table packing.

#include <algorithm>
#include <cstring>
#include <numeric>

#include "engine/gif/gif_colors.h"
#include "engine/gif/gif_image.h"

namespace pelindra {

namespace {

bool IsIndexedBits(int bits) { return bits == 1 || bits == 4 || bits == 8; }

PaletteHandle PaletteOf(const Dib& dib) {
  Palette p;
  for (const RgbQuad& q : dib.colors()) p.push_back({q.red, q.green, q.blue, 0});
  return MakePalette(std::move(p));
}

// A mask pixel counts when it is not 0 (index 0, or black).
bool MaskSet(const Dib& mask, int x, int y) {
  if (x >= mask.width() || y >= mask.height()) return false;
  return mask.isIndexed() ? mask.index(x, y) != 0 : mask.pixel(x, y) != 0;
}

Rect Intersect(Rect a, Rect b) {
  Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.left >= r.right || r.top >= r.bottom) return {};
  return r;
}

bool EmptyRect(Rect r) { return r.left >= r.right || r.top >= r.bottom; }

TDisposalMethod DisposalOf(const TGIFSubImage* frame) {
  return frame->ControlBlock() ? frame->ControlBlock()->Disposal() : TDisposalMethod::None;
}

bool Restores(const TGIFSubImage* frame) {
  const TDisposalMethod d = DisposalOf(frame);
  return frame->ControlBlock() && (d == TDisposalMethod::Background || d == TDisposalMethod::Previous);
}

bool UsesIndex(const TGIFSubImage* frame, int index) {
  const auto& pixels = frame->PixelData();
  return std::find(pixels.begin(), pixels.end(), std::uint8_t(index)) != pixels.end();
}

// Sorts (count, index) pairs by count, highest first, in the classic in-place
// quicksort with the middle element as pivot.
void SortByUse(std::vector<std::pair<std::uint32_t, int>>& a, int left, int right) {
  int i, j;
  do {
    i = left, j = right;
    const std::uint32_t pivot = a[std::size_t((left + right) >> 1)].first;
    do {
      while (a[std::size_t(i)].first > pivot) ++i;
      while (a[std::size_t(j)].first < pivot) --j;
      if (i <= j) {
        std::swap(a[std::size_t(i)], a[std::size_t(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (left < j) SortByUse(a, left, j);
    left = i;
  } while (i < right);
}

}  // namespace

bool TGIFColorMap::OptimizeColors() {
  if (count_ <= 1) return false;
  sorted_ = true;
  const auto counts = CountUses();
  std::vector<std::pair<std::uint32_t, int>> order(static_cast<std::size_t>(count_));
  for (int i = 0; i < count_; ++i) order[std::size_t(i)] = {counts[std::size_t(i)], i};
  SortByUse(order, 0, count_ - 1);
  bool same = true;
  for (int i = 0; i < count_; ++i) same = same && order[std::size_t(i)].second == i;
  if (same) return true;
  std::array<std::uint8_t, 256> map;
  std::iota(map.begin(), map.end(), 0);
  for (int i = 0; i < count_; ++i) map[std::size_t(order[std::size_t(i)].second)] = std::uint8_t(i);
  RemapPixels(map);
  const auto old = data_;
  int used = count_;
  for (int i = 0; i < count_; ++i) {
    data_[std::size_t(i)] = old[std::size_t(order[std::size_t(i)].second)];
    if (order[std::size_t(i)].first == 0 && used == count_) used = i;
  }
  count_ = used;
  Changed();
  return true;
}

// ---------------------------------------------------------------------------
// Conversion

void TGIFSubImage::Assign(const Dib& bitmap, const Dib* mask) {
  Clear();
  if (bitmap.empty()) return;
  SetBounds(FrameLeft(), FrameTop(), bitmap.width(), bitmap.height());
  const int width = FrameWidth(), height = FrameHeight();
  // The converted bitmap becomes the frame's rendering once the import is done;
  // reading its colours into the local table would drop it before.
  std::unique_ptr<GIFBitmap> converted;
  if (IsIndexedBits(bitmap.bitsPerPixel())) {
    converted = std::make_unique<GIFBitmap>(GIFBitmap{bitmap, PaletteOf(bitmap)});
  } else {
    Dib source = bitmap;
    converted = ReduceColors(source, image_ ? image_->ReductionMethod : GIFDefaults.ReductionMethod,
                             image_ ? image_->DitherKind : GIFDefaults.DitherKind, nullptr,
                             image_ ? image_->ReductionDepth : GIFDefaults.ReductionDepth);
  }
  Dib& dib = converted->Image;
  if (!IsIndexedBits(dib.bitsPerPixel())) ConvertTo24(dib);
  pixels_.assign(std::size_t(width) * std::size_t(height), 0);
  if (image_) image_->Progress(this, ProgressStage::Starting, 0, false, "Converting...");
  try {
    const int bits = dib.bitsPerPixel();
    if (dib.width() == width && dib.height() == height) {
      if (bits != 24) LocalColors.ReadRgbQuads(dib.colors());
      std::array<TGIFColor, 8> cacheColor{};
      std::array<int, 8> cacheIndex;
      cacheIndex.fill(-1);
      int next = 0;
      for (int y = 0; y < height; ++y) {
        if (y % 32 == 0 && image_)
          image_->Progress(this, ProgressStage::Running, y * 100 / height, false, "Converting...");
        const std::uint8_t* row = dib.scanLine(y);
        std::uint8_t* out = pixels_.data() + std::size_t(y) * std::size_t(width);
        switch (bits) {
          case 1:
            for (int x = 0; x < width; ++x) out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
            break;
          case 4:
            for (int x = 0; x < width; ++x) out[x] = (x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4;
            break;
          case 8: std::memcpy(out, row, std::size_t(width)); break;
          default:
            for (int x = 0; x < width; ++x) {
              const TGIFColor c{row[3 * x + 2], row[3 * x + 1], row[3 * x]};
              int index = -1;
              for (int k = 0, slot = next; k < 8; ++k) {
                slot = (slot + 7) & 7;
                if (cacheIndex[std::size_t(slot)] >= 0 && cacheColor[std::size_t(slot)] == c) {
                  index = cacheIndex[std::size_t(slot)];
                  break;
                }
              }
              if (index < 0) {
                index = LocalColors.FindOrAppendColor(c);
                cacheColor[std::size_t(next)] = c;
                cacheIndex[std::size_t(next)] = index;
                next = (next + 1) & 7;
              }
              out[x] = std::uint8_t(index);
            }
        }
      }
    }
    bitmap_ = std::move(converted);
    if (mask) {
      LocalColors.OptimizeColors();
      const int count = LocalColors.Count();
      if (count != 0 && count != 256) {
        const int index = LocalColors.AppendColor({0, 0, 0});
        bool any = false;
        for (int y = 0; y < height; ++y)
          for (int x = 0; x < width; ++x)
            if (MaskSet(*mask, x, y)) {
              pixels_[std::size_t(y) * std::size_t(width) + std::size_t(x)] = std::uint8_t(index);
              any = true;
            }
        if (any) {
          auto gce = std::make_unique<TGIFGraphicControlExtension>(this);
          gce->SetTransparent(true);
          gce->SetTransparentIndex(index);
          ExtensionItems.Add(std::move(gce));
        } else {
          LocalColors.RemoveColor(index);
        }
      }
    }
  } catch (...) {
    if (image_) image_->Progress(this, ProgressStage::Ending, 0, image_->PaletteModified, "Converting...");
    throw;
  }
  if (image_) image_->Progress(this, ProgressStage::Ending, 100, image_->PaletteModified, "Converting...");
}

// ---------------------------------------------------------------------------
// Optimiser

void TGIFImage::OptimizeFrames(std::uint8_t options, TColorReduction method) {
  StopAll();
  std::lock_guard<std::recursive_mutex> lock(painter_lock_);
  if (GetEmpty()) return;
  const int total = 6 * FrameCount();
  int done = 0;
  auto step = [&](int units) {
    done += units;
    Progress(this, ProgressStage::Running, total ? std::min(100, done * 100 / total) : 100, false, "Optimizing...");
  };
  Progress(this, ProgressStage::Starting, 0, false, "Optimizing...");
  try {
    if (options & PackColorMaps) {
      if (GlobalColors().Count() > 0) GlobalColors().OptimizeColors();
      for (const auto& frame : Frames) {
        if (frame->LocalColors.Count() > 0) frame->LocalColors.OptimizeColors();
        step(1);
      }
    } else {
      step(FrameCount());
    }

    if (options & CleanUp) {
      for (const auto& frame : Frames) {
        if (frame->TransparentFlag() && frame->ControlBlock() && !UsesIndex(frame.get(), frame->TransparentIndex()))
          frame->ControlBlock()->SetTransparent(false);
        step(1);
      }
      // A restoring disposal is pointless when the next, opaque frame covers the whole area restored.
      for (int i = 0; i + 1 < FrameCount(); ++i) {
        TGIFSubImage* frame = Frames[i];
        TGIFSubImage* next = Frames[i + 1];
        if (!Restores(frame) || next->TransparentFlag()) continue;
        const Rect common = Intersect(frame->BoundsRect(), next->BoundsRect());
        if (!EmptyRect(common) && common == frame->BoundsRect())
          frame->ControlBlock()->SetDisposal(TDisposalMethod::None);
      }
    } else {
      step(FrameCount());
    }

    if (options & MergePixels) {
      for (int c = FrameCount() - 1; c >= 1; --c) {
        step(1);
        int b = c - 1;
        while (b > 0 && Frames[b]->ControlBlock() && Frames[b]->ControlBlock()->Disposal() == TDisposalMethod::Previous)
          --b;
        TGIFSubImage* frame = Frames[c];
        TGIFSubImage* base = Frames[b];
        if (frame->Empty() || base->Empty() || Restores(base)) continue;
        const Rect common = Intersect(frame->BoundsRect(), base->BoundsRect());
        if (EmptyRect(common)) continue;
        TGIFColorMap* table = frame->LocalColors.Count() > 0 ? static_cast<TGIFColorMap*>(&frame->LocalColors)
                              : GlobalColors().Count() > 0   ? &GlobalColors()
                                                             : nullptr;
        int transparent = frame->TransparentFlag() ? frame->TransparentIndex() : -1;
        if (transparent < 0 && (!table || table->Count() >= 256)) continue;
        bool made = false;
        auto make = [&] {
          if (frame->LocalColors.Count() == 0) {
            // Borrow another frame's transparent index only when this frame does not use it as a colour.
            for (const auto& other : Frames)
              if (other.get() != frame && other->TransparentFlag() && other->LocalColors.Count() == 0 &&
                  !UsesIndex(frame, other->TransparentIndex())) {
                transparent = other->TransparentIndex();
                break;
              }
            if (transparent < 0) transparent = GlobalColors().AppendColor({0, 0, 0});
          } else {
            transparent = frame->LocalColors.AppendColor({0, 0, 0});
          }
          made = true;
        };
        const TGIFColorMap& frameColors = frame->ActiveColors();
        const TGIFColorMap& baseColors = base->ActiveColors();
        const bool sameTable = &frameColors == &baseColors;
        const int baseTransparent = base->TransparentFlag() ? base->TransparentIndex() : -1;
        for (int y = common.top; y < common.bottom; ++y) {
          std::uint8_t* fr =
              frame->PixelData().data() + std::size_t(y - frame->FrameTop()) * std::size_t(frame->FrameWidth());
          const std::uint8_t* br =
              base->PixelData().data() + std::size_t(y - base->FrameTop()) * std::size_t(base->FrameWidth());
          for (int x = common.left; x < common.right; ++x) {
            std::uint8_t& fp = fr[x - frame->FrameLeft()];
            const int bp = br[x - base->FrameLeft()];
            if (transparent >= 0 && fp == transparent) continue;
            if (bp == baseTransparent) continue;
            bool same = sameTable && fp == bp;
            if (!same && fp < frameColors.Count() && bp < baseColors.Count()) same = frameColors[fp] == baseColors[bp];
            if (!same) continue;
            if (transparent < 0) make();
            fp = std::uint8_t(transparent);
          }
        }
        if (made) {
          if (!frame->ControlBlock()) frame->ExtensionItems.Add(std::make_unique<TGIFGraphicControlExtension>(frame));
          frame->ControlBlock()->SetTransparent(true);
          frame->ControlBlock()->SetTransparentIndex(transparent);
        }
        frame->DropBitmap();
        frame->DropMask();
      }
      step(1);
    } else {
      step(FrameCount());
    }

    if (options & CropFrames) {
      for (int i = FrameCount() - 1; i >= 0; --i) {
        step(1);
        TGIFSubImage* frame = Frames[i];
        if (frame->Empty() || !frame->TransparentFlag()) continue;
        const int delay = frame->Delay();
        const int w = frame->FrameWidth(), h = frame->FrameHeight();
        const std::uint8_t t = std::uint8_t(frame->TransparentIndex());
        const auto& pixels = frame->PixelData();
        int x0 = w, x1 = -1, y0 = h, y1 = -1;
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x)
            if (pixels[std::size_t(y) * std::size_t(w) + std::size_t(x)] != t) {
              x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
        if (x1 < 0) {
          frame->Clear();
        } else if (x0 > 0 || y0 > 0 || x1 < w - 1 || y1 < h - 1) {
          const int nw = x1 - x0 + 1, nh = y1 - y0 + 1;
          std::vector<std::uint8_t> cropped(std::size_t(nw) * std::size_t(nh));
          for (int y = 0; y < nh; ++y)
            std::memcpy(cropped.data() + std::size_t(y) * std::size_t(nw),
                        pixels.data() + std::size_t(y + y0) * std::size_t(w) + std::size_t(x0), std::size_t(nw));
          TGIFImageDescriptor& d = frame->Descriptor();
          d.Left = std::uint16_t(d.Left + x0);
          d.Top = std::uint16_t(d.Top + y0);
          d.Width = std::uint16_t(nw);
          d.Height = std::uint16_t(nh);
          frame->PixelData() = std::move(cropped);
          frame->DropBitmap();
          frame->DropMask();
        }
        if (frame->Empty()) {
          if (i > 0 && Frames[i - 1]->TransparentFlag()) Frames[i - 1]->SetDelay(Frames[i - 1]->Delay() + delay);
          Frames.Delete(i);
        }
      }
    } else {
      step(FrameCount());
    }

    if (options & CleanUp) {
      for (int i = FrameCount() - 1; i >= 0; --i) {
        step(1);
        TGIFSubImage* frame = Frames[i];
        auto& extensions = frame->ExtensionItems;
        for (int k = extensions.Count() - 1; k >= 0; --k) {
          TGIFExtension* ext = extensions[k];
          const bool loop = dynamic_cast<TGIFAppExtNSLoop*>(ext) != nullptr;
          if (dynamic_cast<TGIFCommentExtension*>(ext) || dynamic_cast<TGIFTextExtension*>(ext) ||
              dynamic_cast<TGIFUnknownAppExtension*>(ext) || (loop && !(i == 0 && FrameCount() > 1)))
            extensions.Delete(k);
        }
        if (TGIFGraphicControlExtension* gce = frame->ControlBlock()) {
          const bool single = FrameCount() == 1;
          const TDisposalMethod d = gce->Disposal();
          if ((gce->Delay() == 0 || single) && !gce->Transparent() && !gce->UserInput() &&
              (d == TDisposalMethod::None || d == TDisposalMethod::NoDisposal || single))
            extensions.Remove(gce);
        }
        if (frame->Empty() && extensions.Count() == 0) Frames.Delete(i);
      }
    } else {
      step(FrameCount());
    }

    if ((options & ReduceColorCount) && !(options & CleanUp) && method == TColorReduction::GivenPalette)
      GIFError("Invalid reduction method");
  } catch (...) {
    DropComposite();
    Progress(this, ProgressStage::Ending, 0, true, "Optimizing...");
    throw;
  }
  DropComposite();
  Progress(this, ProgressStage::Ending, 100, true, "Optimizing...");
  Changed();
}

}  // namespace pelindra
