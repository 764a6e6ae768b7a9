#include "win32/vcl/jpeg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <tuple>

#include "tests/win32/support/win_test.h"
#include "tests/win32/vcl_graphics/test_pictures.h"

namespace vcl {
namespace {

using pelindra::rgb;

// A smooth picture: JPEG keeps it close at high quality.
TBitmap gradient(int width = 64, int height = 48) {
  pelindra::Dib dib(width, height, 24);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      dib.setPixel(x, y, rgb(std::uint8_t(x * 255 / width), std::uint8_t(y * 255 / height), 128));
  TBitmap bitmap;
  bitmap.Assign(dib);
  return bitmap;
}

int largestDifference(const pelindra::Dib& a, const pelindra::Dib& b) {
  int worst = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const auto p = a.pixel(x, y), q = b.pixel(x, y);
      for (int shift : {0, 8, 16}) worst = std::max(worst, std::abs(int((p >> shift) & 255) - int((q >> shift) & 255)));
    }
  return worst;
}

std::vector<std::uint8_t> encoded(const TBitmap& bitmap, int quality, bool progressive = false, bool gray = false) {
  TJPEGImage jpeg;
  jpeg.Assign(bitmap);
  jpeg.SetCompressionQuality(quality);
  jpeg.ProgressiveEncoding = progressive;
  jpeg.Grayscale = gray;
  return jpeg.SaveToStream();
}

TEST(Jpeg, EncodesAndDecodesCloseToTheOriginal) {
  const TBitmap original = gradient();
  TJPEGImage jpeg;
  jpeg.LoadFromStream(encoded(original, 95));
  EXPECT_EQ(jpeg.Width(), 64);
  EXPECT_EQ(jpeg.Height(), 48);
  EXPECT_EQ(jpeg.PixelFormat(), jf24Bit);
  EXPECT_FALSE(jpeg.ProgressiveDisplay());
  TBitmap decoded;
  decoded.Assign(jpeg);
  EXPECT_EQ(decoded.PixelFormat(), pf24bit);
  EXPECT_LE(largestDifference(decoded.ToDib(), original.ToDib()), 8);
  // Drawing goes through the decoded pixels.
  TBitmap target(64, 48, pf24bit);
  target.Canvas().Draw(0, 0, jpeg);
  EXPECT_EQ(target.ToDib(), decoded.ToDib());
}

TEST(Jpeg, QualityTradesSizeForFidelity) {
  const TBitmap original = gradient(128, 96);
  const auto low = encoded(original, 10), high = encoded(original, 95);
  EXPECT_LT(low.size(), high.size());
  // Quality 0 is the encoder's lowest, 1; above 100 is 100.
  EXPECT_EQ(encoded(original, 0), encoded(original, 1));
  EXPECT_EQ(encoded(original, 250), encoded(original, 100));
  TJPEGImage jpeg;
  EXPECT_EQ(jpeg.CompressionQuality(), 90);
  jpeg.SetCompressionQuality(0);
  EXPECT_EQ(jpeg.CompressionQuality(), 1);
}

TEST(Jpeg, ProgressiveAndGrayOutput) {
  const TBitmap original = gradient();
  TJPEGImage progressive;
  progressive.LoadFromStream(encoded(original, 90, true));
  EXPECT_TRUE(progressive.ProgressiveDisplay());
  TJPEGImage gray;
  gray.LoadFromStream(encoded(original, 90, false, true));
  EXPECT_EQ(gray.PixelFormat(), jf8Bit);
  TBitmap pixels;
  pixels.Assign(gray);
  ASSERT_EQ(pixels.PixelFormat(), pf8bit);
  const auto c = pixels.ToDib().pixel(40, 30);
  EXPECT_EQ(pelindra::redOf(c), pelindra::greenOf(c));
  EXPECT_EQ(pelindra::greenOf(c), pelindra::blueOf(c));
  // A gray bitmap is encoded as one channel and comes back the same way.
  TJPEGImage again;
  again.LoadFromStream(encoded(pixels, 90));
  EXPECT_EQ(again.PixelFormat(), jf8Bit);
}

TEST(Jpeg, DecodingSettings) {
  const auto bytes = encoded(gradient(65, 47), 90);
  TJPEGImage jpeg;
  jpeg.LoadFromStream(bytes);
  jpeg.Scale = jsHalf;
  EXPECT_EQ(jpeg.Width(), 33);
  EXPECT_EQ(jpeg.Height(), 24);
  EXPECT_EQ(jpeg.Bitmap().Width(), 33);
  jpeg.Scale = jsEighth;
  EXPECT_EQ(jpeg.Bitmap().Height(), 6);
  jpeg.Scale = jsFullSize;
  jpeg.Grayscale = true;
  EXPECT_EQ(jpeg.Bitmap().PixelFormat(), pf8bit);
  jpeg.Grayscale = false;
  jpeg.SetPixelFormat(jf8Bit);  // colour reduced to a table of at most 256
  const auto reduced = jpeg.Bitmap().ToDib();
  EXPECT_EQ(reduced.bitsPerPixel(), 8);
  EXPECT_LE(reduced.colors().size(), 256u);
  jpeg.Performance = jpBestSpeed;
  EXPECT_EQ(jpeg.Bitmap().ToDib().bitsPerPixel(), 8);
}

TEST(Jpeg, DecodesAsAnOutsideDecoderDoes) {
  TJPEGImage jpeg;
  jpeg.LoadFromFile(pelindra::test::fixture("jpeg/testorig.jpg").wstring());
  TBitmap reference;
  reference.LoadFromFile(pelindra::test::fixture("jpeg/testorig-decoded.bmp").wstring());
  TBitmap decoded;
  decoded.Assign(jpeg);
  ASSERT_EQ(decoded.Width(), 227);
  EXPECT_EQ(decoded.ToDib(), reference.ToDib());
}

TEST(Jpeg, ProgressRunsFromStartToEnd) {
  struct Event {
    TProgressStage stage;
    int percent;
  };
  std::vector<Event> events;
  const auto record = [&](TObject*, TProgressStage stage, int percent, bool, const RECT&, const std::wstring&) {
    events.push_back({stage, percent});
  };
  const auto check = [&](const char* what) {
    ASSERT_GE(events.size(), 3u) << what;
    EXPECT_EQ(events.front().stage, TProgressStage::psStarting) << what;
    EXPECT_EQ(events.back().stage, TProgressStage::psEnding) << what;
    EXPECT_EQ(events.back().percent, 100) << what;
    int last = 0;
    for (std::size_t i = 1; i + 1 < events.size(); ++i) {
      EXPECT_EQ(events[i].stage, TProgressStage::psRunning) << what;
      EXPECT_GE(events[i].percent, last) << what;
      last = events[i].percent;
    }
    events.clear();
  };
  TJPEGImage encoder;
  encoder.OnProgress = record;
  encoder.Assign(gradient(256, 256));
  encoder.ProgressiveEncoding = true;
  const auto bytes = encoder.SaveToStream();
  check("encoding");
  TJPEGImage decoder;
  decoder.OnProgress = record;
  decoder.LoadFromStream(bytes);
  decoder.DIBNeeded();
  check("decoding");
}

TEST(Jpeg, AnErrorInAProgressHandlerEndsTheWorkCleanly) {
  TJPEGImage jpeg;
  jpeg.LoadFromStream(encoded(gradient(256, 256), 90, true));
  int calls = 0;
  jpeg.OnProgress = [&](TObject*, TProgressStage stage, int, bool, const RECT&, const std::wstring&) {
    if (stage == TProgressStage::psRunning && ++calls == 2) throw std::runtime_error("cancelled");
  };
  EXPECT_THROW(jpeg.DIBNeeded(), std::runtime_error);
  jpeg.OnProgress = nullptr;
  EXPECT_NO_THROW(jpeg.DIBNeeded());  // the picture is still whole
  EXPECT_EQ(jpeg.Bitmap().Width(), 256);
}

TEST(Jpeg, DamagedDataFailsCleanlyOrShowsWhatIsThere) {
  const auto good = encoded(gradient(64, 64), 90);
  TJPEGImage jpeg;
  for (const auto& bad :
       {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF},
        std::vector<std::uint8_t>(good.begin(), good.begin() + 100), std::vector<std::uint8_t>(300, 0x55)}) {
    EXPECT_THROW(jpeg.LoadFromStream(bad), EInvalidGraphic) << bad.size();
    EXPECT_TRUE(jpeg.Empty());
  }
  // Cut inside the pixels: the rows that were there are shown.
  TJPEGImage cut;
  cut.LoadFromStream(std::vector<std::uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(good.size() * 2 / 3)));
  EXPECT_NO_THROW(cut.DIBNeeded());
  EXPECT_EQ(cut.Bitmap().Height(), 64);
  const auto top = cut.Bitmap().ToDib().pixel(32, 2), expected = gradient(64, 64).ToDib().pixel(32, 2);
  EXPECT_LE(std::abs(int(pelindra::redOf(top)) - int(pelindra::redOf(expected))), 8);
  // Garbage after the header fails or decodes, but never ends the program.
  auto garbled = good;
  for (std::size_t i = good.size() / 2; i < good.size() - 2; i += 7) garbled[i] = 0xFF;
  TJPEGImage noisy;
  try {
    noisy.LoadFromStream(garbled);
    noisy.DIBNeeded();
  } catch (const EInvalidGraphic&) {
  }
}

TEST(Jpeg, SampleFilesLoadOrFailCleanly) {
  if (!pelindra::test::haveTestdata()) GTEST_SKIP() << "sample corpus not present";
  int shown = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(pelindra::test::testdata("jpeg"))) {
    if (!e.is_regular_file()) continue;
    TJPEGImage jpeg;
    try {
      jpeg.LoadFromFile(e.path().wstring());
      jpeg.DIBNeeded();
    } catch (const EInvalidGraphic&) {
      continue;
    }
    ++shown;
    EXPECT_EQ(jpeg.Bitmap().Width(), jpeg.Width()) << e.path();
  }
  EXPECT_GE(shown, 20);
  // CMYK pictures come out in colour, not inverted (colours as ImageMagick shows them).
  TJPEGImage cmyk;
  cmyk.LoadFromFile(pelindra::test::testdata("jpeg/pillow/pil_sample_cmyk.jpg").wstring());
  const auto dib = cmyk.Bitmap().ToDib();
  for (const auto& [x, y, expected] : {std::tuple{0, 0, rgb(255, 13, 25)}, std::tuple{50, 50, rgb(1, 4, 5)}}) {
    const auto c = dib.pixel(x, y);
    EXPECT_LE(std::abs(int(pelindra::redOf(c)) - pelindra::redOf(expected)), 3) << x;
    EXPECT_LE(std::abs(int(pelindra::greenOf(c)) - pelindra::greenOf(expected)), 3) << x;
    EXPECT_LE(std::abs(int(pelindra::blueOf(c)) - pelindra::blueOf(expected)), 3) << x;
  }
}

}  // namespace
}  // namespace vcl
