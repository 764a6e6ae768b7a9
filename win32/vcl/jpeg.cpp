#include "win32/vcl/jpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "engine/base/convert.h"

// libjpeg's headers expect FILE and size_t to be declared first.
extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace vcl {

namespace {

// ---------------------------------------------------------------------------
// The calls into libjpeg. libjpeg reports fatal errors through error_exit,
// which must not return: it jumps back to the setjmp of the running job. So
// that the jump skips no destructor, everything between setjmp and the jump
// is plain C data: the job structures below, libjpeg's own frames, and
// hooks that call into C++ only through functions that return normally.
// ---------------------------------------------------------------------------

// Largest decoded picture, and libjpeg's working memory.
constexpr std::uint64_t kMaxPixels = std::uint64_t(1) << 27;
constexpr long kMaxWorkMemory = 1L << 30;

struct JobError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

// Hooks into the C++ side; none of them may throw.
struct JobHooks {
  void* context;
  // Percent done; false stops the work.
  bool (*progress)(void* context, int percent) noexcept;
};

// What both kinds of job share; libjpeg's client_data points here.
struct JobBase {
  JobError error;
  JobHooks hooks;
  jpeg_progress_mgr progressMgr;
  int lastPercent;
};

struct DecodeJob : JobBase {
  const std::uint8_t* data;
  std::size_t size;
  // Settings.
  unsigned scaleDenom;
  bool grayscale, fast, smoothing, quantize;
  // Header facts (filled by headerOnly as well).
  int imageWidth, imageHeight, components;
  bool progressive;
  J_COLOR_SPACE colorSpace;
  // Output: rows of the Dib the C++ side makes once the size is known. The
  // hook returns the top row and the distance to the next row (negative for
  // bottom-up bitmaps), or null to give up.
  std::uint8_t* (*allocate)(void* context, int width, int height, int bytesPerPixel, std::ptrdiff_t* stride,
                            const JSAMPARRAY colormap, int colors) noexcept;
  int outWidth, outHeight;
};

struct EncodeJob : JobBase {
  const std::uint8_t* top;  // first row of the source (24-bit BGR or 8-bit gray)
  std::ptrdiff_t stride;
  int width, height, components;
  int quality;
  bool grayscaleOut, progressive, fast;
  unsigned char* out;
  unsigned long outSize;
};

extern "C" {

void onErrorExit(j_common_ptr cinfo) {
  JobError* error = reinterpret_cast<JobError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, error->message);
  std::longjmp(error->jump, 1);
}

// Warnings (corrupt or missing data) are not printed; libjpeg carries on with
// what it has.
void onOutputMessage(j_common_ptr) {}

void onProgress(j_common_ptr cinfo) {
  JobBase* job = static_cast<JobBase*>(cinfo->client_data);
  const jpeg_progress_mgr* p = cinfo->progress;
  if (p->pass_limit <= 0 || p->total_passes <= 0) return;
  const long done = (p->completed_passes * 100L + p->pass_counter * 100L / p->pass_limit) / p->total_passes;
  const int percent = int(std::clamp(done, 0L, 100L));
  if (percent == job->lastPercent) return;
  job->lastPercent = percent;
  if (!job->hooks.progress(job->hooks.context, percent)) {
    std::strcpy(job->error.message, "stopped");
    std::longjmp(job->error.jump, 2);
  }
}

}  // extern "C"

void prepareError(JobError& error, j_common_ptr cinfo) {
  cinfo->err = jpeg_std_error(&error.mgr);
  error.mgr.error_exit = onErrorExit;
  error.mgr.output_message = onOutputMessage;
  error.message[0] = '\0';
}

// CMYK as JPEG files store it (inverted by writers that leave an Adobe marker).
void cmykToBgr(const JSAMPLE* cmyk, std::uint8_t* bgr, int width, bool inverted, bool gray) {
  for (int x = 0; x < width; ++x, cmyk += 4) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    const unsigned r = c * k / 255, g = m * k / 255, b = y * k / 255;
    if (gray) {
      bgr[x] = std::uint8_t((r * 77 + g * 150 + b * 29) >> 8);
    } else {
      bgr[3 * x] = std::uint8_t(b), bgr[3 * x + 1] = std::uint8_t(g), bgr[3 * x + 2] = std::uint8_t(r);
    }
  }
}

// Returns 0 when done, 1 for a libjpeg error (message in the job), 2 when the
// hooks stopped the work. With headerOnly, only the header facts are filled.
int runDecode(DecodeJob* job, bool headerOnly) {
  jpeg_decompress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  prepareError(job->error, reinterpret_cast<j_common_ptr>(&cinfo));
  if (const int failure = setjmp(job->error.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return failure;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = kMaxWorkMemory;
  cinfo.client_data = static_cast<JobBase*>(job);
  jpeg_mem_src(&cinfo, job->data, static_cast<unsigned long>(job->size));
  jpeg_read_header(&cinfo, TRUE);
  job->imageWidth = int(cinfo.image_width);
  job->imageHeight = int(cinfo.image_height);
  job->components = cinfo.num_components;
  job->progressive = cinfo.progressive_mode != 0;
  job->colorSpace = cinfo.jpeg_color_space;
  if (std::uint64_t(cinfo.image_width) * cinfo.image_height > kMaxPixels) {
    std::strcpy(job->error.message, "picture too large");
    jpeg_destroy_decompress(&cinfo);
    return 1;
  }
  if (headerOnly) {
    jpeg_destroy_decompress(&cinfo);
    return 0;
  }
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  const bool grayIn = cinfo.jpeg_color_space == JCS_GRAYSCALE;
  const bool grayOut = grayIn || job->grayscale;
  if (cmyk)
    cinfo.out_color_space = JCS_CMYK;
  else if (grayOut)
    cinfo.out_color_space = JCS_GRAYSCALE;
  else if (job->quantize)
    cinfo.out_color_space = JCS_RGB;
  else
    cinfo.out_color_space = JCS_EXT_BGR;
  cinfo.scale_num = 1;
  cinfo.scale_denom = job->scaleDenom;
  cinfo.dct_method = job->fast ? JDCT_IFAST : JDCT_ISLOW;
  cinfo.do_fancy_upsampling = job->fast ? FALSE : TRUE;
  cinfo.do_block_smoothing = job->smoothing ? TRUE : FALSE;
  if (job->quantize && !cmyk && !grayOut) {
    cinfo.quantize_colors = TRUE;
    cinfo.desired_number_of_colors = 256;
    cinfo.two_pass_quantize = job->fast ? FALSE : TRUE;
    cinfo.dither_mode = job->fast ? JDITHER_ORDERED : JDITHER_FS;
  }
  job->progressMgr.progress_monitor = onProgress;
  cinfo.progress = &job->progressMgr;
  jpeg_start_decompress(&cinfo);
  job->outWidth = int(cinfo.output_width);
  job->outHeight = int(cinfo.output_height);
  const int bytesPerPixel = (grayOut || cinfo.quantize_colors) ? 1 : 3;
  std::ptrdiff_t stride = 0;
  std::uint8_t* row = job->allocate(job->hooks.context, job->outWidth, job->outHeight, bytesPerPixel, &stride,
                                    cinfo.quantize_colors ? cinfo.colormap : nullptr,
                                    cinfo.quantize_colors ? cinfo.actual_number_of_colors : 0);
  if (!row) {
    std::strcpy(job->error.message, "picture too large");
    jpeg_destroy_decompress(&cinfo);
    return 1;
  }
  JSAMPARRAY cmykRow =
      cmyk ? (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, cinfo.output_width * 4, 1)
           : nullptr;
  while (cinfo.output_scanline < cinfo.output_height) {
    std::uint8_t* target = row + stride * std::ptrdiff_t(cinfo.output_scanline);
    if (cmyk) {
      jpeg_read_scanlines(&cinfo, cmykRow, 1);
      cmykToBgr(cmykRow[0], target, job->outWidth, cinfo.saw_Adobe_marker != 0, grayOut);
    } else {
      JSAMPROW rows[1] = {target};
      jpeg_read_scanlines(&cinfo, rows, 1);
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return 0;
}

int runEncode(EncodeJob* job) {
  jpeg_compress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  prepareError(job->error, reinterpret_cast<j_common_ptr>(&cinfo));
  if (const int failure = setjmp(job->error.jump)) {
    jpeg_destroy_compress(&cinfo);
    return failure;
  }
  jpeg_create_compress(&cinfo);
  cinfo.mem->max_memory_to_use = kMaxWorkMemory;
  cinfo.client_data = static_cast<JobBase*>(job);
  jpeg_mem_dest(&cinfo, &job->out, &job->outSize);
  cinfo.image_width = JDIMENSION(job->width);
  cinfo.image_height = JDIMENSION(job->height);
  cinfo.input_components = job->components;
  cinfo.in_color_space = job->components == 1 ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  if (job->grayscaleOut) jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
  jpeg_set_quality(&cinfo, job->quality, TRUE);
  cinfo.dct_method = job->fast ? JDCT_IFAST : JDCT_ISLOW;
  if (job->progressive) jpeg_simple_progression(&cinfo);
  job->progressMgr.progress_monitor = onProgress;
  cinfo.progress = &job->progressMgr;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW rows[1] = {const_cast<JSAMPLE*>(job->top + job->stride * std::ptrdiff_t(cinfo.next_scanline))};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return 0;
}

// ---------------------------------------------------------------------------
// The C++ side of the hooks.
// ---------------------------------------------------------------------------

struct ProgressContext {
  TJPEGImage* image;
  void (*report)(TJPEGImage*, int percent);
  std::exception_ptr failure;
};

bool reportProgress(void* context, int percent) noexcept {
  auto* c = static_cast<ProgressContext*>(context);
  try {
    c->report(c->image, percent);
    return true;
  } catch (...) {
    c->failure = std::current_exception();
    return false;
  }
}

struct DecodeContext {
  ProgressContext progress;
  pelindra::Dib dib;
};

std::uint8_t* allocateDib(void* context, int width, int height, int bytesPerPixel, std::ptrdiff_t* stride,
                          const JSAMPARRAY colormap, int colors) noexcept {
  auto* c = static_cast<DecodeContext*>(context);
  const int bits = bytesPerPixel * 8;
  if (!pelindra::Dib::fits(width, height, bits)) return nullptr;
  try {
    c->dib = pelindra::Dib(width, height, bits);
  } catch (...) {
    return nullptr;
  }
  if (bits == 8) {
    auto& table = c->dib.colors();
    if (colormap) {
      table.resize(std::size_t(colors));
      for (int i = 0; i < colors; ++i) table[std::size_t(i)] = {colormap[2][i], colormap[1][i], colormap[0][i], 0};
    } else {
      for (int i = 0; i < 256; ++i) table[std::size_t(i)] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
    }
  }
  *stride = -std::ptrdiff_t(c->dib.stride());
  return c->dib.scanLine(0);
}

unsigned scaleDenominator(TJPEGScale scale) {
  switch (scale) {
    case jsHalf: return 2;
    case jsQuarter: return 4;
    case jsEighth: return 8;
    default: return 1;
  }
}

int scaled(int size, TJPEGScale scale) {
  const int d = int(scaleDenominator(scale));
  return (size + d - 1) / d;
}

}  // namespace

void TJPEGImage::reportPercent(TJPEGImage* image, int percent) { image->Progress(TProgressStage::psRunning, percent); }

TJPEGImage::TJPEGImage(const TJPEGImage& other)
    : TGraphic(other),
      Performance(other.Performance),
      Grayscale(other.Grayscale),
      Scale(other.Scale),
      Smoothing(other.Smoothing),
      ProgressiveEncoding(other.ProgressiveEncoding),
      data_(other.data_),
      bitmap_(other.bitmap_ ? std::make_unique<TBitmap>(*other.bitmap_) : nullptr),
      decodedKey_(other.decodedKey_),
      imageWidth_(other.imageWidth_),
      imageHeight_(other.imageHeight_),
      progressive_(other.progressive_),
      quality_(other.quality_),
      pixelFormat_(other.pixelFormat_),
      pixelFormatChosen_(other.pixelFormatChosen_) {}

int TJPEGImage::Width() const {
  if (!data_.empty()) return scaled(imageWidth_, Scale);
  return bitmap_ ? bitmap_->Width() : 0;
}

int TJPEGImage::Height() const {
  if (!data_.empty()) return scaled(imageHeight_, Scale);
  return bitmap_ ? bitmap_->Height() : 0;
}

void TJPEGImage::SetCompressionQuality(int quality) { quality_ = std::clamp(quality, 1, 100); }

void TJPEGImage::LoadFromStream(std::span<const std::uint8_t> bytes) {
  DecodeJob job{};
  job.data = bytes.data();
  job.size = bytes.size();
  if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) throw EInvalidGraphic("JPEG error: not a JPEG file");
  if (runDecode(&job, true) != 0) throw EInvalidGraphic(std::string("JPEG error: ") + job.error.message);
  data_.assign(bytes.begin(), bytes.end());
  bitmap_.reset();
  imageWidth_ = job.imageWidth;
  imageHeight_ = job.imageHeight;
  progressive_ = job.progressive;
  if (job.colorSpace == JCS_GRAYSCALE)
    pixelFormat_ = jf8Bit;
  else if (!pixelFormatChosen_)
    pixelFormat_ = jf24Bit;
  Changed();
}

void TJPEGImage::decode() {
  DecodeContext context{{this, &TJPEGImage::reportPercent, nullptr}, {}};
  DecodeJob job{};
  job.hooks = {&context, reportProgress};
  job.lastPercent = -1;
  job.data = data_.data();
  job.size = data_.size();
  job.scaleDenom = scaleDenominator(Scale);
  job.grayscale = Grayscale;
  job.fast = Performance == jpBestSpeed;
  job.smoothing = Smoothing;
  job.quantize = pixelFormat_ == jf8Bit;
  job.allocate = allocateDib;
  Progress(TProgressStage::psStarting, 0);
  const int result = runDecode(&job, false);
  Progress(TProgressStage::psEnding, 100);
  if (context.progress.failure) std::rethrow_exception(context.progress.failure);
  if (result != 0) throw EInvalidGraphic(std::string("JPEG error: ") + job.error.message);
  pelindra::Dib dib = std::move(context.dib);
  // Pictures libjpeg cannot reduce (CMYK) are reduced here.
  if (pixelFormat_ == jf8Bit && dib.bitsPerPixel() == 24) dib = pelindra::convertDib(dib, 8);
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->Assign(dib);
  bitmap_ = std::move(bitmap);
  decodedKey_ = key();
}

void TJPEGImage::DIBNeeded() {
  if (data_.empty()) return;
  if (!bitmap_ || !(decodedKey_ == key())) decode();
}

const TBitmap& TJPEGImage::Bitmap() {
  DIBNeeded();
  if (!bitmap_) bitmap_ = std::make_unique<TBitmap>();
  return *bitmap_;
}

std::vector<std::uint8_t> TJPEGImage::encode(const TBitmap& bitmap) const {
  if (bitmap.Empty()) throw EInvalidGraphic("Cannot save an empty JPEG picture");
  // The encoder takes 24-bit colour or 8-bit gray rows.
  pelindra::Dib source = bitmap.ToDib();
  bool grayRows = false;
  if (source.bitsPerPixel() == 8) {
    grayRows = true;
    for (std::size_t i = 0; i < source.colors().size() && grayRows; ++i) {
      const auto& q = source.colors()[i];
      grayRows = q.red == i && q.green == i && q.blue == i;
    }
  }
  if (!grayRows && source.bitsPerPixel() != 24) source = pelindra::convertDib(source, 24);
  // Reporting progress does not change the picture.
  auto* self = const_cast<TJPEGImage*>(this);
  ProgressContext progress{self, &TJPEGImage::reportPercent, nullptr};
  EncodeJob job{};
  job.hooks = {&progress, reportProgress};
  job.lastPercent = -1;
  job.top = source.scanLine(0);
  job.stride = -std::ptrdiff_t(source.stride());
  job.width = source.width();
  job.height = source.height();
  job.components = grayRows ? 1 : 3;
  job.quality = quality_;
  job.grayscaleOut = Grayscale && !grayRows;
  job.progressive = ProgressiveEncoding;
  job.fast = Performance == jpBestSpeed;
  self->Progress(TProgressStage::psStarting, 0);
  const int result = runEncode(&job);
  self->Progress(TProgressStage::psEnding, 100);
  std::vector<std::uint8_t> out;
  if (result == 0 && job.out) out.assign(job.out, job.out + job.outSize);
  std::free(job.out);
  if (progress.failure) std::rethrow_exception(progress.failure);
  if (result != 0) throw EInvalidGraphic(std::string("JPEG error: ") + job.error.message);
  return out;
}

void TJPEGImage::Compress() {
  if (!bitmap_) return;
  std::vector<std::uint8_t> bytes = encode(*bitmap_);
  data_ = std::move(bytes);
  imageWidth_ = bitmap_->Width();
  imageHeight_ = bitmap_->Height();
  progressive_ = ProgressiveEncoding;
  decodedKey_ = key();
  Changed();
}

std::vector<std::uint8_t> TJPEGImage::SaveToStream() const {
  if (!data_.empty()) return data_;
  if (bitmap_) return encode(*bitmap_);
  throw EInvalidGraphic("Cannot save an empty JPEG picture");
}

void TJPEGImage::Draw(TCanvas& canvas, const RECT& r) {
  if (Empty()) return;
  DIBNeeded();
  if (bitmap_) bitmap_->Draw(canvas, r);
}

void TJPEGImage::setBitmap(const TBitmap& bitmap) {
  auto copy = std::make_unique<TBitmap>();
  copy->Assign(bitmap);
  copy->Transparent = false;
  bitmap_ = std::move(copy);
  data_.clear();
  imageWidth_ = bitmap_->Width();
  imageHeight_ = bitmap_->Height();
  progressive_ = false;
  pixelFormat_ = Grayscale ? jf8Bit : jf24Bit;
}

void TJPEGImage::Assign(const TGraphic& source) {
  if (&source == this) return;
  if (const auto* jpeg = dynamic_cast<const TJPEGImage*>(&source)) {
    data_ = jpeg->data_;
    bitmap_ = jpeg->bitmap_ ? std::make_unique<TBitmap>(*jpeg->bitmap_) : nullptr;
    decodedKey_ = jpeg->decodedKey_;
    imageWidth_ = jpeg->imageWidth_;
    imageHeight_ = jpeg->imageHeight_;
    progressive_ = jpeg->progressive_;
    quality_ = jpeg->quality_;
    pixelFormat_ = jpeg->pixelFormat_;
    pixelFormatChosen_ = jpeg->pixelFormatChosen_;
    Performance = jpeg->Performance;
    Grayscale = jpeg->Grayscale;
    Scale = jpeg->Scale;
    Smoothing = jpeg->Smoothing;
    ProgressiveEncoding = jpeg->ProgressiveEncoding;
    Changed();
    return;
  }
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(&source)) {
    setBitmap(*bitmap);
    Changed();
    return;
  }
  if (source.AssignTo(*this)) return;
  TBitmap drawn;
  drawn.Assign(source);  // drawn on white
  setBitmap(drawn);
  Changed();
}

bool TJPEGImage::AssignTo(TGraphic& destination) const {
  auto* bitmap = dynamic_cast<TBitmap*>(&destination);
  if (!bitmap) return false;
  // Decoding fills a cache; the picture itself does not change.
  auto& self = const_cast<TJPEGImage&>(*this);
  bitmap->Assign(self.Bitmap());
  return true;
}

std::unique_ptr<TGraphic> TJPEGImage::Clone() const { return std::make_unique<TJPEGImage>(*this); }

}  // namespace vcl
