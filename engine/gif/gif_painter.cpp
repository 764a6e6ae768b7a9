#include "engine/gif/gif_painter.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/gif/gif_draw.h"

namespace pelindra {

TGIFThreadSupport* GIFThreadSupport = nullptr;

// ---------------------------------------------------------------------------

Dib TDibPaintCanvas::CopyRect(Rect r) { return CopyArea(target_, r); }

void TDibPaintCanvas::PutBitmap(const Dib& bitmap, Rect r) { StretchDraw(target_, r, bitmap, nullptr); }

void TDibPaintCanvas::DrawFrame(const Dib& frame, const Dib* mask, Rect r) { StretchDraw(target_, r, frame, mask); }

void TDibPaintCanvas::FillRect(Rect r, Color color) { FillArea(target_, r, color); }

std::uint32_t TGIFPainterHost::Now() {
  using namespace std::chrono;
  return std::uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool TGIFPainterHost::WaitEvent(TGIFPainter& painter, int ms) { return painter.WaitEventFor(ms); }

bool TGIFPainterHost::SleepAndPump(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return true;
}

void TGIFPainterHost::YieldSlice() { std::this_thread::yield(); }

namespace {

TGIFPainterHost& DefaultHost() {
  static TGIFPainterHost host;
  return host;
}

TGIFPainterHost& SyncHost() { return GIFThreadSupport ? GIFThreadSupport->SyncHost() : DefaultHost(); }

}  // namespace

// ---------------------------------------------------------------------------
// Timing

int FrameDelayUnits(const TGIFSubImage& frame, bool threaded) {
  const TGIFGraphicControlExtension* gce = frame.ControlBlock();
  if (!gce || gce->Delay() == 0) return kGIFDefaultDelay;
  int delay = std::max(gce->Delay(), kGIFMinDelay);
  if (!threaded) delay = std::min(delay, kGIFMaxDelay);
  return delay;
}

int PainterWaitMs(int delayUnits, std::int64_t elapsedSinceReference, int lastWait, int speed) {
  const std::int64_t overrun = (elapsedSinceReference - lastWait) / 2;
  const std::int64_t wanted = std::int64_t(delayUnits) * kGIFDelayUnitMs - overrun;
  if (wanted < INT32_MIN || wanted > INT32_MAX) return 12000;
  return MulDiv(int(wanted), 100, speed);
}

// ---------------------------------------------------------------------------
// Frame drawing

void DrawGIFFrame(TGIFPaintCanvas& canvas, TGIFSubImage& frame, Rect dest, bool transparent, bool tile) {
  const GIFBitmap* bitmap = frame.FrameRendering();
  if (!bitmap) return;
  const Dib* mask = transparent && frame.TransparentFlag() ? frame.FrameMask() : nullptr;
  TGIFImage* image = frame.Image();
  const int pw = image ? image->GetWidth() : frame.FrameWidth();
  const int ph = image ? image->GetHeight() : frame.FrameHeight();
  if (tile && pw > 0 && ph > 0) {
    for (int x = dest.left; x < dest.right; x += pw)
      for (int y = dest.top; y < dest.bottom; y += ph) {
        const Rect r{x + frame.FrameLeft(), y + frame.FrameTop(), x + frame.FrameLeft() + frame.FrameWidth(),
                     y + frame.FrameTop() + frame.FrameHeight()};
        canvas.DrawFrame(bitmap->Image, mask, r);
      }
    return;
  }
  if (pw <= 0 || ph <= 0) return;
  const int dw = dest.width(), dh = dest.height();
  const Rect r{dest.left + MulDiv(frame.FrameLeft(), dw, pw), dest.top + MulDiv(frame.FrameTop(), dh, ph),
               dest.left + MulDiv(frame.FrameLeft() + frame.FrameWidth(), dw, pw),
               dest.top + MulDiv(frame.FrameTop() + frame.FrameHeight(), dh, ph)};
  canvas.DrawFrame(bitmap->Image, mask, r);
}

namespace {

void DrawComposite(TGIFImage& image, TGIFPaintCanvas& canvas, const GIFBitmap* composite, Rect rect) {
  if (!composite) return;
  if (!(image.PaintFlags & TileFrames) || image.GetWidth() <= 0 || image.GetHeight() <= 0) {
    canvas.PutBitmap(composite->Image, rect);
    return;
  }
  for (int x = rect.left; x < rect.right; x += image.GetWidth())
    for (int y = rect.top; y < rect.bottom; y += image.GetHeight())
      canvas.PutBitmap(composite->Image, {x, y, x + image.GetWidth(), y + image.GetHeight()});
}

// Makes a painter (and runs a synchronous one to its end).
TGIFPainter* PaintStart(TGIFImage& image, TGIFPainter** slot, TGIFPaintCanvas* canvas, std::uint16_t flags, Rect rect) {
  if (image.GetEmpty() || rect.width() <= 0 || rect.height() <= 0) return nullptr;
  if (image.FrameCount() == 1) flags &= std::uint16_t(~(RunInThread | Animate));
  // Without the window side's thread support every painter runs synchronously.
  if (!GIFThreadSupport) flags &= std::uint16_t(~RunInThread);
  auto painter = std::make_unique<TGIFPainter>(&image, canvas, rect, flags, image.SpeedPercent);
  TGIFPainter* p = painter.get();
  {
    std::lock_guard<std::recursive_mutex> lock(image.PainterLock());
    image.PainterList().push_back(p);
    if (slot) *slot = p;
  }
  p->OnPaintBegin = image.OnPaintBegin;
  p->OnFrameShow = image.OnFrameShow;
  p->OnFrameDone = image.OnFrameDone;
  p->OnLoopAgain = image.OnLoopAgain;
  p->OnPaintFinish = image.OnPaintFinish;
  if (p->Threaded()) {
    p->Priority = image.PainterPriority;
    painter.release();
    return p;
  }
  p->Execute(SyncHost());
  painter.reset();
  if (slot && *slot == p) *slot = nullptr;
  return nullptr;
}

}  // namespace

void DrawGIF(TGIFImage& image, TGIFPaintCanvas& canvas, Rect rect) {
  if (image.drawing_guard_ || image.GetEmpty()) return;
  image.drawing_guard_ = true;
  struct Guard {
    bool& flag;
    ~Guard() { flag = false; }
  } guard{image.drawing_guard_};
  const std::uint16_t flags = image.PaintFlags;
  if (image.FrameCount() == 1 || !(flags & Animate)) {
    DrawGIFFrame(canvas, *image.FrameAt(0), rect, flags & DrawTransparent, flags & TileFrames);
    return;
  }
  if (!image.CompositeBitmap() || (flags & DrawDirect)) {
    std::unique_lock<std::recursive_mutex> lock(image.PainterLock());
    TGIFPainter* active = image.ActivePainter();
    if (active && active->Canvas() == (flags & DrawDirect ? &canvas : image.composite_canvas_.get()) &&
        active->DestRect() == (flags & DrawDirect ? rect : Rect{0, 0, image.GetWidth(), image.GetHeight()}))
      return;
    image.StopActive();
    TGIFPaintCanvas* target = &canvas;
    Rect targetRect = rect;
    if (!(flags & DrawDirect)) {
      image.CheckScreenSize();
      auto composite = std::make_unique<GIFBitmap>();
      composite->Palette = image.GetPalette();
      composite->Image = Dib(image.GetWidth(), image.GetHeight(), 24);
      const Dib behind = canvas.CopyRect(rect);
      StretchDraw(composite->Image, {0, 0, image.GetWidth(), image.GetHeight()}, behind, nullptr);
      image.CompositeSlot() = std::move(composite);
      image.composite_canvas_ = std::make_unique<TDibPaintCanvas>(image.CompositeSlot()->Image);
      target = image.composite_canvas_.get();
      targetRect = {0, 0, image.GetWidth(), image.GetHeight()};
    }
    TGIFPainter* painter = PaintStart(image, &image.ActivePainter(), target, flags, targetRect);
    if (!painter) return;
    if (painter->Threaded()) GIFThreadSupport->Resume(painter);
    if (flags & DrawDirect) return;
    for (;;) {
      TGIFPainter* p = image.ActivePainter();
      if (!p || p->Terminated() || p->Painted()) break;
      lock.unlock();
      const bool pumped = GIFThreadSupport->PumpSynchronize();
      GIFThreadSupport->YieldSlice();
      lock.lock();
      if (!pumped) return;
    }
    DrawComposite(image, canvas, image.CompositeBitmap(), rect);
    return;
  }
  DrawComposite(image, canvas, image.PictureBitmap(), rect);
}

// ---------------------------------------------------------------------------
// Painter

TGIFPainter::TGIFPainter(TGIFImage* image, TGIFPaintCanvas* canvas, Rect rect, std::uint16_t flags, int speed)
    : image_(image), canvas_(canvas), rect_(rect), flags_(flags), speed_(speed) {
  if (image_->FillColor != clNone) {
    background_ = image_->FillColor;
  } else if (image_->GlobalColors().Count() > 0) {
    const TGIFColor c = image_->GlobalColors().ColorAt(image_->ScreenHeader.BackgroundIndex);
    background_ = rgb(c.Red, c.Green, c.Blue);
  }
  bool used[8] = {};
  for (const auto& frame : image_->Frames)
    if (frame->ControlBlock()) used[frame->ControlBlock()->DisposalValue()] = true;
  if (flags_ & ClearOnLoop) used[int(TDisposalMethod::Background)] = true;
  const bool background = used[int(TDisposalMethod::Background)], previous = used[int(TDisposalMethod::Previous)];
  if (!canvas_) return;
  if (background && (flags_ & DrawTransparent)) saved_background_ = std::make_unique<Dib>(canvas_->CopyRect(rect_));
  if (background || previous) {
    work_ = std::make_unique<Dib>(canvas_->CopyRect(rect_));
    previous_ = std::make_unique<Dib>(rect_.width(), rect_.height(), 24);
    FillArea(*previous_, {0, 0, rect_.width(), rect_.height()}, background_);
  }
}

TGIFPainter::~TGIFPainter() { Finish(); }

void TGIFPainter::Finish() {
  TGIFImage* image = image_;
  if (!image) return;
  std::lock_guard<std::recursive_mutex> lock(image->PainterLock());
  if (image->ActivePainter() == this) image->ActivePainter() = nullptr;
  auto& list = image->PainterList();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  image_ = nullptr;
  work_.reset();
  previous_.reset();
  saved_background_.reset();
}

void TGIFPainter::Detach() {
  terminated_ = true;
  image_ = nullptr;
  SetEvent();
}

void TGIFPainter::Run(std::unique_ptr<TGIFPainter> painter, TGIFPainterHost& host) {
  painter->Execute(host);
  TGIFPainter* p = painter.get();
  host.Synchronize([p] { p->Finish(); });
}

void TGIFPainter::SetEvent() {
  {
    std::lock_guard<std::mutex> lock(event_mutex_);
    event_ = true;
  }
  event_cv_.notify_all();
}

bool TGIFPainter::WaitEventFor(int ms) {
  std::unique_lock<std::mutex> lock(event_mutex_);
  if (ms < 0)
    event_cv_.wait(lock, [this] { return event_; });
  else
    event_cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return event_; });
  const bool woken = event_;
  event_ = false;
  return woken;
}

bool TGIFPainter::TakeEvent() {
  std::lock_guard<std::mutex> lock(event_mutex_);
  const bool woken = event_;
  event_ = false;
  return woken;
}

void TGIFPainter::Stop() {
  terminated_ = true;
  if (Threaded()) {
    Priority = TThreadPriority::Normal;
    SetEvent();
  }
}

void TGIFPainter::SetSpeed(int percent) {
  percent = std::clamp(percent, 0, 1000);
  if (percent == speed_) return;
  speed_ = percent;
  if (Threaded() && image_ && image_->FrameCount() > 1 && percent >= 0)
    SetEvent();
  else
    restart_ = true;
}

void TGIFPainter::Fire(TGIFPainterHost& host, const std::function<void(TGIFPainter*)>& event) {
  if (!event) return;
  if (Threaded())
    host.Synchronize([this, &event] { event(this); });
  else
    event(this);
}

void TGIFPainter::Execute(TGIFPainterHost& host) {
  try {
    const bool threaded = Threaded();
    restart_ = true;
    while (restart_ && !terminated_) {
      FrameIndex = 0;
      Fire(host, OnPaintBegin);
      painted_ = false;
      restart_ = false;
      int passes = 1, loopStart = 0;
      bool loopSeen = false;
      int delay = threaded ? 0 : 1;
      PreviousDisposal = TDisposalMethod::NoDisposal;
      std::uint32_t reference = host.Now();
      int lastWait = 0;
      while ((passes != 0 || (flags_ & LoopForever)) && !terminated_ && !restart_) {
        FrameIndex = loopStart;
        if (painted_) Fire(host, OnLoopAgain);
        bool shown = false;
        for (;;) {
          TGIFImage* image = image_;
          const int index = FrameIndex;
          if (!image || index < 0 || index >= image->FrameCount() || image->FrameAt(index)->Empty() || terminated_ ||
              restart_)
            break;
          TGIFSubImage& frame = *image->FrameAt(index);
          if (delay <= 0) {
            host.YieldSlice();
          } else {
            frame.FrameRendering();
            const std::uint32_t now = host.Now();
            int wait;
            if (speed_ > 0) {
              wait = PainterWaitMs(delay, std::int64_t(now - reference), lastWait, speed_);
              lastWait = wait;
            } else {
              wait = threaded ? -1 : 12000;
            }
            reference = now;
            if (threaded) {
              if ((wait > 0 || speed_ == 0) && host.WaitEvent(*this, wait)) {
                lastWait = 0;
                reference = host.Now();
              }
            } else {
              int remaining = std::max(wait, 1);
              while (remaining > 0 && !terminated_ && !restart_) {
                const std::uint32_t before = host.Now();
                if (!host.SleepAndPump(std::min(remaining, 100))) terminated_ = true;
                remaining -= int(std::max<std::uint32_t>(host.Now() - before, 1));
              }
            }
          }
          if (terminated_) break;
          Fire(host, OnFrameShow);
          if (terminated_) break;
          Disposal = TDisposalMethod::NoDisposal;
          for (const auto& ext : frame.ExtensionItems) {
            if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(ext.get()); loop && !loopSeen) {
              loopSeen = true;
              passes = loop->LoopCount;
              if (threaded && (loop->LoopCount == 0 || (flags_ & LoopForever))) passes = -1;
              loopStart = index;
            } else if (auto* gce = dynamic_cast<TGIFGraphicControlExtension*>(ext.get())) {
              Disposal = TDisposalMethod(gce->DisposalValue());
            }
          }
          if (threaded)
            host.Synchronize([this] { PaintFrame(); });
          else
            PaintFrame();
          shown = true;
          PreviousDisposal = Disposal;
          if (terminated_) break;
          delay = FrameDelayUnits(frame, threaded);
          Fire(host, OnFrameDone);
          if (terminated_) break;
          if (FrameIndex == index) FrameIndex = index + 1;
          if (!(flags_ & Animate)) break;
        }
        if (passes > 0) --passes;
        // A pass that showed nothing would repeat without end.
        if (!shown && !restart_) break;
        if (!((flags_ & Animate) && (flags_ & LoopAnimation))) break;
      }
    }
    FrameIndex = -1;
    Fire(host, OnPaintFinish);
  } catch (...) {
    terminated_ = true;
    exception_ = std::current_exception();
  }
}

Rect TGIFPainter::Scaled(const TGIFSubImage& frame, Rect dest) const {
  const int pw = image_->GetWidth(), ph = image_->GetHeight();
  if (pw <= 0 || ph <= 0) return {};
  const int dw = dest.width(), dh = dest.height();
  return {dest.left + MulDiv(frame.FrameLeft(), dw, pw), dest.top + MulDiv(frame.FrameTop(), dh, ph),
          dest.left + MulDiv(frame.FrameLeft() + frame.FrameWidth(), dw, pw),
          dest.top + MulDiv(frame.FrameTop() + frame.FrameHeight(), dh, ph)};
}

void TGIFPainter::RestoreBackground(Dib& buffer, TGIFSubImage& frame) {
  const Rect whole{0, 0, rect_.width(), rect_.height()};
  std::vector<Rect> areas;
  if (flags_ & TileFrames) {
    for (int x = 0; x < whole.right; x += std::max(image_->GetWidth(), 1))
      for (int y = 0; y < whole.bottom; y += std::max(image_->GetHeight(), 1))
        areas.push_back({x + frame.FrameLeft(), y + frame.FrameTop(), x + frame.FrameLeft() + frame.FrameWidth(),
                         y + frame.FrameTop() + frame.FrameHeight()});
  } else {
    areas.push_back(Scaled(frame, whole));
  }
  const bool fillColor = (flags_ & TileFrames) && frame.FrameWidth() < image_->GetWidth() &&
                         frame.FrameHeight() < image_->GetHeight() && image_->FillColor != clNone;
  for (const Rect& r : areas) {
    if (fillColor) {
      FillArea(buffer, r, image_->FillColor);
    } else if ((flags_ & DrawTransparent) && saved_background_) {
      const Dib part = CopyArea(*saved_background_, r);
      StretchDraw(buffer, r, part, nullptr);
    } else {
      FillArea(buffer, r, background_);
    }
  }
}

void TGIFPainter::PaintFrame() {
  TGIFImage* image = image_;
  const int index = FrameIndex;
  if (!image || !canvas_ || index < 0 || index >= image->FrameCount()) return;
  TGIFSubImage& frame = *image->FrameAt(index);
  const bool transparent = flags_ & DrawTransparent, tile = flags_ & TileFrames;
  if (!work_) {
    DrawGIFFrame(*canvas_, frame, rect_, transparent, tile);
    painted_ = true;
    image->Changed();
    return;
  }
  if ((flags_ & CheckCanvas) && !canvas_->IsValid()) {
    terminated_ = true;
    return;
  }
  const Rect whole{0, 0, rect_.width(), rect_.height()};
  Dib* surface = nullptr;
  bool direct = false;
  switch (Disposal) {
    case TDisposalMethod::None:
    case TDisposalMethod::NoDisposal:
    case TDisposalMethod::Background: surface = work_.get(); break;
    case TDisposalMethod::Previous:
      if (PreviousDisposal == TDisposalMethod::None || PreviousDisposal == TDisposalMethod::NoDisposal) {
        direct = true;
      } else {
        *previous_ = *work_;
        surface = previous_.get();
      }
      break;
    default:
      // Reserved disposal values pick no surface: the frame is not drawn.
      return;
  }
  if ((flags_ & ClearOnLoop) && index == 0) RestoreBackground(*work_, frame);
  if (direct) {
    DrawGIFFrame(*canvas_, frame, rect_, transparent, tile);
  } else {
    TDibPaintCanvas buffer(*surface);
    DrawGIFFrame(buffer, frame, whole, transparent, tile);
    canvas_->PutBitmap(*surface, rect_);
  }
  painted_ = true;
  if (Disposal == TDisposalMethod::Background) RestoreBackground(*work_, frame);
  image->Changed();
}

// ---------------------------------------------------------------------------
// The picture's side

void TGIFImage::SetSpeed(int percent) {
  percent = std::clamp(percent, 0, 1000);
  if (percent == SpeedPercent) return;
  SpeedPercent = percent;
  std::lock_guard<std::recursive_mutex> lock(painter_lock_);
  if (active_painter_) active_painter_->SetSpeed(percent);
}

void TGIFImage::StopActive() {
  for (;;) {
    {
      std::lock_guard<std::recursive_mutex> lock(painter_lock_);
      if (active_painter_) active_painter_->Stop();
      if (!active_painter_ || !active_painter_->Threaded()) break;
    }
    if (!GIFThreadSupport || !GIFThreadSupport->PumpSynchronize()) break;
    GIFThreadSupport->YieldSlice();
  }
  {
    std::lock_guard<std::recursive_mutex> lock(painter_lock_);
    if (active_painter_) active_painter_->Stop();
  }
  composite_canvas_.reset();
  DropComposite();
}

void TGIFImage::StopAll() {
  for (;;) {
    int threaded = 0;
    {
      std::lock_guard<std::recursive_mutex> lock(painter_lock_);
      for (TGIFPainter* p : painters_) {
        p->Stop();
        if (p->Threaded()) ++threaded;
      }
      if (threaded == 0) break;
    }
    if (!GIFThreadSupport || !GIFThreadSupport->PumpSynchronize()) {
      // Nobody can run the painters' hand-overs any more: end them here.
      std::lock_guard<std::recursive_mutex> lock(painter_lock_);
      std::vector<TGIFPainter*> keep;
      for (TGIFPainter* p : painters_) {
        if (p->Threaded()) {
          p->Detach();
          if (active_painter_ == p) active_painter_ = nullptr;
        } else {
          keep.push_back(p);
        }
      }
      painters_ = std::move(keep);
      break;
    }
    GIFThreadSupport->YieldSlice();
  }
  StopActive();
}

}  // namespace pelindra
