#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "big_uint.h"
#include "double_bits.h"
#include "value_text.h"

namespace ratecalc {
namespace {

constexpr int kSignificant = 17;
// Large values give up their digits nine at a time: 10^9 < 2^32.
constexpr std::uint32_t kDigitChunk = 1000000000;
constexpr int kDigitsPerChunk = 9;
// 2^-8: below it the digit at 10^-3 is at most 3 even after the first
// rounding, so such values (subnormals among them) show as zero.
constexpr double kSmallestShown = 0.00390625;
// From kSmallestShown up, a 53-bit m x 2^e has at most 52 + 8 fraction
// bits, and ten times such a fraction still fits in 64 bits.
constexpr int kMaxFractionBits = detail::kFractionBits + 8;
static_assert(kMaxFractionBits + 4 <= 64);

// The magnitude rounded half-up to 17 significant digits:
// digits[0].digits[1..16] x 10^exponent.
struct Digits17 {
  char digits[kSignificant];
  int exponent;
};

// Rounds exact digits (digits[0] standing at 10^exponent) half-up to 17.
// Half-up on the exact value is the same as looking at the 18th digit
// alone, since the 18th is at least 5 exactly when the rest is at least
// one half.
void TakeSeventeen(const char* digits, int count, int exponent, Digits17& out) {
  for (int i = 0; i < kSignificant; ++i) out.digits[i] = i < count ? digits[i] : '0';
  out.exponent = exponent;
  if (count > kSignificant && digits[kSignificant] >= '5') {
    int i = kSignificant;
    while (i > 0 && out.digits[i - 1] == '9') out.digits[--i] = '0';
    if (i == 0) {
      out.digits[0] = '1';
      ++out.exponent;
    } else {
      ++out.digits[i - 1];
    }
  }
}

// m x 2^e for kSmallestShown <= value < 2^53, which covers every figure a user types.
// The fraction has at most kMaxFractionBits, so multiplying it by ten stays
// within 64 bits; 18 exact digits are produced.
void MediumDigits(std::uint64_t m, int e, Digits17& out) {
  assert(m >> (detail::kFractionBits + 1) == 0 && e <= 0 && -e <= kMaxFractionBits);
  const int j = -e;
  const std::uint64_t mask = (std::uint64_t{1} << j) - 1;
  std::uint64_t integer = m >> j;
  std::uint64_t fraction = m & mask;
  char digits[kSignificant + 1];
  int count = 0;
  int exponent = -1;
  if (integer != 0) {
    char reversed[20];
    int n = 0;
    for (; integer != 0; integer /= 10) reversed[n++] = static_cast<char>('0' + integer % 10);
    exponent = n - 1;
    // At most 16 integer digits below 2^53; the bound is for the compiler.
    while (n > 0 && count <= kSignificant) digits[count++] = reversed[--n];
  } else {
    for (fraction *= 10; (fraction >> j) == 0; fraction *= 10) --exponent;
    digits[count++] = static_cast<char>('0' + (fraction >> j));
    fraction &= mask;
  }
  for (; count <= kSignificant; ++count) {
    fraction *= 10;
    digits[count] = static_cast<char>('0' + (fraction >> j));
    fraction &= mask;
  }
  TakeSeventeen(digits, count, exponent, out);
}

// m x 2^e with e > 0: an integer, whose exact digits come from a big
// integer nine at a time.
void LargeDigits(std::uint64_t m, int e, Digits17& out) {
  detail::BigUint value(m);
  value.ShiftLeft(e);
  char reversed[kMaxIntegerDigits + kDigitsPerChunk];
  int count = 0;
  while (!value.IsZero()) {
    std::uint32_t chunk = value.DivRem(kDigitChunk);
    for (int i = 0; i < kDigitsPerChunk; ++i, chunk /= 10)
      reversed[count++] = static_cast<char>('0' + chunk % 10);
  }
  while (count > 1 && reversed[count - 1] == '0') --count;
  char digits[kMaxIntegerDigits + kDigitsPerChunk];
  for (int i = 0; i < count; ++i) digits[i] = reversed[count - 1 - i];
  TakeSeventeen(digits, count, count - 1, out);
}

Digits17 RoundTo17Digits(double magnitude) {
  Digits17 out{};
  if (magnitude < kSmallestShown) {
    std::memset(out.digits, '0', kSignificant);
    out.exponent = 0;
    return out;
  }
  const detail::Decomposed d = detail::Decompose(magnitude);  // never subnormal here
  if (d.e > 0) {
    LargeDigits(d.m, d.e, out);
  } else {
    MediumDigits(d.m, d.e, out);
  }
  return out;
}

// Writes a short fixed text such as "nan".
void WriteLiteral(std::string_view literal, ValueText& text) {
  std::memcpy(text.chars, literal.data(), literal.size());
  text.chars[literal.size()] = '\0';
  text.length = literal.size();
}

// Writes a finite value with two decimals.
void WriteFixed(double value, ValueText& text) {
  const Digits17 d = RoundTo17Digits(std::fabs(value));
  const auto digit_at = [&d](int power) {
    const int index = d.exponent - power;
    return index >= 0 && index < kSignificant ? d.digits[index] : '0';
  };

  // Digits for the powers top..-2, with room for a carry in front, then the
  // second rounding by the digit at 10^-3 alone.
  const int top = d.exponent > 0 ? d.exponent : 0;
  char digits[kMaxIntegerDigits + 3];
  char* const first = digits + 1;
  char* const end = first + top + 3;
  for (int power = top; power >= -2; --power) first[top - power] = digit_at(power);
  char* begin = first;
  if (digit_at(-3) >= '5') {
    char* p = end;
    while (p > first && p[-1] == '9') *--p = '0';
    if (p == first) {
      *--begin = '1';
    } else {
      ++p[-1];
    }
  }

  char* out = text.chars;
  if (value < 0.0) *out++ = '-';
  const std::size_t integer_digits = static_cast<std::size_t>(end - begin - 2);
  std::memcpy(out, begin, integer_digits);
  out += integer_digits;
  *out++ = '.';
  *out++ = end[-2];
  *out++ = end[-1];
  *out = '\0';
  text.length = static_cast<std::size_t>(out - text.chars);
}

}  // namespace

ValueText FormatValueText(double value) {
  // Written only up to its terminator, and one object on every path so that
  // it is built in the caller's place: clearing or copying the whole buffer,
  // sized for DBL_MAX, cost more than the conversion itself.
  ValueText text;
  if (std::isnan(value)) {
    WriteLiteral("nan", text);
  } else if (std::isinf(value)) {
    WriteLiteral(value < 0.0 ? "-inf" : "inf", text);
  } else {
    WriteFixed(value, text);
  }
  return text;
}

}  // namespace ratecalc
