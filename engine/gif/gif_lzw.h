#pragma once
// LZW coding of GIF image data: the decoder that fills a frame's pixel indices,
// and the two encoders (a hash-table LZW compressor and a run-length coder
// whose output every GIF decoder reads as ordinary LZW).

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "engine/gif/gif_stream.h"

namespace pelindra {

class TGIFSubImage;

// Reads the image data that follows a frame's descriptor and colour table into
// new pixel data of the frame's size.
void DecodeFrame(TGIFSubImage& frame, GIFByteStream& stream);
// Writes a frame's pixel data as LZW image data (code size byte, sub-blocks, terminator).
void EncodeFrame(TGIFSubImage& frame, GIFByteStream& stream);

// A write-only stream that packs bytes into data sub-blocks of up to 255 bytes.
class TGIFWriter {
 public:
  explicit TGIFWriter(GIFByteStream& stream) : stream_(stream) {}
  ~TGIFWriter();
  TGIFWriter(const TGIFWriter&) = delete;
  TGIFWriter& operator=(const TGIFWriter&) = delete;
  void WriteByte(std::uint8_t value) {
    buffer_[1 + count_++] = value;
    if (count_ == 255) Flush();
  }
  void WriteBytes(const std::uint8_t* data, std::size_t n) {
    while (n > 0) {
      const std::size_t take = std::min(n, std::size_t(255 - count_));
      std::memcpy(&buffer_[std::size_t(1 + count_)], data, take);
      count_ += int(take);
      data += take;
      n -= take;
      if (count_ == 255) Flush();
    }
  }
  // A writer cannot be read or positioned.
  [[noreturn]] void Read();
  [[noreturn]] void Seek();
  // Writes what is buffered as a sub-block.
  void Flush();

 private:
  GIFByteStream& stream_;
  std::array<std::uint8_t, 256> buffer_{};
  int count_ = 0;
};

// The common part of both encoders: code packing and the pixel visiting order.
class TGIFEncoder {
 public:
  virtual ~TGIFEncoder() = default;
  // bits: the frame's bit count; colorCount: pixels must be below it.
  void Encode(GIFByteStream& stream, const std::uint8_t* pixels, int width, int height, bool interlace, int bits,
              int colorCount);

 protected:
  virtual void Output(int code);
  virtual void EmitClear();
  virtual void Compress() = 0;
  // Joins a code to the pending bits and passes whole bytes to the writer; the
  // end code flushes the rest as a final byte.
  void Pack(int code) {
    if (pending_bits_ == 0)
      accumulator_ = std::uint32_t(code);
    else
      accumulator_ |= std::uint32_t(code) << pending_bits_;
    pending_bits_ += code_width_;
    while (pending_bits_ >= 8) {
      writer_->WriteByte(std::uint8_t(accumulator_));
      accumulator_ >>= 8;
      pending_bits_ -= 8;
    }
    if (code == end_code_ && pending_bits_ > 0) {
      writer_->WriteByte(std::uint8_t(accumulator_));
      accumulator_ = 0;
      pending_bits_ = 0;
    }
  }
  // The next pixel in visiting order (rows, or the four interlace passes).
  int NextPixel();
  // Moves to the next row in visiting order.
  void NextRow();

  TGIFWriter* writer_ = nullptr;
  int color_count_ = 0;
  int initial_code_size_ = 0;
  int width_ = 0, height_ = 0;
  bool interlace_ = false;
  const std::uint8_t* data_ = nullptr;
  std::uint32_t accumulator_ = 0;
  int pending_bits_ = 0;
  int code_width_ = 0;
  int initial_code_width_ = 0;
  int max_code_ = 0;
  int clear_code_ = 0;
  int end_code_ = 0;
  int first_free_ = 0;
  bool just_cleared_ = false;
  std::int64_t pixels_left_ = 0;
  int row_left_ = 0;
  int row_ = 0;
  int pass_ = 0;
  const std::uint8_t* cursor_ = nullptr;
};

// 8009 slots of (key shl 12) or code, key = (prefix shl 8) or pixel; empty slots are all ones.
class THashTable {
 public:
  static constexpr int kSize = 8009;
  THashTable() { Clear(); }
  void Clear();
  // The code stored for key, or -1; on a miss `empty` is the slot an insert of key takes.
  int Lookup(std::uint32_t key, int& empty) const {
    int slot = int((key ^ (key >> 4)) % kSize);
    const int d = slot == 0 ? 1 : kSize - slot;
    for (;;) {
      const std::uint32_t entry = slots_[std::size_t(slot)];
      if ((entry >> 12) == key) return int(entry & 0xFFF);
      if ((entry >> 12) == 0xFFFFFu) {
        empty = slot;
        return -1;
      }
      slot -= d;
      if (slot < 0) slot += kSize;
    }
  }
  int Lookup(std::uint32_t key) const {
    int empty;
    return Lookup(key, empty);
  }
  // Stores key at a slot found empty by Lookup.
  void Store(int slot, std::uint32_t key, int code) { slots_[std::size_t(slot)] = (key << 12) | std::uint32_t(code); }
  void Insert(std::uint32_t key, int code);

 private:
  std::array<std::uint32_t, kSize> slots_;
};

class TLZWEncoder : public TGIFEncoder {
 protected:
  void Output(int code) override;
  void EmitClear() override;
  void Compress() override;

 private:
  int prefix_ = 0;
  int next_free_ = 0;
  THashTable table_;
};

class TRLEEncoder : public TGIFEncoder {
 protected:
  void Compress() override;

 private:
  void Reset();
  void OutputPlain(int code);
  void FlushRun(std::int64_t count);
  void FromClear(std::int64_t count);
  void ClearOrRepeat(std::int64_t count);
  void WithTable(std::int64_t count);
  void RestoreClearPoint();

  int max_codes_ = 0;
  int bump_point_ = 0, clear_point_ = 0;
  int initial_bump_ = 0, initial_clear_ = 0;
  int out_count_ = 0;
  int table_max_ = 0;
  int table_pixel_ = -1;
  int run_pixel_ = -1;
};

// Codes needed to express a run of n pixels from a fresh table of at most maxCodes codes.
std::int64_t RunTriangle(std::int64_t n, std::int64_t maxCodes);
std::int64_t IntegerSqrt(std::int64_t n);

}  // namespace pelindra
