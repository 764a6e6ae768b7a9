#include "engine/base/numbers.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

namespace pelindra {
namespace {

constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();
constexpr long double kTwo63 = 9223372036854775808.0L;

TEST(Numbers, RoundsHalvesToEven) {
  struct Case {
    long double x;
    std::int64_t expected;
  };
  for (const Case c : {Case{0.5L, 0}, Case{1.5L, 2}, Case{2.5L, 2}, Case{3.5L, 4}, Case{-0.5L, 0}, Case{-1.5L, -2},
                       Case{-2.5L, -2}, Case{2.4999L, 2}, Case{2.5000001L, 3}, Case{-2.6L, -3},
                       Case{1e18L + 0.5L, 1000000000000000000}, Case{1e18L + 1.5L, 1000000000000000002},
                       Case{kTwo63 - 1, std::numeric_limits<std::int64_t>::max()}, Case{-kTwo63, kMin64}}) {
    EXPECT_EQ(roundHalfEven(c.x), c.expected) << double(c.x);
  }
}

TEST(Numbers, RoundingRefusesWhatDoesNotFit) {
  for (const long double x :
       {std::numeric_limits<long double>::quiet_NaN(), std::numeric_limits<long double>::infinity(),
        -std::numeric_limits<long double>::infinity(), kTwo63, -kTwo63 - 2, 1e30L}) {
    EXPECT_FALSE(tryRoundHalfEven(x).has_value()) << double(x);
    EXPECT_THROW(roundHalfEven(x), NumberError) << double(x);
  }
  EXPECT_EQ(roundToInt(-2147483648.4L), -2147483647 - 1);
  EXPECT_THROW(roundToInt(2147483647.5L), NumberError);
  EXPECT_EQ(truncToInt64(-7.9L), -7);
  EXPECT_THROW(truncToInt64(std::numeric_limits<long double>::quiet_NaN()), NumberError);
}

TEST(Numbers, IntegerDivisionTruncatesTowardZero) {
  EXPECT_EQ(divTrunc(-7, 2), -3);
  EXPECT_EQ(divTrunc(7, -2), -3);
  EXPECT_EQ(divTrunc(kMin64, 1), kMin64);
  EXPECT_THROW(divTrunc(1, 0), NumberError);
  EXPECT_THROW(divTrunc(kMin64, -1), NumberError);
}

struct FormatCase {
  long double value;
  FloatFormat format;
  int precision, digits;
  const char* expected;
};

TEST(Numbers, FormatsFloatText) {
  using F = FloatFormat;
  const FormatCase cases[] = {
      // The default text form: general notation, 15 significant digits.
      {1.5L, F::General, 15, 0, "1.5"},
      {0.1, F::General, 15, 0, "0.1"},
      {100, F::General, 15, 0, "100"},
      {-2.5L, F::General, 15, 0, "-2.5"},
      {0, F::General, 15, 0, "0"},
      {-0.0L, F::General, 15, 0, "0"},
      {1.0L / 3, F::General, 15, 0, "0.333333333333333"},
      {2.0L / 3, F::General, 15, 0, "0.666666666666667"},
      {123456789012345.0L, F::General, 15, 0, "123456789012345"},
      {1234567890123456.0L, F::General, 15, 0, "1.23456789012346E15"},
      {999999999999999.9L, F::General, 15, 0, "1E15"},
      {1e20L, F::General, 15, 0, "1E20"},
      {0.00001L, F::General, 15, 0, "0.00001"},
      {0.0000015L, F::General, 15, 0, "1.5E-6"},
      {LDBL_MAX, F::General, 15, 0, "1.18973149535723E4932"},
      {LDBL_TRUE_MIN, F::General, 15, 0, "3.64519953188247E-4951"},
      // Zoom and scale texts: precision 3, at least 2 exponent digits.
      {1, F::General, 3, 2, "1"},
      {0.5L, F::General, 3, 2, "0.5"},
      {1.0625L, F::General, 3, 2, "1.06"},
      {2.675, F::General, 3, 2, "2.67"},  // the double just below 2.675
      {1234, F::General, 3, 2, "1.23E03"},
      {0.000001L, F::General, 3, 2, "1E-06"},
      // Fixed notation: decimals padded, significant digits capped by precision.
      {976.5625L, F::Fixed, 15, 3, "976.563"},
      {1.5L, F::Fixed, 7, 3, "1.500"},
      {1234567, F::Fixed, 7, 3, "1234567.000"},
      {123456.789L, F::Fixed, 7, 3, "123456.800"},
      {12345678, F::Fixed, 7, 3, "1.234568E+07"},
      {9999999.9996L, F::Fixed, 7, 3, "1.000000E+07"},
      {0.125L, F::Fixed, 15, 2, "0.13"},
      {-0.0004L, F::Fixed, 7, 3, "0.000"},
      {-0.0625L, F::Fixed, 7, 3, "-0.063"},
      {0.0005L, F::Fixed, 7, 3, "0.000"},  // the long double just below 0.0005
      {0, F::Fixed, 7, 2, "0.00"},
      {99.96L, F::Fixed, 8, 1, "100.0"},
      {2.5L, F::Fixed, 15, 0, "3"},
      {1.0L / 1024, F::Fixed, 15, 3, "0.001"},
      // Scientific notation.
      {1234.5L, F::Exponent, 5, 2, "1.2345E+03"},
      {0, F::Exponent, 4, 2, "0.000E+00"},
      {-0.00123L, F::Exponent, 3, 0, "-1.23E-3"},
      {1, F::Exponent, 1, 4, "1E+0000"},
      // Values that have no digits.
      {std::numeric_limits<long double>::quiet_NaN(), F::General, 15, 0, "NAN"},
      {std::numeric_limits<long double>::infinity(), F::Fixed, 7, 3, "INF"},
      {-std::numeric_limits<long double>::infinity(), F::Exponent, 7, 3, "-INF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(formatFloat(c.value, c.format, c.precision, c.digits), c.expected)
        << double(c.value) << " format " << int(c.format) << " " << c.precision << "/" << c.digits;
  }
}

TEST(Numbers, UsesTheGivenDecimalSeparator) {
  EXPECT_EQ(fixedText(976.5625L, 3, ','), "976,563");
  EXPECT_EQ(floatText(0.25L, ','), "0,25");
  EXPECT_EQ(formatFloat(12345678, FloatFormat::Fixed, 7, 3, ','), "1,234568E+07");
  EXPECT_EQ(floatText(1.5L), "1.5");
}

TEST(Numbers, ParsesWholeDecimalIntegersOnly) {
  struct Case {
    const char* text;
    std::optional<std::int64_t> expected;
  };
  const Case cases[] = {
      {"0", 0},
      {"+12", 12},
      {"-7", -7},
      {"007", 7},
      {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
      {"-9223372036854775808", kMin64},
      {"9223372036854775808", std::nullopt},
      {"-9223372036854775809", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {" 1", std::nullopt},
      {"1 ", std::nullopt},
      {"1.0", std::nullopt},
      {"0x10", std::nullopt},
      {"+-1", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(parseInt64(c.text), c.expected) << '"' << c.text << '"';
  EXPECT_EQ(parseInt("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(parseInt("2147483648"), std::nullopt);
}

}  // namespace
}  // namespace pelindra
