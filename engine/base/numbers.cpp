#include "engine/base/numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

namespace pelindra {

namespace {

// 2^63 is exact in every long double; the int64 range is [-2^63, 2^63).
constexpr long double kTwo63 = 9223372036854775808.0L;

bool fitsInt64(long double r) { return r >= -kTwo63 && r < kTwo63; }

}  // namespace

std::optional<std::int64_t> tryRoundHalfEven(long double x) {
  if (!std::isfinite(x)) return std::nullopt;
  long double r = std::floor(x);
  // x - floor(x) is exact, so the comparison with one half is too.
  const long double fraction = x - r;
  if (fraction > 0.5L || (fraction == 0.5L && std::fmod(r, 2.0L) != 0)) r += 1;
  if (!fitsInt64(r)) return std::nullopt;
  return static_cast<std::int64_t>(r);
}

std::int64_t roundHalfEven(long double x) {
  if (const auto r = tryRoundHalfEven(x)) return *r;
  throw NumberError("invalid floating point operation");
}

int roundToInt(long double x) {
  const std::int64_t r = roundHalfEven(x);
  if (r < std::numeric_limits<int>::min() || r > std::numeric_limits<int>::max())
    throw NumberError("invalid floating point operation");
  return int(r);
}

std::int64_t truncToInt64(long double x) {
  if (!std::isfinite(x)) throw NumberError("invalid floating point operation");
  const long double r = std::trunc(x);
  if (!fitsInt64(r)) throw NumberError("invalid floating point operation");
  return static_cast<std::int64_t>(r);
}

std::int64_t divTrunc(std::int64_t a, std::int64_t b) {
  if (b == 0) throw NumberError("division by zero");
  if (a == std::numeric_limits<std::int64_t>::min() && b == -1) throw NumberError("integer overflow");
  return a / b;
}

namespace {

// The exact decimal expansion of a finite, non-zero magnitude: value =
// 0.digits x 10^exponent, digits without leading or trailing zeros.
struct Decimal {
  std::string digits;
  int exponent = 0;
};

// Unsigned big number in base 10^9, least significant limb first.
class BigDecimal {
 public:
  explicit BigDecimal(std::uint64_t v) {
    do {
      limbs_.push_back(std::uint32_t(v % kBase));
      v /= kBase;
    } while (v != 0);
  }
  void multiply(std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (auto& limb : limbs_) {
      const std::uint64_t t = std::uint64_t(limb) * factor + carry;
      limb = std::uint32_t(t % kBase);
      carry = t / kBase;
    }
    while (carry != 0) {
      limbs_.push_back(std::uint32_t(carry % kBase));
      carry /= kBase;
    }
  }
  // factor^count, in chunks that keep each product below 2^64.
  void multiplyPower(std::uint32_t factor, int chunkCount, int count) {
    std::uint32_t big = 1;
    for (int i = 0; i < chunkCount; ++i) big *= factor;
    for (; count >= chunkCount; count -= chunkCount) multiply(big);
    for (; count > 0; --count) multiply(factor);
  }
  std::string text() const {
    std::string s = std::to_string(limbs_.back());
    for (auto it = limbs_.rbegin() + 1; it != limbs_.rend(); ++it) {
      const std::string part = std::to_string(*it);
      s.append(9 - part.size(), '0');
      s += part;
    }
    return s;
  }

 private:
  static constexpr std::uint64_t kBase = 1000000000;
  std::vector<std::uint32_t> limbs_;
};

Decimal exactDecimal(long double magnitude) {
  int e = 0;
  const long double f = std::frexp(magnitude, &e);
  // Every long double mantissa has at most 64 bits, so this is exact.
  std::uint64_t m = static_cast<std::uint64_t>(std::ldexp(f, 64));
  int p = e - 64;
  while ((m & 1u) == 0 && p < 0) m >>= 1, ++p;
  BigDecimal n(m);
  int decimalShift = 0;
  if (p > 0) {
    n.multiplyPower(2, 30, p);
  } else if (p < 0) {
    // m / 2^k = m * 5^k / 10^k
    n.multiplyPower(5, 13, -p);
    decimalShift = p;
  }
  Decimal d;
  d.digits = n.text();
  d.exponent = int(d.digits.size()) + decimalShift;
  while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

// Keeps the first `keep` digits, rounding halves away from zero. The result
// may be empty (the value rounds to zero).
void roundTo(Decimal& d, int keep) {
  if (keep >= int(d.digits.size())) return;
  if (keep < 0) {
    d.digits.clear();
    return;
  }
  const bool up = d.digits[std::size_t(keep)] >= '5';
  d.digits.resize(std::size_t(keep));
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[std::size_t(i)] == '9') d.digits[std::size_t(i--)] = '0';
    if (i >= 0) {
      ++d.digits[std::size_t(i)];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exponent;
    }
  }
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
}

char digitAt(const Decimal& d, int i) { return i >= 0 && i < int(d.digits.size()) ? d.digits[std::size_t(i)] : '0'; }

std::string exponentText(int exponent, int minDigits, bool plusSign) {
  std::string s = exponent < 0 ? "-" : (plusSign ? "+" : "");
  const std::string n = std::to_string(std::abs(exponent));
  s.append(std::size_t(std::max(0, minDigits - int(n.size()))), '0');
  return s + n;
}

// d.ddd...E+dd with `count` digits of the (already rounded) decimal.
std::string scientific(const Decimal& d, int count, bool trimZeros, int expDigits, bool plusSign, char sep) {
  std::string mantissa(1, digitAt(d, 0));
  std::string rest;
  for (int i = 1; i < count; ++i) rest += digitAt(d, i);
  if (trimZeros)
    while (!rest.empty() && rest.back() == '0') rest.pop_back();
  if (!rest.empty()) mantissa += sep + rest;
  const int exponent = d.digits.empty() ? 0 : d.exponent - 1;
  return mantissa + "E" + exponentText(exponent, expDigits, plusSign);
}

}  // namespace

std::string formatFloat(long double value, FloatFormat format, int precision, int digits, char decimalSeparator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  precision = std::clamp(precision, 1, 18);
  digits = std::clamp(digits, 0, format == FloatFormat::Fixed ? 18 : 4);
  const char sep = decimalSeparator;

  Decimal d;
  if (value != 0) d = exactDecimal(std::fabs(value));
  switch (format) {
    case FloatFormat::General: roundTo(d, precision); break;
    case FloatFormat::Exponent: roundTo(d, precision); break;
    case FloatFormat::Fixed: roundTo(d, std::min(precision, d.exponent + digits)); break;
  }
  const std::string sign = (value < 0 && !d.digits.empty()) ? "-" : "";

  switch (format) {
    case FloatFormat::Exponent: return sign + scientific(d, precision, false, digits, true, sep);
    case FloatFormat::General: {
      if (d.digits.empty()) return "0";
      if (d.exponent > precision || d.exponent < -4) return sign + scientific(d, precision, true, digits, false, sep);
      std::string s = sign;
      if (d.exponent <= 0) {
        s += '0';
        s += sep;
        s.append(std::size_t(-d.exponent), '0');
        return s + d.digits;
      }
      for (int i = 0; i < d.exponent; ++i) s += digitAt(d, i);
      if (int(d.digits.size()) > d.exponent) s += sep + d.digits.substr(std::size_t(d.exponent));
      return s;
    }
    case FloatFormat::Fixed: {
      if (!d.digits.empty() && d.exponent > precision) return sign + scientific(d, precision, false, 2, true, sep);
      std::string s = sign;
      if (d.digits.empty() || d.exponent <= 0) s += '0';
      for (int i = 0; i < d.exponent; ++i) s += digitAt(d, i);
      if (digits > 0) {
        s += sep;
        const int first = d.digits.empty() ? 0 : d.exponent;
        for (int i = 0; i < digits; ++i) s += d.digits.empty() ? '0' : digitAt(d, first + i);
      }
      return s;
    }
  }
  return {};
}

std::string floatText(long double value, char decimalSeparator) {
  return formatFloat(value, FloatFormat::General, 15, 0, decimalSeparator);
}

std::string fixedText(long double value, int decimals, char decimalSeparator) {
  return formatFloat(value, FloatFormat::Fixed, 15, decimals, decimalSeparator);
}

std::optional<std::int64_t> parseInt64(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  // Accumulate the magnitude; the negative range is one larger.
  const std::uint64_t limit = negative ? std::uint64_t(1) << 63 : (std::uint64_t(1) << 63) - 1;
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    const unsigned digit = unsigned(c - '0');
    if (magnitude > (limit - digit) / 10) return std::nullopt;
    magnitude = magnitude * 10 + digit;
  }
  if (negative)
    return magnitude == (std::uint64_t(1) << 63) ? std::numeric_limits<std::int64_t>::min() : -std::int64_t(magnitude);
  return std::int64_t(magnitude);
}

std::optional<int> parseInt(std::string_view text) {
  const auto v = parseInt64(text);
  if (!v || *v < std::numeric_limits<int>::min() || *v > std::numeric_limits<int>::max()) return std::nullopt;
  return int(*v);
}

}  // namespace pelindra
