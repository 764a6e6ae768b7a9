// The animation painter stepped on a virtual clock.

#include "engine/gif/gif_painter.h"

#include <gtest/gtest.h>

#include "tests/engine/gif/gif_test_util.h"

namespace pelindra::test {
namespace {

using Pixels = std::vector<std::uint8_t>;

// Time passes only by waiting; every wait is recorded.
struct VirtualHost : TGIFPainterHost {
  std::uint32_t now = 1000;
  std::vector<int> waits;   // threaded waits (ms, -1 forever)
  std::vector<int> sleeps;  // synchronous sleep slices
  std::function<void(int)> onWait;
  std::uint32_t Now() override { return now; }
  bool WaitEvent(TGIFPainter& painter, int ms) override {
    waits.push_back(ms);
    if (onWait) onWait(ms);
    if (painter.TakeEvent()) return true;
    if (ms > 0) now += std::uint32_t(ms);
    return false;
  }
  bool SleepAndPump(int ms) override {
    sleeps.push_back(ms);
    now += std::uint32_t(ms);
    return true;
  }
  void YieldSlice() override {}
};

// Frames of 2 x 1 pixels on a 2 x 1 screen, each with a control block of the given delay.
Bytes Animation(const std::vector<int>& delays, int loops = -1) {
  GifBuilder gif;
  gif.Header(2, 1, 4);
  if (loops >= 0) gif.Loop(loops);
  for (std::size_t i = 0; i < delays.size(); ++i) {
    if (delays[i] >= 0) gif.Gce(1, delays[i]);
    gif.Image(0, 0, 2, 1, {std::uint8_t(i % 4), std::uint8_t(i % 4)});
  }
  return gif.Trailer().bytes;
}

struct Playback {
  std::vector<int> shown;  // frame indices in the order painted
  VirtualHost host;
};

// Plays a picture on a Dib canvas until it ends or `limit` frames were shown.
void Play(TGIFImage& image, std::uint16_t flags, Playback& run, int limit = 100) {
  Dib target(image.GetWidth(), image.GetHeight(), 24);
  TDibPaintCanvas canvas(target);
  TGIFPainter painter(&image, &canvas, {0, 0, target.width(), target.height()}, flags, image.SpeedPercent);
  painter.OnFrameShow = [&](TGIFPainter* p) {
    run.shown.push_back(p->FrameIndex);
    if (int(run.shown.size()) >= limit) p->Terminate();
  };
  painter.Execute(run.host);
  EXPECT_EQ(painter.Exception(), nullptr);
}

constexpr std::uint16_t kThread = RunInThread | Animate | LoopAnimation;
constexpr std::uint16_t kSync = Animate | LoopAnimation;

TEST(GifPainter, DelaysInUnitsOfTwelveMilliseconds) {
  TGIFImage image;
  ASSERT_EQ(LoadCollecting(image, Animation({1, -1, 0, 2000, 7})).error, "");
  Playback threaded;
  Play(image, RunInThread | Animate, threaded);
  EXPECT_EQ(threaded.shown, (std::vector<int>{0, 1, 2, 3, 4}));
  // No wait before frame 0; then 3 units for a delay of 1, 10 without a control
  // block or with a delay of 0, and 2000 units uncut in a thread.
  EXPECT_EQ(threaded.host.waits, (std::vector<int>{36, 120, 120, 24000}));

  Playback sync;
  Play(image, Animate, sync);
  int total = 0;
  for (int s : sync.host.sleeps) total += s;
  // 1 unit before frame 0, then 36 + 120 + 120 + 12000 (cut to 1000 units), in slices of at most 100 ms.
  EXPECT_EQ(total, 12 + 36 + 120 + 120 + 12000);
  for (int s : sync.host.sleeps) EXPECT_LE(s, 100);

  image.SetSpeed(200);
  Playback fast;
  Play(image, RunInThread | Animate, fast);
  EXPECT_EQ(fast.host.waits, (std::vector<int>{18, 60, 60, 12000}));
}

TEST(GifPainter, LoopingRules) {
  struct Case {
    const char* name;
    int loops;  // looping extension count, -1 for none
    std::uint16_t flags;
    int shown;  // frames shown (100 = stopped by the test: endless)
  };
  const Case cases[] = {
      {"count 3 plays three times", 3, kThread, 9},
      {"count 0 loops endlessly in a thread", 0, kThread, 100},
      {"count 0 plays once when synchronous", 0, kSync, 3},
      {"no looping extension plays once", -1, kThread, 3},
      {"without LoopAnimation once", 3, RunInThread | Animate, 3},
      {"LoopForever", -1, kThread | LoopForever, 100},
      {"without Animate only frame 0", 3, RunInThread, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TGIFImage image;
    ASSERT_EQ(LoadCollecting(image, Animation({5, 5, 5}, c.loops)).error, "");
    Playback run;
    Play(image, c.flags, run);
    EXPECT_EQ(int(run.shown.size()), c.shown);
    for (std::size_t i = 0; i < run.shown.size(); ++i) EXPECT_EQ(run.shown[i], int(i % 3));
  }
}

TEST(GifPainter, EmptyFrameEndsThePass) {
  GifBuilder gif;
  gif.Header(2, 1, 4).Loop(2).Gce(1, 5).Image(0, 0, 2, 1, {1, 1}).Comment("between").Trailer();
  gif.bytes.pop_back();
  gif.Gce(1, 5).Image(0, 0, 2, 1, {2, 2}).Trailer();
  TGIFImage image;
  ASSERT_EQ(LoadCollecting(image, gif.bytes).error, "");
  ASSERT_EQ(image.FrameCount(), 2);
  // Frame 1 is a frame of extensions only: each pass ends there.
  image.FrameAt(1)->PixelData().clear();
  Playback run;
  Play(image, kThread, run);
  EXPECT_EQ(run.shown, (std::vector<int>{0, 0}));
}

TEST(GifPainter, SpeedZeroPausesAThreadedPainter) {
  TGIFImage image;
  ASSERT_EQ(LoadCollecting(image, Animation({5, 5, 5}, 0)).error, "");
  Dib target(2, 1, 24);
  TDibPaintCanvas canvas(target);
  TGIFPainter painter(&image, &canvas, {0, 0, 2, 1}, kThread, 100);
  VirtualHost host;
  host.onWait = [&](int ms) {
    if (ms == 60) painter.SetSpeed(0);    // the first wait: pause
    if (ms == -1) painter.SetSpeed(100);  // paused: resume
  };
  int shown = 0;
  painter.OnFrameShow = [&](TGIFPainter* p) {
    if (++shown == 3) p->Terminate();
  };
  painter.Execute(host);
  // The pause is a wait without end, ended by the next speed change.
  EXPECT_EQ(host.waits, (std::vector<int>{60, -1}));
  EXPECT_EQ(shown, 3);
}

TEST(GifPainter, DisposalPreviousIsRemovedByTheNextFrame) {
  // Frame 0 fills the screen with colour 1 and stays; frame 1 (restore to
  // previous) paints colour 2 over the left pixel; frame 2 paints nothing new
  // over the right pixel only.
  GifBuilder gif;
  gif.Header(2, 1, 4).Gce(1, 5).Image(0, 0, 2, 1, {1, 1});
  gif.Gce(3, 5).Image(0, 0, 1, 1, {2}).Gce(1, 5).Image(1, 0, 1, 1, {3}).Trailer();
  TGIFImage image;
  ASSERT_EQ(LoadCollecting(image, gif.bytes).error, "");
  Dib target(2, 1, 24);
  TDibPaintCanvas canvas(target);
  TGIFPainter painter(&image, &canvas, {0, 0, 2, 1}, Animate, 100);
  std::vector<std::pair<Color, Color>> after;
  painter.OnFrameDone = [&](TGIFPainter*) { after.push_back({target.pixel(0, 0), target.pixel(1, 0)}); };
  VirtualHost host;
  painter.Execute(host);
  const TGIFColorMap& colors = image.GlobalColors();
  auto c = [&](int i) { return rgb(colors[i].Red, colors[i].Green, colors[i].Blue); };
  ASSERT_EQ(after.size(), 3u);
  EXPECT_EQ(after[0], std::make_pair(c(1), c(1)));
  EXPECT_EQ(after[1], std::make_pair(c(2), c(1)));
  EXPECT_EQ(after[2], std::make_pair(c(1), c(3)));
}

TEST(GifPainter, DrawingOnACanvas) {
  // A still picture is drawn at once, stretched into the rectangle.
  TGIFImage still;
  ASSERT_EQ(LoadCollecting(still, GifBuilder().Header(2, 1, 4).Image(0, 0, 2, 1, {1, 2}).bytes).error, "");
  Dib target(4, 2, 24);
  TDibPaintCanvas canvas(target);
  still.Draw(canvas, {0, 0, 4, 2});
  const TGIFColorMap& colors = still.GlobalColors();
  EXPECT_EQ(target.pixel(1, 1), rgb(colors[1].Red, colors[1].Green, colors[1].Blue));
  EXPECT_EQ(target.pixel(2, 0), rgb(colors[2].Red, colors[2].Green, colors[2].Blue));
  EXPECT_EQ(still.CompositeBitmap(), nullptr);

  // An animation without thread support plays synchronously into the
  // composite bitmap; a later Draw shows the composite.
  TGIFImage animation;
  ASSERT_EQ(LoadCollecting(animation, Animation({1, 1})).error, "");
  animation.PaintFlags = Animate | DrawTransparent;
  int changes = 0;
  animation.OnChange = [&] { ++changes; };
  animation.Draw(canvas, {0, 0, 4, 2});
  ASSERT_NE(animation.CompositeBitmap(), nullptr);
  EXPECT_EQ(changes, 2);
  Dib again(2, 1, 24);
  TDibPaintCanvas second(again);
  animation.Draw(second, {0, 0, 2, 1});
  const TGIFColorMap& a = animation.GlobalColors();
  EXPECT_EQ(again.pixel(0, 0), rgb(a[1].Red, a[1].Green, a[1].Blue));
}

}  // namespace
}  // namespace pelindra::test
