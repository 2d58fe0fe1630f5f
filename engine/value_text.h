// The two-decimal text form of every amount and percentage, shared by the
// window fields and the settings file so that both always show the figure
// the calculation used.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ratecalc {

// A value's text is held in 80-character buffers, terminator included, by
// the window fields and the settings file: at most this many characters of
// it are ever read back.
inline constexpr std::size_t kMaxValueTextLength = 79;

// Fixed notation with exactly two decimals, "-" for negative values and no
// other decoration. The value is first rounded half-up to 17 significant
// digits, then to two decimals by the digit after the second alone, so a
// double stored just below a decimal tie (1.075) rounds like the tie.
// Every magnitude is written in full (1e100 gives 104 characters).
// Non-finite values give "inf", "-inf" and "nan", which read back as 0.
std::string FormatValue(double value);

// Reads the longest prefix of `text` that is a number: optional white
// space, an optional sign, digits with at most one ".", and an optional
// exponent introduced by e, E, d or D. Text without such a prefix reads as
// 0. The result is the double nearest to the decimal value, an exact tie
// going to the one nearer zero; at most 24 significant digits take part
// (later ones are dropped). Out-of-range values give an infinity or a
// subnormal or zero. Independent of the locale.
double ParseValue(std::string_view text);

}  // namespace ratecalc
