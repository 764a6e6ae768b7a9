// The picture model: reading, writing, validation messages and hostile input.

#include <gtest/gtest.h>

#include "engine/gif/gif_image.h"
#include "tests/engine/gif/gif_test_util.h"
#include "tests/engine/gif/giflib_oracle.h"

namespace pelindra::test {
namespace {

using Pixels = std::vector<std::uint8_t>;

Bytes SmallGif() {
  GifBuilder gif;
  gif.Header(4, 2, 4).Loop(0).Gce(2, 7, 3).Comment("hi").Image(0, 0, 4, 2, {0, 1, 2, 3, 3, 2, 1, 0});
  gif.Gce(1, 5).Image(1, 0, 2, 2, {1, 1, 0, 0}, 4, true).Trailer();
  return gif.bytes;
}

TEST(GifReader, ReadsWhatItWasGiven) {
  TGIFImage image;
  const Loaded loaded = LoadCollecting(image, SmallGif());
  ASSERT_EQ(loaded.error, "");
  EXPECT_TRUE(loaded.warnings.empty());
  ASSERT_EQ(image.FrameCount(), 2);
  const TGIFSubImage& f0 = *image.FrameAt(0);
  EXPECT_EQ(f0.ExtensionItems.Count(), 3);
  ASSERT_NE(f0.ControlBlock(), nullptr);
  EXPECT_EQ(f0.ControlBlock()->Disposal(), TDisposalMethod::Background);
  EXPECT_EQ(f0.Delay(), 7);
  EXPECT_TRUE(f0.TransparentFlag());
  EXPECT_EQ(f0.TransparentIndex(), 3);
  EXPECT_NE(dynamic_cast<TGIFAppExtNSLoop*>(f0.ExtensionItems[0]), nullptr);
  EXPECT_EQ(dynamic_cast<TGIFCommentExtension*>(f0.ExtensionItems[2])->TextLines, std::vector<std::string>{"hi"});
  const TGIFSubImage& f1 = *image.FrameAt(1);
  EXPECT_TRUE(f1.Interlaced());
  EXPECT_EQ(f1.LocalColors.Count(), 4);
  EXPECT_EQ(f1.PixelData(), (Pixels{1, 1, 0, 0}));
  EXPECT_TRUE(image.HasTransparency());
}

struct ReadCase {
  const char* name;
  Bytes bytes;
  int frames;           // -1: the load fails
  std::string message;  // the error, or one of the warnings
};

TEST(GifReader, SignatureTrailerAndBlockStructure) {
  const Bytes plain = GifBuilder().Header(2, 1, 2).Image(0, 0, 2, 1, {0, 1}).Trailer().bytes;
  const Bytes noTrailer(plain.begin(), plain.end() - 1);
  auto with = [&](const Bytes& prefix, const Bytes& body) { return prefix + body; };
  Bytes anyVersion = plain;
  anyVersion[3] = 'x', anyVersion[4] = '!', anyVersion[5] = 0;
  Bytes badTrailer = noTrailer + Bytes{0x42};
  Bytes unknownBlock = noTrailer + Bytes{0x99} + GifBuilder().Image(0, 0, 2, 1, {1, 1}).Trailer().bytes;
  const ReadCase cases[] = {
      {"4 bytes before the signature", with({1, 2, 3, 4}, plain), 1, ""},
      {"3 bytes before", with({1, 2, 3}, plain), -1, "Invalid GIF signature"},
      {"5 bytes before", with({1, 2, 3, 4, 5}, plain), -1, "Invalid GIF signature"},
      {"lower-case signature", with({}, Bytes{'g', 'i', 'f'} + Bytes(plain.begin() + 3, plain.end())), 1, ""},
      {"any version bytes", anyVersion, 1, ""},
      {"no trailer", noTrailer, 1, ""},
      {"other byte as trailer", badTrailer, 1, "Invalid Image trailer"},
      {"unknown block stops the frames", unknownBlock, 1, "Unknown GIF block type"},
      {"header cut short", Head(plain, 10), -1, "Premature end of data"},
      {"descriptor cut short", Head(plain, 13 + 6 + 5), -1, "Premature end of data"},
      {"unknown extension label", GifBuilder().Header(2, 1, 2).Raw({0x21, 0x42, 0}).Image(0, 0, 2, 1, {0, 1}).bytes, -1,
       "Unknown extension type"},
      {"application block size 9",
       GifBuilder().Header(2, 1, 2).Raw({0x21, 0xFF, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}).Image(0, 0, 2, 1, {0, 1}).bytes,
       -1, "Unsupported Application Extension block size"},
      {"looping sub-block too short",
       GifBuilder()
           .Header(2, 1, 2)
           .Raw({0x21, 0xFF, 11})
           .Append(Bytes{'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'})
           .Raw({2, 1, 5, 0})
           .Image(0, 0, 2, 1, {0, 1})
           .bytes,
       -1, "Invalid GIF data"},
      {"application block size 12 is kept",
       GifBuilder()
           .Header(2, 1, 2)
           .Raw({0x21, 0xFF, 12, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 1, 9, 0})
           .Image(0, 0, 2, 1, {0, 1})
           .bytes,
       1, ""},
      {"short graphic control block", GifBuilder().Header(2, 1, 2).Raw({0x21, 0xF9, 4, 1}).bytes, 1,
       "Premature end of data"},
      {"stray byte between extensions",
       GifBuilder()
           .Header(2, 1, 2)
           .Comment("a")
           .Raw({0x2C})
           .Raw({0, 0, 0, 0, 2, 0, 1, 0, 0})
           .Append(PlainLzw(2, {1, 0}))
           .bytes,
       1, ""},
      {"code size above 11", GifBuilder().Header(2, 1, 2).Raw({0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0, 12, 1, 0, 0}).bytes, -1,
       "Invalid GIF data"},
      {"65535 x 65535 descriptor",
       GifBuilder().Header(2, 1, 2).Raw({0x2C, 0, 0, 0, 0, 255, 255, 255, 255, 0}).Append(PlainLzw(2, {1})).bytes, -1,
       "Image is too large"},
      {"circular table",
       GifBuilder()
           .Header(16, 1, 4)
           .Raw({0x2C, 0, 0, 0, 0, 16, 0, 1, 0, 0, 2})
           .Append(SubBlocks(PackCodes({{4, 3}, {7, 3}, {6, 3}, {7, 3}, {6, 4}})))
           .bytes,
       -1, "Circular decoder table entry"},
      {"entry that is its own prefix",
       GifBuilder()
           .Header(4, 1, 4)
           .Raw({0x2C, 0, 0, 0, 0, 4, 0, 1, 0, 0, 2})
           .Append(SubBlocks(PackCodes({{4, 3}, {6, 3}, {6, 3}, {6, 3}})))
           .bytes,
       -1, "Circular decoder table entry"},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    TGIFImage image;
    const Loaded loaded = LoadCollecting(image, c.bytes);
    if (c.frames < 0) {
      EXPECT_EQ(loaded.error, c.message);
    } else {
      EXPECT_EQ(loaded.error, "");
      EXPECT_EQ(image.FrameCount(), c.frames);
      if (c.message.empty())
        EXPECT_TRUE(loaded.warnings.empty());
      else
        EXPECT_NE(std::find(loaded.warnings.begin(), loaded.warnings.end(), c.message), loaded.warnings.end());
    }
  }
}

TEST(GifReader, FailedLoadRestoresTheStreamAndKeepsEarlierFrames) {
  const Bytes bytes =
      GifBuilder().Header(2, 1, 2).Image(0, 0, 2, 1, {0, 1}).Raw({0x21, 0x42, 0}).Image(0, 0, 2, 1, {1, 1}).bytes;
  const Bytes prefixed = Bytes{7, 7} + bytes;
  GIFByteStream stream(prefixed);
  stream.SetPosition(2);
  TGIFImage image;
  EXPECT_THROW(image.LoadFromStream(stream), GIFException);
  EXPECT_EQ(stream.Position(), 2u);
  EXPECT_EQ(image.FrameCount(), 1);
}

TEST(GifReader, CommentAfterTheLastImageBecomesAnEmptyFrame) {
  const Bytes bytes = GifBuilder().Header(2, 1, 2).Image(0, 0, 2, 1, {0, 1}).Comment("end").Trailer().bytes;
  TGIFImage image;
  ASSERT_EQ(LoadCollecting(image, bytes).error, "");
  ASSERT_EQ(image.FrameCount(), 2);
  EXPECT_TRUE(image.FrameAt(1)->Empty());
  EXPECT_EQ(image.FrameAt(1)->ExtensionItems.Count(), 1);
  const Bytes out = image.SaveToBytes();
  const Bytes comment = {0x21, 0xFE, 3, 'e', 'n', 'd', 0, 0x3B};
  EXPECT_TRUE(std::equal(comment.begin(), comment.end(), out.end() - std::ptrdiff_t(comment.size())));
}

TEST(GifReader, ZeroSizeDescriptorTakesTheScreenSize) {
  const Bytes bytes =
      GifBuilder().Header(3, 2, 2).Raw({0x2C, 0, 0, 0, 0, 0, 0, 5, 0, 0}).Append(PlainLzw(2, {1, 1, 1, 1, 1, 1})).bytes;
  TGIFImage image;
  const Loaded loaded = LoadCollecting(image, bytes);
  ASSERT_EQ(loaded.error, "");
  EXPECT_EQ(loaded.warnings, std::vector<std::string>{"Image exceeds Logical Screen size"});
  EXPECT_EQ(image.FrameAt(0)->FrameWidth(), 3);
  EXPECT_EQ(image.FrameAt(0)->FrameHeight(), 2);
}

TEST(GifReader, FramesBeyondTheScreenAreKeptAndDrawnClipped) {
  const Bytes bytes = GifBuilder().Header(4, 4, 2).Image(3, 3, 5, 2, Pixels(10, 1)).Trailer().bytes;
  TGIFImage image;
  const Loaded loaded = LoadCollecting(image, bytes);
  ASSERT_EQ(loaded.error, "");
  EXPECT_TRUE(loaded.warnings.empty());
  const GIFBitmap* bitmap = image.PictureBitmap();
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Image.width(), 4);
  EXPECT_EQ(bitmap->Image.pixel(3, 3), rgb(37, 91, 13));
}

TEST(GifReader, DataBeyondTheLastPixelDoesNotHideLaterFrames) {
  const Bytes extra = Bytes{2} + SubBlocks(PackCodes({{4, 3}, {1, 3}, {1, 3}, {1, 4}, {1, 4}, {2, 4}, {5, 4}}));
  const Bytes bytes = GifBuilder()
                          .Header(2, 1, 4)
                          .Raw({0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0})
                          .Append(extra)
                          .Image(0, 0, 2, 1, {3, 3})
                          .Trailer()
                          .bytes;
  TGIFImage image;
  const Loaded loaded = LoadCollecting(image, bytes);
  ASSERT_EQ(loaded.error, "");
  EXPECT_TRUE(loaded.warnings.empty());
  ASSERT_EQ(image.FrameCount(), 2);
  EXPECT_EQ(image.FrameAt(1)->PixelData(), (Pixels{3, 3}));
}

TEST(GifReader, CutAtEveryByteFailsCleanly) {
  const Bytes whole = SmallGif();
  for (std::size_t n = 0; n <= whole.size(); ++n) {
    TGIFImage image;
    const Loaded loaded = LoadCollecting(image, Head(whole, n));
    // Any frame read is complete in size and pixels.
    for (const auto& frame : image.Frames)
      EXPECT_EQ(frame->PixelData().size(), std::size_t(frame->FrameWidth()) * std::size_t(frame->FrameHeight()));
    if (n == whole.size()) EXPECT_EQ(loaded.error, "");
  }
}

TEST(GifWriter, VersionPackedBytesAndInterlace) {
  TGIFImage empty;
  EXPECT_EQ(ErrorOf([&] { empty.SaveToBytes(); }), "Unsupported GIF version");

  TGIFImage image;
  ASSERT_EQ(LoadCollecting(image, GifBuilder().Header(2, 1, 4).Image(0, 0, 2, 1, {0, 3}).bytes).error, "");
  Bytes out = image.SaveToBytes();
  EXPECT_EQ(std::string(out.begin(), out.begin() + 6), "GIF87a");

  // A 256-colour local table raises the colour resolution but not the global size bits.
  auto frame = std::make_unique<TGIFSubImage>(&image);
  frame->SetBounds(0, 0, 2, 1);
  std::vector<std::uint8_t> rgb(256 * 3, 9);
  frame->LocalColors.SetRaw(rgb.data(), 256);
  frame->SetInterlaced(true);
  image.AddFrame(std::move(frame));
  out = image.SaveToBytes();
  EXPECT_EQ(out[10], 0x80 | 0x70 | 1);
  const OracleGif theirs = DecodeWithGiflib(out);
  ASSERT_TRUE(theirs.ok);
  EXPECT_EQ(theirs.colors.size(), 4u);
  // A frame with a local table is always written non-interlaced.
  EXPECT_FALSE(theirs.frames[1].interlace);
  EXPECT_EQ(theirs.frames[1].colors.size(), 256u);

  // An extension makes the file GIF89a and is written back byte for byte.
  const Bytes small = SmallGif();
  TGIFImage again;
  ASSERT_EQ(LoadCollecting(again, small).error, "");
  out = again.SaveToBytes();
  EXPECT_EQ(std::string(out.begin(), out.begin() + 6), "GIF89a");
  const Bytes loop = {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0};
  EXPECT_NE(std::search(out.begin(), out.end(), loop.begin(), loop.end()), out.end());
}

TEST(GifModel, FramePositioningGrowsThePicture) {
  TGIFImage image;
  std::vector<std::string> warnings;
  image.OnWarn = [&](TGIFObject*, int, const std::string& m) { warnings.push_back(m); };
  auto frame = std::make_unique<TGIFSubImage>(&image);
  TGIFSubImage* f = frame.get();
  image.AddFrame(std::move(frame));
  f->SetBounds(0, 0, 10, 5);
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(image.GetWidth(), 10);
  f->SetFrameLeft(4);
  EXPECT_EQ(warnings, (std::vector<std::string>{"Image width too small for contained frames",
                                                "Image exceeds Logical Screen size"}));
  EXPECT_EQ(image.GetWidth(), 14);
  EXPECT_EQ(ErrorOf([&] { image.SetWidth(13); }), "Image width too small for contained frames");
  EXPECT_EQ(ErrorOf([&] { image.SetHeight(4); }), "Image height too small for contained frames");
  EXPECT_EQ(ErrorOf([&] { f->Pixels(10, 0); }), "Invalid pixel coordinates");
  TGIFSubImage lone(&image);
  EXPECT_EQ(ErrorOf([&] { lone.ScanLine(0); }), "Image is empty");
}

TEST(GifModel, ColorMapOperations) {
  TGIFImage image;
  std::vector<std::string> warnings;
  image.OnWarn = [&](TGIFObject*, int, const std::string& m) { warnings.push_back(m); };
  TGIFColorMap& map = image.GlobalColors();
  EXPECT_EQ(ErrorOf([&] { map.ColorAt(0); }), "Color table is empty");
  EXPECT_EQ(map.AppendColor({1, 2, 3}), 0);
  EXPECT_EQ(map.AppendColor({4, 5, 6}), 1);
  EXPECT_EQ(map.AppendColor({1, 2, 3}), 2);
  EXPECT_EQ(map.IndexOfColor({1, 2, 3}), 2);  // unsorted: the last match
  map.SetSortedFlag(true);
  EXPECT_EQ(map.IndexOfColor({1, 2, 3}), 0);  // sorted: the first match
  EXPECT_EQ(map.FindOrAppendColor({4, 5, 6}), 1);
  EXPECT_EQ(map.ColorAt(7), (TGIFColor{1, 2, 3}));
  EXPECT_EQ(warnings, std::vector<std::string>(2, "Invalid color index"));
  EXPECT_EQ(ErrorOf([&] { map.RemoveColor(3); }), "Invalid color index");
  while (map.Count() < 256) map.AppendColor({9, 9, 9});
  EXPECT_EQ(ErrorOf([&] { map.AppendColor({0, 0, 0}); }), "Color table overflow");
  EXPECT_EQ(map.Capacity(), 256);
  EXPECT_EQ(BitsForColors(0), 0);
  EXPECT_EQ(BitsForColors(1), 1);
  EXPECT_EQ(BitsForColors(3), 2);
  EXPECT_EQ(BitsForColors(256), 8);
}

TEST(GifModel, PaletteNeedsSomeColorTable) {
  TGIFImage image;
  const Bytes bytes = GifBuilder().Header(2, 1, 0).Image(0, 0, 2, 1, {0, 1}).bytes;
  ASSERT_EQ(LoadCollecting(image, bytes).error, "");
  EXPECT_EQ(ErrorOf([&] { image.GetPalette(); }), "No global or local color table defined");
  // Frame 0's local table serves as the picture's palette.
  TGIFImage local;
  ASSERT_EQ(LoadCollecting(local, GifBuilder().Header(2, 1, 0).Image(0, 0, 2, 1, {0, 1}, 2).bytes).error, "");
  const PaletteHandle palette = local.GetPalette();
  ASSERT_TRUE(palette);
  EXPECT_EQ(palette->size(), 2u);
  EXPECT_EQ((*palette)[0], (PaletteEntry{255, 0, 128, kPaletteNoCollapse}));
}

TEST(GifModel, AssignCopiesFramesAndSomeSettings) {
  TGIFImage source;
  ASSERT_EQ(LoadCollecting(source, SmallGif()).error, "");
  source.ReductionMethod = TColorReduction::Octree;
  source.DitherKind = TDitherMode::Burkes;
  source.ReductionDepth = 3;
  source.Encoding = TGIFEncoding::RunLength;
  source.SetSpeed(50);
  int progress = 0;
  source.OnProgress = [&](TGIFObject*, ProgressStage, int, bool, const std::string& m) {
    if (m == "Copying...") ++progress;
  };
  TGIFImage copy;
  copy.OnWarn = [](TGIFObject*, int, const std::string&) {};
  copy.Assign(&source);
  EXPECT_EQ(progress, 4);  // start, one per frame, end
  EXPECT_EQ(copy.ReductionMethod, TColorReduction::Octree);
  EXPECT_EQ(copy.DitherKind, TDitherMode::Burkes);
  EXPECT_EQ(copy.ReductionDepth, 8);
  EXPECT_EQ(copy.Encoding, TGIFEncoding::LzwTable);
  EXPECT_EQ(copy.SpeedPercent, 100);
  EXPECT_FALSE(copy.OnProgress);
  EXPECT_FALSE(copy.OnWarn);
  copy.Encoding = TGIFEncoding::LzwTable;
  source.Encoding = TGIFEncoding::LzwTable;
  EXPECT_EQ(copy.SaveToBytes(), source.SaveToBytes());
  EXPECT_EQ(copy.FrameAt(0)->ControlBlock()->TransparentIndex(), 3);
  copy.Assign(nullptr);
  EXPECT_TRUE(copy.GetEmpty());
}

TEST(GifModel, RenderingAndMask) {
  TGIFImage image;
  ASSERT_EQ(LoadCollecting(image, SmallGif()).error, "");
  TGIFSubImage& frame = *image.FrameAt(0);
  const GIFBitmap* bitmap = frame.FrameRendering();
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Image.bitsPerPixel(), 8);
  EXPECT_EQ(bitmap->Image.colors().size(), 4u);
  EXPECT_EQ(bitmap->Image.index(1, 1), 2u);
  const Dib* mask = frame.FrameMask();
  ASSERT_NE(mask, nullptr);
  // Index 3 is transparent: (3, 0) and (0, 1).
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(mask->index(x, y), unsigned((x == 3 && y == 0) || (x == 0 && y == 1)));
  EXPECT_FALSE(image.FrameAt(1)->HasMask());

  // Dithered to the colour cube: every pixel takes a cube index.
  image.PaintFlags = DitherDisplay;
  TGIFImage dithered;
  dithered.PaintFlags = DitherDisplay;
  ASSERT_EQ(LoadCollecting(dithered, SmallGif()).error, "");
  const GIFBitmap* cube = dithered.FrameAt(1)->FrameRendering();
  ASSERT_NE(cube, nullptr);
  EXPECT_EQ(cube->Image.colors().size(), 216u);
  EXPECT_EQ(cube->Palette->size(), 216u);
}

}  // namespace
}  // namespace pelindra::test
