#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>
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
// The powers of ten up to 10^19, the largest below 2^64: the most fraction
// digits WriteMedium keeps is 19, when the first significant one stands at
// 10^-3.
constexpr auto kPow10 = [] {
  std::array<std::uint64_t, 20> powers{};
  powers[0] = 1;
  for (std::size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 10;
  return powers;
}();

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

// Writes an unsigned integer in decimal and returns the end.
char* WriteInteger(std::uint64_t value, char* out) {
  char reversed[20];
  int n = 0;
  do {
    reversed[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) *out++ = reversed[--n];
  return out;
}

// m x 2^e for kSmallestShown <= magnitude < 2^53, which covers every figure
// a user types. Both roundings are done on integers: the fraction digits up
// to the 17th significant one (at most 19 of them, since the first
// significant digit stands at 10^-3 or higher) fit in 64 bits, and so does
// ten times the binary fraction, since it has at most kMaxFractionBits.
char* WriteMedium(std::uint64_t m, int e, char* out) {
  assert(m >> (detail::kFractionBits + 1) == 0 && e <= 0 && -e <= kMaxFractionBits);
  const int j = -e;
  const std::uint64_t mask = (std::uint64_t{1} << j) - 1;
  std::uint64_t integer = m >> j;
  std::uint64_t fraction = m & mask;

  int significant = 0;
  for (std::uint64_t rest = integer; rest != 0; rest /= 10) ++significant;
  // The kept fraction digits as one integer, leading zeros included.
  std::uint64_t kept = 0;
  std::size_t kept_count = 0;
  for (; significant < kSignificant; ++kept_count) {
    fraction *= 10;
    const std::uint64_t digit = fraction >> j;
    fraction &= mask;
    kept = kept * 10 + digit;
    if (significant > 0 || digit != 0) ++significant;
  }
  // First rounding, half-up by the 18th significant digit, which may carry
  // into the integer.
  assert(kept_count < kPow10.size());
  if (((fraction * 10) >> j) >= 5 && ++kept == kPow10[kept_count]) {
    kept = 0;
    ++integer;
  }
  // Second rounding, by the digit at 10^-3 alone. With 15 or 16 integer
  // digits the 17 reach no further than 10^-2, and that digit is 0.
  std::uint64_t hundredths = 0;
  if (kept_count >= 3) {
    const std::uint64_t step = kPow10[kept_count - 2];
    hundredths = kept / step + (kept % step >= step / 2 ? 1 : 0);
  } else {
    hundredths = kept * kPow10[2 - kept_count];
  }
  if (hundredths == 100) {
    hundredths = 0;
    ++integer;
  }
  out = WriteInteger(integer, out);
  *out++ = '.';
  *out++ = static_cast<char>('0' + hundredths / 10);
  *out++ = static_cast<char>('0' + hundredths % 10);
  return out;
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

// m x 2^e with e > 0: at least 2^53, so its 17 significant digits stand
// at 10^0 or higher, and both decimals and the digit after them are 0.
char* WriteLarge(std::uint64_t m, int e, char* out) {
  Digits17 d{};
  LargeDigits(m, e, d);
  assert(d.exponent >= kSignificant - 2);
  for (int power = d.exponent; power >= 0; --power) {
    const int index = d.exponent - power;
    *out++ = index < kSignificant ? d.digits[index] : '0';
  }
  std::memcpy(out, ".00", 3);
  return out + 3;
}

// Writes a short fixed text such as "nan".
void WriteLiteral(std::string_view literal, ValueText& text) {
  std::memcpy(text.chars, literal.data(), literal.size());
  text.chars[literal.size()] = '\0';
  text.length = literal.size();
}

// Writes a finite value with two decimals.
void WriteFixed(double value, ValueText& text) {
  char* out = text.chars;
  if (value < 0.0) *out++ = '-';
  const double magnitude = std::fabs(value);
  if (magnitude < kSmallestShown) {
    std::memcpy(out, "0.00", 4);
    out += 4;
  } else {
    const detail::Decomposed d = detail::Decompose(magnitude);  // never subnormal here
    out = d.e > 0 ? WriteLarge(d.m, d.e, out) : WriteMedium(d.m, d.e, out);
  }
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
