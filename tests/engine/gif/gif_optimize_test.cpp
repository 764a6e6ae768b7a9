// Conversion of bitmaps into frames, and the frame optimiser.

#include <gtest/gtest.h>

#include "engine/gif/gif_image.h"
#include "tests/engine/gif/gif_test_util.h"
#include "tests/engine/gif/giflib_oracle.h"

namespace pelindra::test {
namespace {

using Pixels = std::vector<std::uint8_t>;

TEST(GifConvert, TrueColourBitmapWithDefaultSettings) {
  Dib bitmap(5, 3, 24);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) bitmap.setPixel(x, y, x < 2 ? rgb(255, 0, 0) : rgb(0, 0, 255));
  TGIFImage image;
  image.Assign(bitmap);
  ASSERT_EQ(image.FrameCount(), 1);
  const TGIFSubImage& frame = *image.FrameAt(0);
  EXPECT_EQ(image.GetWidth(), 5);
  ASSERT_EQ(frame.LocalColors.Count(), 256);
  EXPECT_EQ(frame.LocalColors[215], (TGIFColor{255, 255, 255}));
  EXPECT_EQ(frame.LocalColors[216], (TGIFColor{0, 0, 0}));
  EXPECT_EQ(frame.ExtensionItems.Count(), 0);
  EXPECT_EQ(frame.Pixels(0, 0), 180);  // (255, 0, 0) in the cube
  EXPECT_EQ(frame.Pixels(4, 2), 5);
  image.OptimizeFrames(PackColorMaps, TColorReduction::NoReduction);
  EXPECT_EQ(image.FrameAt(0)->LocalColors.Count(), 2);
  EXPECT_EQ(image.FrameAt(0)->LocalColors[0], (TGIFColor{0, 0, 255}));  // the most used first
  const OracleGif theirs = DecodeWithGiflib(image.SaveToBytes());
  ASSERT_TRUE(theirs.ok);
  EXPECT_EQ(theirs.frames[0].pixels, (Pixels{1, 1, 0, 0, 0, 1, 1, 0, 0, 0, 1, 1, 0, 0, 0}));
}

TEST(GifConvert, IndexedBitmapsKeepTheirTablesAndIndices) {
  for (int bits : {1, 4, 8}) {
    Dib bitmap(7, 2, bits);
    bitmap.colors().resize(std::size_t(1) << bits);
    for (std::size_t i = 0; i < bitmap.colors().size(); ++i) bitmap.colors()[i] = {std::uint8_t(i), 7, 9, 0};
    for (int x = 0; x < 7; ++x) bitmap.setIndex(x, 1, unsigned(x) % (1u << bits));
    TGIFImage image;
    image.Assign(bitmap);
    const TGIFSubImage& frame = *image.FrameAt(0);
    EXPECT_EQ(frame.LocalColors.Count(), 1 << bits);
    EXPECT_EQ(frame.LocalColors[1], (TGIFColor{9, 7, 1}));
    for (int x = 0; x < 7; ++x) EXPECT_EQ(frame.Pixels(x, 1), x % (1 << bits)) << bits;
  }
}

TEST(GifConvert, MaskBecomesOneTransparentIndex) {
  Dib bitmap(4, 4, 24);
  Dib mask(4, 4, 1);
  mask.colors() = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const bool edge = x == 0 || y == 0 || x == 3 || y == 3;
      bitmap.setPixel(x, y, edge ? rgb(0, 255, 0) : rgb(255, 0, 0));
      mask.setIndex(x, y, edge);
    }
  TGIFImage image;
  image.Assign(bitmap, &mask);
  const TGIFSubImage& frame = *image.FrameAt(0);
  ASSERT_NE(frame.ControlBlock(), nullptr);
  EXPECT_TRUE(frame.ControlBlock()->Transparent());
  const int t = frame.TransparentIndex();
  EXPECT_EQ(t, frame.LocalColors.Count() - 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(frame.Pixels(x, y) == t, x == 0 || y == 0 || x == 3 || y == 3);

  // A table that already holds 256 used colours leaves no room for transparency.
  Dib full(256, 1, 8);
  for (int x = 0; x < 256; ++x)
    full.setIndex(x, 0, unsigned(x)), full.colors()[std::size_t(x)] = {std::uint8_t(x), 0, 0, 0};
  Dib fullMask(256, 1, 1);
  fullMask.setIndex(0, 0, 1);
  TGIFImage opaque;
  opaque.Assign(full, &fullMask);
  EXPECT_EQ(opaque.FrameAt(0)->ControlBlock(), nullptr);
  EXPECT_FALSE(opaque.HasTransparency());
}

TEST(GifConvert, TooManyColoursWithoutReduction) {
  Dib bitmap(300, 1, 24);
  for (int x = 0; x < 300; ++x) bitmap.setPixel(x, 0, rgb(std::uint8_t(x), std::uint8_t(x / 256), 0));
  TGIFImage image;
  image.ReductionMethod = TColorReduction::NoReduction;
  EXPECT_EQ(ErrorOf([&] { image.AddFrame(bitmap); }), "Color table overflow");
  EXPECT_EQ(image.FrameCount(), 0);
}

// Two frames of a 4 x 2 screen with the global table of the builder.
Bytes TwoFrames(const Pixels& second, int firstTransparent, int secondTransparent = -1) {
  GifBuilder gif;
  gif.Header(4, 2, 4).Loop(0).Comment("x");
  gif.Gce(1, 10, firstTransparent).Image(0, 0, 4, 2, {0, 1, 2, 3, 0, 1, 2, 3});
  gif.Gce(1, 20, secondTransparent).Image(0, 0, 4, 2, second).Trailer();
  return gif.bytes;
}

TEST(GifOptimize, IdenticalFrameIsMergedCroppedAndDeleted) {
  // The deleted frame's delay goes to frame 0 only when frame 0 is transparent;
  // otherwise it is lost with the control block of the now single frame.
  struct Case {
    int transparent;
    int firstDelay;  // after optimising
  };
  for (const Case& c : {Case{-1, 0}, Case{3, 30}}) {
    TGIFImage image;
    ASSERT_EQ(LoadCollecting(image, TwoFrames({0, 1, 2, 3, 0, 1, 2, 3}, c.transparent, c.transparent)).error, "");
    image.OptimizeFrames(kAllOptimizeOptions, TColorReduction::NoReduction);
    ASSERT_EQ(image.FrameCount(), 1);
    EXPECT_EQ(image.FrameAt(0)->Delay(), c.firstDelay);
  }
}

TEST(GifOptimize, MergeCropsToTheChangedPixels) {
  TGIFImage image;
  ASSERT_EQ(LoadCollecting(image, TwoFrames({0, 1, 2, 3, 0, 2, 1, 3}, -1)).error, "");
  image.OptimizeFrames(kAllOptimizeOptions, TColorReduction::NoReduction);
  ASSERT_EQ(image.FrameCount(), 2);
  const TGIFSubImage& f1 = *image.FrameAt(1);
  EXPECT_EQ(f1.BoundsRect(), (Rect{1, 1, 3, 2}));
  ASSERT_TRUE(f1.TransparentFlag());
  // The two changed pixels keep their colours through the global table.
  const TGIFColorMap& colors = f1.ActiveColors();
  TGIFImage original;
  LoadCollecting(original, TwoFrames({0, 1, 2, 3, 0, 2, 1, 3}, -1));
  EXPECT_EQ(colors[f1.Pixels(0, 0)], original.GlobalColors()[2]);
  EXPECT_EQ(colors[f1.Pixels(1, 0)], original.GlobalColors()[1]);
  // Looping kept on frame 0, comment gone; the result reads back in giflib.
  EXPECT_EQ(image.FrameAt(0)->ExtensionItems.Count(), 2);
  EXPECT_NE(dynamic_cast<TGIFAppExtNSLoop*>(image.FrameAt(0)->ExtensionItems[0]), nullptr);
  EXPECT_TRUE(DecodeWithGiflib(image.SaveToBytes()).ok);
}

TEST(GifOptimize, CleanUpOfControlBlocksAndDisposals) {
  // One frame loses a control block without transparency or user input.
  TGIFImage single;
  ASSERT_EQ(LoadCollecting(single, GifBuilder().Header(2, 1, 2).Gce(2, 50).Image(0, 0, 2, 1, {0, 1}).bytes).error, "");
  single.OptimizeFrames(CleanUp, TColorReduction::NoReduction);
  EXPECT_EQ(single.FrameAt(0)->ExtensionItems.Count(), 0);

  // A restoring disposal goes only when the next opaque frame covers the area restored.
  struct Case {
    const char* name;
    int left, top, width, height;  // the next frame
    TDisposalMethod expected;
  };
  const Case cases[] = {{"covering", 0, 0, 4, 2, TDisposalMethod::None},
                        {"inside", 1, 0, 2, 2, TDisposalMethod::Background}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GifBuilder gif;
    gif.Header(4, 2, 4).Gce(2, 10).Image(0, 0, 4, 2, Pixels(8, 1));
    gif.Gce(1, 10).Image(c.left, c.top, c.width, c.height, Pixels(std::size_t(c.width * c.height), 2));
    TGIFImage image;
    ASSERT_EQ(LoadCollecting(image, gif.bytes).error, "");
    image.OptimizeFrames(CleanUp, TColorReduction::NoReduction);
    EXPECT_EQ(image.FrameAt(0)->ControlBlock()->Disposal(), c.expected);
  }

  TGIFImage other;
  ASSERT_EQ(LoadCollecting(other, TwoFrames({0, 0, 0, 0, 0, 0, 0, 0}, -1)).error, "");
  EXPECT_EQ(ErrorOf([&] { other.OptimizeFrames(ReduceColorCount, TColorReduction::GivenPalette); }),
            "Invalid reduction method");
}

TEST(GifOptimize, ColourTableAlreadyInOrderKeepsUnusedEntries) {
  TGIFImage image;
  ASSERT_EQ(LoadCollecting(image, GifBuilder().Header(6, 1, 4).Image(0, 0, 6, 1, {0, 0, 0, 1, 1, 2}).bytes).error, "");
  EXPECT_TRUE(image.GlobalColors().OptimizeColors());
  EXPECT_TRUE(image.GlobalColors().SortedFlag());
  EXPECT_EQ(image.GlobalColors().Count(), 4);
  // Out of order: sorted by use and cut after the last used colour.
  TGIFImage shuffled;
  ASSERT_EQ(LoadCollecting(shuffled, GifBuilder().Header(4, 1, 4).Image(0, 0, 4, 1, {2, 1, 2, 2}).bytes).error, "");
  const TGIFColor two = shuffled.GlobalColors()[2], one = shuffled.GlobalColors()[1];
  EXPECT_TRUE(shuffled.GlobalColors().OptimizeColors());
  EXPECT_EQ(shuffled.GlobalColors().Count(), 2);
  EXPECT_EQ(shuffled.GlobalColors()[0], two);
  EXPECT_EQ(shuffled.GlobalColors()[1], one);
  EXPECT_EQ(shuffled.FrameAt(0)->PixelData(), (Pixels{0, 1, 0, 0}));
}

}  // namespace
}  // namespace pelindra::test
