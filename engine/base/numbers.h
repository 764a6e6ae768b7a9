#pragma once
// Rounding, integer division and number text as the whole program uses them.
// Calculations run in long double; these helpers turn results into integers
// and into the text shown to the user without undefined behaviour for values
// that do not fit (NaN, infinities, out of range).

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pelindra {

// A number that cannot be represented where it was asked for: NaN, an
// infinity, a value outside the target integer range, or a division by zero.
class NumberError : public std::domain_error {
 public:
  using std::domain_error::domain_error;
};

// Nearest integer, halves going to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2). Empty for NaN, infinities and results outside the int64 range.
std::optional<std::int64_t> tryRoundHalfEven(long double x);
// The same, throwing NumberError where tryRoundHalfEven gives nothing.
std::int64_t roundHalfEven(long double x);
// The same, for results that must fit an int (pixel coordinates, sizes).
int roundToInt(long double x);

// Integer part, truncated toward zero. Throws NumberError for NaN, infinities
// and values outside the int64 range.
std::int64_t truncToInt64(long double x);

// a / b truncated toward zero (-7 / 2 = -3), as the built-in division does,
// but a zero divisor and the one overflowing quotient (INT64_MIN / -1) throw
// NumberError instead of being undefined.
std::int64_t divTrunc(std::int64_t a, std::int64_t b);

enum class FloatFormat {
  // The shorter of fixed and scientific: `precision` significant digits,
  // trailing zeros removed, a decimal separator only when needed. Scientific
  // ("1.5E20", "1.5E-7") when the integer part needs more than `precision`
  // digits or the value is below 0.00001; the exponent has a sign only when
  // negative and at least `digits` digits (0 to 4).
  General,
  // `digits` decimals (0 to 18), at most `precision` significant digits (the
  // rest padded with zeros). When the integer part needs more than
  // `precision` digits the value comes out as in Exponent with two exponent
  // digits instead ("1.234568E+07" for 12345678 with precision 7).
  Fixed,
  // "d.ddd...E+dd": `precision` digits in all, the exponent always signed and
  // at least `digits` digits (0 to 4).
  Exponent,
};

// Decimal text of a value. Digits come from the exact binary value rounded
// once, halves away from zero (976.5625 with 3 decimals is "976.563").
// Precision is taken between 1 and 18. NaN and the infinities read "NAN",
// "INF" and "-INF". A value whose shown digits are all zero has no minus sign.
std::string formatFloat(long double value, FloatFormat format, int precision, int digits, char decimalSeparator = '.');

// The default text of a floating-point value: general, 15 significant digits
// ("1.5", "0.1", "1E20").
std::string floatText(long double value, char decimalSeparator = '.');
// Fixed notation with the given decimals and 15 significant digits at most.
std::string fixedText(long double value, int decimals, char decimalSeparator = '.');

// A whole string of decimal digits with an optional leading sign ("+12",
// "-7", "007"). Empty for anything else: blanks, other characters, an empty
// string, or a value outside the result type.
std::optional<std::int64_t> parseInt64(std::string_view text);
std::optional<int> parseInt(std::string_view text);

}  // namespace pelindra
