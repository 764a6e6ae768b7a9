#pragma once
// The byte stream the GIF codec reads and writes: a memory stream with a
// position, like the streams the picture classes of the window side hand over.
// Reading past the end returns fewer bytes; the position may be moved anywhere
// between 0 and the size.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace pelindra {

// Every failure of the GIF codec.
class GIFException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class GIFByteStream {
 public:
  // An empty stream to write into.
  GIFByteStream() = default;
  // A stream over bytes owned by someone else; read-only, no copy is made.
  explicit GIFByteStream(std::span<const std::uint8_t> bytes) : view_(bytes.data()), size_(bytes.size()) {}
  GIFByteStream(const GIFByteStream&) = delete;
  GIFByteStream& operator=(const GIFByteStream&) = delete;

  std::size_t Read(void* buffer, std::size_t count);
  // One byte, or -1 at the end of the stream.
  int ReadByte() {
    if (position_ >= size_) return -1;
    return data()[position_++];
  }
  void Write(const void* buffer, std::size_t count);
  void WriteByte(std::uint8_t value) { Write(&value, 1); }

  std::size_t Position() const { return position_; }
  void SetPosition(std::size_t position) { position_ = position < size_ ? position : size_; }
  // Moves by delta bytes, kept inside 0..Size.
  void Seek(std::int64_t delta);
  std::size_t Size() const { return size_; }
  std::size_t Remaining() const { return size_ - position_; }

  // The written bytes (empty for a read-only view).
  const std::vector<std::uint8_t>& Bytes() const { return owned_; }
  std::vector<std::uint8_t> TakeBytes();
  const std::uint8_t* Data() const { return data(); }

 private:
  const std::uint8_t* data() const { return view_ ? view_ : owned_.data(); }

  const std::uint8_t* view_ = nullptr;
  std::vector<std::uint8_t> owned_;
  std::size_t size_ = 0;
  std::size_t position_ = 0;
};

}  // namespace pelindra
