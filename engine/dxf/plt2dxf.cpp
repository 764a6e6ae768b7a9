#include "engine/dxf/plt2dxf.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <istream>
#include <limits>
#include <sstream>
#include <vector>

#include "engine/base/numbers.h"
#include "engine/dxf/dxf_tag_stream.h"

namespace pelindra {

namespace {

constexpr const char* NL = "\r\n";
constexpr long double mm_per_unit = 0.025L;
constexpr int field_width = 10;
// Where the eight header placeholders begin.
constexpr std::size_t placeholder_offsets[8] = {39, 55, 83, 99, 127, 143, 171, 187};

const char* const header =
    "0\r\nSECTION\r\n2\r\nHEADER\r\n"
    "9\r\n$EXTMIN\r\n10\r\n0000000000\r\n20\r\n0000000000\r\n"
    "9\r\n$EXTMAX\r\n10\r\n0000000000\r\n20\r\n0000000000\r\n"
    "9\r\n$LIMMIN\r\n10\r\n0000000000\r\n20\r\n0000000000\r\n"
    "9\r\n$LIMMAX\r\n10\r\n0000000000\r\n20\r\n0000000000\r\n"
    "0\r\nENDSEC\r\n"
    "0\r\nSECTION\r\n2\r\nENTITIES\r\n";

std::string number(double v) { return formatFloat(v, FloatFormat::Fixed, 18, 3); }

// Bytes of the input, read in blocks; the position is kept for the progress.
class Input {
 public:
  explicit Input(std::istream& in, std::uint64_t size) : in_(in), size_(size) {}
  // The next byte, or -1 at the end or on an error.
  int get() {
    if (pos_ == fill_) {
      if (!in_) return -1;
      in_.read(buffer_, sizeof buffer_);
      fill_ = std::size_t(in_.gcount());
      pos_ = 0;
      if (fill_ == 0) return -1;
    }
    ++consumed_;
    return static_cast<unsigned char>(buffer_[pos_++]);
  }
  std::uint64_t consumed() const { return consumed_; }
  std::uint64_t size() const { return size_; }

 private:
  std::istream& in_;
  std::uint64_t size_;
  char buffer_[16384];
  std::size_t fill_ = 0, pos_ = 0;
  std::uint64_t consumed_ = 0;
};

}  // namespace

std::string dxf_header_field(double value) {
  std::string s;
  for (int decimals = 3; decimals >= 0; --decimals) {
    s = formatFloat(value, FloatFormat::Fixed, 18, decimals);
    if (s.size() <= field_width) return std::string(field_width - s.size(), ' ') + s;
  }
  for (int precision = 6; precision >= 1; --precision) {
    s = formatFloat(value, FloatFormat::Exponent, precision, 2);
    if (s.size() <= field_width) return std::string(field_width - s.size(), ' ') + s;
  }
  return std::string(field_width - 1, ' ') + "0";
}

struct Hpgl_To_Dxf::Run {
  Input& in;
  std::ostream& out;
  double pos_x = 0, pos_y = 0;
  bool relative = false;
  bool in_polyline = false;
  long long vertex_count = 0;
  double ext_min_x = 1e20, ext_min_y = 1e20, ext_max_x = -1e20, ext_max_y = -1e20;
  double tick = 0.5;
  double line_width = 0;
  bool has_params = false;
  int current_char = ' ';
  int instruction = 0;
  bool end_of_input = false;
};

void Hpgl_To_Dxf::run(Run& r) {
  auto next_char = [&r] {
    while (!r.end_of_input) {
      const int c = r.in.get();
      // The end of the input keeps the last character; the scanner stops on
      // end_of_input.
      if (c < 0 || c == 26) {
        r.end_of_input = true;
        if (c == 26) r.current_char = c;
        return;
      }
      r.current_char = c;
      if (c > 32) return;
    }
  };
  auto is_digit = [](int c) { return c >= '0' && c <= '9'; };
  // A run of minus signs and digits, taken as far as it is an integer.
  auto read_number = [&]() -> int {
    bool negative = false, digits = false, valid = true;
    long long v = 0;
    while (!r.end_of_input && (r.current_char == '-' || is_digit(r.current_char))) {
      if (r.current_char == '-') {
        if (digits || negative) valid = false;
        negative = true;
      } else if (valid) {
        digits = true;
        if (v < 1LL << 40) v = v * 10 + (r.current_char - '0');
      }
      next_char();
    }
    v = negative ? -v : v;
    if (v > std::numeric_limits<int>::max()) v = std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) v = std::numeric_limits<int>::min();
    return int(v);
  };
  auto next_instruction = [&]() -> int {
    while (!r.end_of_input && r.current_char < 'A' && !is_digit(r.current_char) && r.current_char != ',') next_char();
    // Nothing but separators up to the end: no instruction.
    if (r.end_of_input && r.current_char < 'A' && !is_digit(r.current_char) && r.current_char != ',') {
      r.has_params = false;
      return 0;
    }
    if (r.current_char >= 'A') {
      const int first = r.current_char;
      int code = 0;
      if (first == 'A') {
        do next_char();
        while (!r.end_of_input && r.current_char >= ',' && r.current_char != ';');
        code = 4;
      } else if (first == 'C' || first == 'P' || first == 'S' || first == 'X' || first == 'Y') {
        next_char();
        const int second = r.end_of_input ? 0 : r.current_char;
        switch (first) {
          case 'C': code = second == 'I' ? 5 : 0; break;
          case 'P': code = second == 'A' ? 1 : second == 'D' ? 2 : second == 'R' ? 3 : second == 'U' ? 4 : 0; break;
          case 'S': code = second == 'C' ? 9 : second == 'P' ? 6 : 0; break;
          case 'X': code = second == 'T' ? 7 : 0; break;
          case 'Y': code = second == 'T' ? 8 : 0; break;
        }
      }
      r.instruction = code;
    }
    next_char();
    if (!r.end_of_input && (r.current_char == '-' || is_digit(r.current_char))) {
      r.has_params = true;
      param1 = read_number();
      if (!r.end_of_input && r.current_char == ',') {
        next_char();
        param2 = read_number();
      }
    } else {
      r.has_params = false;
    }
    return r.instruction;
  };

  std::ostream& out = r.out;
  auto widen = [&r] {
    if (r.pos_x < r.ext_min_x) r.ext_min_x = r.pos_x;
    if (r.pos_y < r.ext_min_y) r.ext_min_y = r.pos_y;
    if (r.pos_x > r.ext_max_x) r.ext_max_x = r.pos_x;
    if (r.pos_y > r.ext_max_y) r.ext_max_y = r.pos_y;
  };
  auto move = [&] {
    const double x = double(param1 * mm_per_unit), y = double(param2 * mm_per_unit);
    if (r.relative) {
      r.pos_x += x;
      r.pos_y += y;
    } else {
      r.pos_x = x;
      r.pos_y = y;
    }
  };
  auto polyline_start = [&] {
    out << "0" << NL << "POLYLINE" << NL << "8" << NL << pen_layer << NL << "66" << NL << "1" << NL << "40" << NL
        << number(r.line_width) << NL << "41" << NL << number(r.line_width) << NL;
  };
  auto vertex = [&](double x, double y) {
    out << "0" << NL << "VERTEX" << NL << "8" << NL << pen_layer << NL << "10" << NL << number(x) << NL << "20" << NL
        << number(y) << NL;
  };
  // A tick joins the open stroke; without one it is a small polyline of its
  // own, since vertices outside a POLYLINE belong to nothing.
  auto tick = [&](double dx, double dy) {
    if (!r.in_polyline) polyline_start();
    vertex(r.pos_x - dx, r.pos_y - dy);
    vertex(r.pos_x + dx, r.pos_y + dy);
    vertex(r.pos_x, r.pos_y);
    if (r.in_polyline)
      r.vertex_count += 3;
    else
      out << "0" << NL << "SEQEND" << NL;
  };
  auto end_polyline = [&] {
    if (!r.in_polyline) return;
    if (r.vertex_count == 1) vertex(r.pos_x + r.line_width, r.pos_y);
    r.in_polyline = false;
    out << "0" << NL << "SEQEND" << NL;
  };

  do {
    switch (next_instruction()) {
      case 1:  // PA
        r.relative = false;
        if (r.has_params) {
          move();
          if (r.in_polyline) {
            vertex(r.pos_x, r.pos_y);
            ++r.vertex_count;
            widen();
          }
        }
        break;
      case 2:  // PD
        if (!r.in_polyline) {
          r.in_polyline = true;
          r.vertex_count = 1;
          out << "0" << NL << "POLYLINE" << NL << "8" << NL << pen_layer << NL << "66" << NL << "1" << NL << "40" << NL
              << number(r.line_width) << NL << "41" << NL << number(r.line_width) << NL;
          vertex(r.pos_x, r.pos_y);
        }
        if (r.has_params) {
          widen();
          move();
          widen();
          vertex(r.pos_x, r.pos_y);
          ++r.vertex_count;
        }
        break;
      case 3:  // PR
        r.relative = true;
        if (r.has_params) {
          move();
          if (r.in_polyline) {
            vertex(r.pos_x, r.pos_y);
            ++r.vertex_count;
            widen();
          }
        }
        break;
      case 4:  // PU, and whatever begins with A
        end_polyline();
        if (r.has_params) move();
        break;
      case 5:  // CI
        end_polyline();
        out << "0" << NL << "CIRCLE" << NL << "8" << NL << pen_layer << NL << "10" << NL << number(r.pos_x) << NL
            << "20" << NL << number(r.pos_y) << NL << "40" << NL << number(double(param1 * mm_per_unit)) << NL;
        break;
      case 6: {  // SP
        static constexpr int colours[8] = {0, 0, 1, 3, 2, 5, 6, 4};
        const int pen = param1;
        const int colour = pen >= 1 && pen <= 7 ? colours[pen] : pen;
        pen_layer = "PEN" + std::to_string(pen) + NL + "62" + NL + std::to_string(colour);
        break;
      }
      case 7:  // XT
        tick(0, r.tick);
        break;
      case 8:  // YT
        tick(r.tick, 0);
        break;
      case 9:  // SC
        r.tick = double((static_cast<long double>(param2) - param1) * 0.000125L);
        break;
      default: break;
    }
    if (process_messages) process_messages();
    const std::uint64_t blocks = r.in.consumed() / 128, size = r.in.size() / 128;
    progress_text =
        std::to_string(tryRoundHalfEven(100.0L * static_cast<long double>(blocks) / (size + 1.0L)).value_or(0)) + "%";
  } while (!r.end_of_input && !cancelled);

  end_polyline();
  out << "0" << NL << "ENDSEC" << NL << "0" << NL << "EOF" << NL;
}

namespace {

// Sets the flag when the conversion ends, whichever way it ends.
struct Finish {
  bool& cancelled;
  ~Finish() { cancelled = true; }
};

std::string patch_text(double min_x, double min_y, double max_x, double max_y) {
  const double values[8] = {min_x, min_y, max_x, max_y, min_x - 10, min_y - 10, max_x + 10, max_y + 10};
  std::string s;
  for (double v : values) s += dxf_header_field(v);
  return s;
}

}  // namespace

std::string Hpgl_To_Dxf::convert(std::span<const std::uint8_t> input) {
  cancelled = false;
  const Finish finish{cancelled};
  std::istringstream in(std::string(input.begin(), input.end()));
  std::ostringstream out;
  out << header;
  Input source(in, input.size());
  Run r{source, out};
  run(r);
  if (cancelled) return {};
  std::string dxf = out.str();
  const std::string fields = patch_text(r.ext_min_x, r.ext_min_y, r.ext_max_x, r.ext_max_y);
  for (int i = 0; i < 8; ++i)
    dxf.replace(placeholder_offsets[i], field_width, fields, std::size_t(i) * field_width, field_width);
  return dxf;
}

void Hpgl_To_Dxf::convert(const std::string& input_path, const std::string& output_path) {
  cancelled = false;
  const Finish finish{cancelled};
  const std::filesystem::path in_path = dxf_path(input_path), out_path = dxf_path(output_path);
  std::ifstream in(in_path, std::ios::binary);
  if (!in) throw std::ios_base::failure("Cannot open file \"" + input_path + "\"");
  std::error_code ec;
  const auto size = std::filesystem::file_size(in_path, ec);
  std::filesystem::path temp = out_path;
  temp += ".part";
  struct Remove_temp {
    const std::filesystem::path& path;
    bool keep = false;
    ~Remove_temp() {
      std::error_code e;
      if (!keep) std::filesystem::remove(path, e);
    }
  } remove_temp{temp};
  std::ofstream out(temp, std::ios::binary | std::ios::trunc);
  if (!out) throw std::ios_base::failure("Cannot create file \"" + output_path + "\"");
  out << header;
  Input source(in, ec ? 0 : size);
  Run r{source, out};
  run(r);
  out.close();
  if (!out) throw std::ios_base::failure("Cannot write file \"" + output_path + "\"");
  if (cancelled) return;
  {
    std::fstream patch(temp, std::ios::binary | std::ios::in | std::ios::out);
    const std::string fields = patch_text(r.ext_min_x, r.ext_min_y, r.ext_max_x, r.ext_max_y);
    for (int i = 0; i < 8; ++i) {
      patch.seekp(std::streamoff(placeholder_offsets[i]));
      patch.write(fields.data() + i * field_width, field_width);
    }
    patch.close();
    if (!patch) throw std::ios_base::failure("Cannot write file \"" + output_path + "\"");
  }
  std::filesystem::rename(temp, out_path, ec);
  if (ec) throw std::ios_base::failure("Cannot write file \"" + output_path + "\"");
  remove_temp.keep = true;
}

Hpgl_To_Dxf& hpgl_to_dxf() {
  static Hpgl_To_Dxf converter;
  return converter;
}

void convert_hpgl_to_dxf(const std::string& input_path, const std::string& output_path) {
  hpgl_to_dxf().convert(input_path, output_path);
}

}  // namespace pelindra
