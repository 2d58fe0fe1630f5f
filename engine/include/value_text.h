// The two-decimal text form of every amount and percentage, shared by the
// window fields and the settings file so that both always show the figure
// the calculation used.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

namespace ratecalc {

// The window fields and the settings file hold a value's text in buffers of
// this many characters and a terminator: no more of it is ever read back.
inline constexpr std::size_t kMaxValueTextLength = 79;

// The integer digits FormatValue may write: DBL_MAX's, plus one for a carry
// of the rounding.
inline constexpr std::size_t kMaxIntegerDigits = std::numeric_limits<double>::max_exponent10 + 2;
inline constexpr std::size_t kDecimals = 2;

// The longest text FormatValue gives: a sign, kMaxIntegerDigits, a point and
// the decimals.
inline constexpr std::size_t kMaxFormattedLength = 1 + kMaxIntegerDigits + 1 + kDecimals;

// A formatted value in place, so that product code formats without the heap
// and without anything that could throw.
struct ValueText {
  char chars[kMaxFormattedLength + 1];  // NUL-terminated
  std::size_t length;
  std::string_view view() const { return {chars, length}; }
  const char* c_str() const { return chars; }
};

// Fixed notation with exactly two decimals, "-" for negative values and no
// other decoration. The value is first rounded half-up to 17 significant
// digits, then to two decimals by the digit after the second alone, so a
// double stored just below a decimal tie (1.075) rounds like the tie.
// Every magnitude is written in full (1e100 gives 104 characters).
// Non-finite values give "inf", "-inf" and "nan", which read back as 0.
ValueText FormatValueText(double value);

// The same text as a std::string, for tests and tools. Inline, so that a
// program that does not call it links nothing of std::string for it.
inline std::string FormatValue(double value) { return std::string(FormatValueText(value).view()); }

// Reads the longest prefix of `text` that is a number: optional white
// space, an optional sign, digits with at most one ".", and an optional
// exponent introduced by e, E, d or D. Text without such a prefix reads as
// 0. The result is the double nearest to the decimal value, an exact tie
// going to the one nearer zero; at most 24 significant digits take part
// (later ones are dropped). Out-of-range values give an infinity or a
// subnormal or zero. Independent of the locale.
double ParseValue(std::string_view text);

}  // namespace ratecalc
