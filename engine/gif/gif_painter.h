#pragma once
// The animation player. A TGIFPainter shows the frames of a picture in turn
// with their delays, disposal methods and loop count. Its Execute is the body
// of a painter thread: it never touches a clock, a window or a thread itself
// but asks its host, so the window side drives it from a real thread while
// tests step it on a virtual clock.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

#include "engine/canvas/canvas.h"
#include "engine/gif/gif_image.h"

namespace pelindra {

// What a painter draws on. The window side implements it over a device
// context; TDibPaintCanvas implements it over a 24- or 32-bit Dib.
class TGIFPaintCanvas {
 public:
  virtual ~TGIFPaintCanvas() = default;
  // The pixels of r as a 24-bit bitmap of r's size.
  virtual Dib CopyRect(Rect r) = 0;
  // A plain copy of a bitmap into r, stretched to r.
  virtual void PutBitmap(const Dib& bitmap, Rect r) = 0;
  // A frame's rendering stretched into r; pixels whose mask bit is set are left alone.
  virtual void DrawFrame(const Dib& frame, const Dib* mask, Rect r) = 0;
  virtual void FillRect(Rect r, Color color) = 0;
  // Whether the canvas still has a device to draw on (CheckCanvas).
  virtual bool IsValid() const { return true; }
};

class TDibPaintCanvas : public TGIFPaintCanvas {
 public:
  explicit TDibPaintCanvas(Dib& target) : target_(target) {}
  Dib CopyRect(Rect r) override;
  void PutBitmap(const Dib& bitmap, Rect r) override;
  void DrawFrame(const Dib& frame, const Dib* mask, Rect r) override;
  void FillRect(Rect r, Color color) override;
  Dib& Target() { return target_; }

 private:
  Dib& target_;
};

class TGIFPainter;

// The clock, waiting and hand-over to the main thread that a running painter uses.
class TGIFPainterHost {
 public:
  virtual ~TGIFPainterHost() = default;
  // Milliseconds of some steady clock.
  virtual std::uint32_t Now();
  // Threaded painters: waits up to ms (forever when ms < 0) for the painter's
  // event; true when the event woke it.
  virtual bool WaitEvent(TGIFPainter& painter, int ms);
  // Synchronous painters: sleeps ms, then lets waiting messages run; false when a quit message came.
  virtual bool SleepAndPump(int ms);
  // Runs fn in the main thread (threaded painters paint and fire events only there).
  virtual void Synchronize(const std::function<void()>& fn) { fn(); }
  virtual void YieldSlice();
};

// What the window side supplies so that Draw can run painters in threads.
class TGIFThreadSupport {
 public:
  virtual ~TGIFThreadSupport() = default;
  // Starts a thread for a threaded painter; the thread calls TGIFPainter::Run.
  virtual void Resume(TGIFPainter* painter) = 0;
  // In the main thread: runs pending Synchronize calls; false when a quit message came.
  virtual bool PumpSynchronize() = 0;
  virtual void YieldSlice() = 0;
  // The host synchronous painters run with.
  virtual TGIFPainterHost& SyncHost() = 0;
};
// Installed once by the window side; without it every painter runs synchronously.
extern TGIFThreadSupport* GIFThreadSupport;

// Timing rules: one delay unit is 12 ms.
constexpr int kGIFDelayUnitMs = 12;
constexpr int kGIFDefaultDelay = 10;
constexpr int kGIFMinDelay = 3;
constexpr int kGIFMaxDelay = 1000;
// The delay (in units) that follows a frame.
int FrameDelayUnits(const TGIFSubImage& frame, bool threaded);
// The wait in milliseconds for a delay, shortened by half the time the previous step overran.
int PainterWaitMs(int delayUnits, std::int64_t elapsedSinceReference, int lastWait, int speed);

// Draws a frame (4.3) on a canvas into the picture rectangle dest.
void DrawGIFFrame(TGIFPaintCanvas& canvas, TGIFSubImage& frame, Rect dest, bool transparent, bool tile);
// Draws the whole picture: a still picture's frame 0, or its composite.
void DrawGIF(TGIFImage& image, TGIFPaintCanvas& canvas, Rect rect);

class TGIFPainter : public TGIFObject {
 public:
  TGIFPainter(TGIFImage* image, TGIFPaintCanvas* canvas, Rect rect, std::uint16_t flags, int speed);
  ~TGIFPainter() override;

  // The thread body.
  void Execute(TGIFPainterHost& host);
  // The whole life of a threaded painter: Execute, then the end handler in the
  // main thread, then the painter is freed.
  static void Run(std::unique_ptr<TGIFPainter> painter, TGIFPainterHost& host);
  // The end handler: unlists the painter from its picture.
  void Finish();

  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // Terminate and wake a waiting painter.
  void Stop();
  void SetSpeed(int percent);
  bool Threaded() const { return (flags_ & RunInThread) != 0; }
  bool Painted() const { return painted_; }
  bool Restarting() const { return restart_; }
  TGIFPaintCanvas* Canvas() const { return canvas_; }
  Rect DestRect() const { return rect_; }
  std::uint16_t Flags() const { return flags_; }
  int Speed() const { return speed_; }
  TGIFImage* Image() const { return image_; }
  std::exception_ptr Exception() const { return exception_; }
  Color BackgroundColor() const { return background_; }

  // The frame being shown (-1 when not painting); OnFrameDone may move it.
  std::atomic<int> FrameIndex{-1};
  TDisposalMethod Disposal = TDisposalMethod::None;
  TDisposalMethod PreviousDisposal = TDisposalMethod::None;
  std::function<void(TGIFPainter*)> OnPaintBegin, OnFrameShow, OnFrameDone, OnLoopAgain, OnPaintFinish;
  TThreadPriority Priority = TThreadPriority::Normal;

  // The auto-reset event.
  void SetEvent();
  bool WaitEventFor(int ms);
  // Consumes a set event without waiting.
  bool TakeEvent();

  // Paints the current frame (through the buffers when some frame restores).
  void PaintFrame();
  // Ends a painter that can no longer be waited for (its picture goes away).
  void Detach();

 private:
  friend class TGIFImage;
  void Fire(TGIFPainterHost& host, const std::function<void(TGIFPainter*)>& event);
  void RestoreBackground(Dib& buffer, TGIFSubImage& frame);
  Rect Scaled(const TGIFSubImage& frame, Rect dest) const;

  TGIFImage* image_;
  TGIFPaintCanvas* canvas_;
  Rect rect_;
  std::uint16_t flags_;
  std::atomic<int> speed_;
  std::unique_ptr<Dib> work_, previous_, saved_background_;
  Color background_ = 0xFFFFFF;
  std::atomic<bool> restart_{false}, terminated_{false};
  bool painted_ = false;
  std::exception_ptr exception_;
  std::mutex event_mutex_;
  std::condition_variable event_cv_;
  bool event_ = false;
};

}  // namespace pelindra
