#include "engine/gif/gif_lzw.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "engine/gif/gif_image.h"

namespace pelindra {

namespace {

constexpr int kTableSize = 4096;
constexpr int kStackSize = 8192;

// The variable-length-code reader and string table of one frame's image data.
class Decoder {
 public:
  Decoder(TGIFSubImage& frame, GIFByteStream& stream, int setCodeSize)
      : frame_(frame), stream_(stream), set_code_size_(setCodeSize) {
    clear_code_ = 1 << set_code_size_;
    end_code_ = clear_code_ + 1;
    code_size_ = set_code_size_ + 1;
    max_code_size_ = 2 * clear_code_;
    max_code_ = clear_code_ + 2;
  }

  // The next pixel value; -1 when the data ran out, -2 at the end code.
  int NextValue() {
    if (sp_ > 0) return stack_[--sp_];
    return DecodeCode();
  }

  // Pops as many pending values as fit into out (at most n).
  int PopInto(std::uint8_t* out, int n) {
    const int k = std::min(n, sp_);
    for (int i = 0; i < k; ++i) out[i] = std::uint8_t(stack_[--sp_]);
    return k;
  }

  // Skips what is left of the image data up to its terminating empty sub-block.
  void SkipRest() {
    if (done_) return;
    SkipBlocks();
  }

 private:
  void SkipBlocks() {
    for (;;) {
      const int size = stream_.ReadByte();
      if (size <= 0) break;
      stream_.Seek(size);
    }
    done_ = zero_block_ = true;
    block_ = block_end_ = nullptr;
  }

  // Starts the next data sub-block; false at the end of the stream.
  bool NextBlock() {
    const int size = stream_.ReadByte();
    if (size < 0) {
      eof_ = true;
      return false;
    }
    if (size == 0) {
      done_ = zero_block_ = true;
      return false;
    }
    std::size_t n = std::size_t(size);
    if (stream_.Remaining() < n) {
      frame_.Warn(1, "Premature end of data");
      n = stream_.Remaining();
    }
    block_ = stream_.Data() + stream_.Position();
    block_end_ = block_ + n;
    stream_.Seek(std::int64_t(n));
    return true;
  }

  int GetCode(int n) {
    if (fresh_) {
      fresh_ = false;
      return clear_code_;
    }
    if (bits_ < n) {
      while (bits_ <= 56) {
        if (block_ < block_end_) {
          accumulator_ |= std::uint64_t(*block_++) << bits_;
          bits_ += 8;
        } else if (done_ || eof_ || !NextBlock()) {
          break;
        }
      }
      if (bits_ < n) {
        if (done_ && bits_ == 0) frame_.Warn(1, "Decoder bit buffer under-run");
        return -1;
      }
    }
    const int code = int(accumulator_ & ((1u << n) - 1));
    accumulator_ >>= n;
    bits_ -= n;
    return code;
  }

  void ResetTable() {
    for (int i = 0; i < clear_code_; ++i) prefix_[i] = 0, suffix_[i] = std::uint16_t(i);
    std::memset(prefix_.data() + clear_code_, 0, sizeof(std::uint16_t) * std::size_t(kTableSize - clear_code_));
    std::memset(suffix_.data() + clear_code_, 0, sizeof(std::uint16_t) * std::size_t(kTableSize - clear_code_));
    code_size_ = set_code_size_ + 1;
    max_code_size_ = 2 * clear_code_;
    max_code_ = clear_code_ + 2;
    sp_ = 0;
  }

  int EndCode() {
    if (!zero_block_) SkipBlocks();
    return -2;
  }

  [[noreturn]] void Circular() { GIFError("Circular decoder table entry"); }

  int DecodeCode() {
    int code = GetCode(code_size_);
    if (code < 0) return code;
    if (code == clear_code_) {
      ResetTable();
      do code = GetCode(code_size_);
      while (code == clear_code_);
      // An end code right after a clear is an empty image, not a pixel.
      if (code == end_code_) return EndCode();
      first_code_ = old_code_ = code;
      return code;
    }
    if (code == end_code_) return EndCode();
    const int incoming = code;
    if (code >= max_code_) {
      stack_[sp_++] = std::uint16_t(first_code_);
      code = old_code_;
    }
    // A valid chain is never longer than the table; corrupt data may hold a cycle.
    int chain = 0;
    while (code >= clear_code_) {
      stack_[sp_++] = suffix_[code];
      if (prefix_[code] == code || ++chain > kTableSize) Circular();
      code = prefix_[code];
    }
    first_code_ = suffix_[code];
    stack_[sp_++] = std::uint16_t(first_code_);
    if (max_code_ < kTableSize) {
      prefix_[max_code_] = std::uint16_t(old_code_);
      suffix_[max_code_] = std::uint16_t(first_code_);
      ++max_code_;
      if (max_code_ >= max_code_size_ && max_code_size_ <= kTableSize - 1) {
        max_code_size_ *= 2;
        ++code_size_;
      }
    }
    old_code_ = incoming;
    return stack_[--sp_];
  }

  TGIFSubImage& frame_;
  GIFByteStream& stream_;
  int set_code_size_;
  int code_size_ = 0, clear_code_ = 0, end_code_ = 0, max_code_size_ = 0, max_code_ = 0;
  int first_code_ = 0, old_code_ = 0;
  std::array<std::uint16_t, kTableSize> prefix_{};
  std::array<std::uint16_t, kTableSize> suffix_{};
  std::array<std::uint16_t, kStackSize> stack_{};
  int sp_ = 0;
  std::uint64_t accumulator_ = 0;
  int bits_ = 0;
  const std::uint8_t* block_ = nullptr;
  const std::uint8_t* block_end_ = nullptr;
  bool fresh_ = true, done_ = false, zero_block_ = false, eof_ = false;
};

// Fills n pixels of one row; false when the data ended (the rest keeps the fill value).
bool DecodeRow(Decoder& decoder, std::uint8_t* out, int n) {
  while (n > 0) {
    const int k = decoder.PopInto(out, n);
    out += k;
    n -= k;
    if (n == 0) break;
    const int value = decoder.NextValue();
    if (value < 0) return false;
    *out++ = std::uint8_t(value);
    --n;
  }
  return true;
}

constexpr int kPassStart[4] = {0, 4, 2, 1};
constexpr int kPassStep[4] = {8, 8, 4, 2};

}  // namespace

void DecodeFrame(TGIFSubImage& frame, GIFByteStream& stream) {
  const int width = frame.FrameWidth(), height = frame.FrameHeight();
  auto& pixels = frame.PixelData();
  const int codeSize = stream.ReadByte();
  if (codeSize < 0) return;
  // Code sizes above 11 would put the clear code beyond the 4096-entry table.
  if (codeSize > 11) GIFError("Invalid GIF data");
  auto decoder = std::make_unique<Decoder>(frame, stream, codeSize);
  try {
    if (!pixels.empty()) {
      if (!frame.Interlaced()) {
        DecodeRow(*decoder, pixels.data(), int(pixels.size()));
      } else {
        bool more = true;
        for (int pass = 0; pass < 4 && more; ++pass)
          for (int row = kPassStart[pass]; row < height && more; row += kPassStep[pass])
            more = DecodeRow(*decoder, pixels.data() + std::size_t(row) * std::size_t(width), width);
      }
    }
  } catch (...) {
    try {
      decoder->NextValue();
    } catch (...) {
    }
    throw;
  }
  // One more value lets a following end code skip the rest of the data; data
  // beyond the pixels without an end code is skipped up to its terminator.
  decoder->NextValue();
  decoder->SkipRest();
}

// ---------------------------------------------------------------------------

TGIFWriter::~TGIFWriter() {
  try {
    Flush();
  } catch (...) {
  }
}

void TGIFWriter::Flush() {
  if (count_ == 0) return;
  buffer_[0] = std::uint8_t(count_);
  stream_.Write(buffer_.data(), std::size_t(count_) + 1);
  count_ = 0;
}

void TGIFWriter::Read() { GIFError("Invalid stream operation"); }
void TGIFWriter::Seek() { GIFError("Invalid stream operation"); }

void TGIFEncoder::Encode(GIFByteStream& stream, const std::uint8_t* pixels, int width, int height, bool interlace,
                         int bits, int colorCount) {
  initial_code_size_ = std::max(bits, 2);
  stream.WriteByte(std::uint8_t(initial_code_size_));
  initial_code_width_ = initial_code_size_ + 1;
  code_width_ = initial_code_width_;
  max_code_ = (1 << code_width_) - 1;
  clear_code_ = 1 << initial_code_size_;
  end_code_ = clear_code_ + 1;
  first_free_ = clear_code_ + 2;
  accumulator_ = 0;
  pending_bits_ = 0;
  color_count_ = colorCount;
  width_ = width;
  height_ = height;
  interlace_ = interlace;
  data_ = pixels;
  pixels_left_ = std::int64_t(width) * height;
  row_ = 0;
  pass_ = 0;
  row_left_ = width;
  cursor_ = pixels;
  {
    TGIFWriter writer(stream);
    writer_ = &writer;
    if (pixels && width > 0 && height > 0) Compress();
    Output(end_code_);
    writer_ = nullptr;
  }
  stream.WriteByte(0);
}

void TGIFEncoder::Output(int code) { Pack(code); }

void TGIFEncoder::EmitClear() {
  just_cleared_ = true;
  Output(clear_code_);
}

void TGIFEncoder::NextRow() {
  if (!interlace_) {
    ++row_;
  } else {
    row_ += kPassStep[pass_];
    while (row_ >= height_ && pass_ < 3) {
      ++pass_;
      row_ = kPassStart[pass_];
    }
  }
  cursor_ = data_ + std::size_t(row_) * std::size_t(width_);
  row_left_ = width_;
}

int TGIFEncoder::NextPixel() {
  if (row_left_ == 0) NextRow();
  --row_left_;
  --pixels_left_;
  const int pixel = *cursor_++;
  if (pixel >= color_count_) GIFError("Color not in color table");
  return pixel;
}

// ---------------------------------------------------------------------------

void THashTable::Clear() { slots_.fill(0xFFFFFFFFu); }

void THashTable::Insert(std::uint32_t key, int code) {
  int slot = int((key ^ (key >> 4)) % kSize);
  const int d = slot == 0 ? 1 : kSize - slot;
  while ((slots_[std::size_t(slot)] >> 12) != 0xFFFFFu) {
    slot -= d;
    if (slot < 0) slot += kSize;
  }
  slots_[std::size_t(slot)] = (key << 12) | std::uint32_t(code);
}

void TLZWEncoder::Output(int code) {
  Pack(code);
  if (just_cleared_) {
    code_width_ = initial_code_width_;
    max_code_ = (1 << code_width_) - 1;
    just_cleared_ = false;
  } else if (next_free_ > max_code_) {
    ++code_width_;
    max_code_ = code_width_ == 12 ? 4096 : (1 << code_width_) - 1;
  }
}

void TLZWEncoder::EmitClear() {
  TGIFEncoder::EmitClear();
  table_.Clear();
  next_free_ = clear_code_ + 2;
}

void TLZWEncoder::Compress() {
  next_free_ = clear_code_ + 2;
  EmitClear();
  int prefix = NextPixel();
  // The rest row by row, in the same visiting order as NextPixel. The packer's state lives in
  // locals while a row runs (what Output does, without its call and its clear-code test: a code
  // emitted here never directly follows a clear code, whose own Output already reset the width).
  std::uint32_t acc = accumulator_;
  int bits = pending_bits_, width = code_width_, maxCode = max_code_, nextFree = next_free_;
  // Whole bytes gather here and go to the writer in runs; a code adds at most two.
  std::array<std::uint8_t, 1024> out;
  std::size_t outCount = 0;
  const auto save = [&] {
    writer_->WriteBytes(out.data(), outCount);
    outCount = 0;
    accumulator_ = acc, pending_bits_ = bits, code_width_ = width, max_code_ = maxCode, next_free_ = nextFree;
  };
  const int colors = color_count_;
  while (pixels_left_ > 0) {
    if (row_left_ == 0) NextRow();
    const std::uint8_t* p = cursor_;
    const int n = row_left_;
    for (int x = 0; x < n; ++x) {
      const int pixel = p[x];
      if (pixel >= colors) GIFError("Color not in color table");
      const std::uint32_t key = std::uint32_t(prefix) << 8 | std::uint32_t(pixel);
      int empty;
      const int code = table_.Lookup(key, empty);
      if (code >= 0) {
        prefix = code;
        continue;
      }
      acc |= std::uint32_t(prefix) << bits;
      bits += width;
      out[outCount] = std::uint8_t(acc);
      out[outCount + 1] = std::uint8_t(acc >> 8);
      const int whole = bits >> 3;
      outCount += std::size_t(whole);
      acc >>= 8 * whole;
      bits -= 8 * whole;
      if (nextFree > maxCode) {
        ++width;
        maxCode = width == 12 ? 4096 : (1 << width) - 1;
      }
      prefix = pixel;
      if (nextFree >= 4095) {
        save();
        TLZWEncoder::EmitClear();
        acc = accumulator_, bits = pending_bits_, width = code_width_, maxCode = max_code_, nextFree = next_free_;
      } else {
        table_.Store(empty, key, nextFree++);
        if (outCount > out.size() - 2) {
          writer_->WriteBytes(out.data(), outCount);
          outCount = 0;
        }
      }
    }
    cursor_ += n;
    row_left_ = 0;
    pixels_left_ -= n;
  }
  save();
  prefix_ = prefix;
  TLZWEncoder::Output(prefix_);
}

// ---------------------------------------------------------------------------

std::int64_t IntegerSqrt(std::int64_t n) {
  if (n < 2) return n;
  std::int64_t r = 1;
  for (std::int64_t v = n; v; v >>= 2) r <<= 1;
  for (;;) {
    const std::int64_t v = (n / r + r) / 2;
    if (v == r || v == r + 1) return r;
    r = v;
  }
}

std::int64_t RunTriangle(std::int64_t n, std::int64_t maxCodes) {
  const std::int64_t per = maxCodes * (maxCodes + 1) / 2;
  std::int64_t cost = 0;
  if (n >= per) {
    cost += (n / per) * maxCodes;
    n %= per;
  }
  if (n > 0) {
    std::int64_t k = IntegerSqrt(n);
    while (k * (k + 1) >= 2 * n) --k;
    while (k * (k + 1) < 2 * n) ++k;
    cost += k;
  }
  return cost;
}

void TRLEEncoder::Reset() {
  bump_point_ = initial_bump_;
  clear_point_ = initial_clear_;
  out_count_ = 0;
  table_max_ = 0;
  just_cleared_ = true;
  Output(clear_code_);
  code_width_ = initial_code_width_;
}

void TRLEEncoder::OutputPlain(int code) {
  just_cleared_ = false;
  Output(code);
  ++out_count_;
  if (out_count_ >= bump_point_) {
    bump_point_ += 1 << code_width_;
    ++code_width_;
  }
  if (out_count_ >= clear_point_) Reset();
}

void TRLEEncoder::RestoreClearPoint() {
  clear_point_ = initial_clear_;
  if (out_count_ >= clear_point_) Reset();
}

void TRLEEncoder::FromClear(std::int64_t count) {
  clear_point_ = max_codes_;
  table_pixel_ = run_pixel_;
  std::int64_t k = 1;
  while (count > 0) {
    if (k == 1) {
      table_max_ = 1;
      OutputPlain(run_pixel_);
      --count;
    } else if (count >= k) {
      table_max_ = int(k);
      OutputPlain(clear_code_ + 2 + int(k) - 2);
      count -= k;
    } else if (count == 1) {
      ++table_max_;
      OutputPlain(run_pixel_);
      count = 0;
    } else {
      ++table_max_;
      OutputPlain(clear_code_ + 2 + int(count) - 2);
      count = 0;
    }
    k = out_count_ == 0 ? 1 : k + 1;
  }
  RestoreClearPoint();
}

void TRLEEncoder::ClearOrRepeat(std::int64_t count) {
  if (1 + RunTriangle(count, max_codes_) < count) {
    Reset();
    FromClear(count);
  } else {
    for (; count > 0; --count) OutputPlain(run_pixel_);
  }
}

void TRLEEncoder::WithTable(std::int64_t count) {
  std::int64_t repeats = count / table_max_;
  std::int64_t leftover = count % table_max_;
  std::int64_t extra = leftover > 0 ? 1 : 0;
  if (out_count_ + repeats + extra > max_codes_) {
    repeats = max_codes_ - out_count_;
    leftover = count - repeats * table_max_;
    extra = 1 + RunTriangle(leftover, max_codes_);
  }
  if (1 + RunTriangle(count, max_codes_) < repeats + extra) {
    Reset();
    FromClear(count);
    return;
  }
  clear_point_ = max_codes_;
  for (; repeats > 0; --repeats) OutputPlain(clear_code_ + 2 + table_max_ - 2);
  if (leftover > 0) {
    if (just_cleared_)
      FromClear(leftover);
    else if (leftover == 1)
      OutputPlain(run_pixel_);
    else
      OutputPlain(clear_code_ + 2 + int(leftover) - 2);
  }
  RestoreClearPoint();
}

void TRLEEncoder::FlushRun(std::int64_t count) {
  if (count == 1)
    OutputPlain(run_pixel_);
  else if (just_cleared_)
    FromClear(count);
  else if (table_max_ < 2 || table_pixel_ != run_pixel_)
    ClearOrRepeat(count);
  else
    WithTable(count);
}

void TRLEEncoder::Compress() {
  max_codes_ = 4095 - (clear_code_ + 2);
  initial_bump_ = clear_code_ - 1;
  initial_clear_ = initial_code_size_ <= 3 ? 9 : clear_code_ - 2;
  Reset();
  run_pixel_ = -1;
  std::int64_t run = 0;
  while (pixels_left_ > 0) {
    const int pixel = NextPixel();
    if (run > 0 && pixel != run_pixel_) {
      FlushRun(run);
      run = 0;
    }
    if (pixel == run_pixel_) {
      ++run;
    } else {
      run_pixel_ = pixel;
      run = 1;
    }
  }
  if (run > 0) FlushRun(run);
}

}  // namespace pelindra

namespace pelindra {

void EncodeFrame(TGIFSubImage& frame, GIFByteStream& stream) {
  TGIFImage* image = frame.Image();
  int bits = 0, colorCount = 0;
  if (frame.LocalColors.Count() > 0) {
    bits = BitsForColors(frame.LocalColors.Count());
    colorCount = frame.LocalColors.Count();
  } else {
    if (image) {
      bits = BitsForColors(image->GlobalColors().Count());
      for (const auto& other : image->Frames) bits = std::max(bits, BitsForColors(other->LocalColors.Count()));
    }
    colorCount = 1 << bits;
  }
  std::unique_ptr<TGIFEncoder> encoder;
  if (image && image->Encoding == TGIFEncoding::RunLength)
    encoder = std::make_unique<TRLEEncoder>();
  else
    encoder = std::make_unique<TLZWEncoder>();
  const auto& pixels = frame.PixelData();
  encoder->Encode(stream, pixels.empty() ? nullptr : pixels.data(), frame.FrameWidth(), frame.FrameHeight(),
                  frame.Interlaced(), bits, colorCount);
}

}  // namespace pelindra
