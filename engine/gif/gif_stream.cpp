#include "engine/gif/gif_stream.h"

#include <algorithm>
#include <cstring>

namespace pelindra {

std::size_t GIFByteStream::Read(void* buffer, std::size_t count) {
  const std::size_t n = std::min(count, Remaining());
  if (n > 0) std::memcpy(buffer, data() + position_, n);
  position_ += n;
  return n;
}

void GIFByteStream::Write(const void* buffer, std::size_t count) {
  if (view_) throw GIFException("Invalid stream operation");
  if (count == 0) return;
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  if (position_ == owned_.size()) {
    owned_.insert(owned_.end(), bytes, bytes + count);
  } else {
    if (position_ + count > owned_.size()) owned_.resize(position_ + count);
    std::memcpy(owned_.data() + position_, bytes, count);
  }
  position_ += count;
  size_ = owned_.size();
}

void GIFByteStream::Seek(std::int64_t delta) {
  const std::int64_t target = std::int64_t(position_) + delta;
  SetPosition(target < 0 ? 0 : std::size_t(target));
}

std::vector<std::uint8_t> GIFByteStream::TakeBytes() {
  std::vector<std::uint8_t> result = std::move(owned_);
  owned_.clear();
  size_ = position_ = 0;
  return result;
}

}  // namespace pelindra
