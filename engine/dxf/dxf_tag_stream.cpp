#include "engine/dxf/dxf_tag_stream.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "engine/base/numbers.h"
#include "engine/dxf/group_codes.h"

namespace pelindra {

std::filesystem::path dxf_path(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

DXF_File_Source::DXF_File_Source(const std::string& path) {
  const std::filesystem::path p = dxf_path(path);
  in_.open(p, std::ios::binary);
  if (!in_) throw std::ios_base::failure("Cannot open file \"" + path + "\"");
  std::error_code ec;
  const auto size = std::filesystem::file_size(p, ec);
  size_ = ec ? 0 : size;
}

void DXF_File_Source::seek(std::uint64_t offset) {
  in_.clear();
  in_.seekg(std::streamoff(offset));
}

std::size_t DXF_File_Source::read(char* to, std::size_t n) {
  if (!in_) return 0;
  in_.read(to, std::streamsize(n));
  return std::size_t(in_.gcount());
}

std::size_t DXF_Memory_Source::read(char* to, std::size_t n) {
  const std::size_t count = std::min(n, bytes_.size() - pos_);
  if (count) std::memcpy(to, bytes_.data() + pos_, count);
  pos_ += count;
  return count;
}

namespace {

std::string_view skip_blanks(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return s.substr(i);
}

}  // namespace

bool parse_dxf_int(std::string_view text, int& out) {
  const auto v = parseInt(skip_blanks(text));
  if (!v) return false;
  out = *v;
  return true;
}

bool parse_dxf_float(std::string_view text, double& out) {
  std::string_view s = skip_blanks(text);
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  // Digits with at most one point, at least one digit, then an optional
  // exponent with at least one digit; from_chars alone would also take
  // "inf", "nan" and a second sign.
  std::size_t i = 0, digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    const std::size_t start = j;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
    if (j == start) return false;
    i = j;
  }
  if (i != s.size()) return false;
  // from_chars takes no leading '+' and, for a leading point, needs a digit
  // before it in some library versions: give it a plain form.
  char buf[300];
  std::size_t n = 0;
  if (s[0] == '.') buf[n++] = '0';
  if (s.size() + n >= sizeof buf) return false;
  std::memcpy(buf + n, s.data(), s.size());
  n += s.size();
  double v = 0;
  const auto r = std::from_chars(buf, buf + n, v);
  if (r.ec != std::errc() || r.ptr != buf + n || !std::isfinite(v)) return false;
  out = negative ? -v : v;
  return true;
}

DXF_Tag_Stream::DXF_Tag_Stream(std::unique_ptr<DXF_Source> source) : source_(std::move(source)) { value_[0] = 0; }

bool DXF_Tag_Stream::refill() {
  buffer_start_ += buffer_fill_;
  buffer_pos_ = 0;
  buffer_fill_ = source_->read(buffer_, buffer_size);
  if (buffer_fill_ == 0) {
    io_error_ = -1;
    return false;
  }
  if (on_refill) on_refill();
  return true;
}

bool DXF_Tag_Stream::read_line() {
  value_length_ = 0;
  char last = 0;
  for (;;) {
    if (buffer_pos_ >= buffer_fill_ && !refill()) break;
    const char* p = buffer_ + buffer_pos_;
    const char* const end = buffer_ + buffer_fill_;
    while (p < end && *p != '\n' && *p != '\r') {
      if (value_length_ < max_value_length) value_[value_length_++] = *p;
      ++p;
    }
    buffer_pos_ = std::size_t(p - buffer_);
    if (p == end) continue;
    last = *p;
    ++buffer_pos_;
    if (last == '\n') break;
    // A CR ends the line only together with the LF after it.
    if (buffer_pos_ >= buffer_fill_ && !refill()) break;
    if (buffer_[buffer_pos_] == '\n') {
      ++buffer_pos_;
      last = '\n';
      break;
    }
  }
  value_[value_length_] = 0;
  ++line_number_;
  return io_error_ == 0 && (last == '\r' || last == '\n');
}

int DXF_Tag_Stream::next_group() {
  if (pushed_back_) {
    pushed_back_ = false;
    return group_code_;
  }
  group_code_ = dxf_code::Failure;
  do {
    if (!read_line()) return group_code_;
  } while (value_length_ == 0);
  int code;
  if (!parse_dxf_int(value(), code)) return group_code_;
  if (!read_line()) return group_code_;
  group_code_ = code;
  return code;
}

void DXF_Tag_Stream::push_back(int code) {
  group_code_ = code;
  pushed_back_ = true;
}

bool DXF_Tag_Stream::value_as_float(double& out) const { return parse_dxf_float(value(), out); }

bool DXF_Tag_Stream::value_as_int(int& out) const { return parse_dxf_int(value(), out); }

void DXF_Tag_Stream::mark() { mark_pos_ = buffer_start_ + buffer_pos_; }

void DXF_Tag_Stream::rewind() {
  source_->seek(mark_pos_);
  buffer_start_ = mark_pos_;
  buffer_fill_ = buffer_pos_ = 0;
  // The end of the file that stopped the rewound step is no longer ahead.
  io_error_ = 0;
}

}  // namespace pelindra
