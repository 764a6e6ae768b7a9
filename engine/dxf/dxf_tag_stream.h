#pragma once
// The lowest layer of DXF reading: a buffered stream of text lines grouped
// into (code, value) pairs, with a mark that reading can be rewound to.
//
// Lines end with LF or CR LF; a CR that is not followed by LF is dropped and
// the line goes on. Only the first 255 characters of a line are kept. A last
// line without a line break does not count as read.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pelindra {

// A path given as UTF-8 text, on every platform.
std::filesystem::path dxf_path(const std::string& utf8);

// Where the bytes come from.
class DXF_Source {
 public:
  virtual ~DXF_Source() = default;
  virtual std::uint64_t size() const = 0;
  virtual void seek(std::uint64_t offset) = 0;
  // Up to n bytes from the current position; 0 at the end. An I/O failure
  // counts as the end.
  virtual std::size_t read(char* to, std::size_t n) = 0;
};

class DXF_File_Source : public DXF_Source {
 public:
  // The path is UTF-8. Throws std::ios_base::failure when the file cannot be
  // opened.
  explicit DXF_File_Source(const std::string& path);
  std::uint64_t size() const override { return size_; }
  void seek(std::uint64_t offset) override;
  std::size_t read(char* to, std::size_t n) override;

 private:
  std::ifstream in_;
  std::uint64_t size_ = 0;
};

class DXF_Memory_Source : public DXF_Source {
 public:
  // The bytes must outlive the source.
  explicit DXF_Memory_Source(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  void seek(std::uint64_t offset) override { pos_ = offset < bytes_.size() ? offset : bytes_.size(); }
  std::size_t read(char* to, std::size_t n) override;

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

class DXF_Tag_Stream {
 public:
  static constexpr std::size_t buffer_size = 4096;
  static constexpr std::size_t max_value_length = 255;

  explicit DXF_Tag_Stream(std::unique_ptr<DXF_Source> source);

  // Code of the next group, whose value line becomes current. Empty lines
  // before the code line are skipped; a code line may have leading blanks and
  // nothing else besides the number. The end of the file or a malformed code
  // line gives dxf_code::Failure (-2).
  int next_group();
  // The current group is returned once more by the next next_group.
  void push_back(int code);
  bool pushed_back() const { return pushed_back_; }

  int group_code() const { return group_code_; }
  std::string_view value() const { return {value_, value_length_}; }
  bool value_is(std::string_view s) const { return value() == s; }
  // The current value as a number: leading blanks allowed, nothing after the
  // number. Empty when the value is no such number.
  bool value_as_float(double& out) const;
  bool value_as_int(int& out) const;

  // Lines read so far, code and value lines alike; rewinding does not count back.
  int line_number() const { return line_number_; }
  // 0, or -1 once the end of the file was reached.
  int io_error() const { return io_error_; }

  // Reading resumes at the mark after a rewind.
  void mark();
  void rewind();

  std::uint64_t file_size() const { return source_->size(); }
  // File offset just past the bytes in the buffer.
  std::uint64_t position() const { return buffer_start_ + buffer_fill_; }
  // Called after every buffer fill.
  std::function<void()> on_refill;

 private:
  bool refill();
  bool read_line();

  std::unique_ptr<DXF_Source> source_;
  char buffer_[buffer_size];
  std::size_t buffer_fill_ = 0;
  std::size_t buffer_pos_ = 0;
  std::uint64_t buffer_start_ = 0;
  std::uint64_t mark_pos_ = 0;
  int io_error_ = 0;
  int group_code_ = 0;
  char value_[max_value_length + 1];
  std::size_t value_length_ = 0;
  int line_number_ = 0;
  bool pushed_back_ = false;
};

// Number conversion of DXF values and code lines: leading blanks (spaces and
// tabs) allowed, an optional sign, and nothing after the number. Floats take a
// decimal point and an exponent; no "inf", "nan" or hexadecimal forms.
bool parse_dxf_float(std::string_view text, double& out);
bool parse_dxf_int(std::string_view text, int& out);

}  // namespace pelindra
