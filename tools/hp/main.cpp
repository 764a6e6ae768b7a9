// "HP": converts a plotter file in any HP-GL or HP-GL/2 dialect into the plain
// HPGL the CAD viewer reads.
//
//   Hp -a<N> <input> <output>
//
// -a<N> names the sheet the plotter is taken to be loaded with, A0 to A4:
// until the file sets its own scaling points (IP, IR) or plot size (PS), P1
// lies at the origin and P2 at the upper right corner of that sheet in portrait
// (A0: 33600 x 47520 plotter units), which is where user scaling (SC) maps the
// drawing. Curves are drawn as chords that stay within 0.05 mm of the true
// curve. The viewer passes -a0.
//
// The output starts with "IN;" and holds only SP, PU and PD with one pair, PG
// and VS. Exit codes: 0 converted, 1 unreadable input (no output file is left),
// 2 wrong usage.

#include <cstdio>
#include <string>
#include <string_view>

#include "engine/hpgl/normalizer.h"
#include "tools/hp/converter_io.h"

int wmain(int argc, wchar_t** argv) {
  const std::wstring option = argc > 1 ? argv[1] : L"";
  if (argc != 4 || option.size() != 3 || option.compare(0, 2, L"-a") != 0 || option[2] < L'0' || option[2] > L'4') {
    std::fputs("usage: Hp -a<0-4> <input> <output>\n", stderr);
    return 2;
  }
  const std::wstring input = argv[2], output = argv[3];
  return pelindra::converter::Run("Hp", output, [&] {
    pelindra::HpglNormalizeLimits limits;
    const auto bytes = pelindra::converter::ReadInput(input, limits.maxInputBytes);
    pelindra::HpglNormalizeOptions options;
    options.sheet = option[2] - L'0';
    const std::string plain = pelindra::NormalizeHpgl(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), options, limits);
    pelindra::converter::WriteOutput(output,
                                     std::span(reinterpret_cast<const std::uint8_t*>(plain.data()), plain.size()));
  });
}
