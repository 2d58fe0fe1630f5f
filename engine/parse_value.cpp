#include <cmath>
#include <cstdint>
#include <limits>

#include "big_uint.h"
#include "double_bits.h"
#include "value_text.h"

namespace ratecalc {
namespace {

// Significant digits that take part; later ones only move the scale.
constexpr int kMaxDigits = 24;
// Any 19 decimal digits fit in 64 bits (10^19 - 1 < 2^64).
constexpr int kLeadingDigits = 19;
// Any 15 decimal digits are an exact double (10^15 < 2^53).
constexpr int kExactDoubleDigits = 15;
// 10^22 is the largest power of ten that is an exact double (5^22 < 2^53).
constexpr int kMaxExactPow10 = 22;
// Decimal exponents of the leading digit beyond which the answer is known:
// above 10^310 every value overflows (DBL_MAX is about 1.8e308), below
// 10^-330 every value rounds to zero (the least subnormal is about 4.9e-324).
// The margins also keep the exact comparison inside BigUint's capacity.
constexpr std::int64_t kOverflowLeadExponent = 310;
constexpr std::int64_t kUnderflowLeadExponent = -330;
// Steps from the approximation to the nearest double: a few are ever taken.
constexpr int kMaxSteps = 64;
// Exponent texts are clamped here; anything beyond is out of range anyway.
constexpr std::int64_t kExponentClamp = 100000000;
// The powers of ten that are exact doubles.
constexpr double kPow10[kMaxExactPow10 + 1] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

using detail::BitsOf;
using detail::Decompose;
using detail::Decomposed;
using detail::FromBits;

// The number as the grammar read it: digits x 10^exponent, with leading
// zeros dropped and at most kMaxDigits significant digits kept.
struct DecimalText {
  char digits[kMaxDigits];
  int count = 0;
  std::uint64_t leading = 0;  // the first kLeadingDigits digits as an integer
  std::int64_t exponent = 0;
  bool negative = false;
};

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsExponentLetter(char c) { return c == 'e' || c == 'E' || c == 'd' || c == 'D'; }

// Reads an exponent part at `i` if one is there in full; returns its value,
// or 0 and leaves `i` alone when the letter is not followed by digits.
std::int64_t ReadExponent(std::string_view text, std::size_t& i) {
  std::size_t j = i;
  if (j >= text.size()) return 0;
  if (!IsExponentLetter(text[j])) return 0;
  ++j;
  bool negative = false;
  if (j < text.size() && (text[j] == '+' || text[j] == '-')) negative = text[j++] == '-';
  if (j >= text.size() || !IsDigit(text[j])) return 0;
  std::int64_t value = 0;
  for (; j < text.size() && IsDigit(text[j]); ++j) {
    if (value < kExponentClamp) value = value * 10 + (text[j] - '0');
  }
  i = j;
  return negative ? -value : value;
}

void AddDigit(DecimalText& out, char c, bool fractional) {
  if (out.count == 0 && c == '0') {
    if (fractional) --out.exponent;
  } else if (out.count < kMaxDigits) {
    if (out.count < kLeadingDigits)
      out.leading = out.leading * 10 + static_cast<std::uint64_t>(c - '0');
    out.digits[out.count++] = c;
    if (fractional) --out.exponent;
  } else if (!fractional) {
    ++out.exponent;  // dropped integer digits still raise the scale
  }
}

// False when the text has no number prefix at all.
bool ReadDecimal(std::string_view text, DecimalText& out) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n && IsSpace(text[i])) ++i;
  if (i < n && (text[i] == '+' || text[i] == '-')) out.negative = text[i++] == '-';
  const std::size_t mantissa_start = i;
  for (; i < n && IsDigit(text[i]); ++i) AddDigit(out, text[i], false);
  std::size_t digit_count = i - mantissa_start;
  if (i < n && text[i] == '.') {
    const std::size_t fraction_start = ++i;
    for (; i < n && IsDigit(text[i]); ++i) AddDigit(out, text[i], true);
    digit_count += i - fraction_start;
  }
  if (digit_count == 0) return false;
  out.exponent += ReadExponent(text, i);
  return true;
}

// Trailing zeros only lengthen the digits; the exact paths want them gone.
void DropTrailingZeros(DecimalText& d) {
  while (d.count > 0 && d.digits[d.count - 1] == '0') {
    if (d.count <= kLeadingDigits) d.leading /= 10;
    --d.count;
    ++d.exponent;
  }
}

// The sign of (decimal - m x 2^e), decided exactly: digits x 5^p x 2^p
// against m x 2^e with the negative powers moved across. The callers' range
// keeps both sides below 2^900.
int CompareWithDyadic(const DecimalText& d, std::uint64_t m, int e) {
  detail::BigUint lhs(0);
  for (int i = 0; i < d.count; ++i) lhs.MulAdd(10, static_cast<std::uint32_t>(d.digits[i] - '0'));
  detail::BigUint rhs(m);
  const int p = static_cast<int>(d.exponent);
  if (p >= 0) {
    lhs.MulPow5(p);
  } else {
    rhs.MulPow5(-p);
  }
  if (p > e) {
    lhs.ShiftLeft(p - e);
  } else {
    rhs.ShiftLeft(e - p);
  }
  return Compare(lhs, rhs);
}

struct Dyadic {
  std::uint64_t m;
  int e;
};

// The points halfway between a non-negative double and its neighbours.
Dyadic MidpointAbove(double r) {
  const Decomposed d = Decompose(r);
  return {2 * d.m + 1, d.e - 1};
}

Dyadic MidpointBelow(double r) {
  const Decomposed d = Decompose(r);
  if (d.binade_start) return {4 * d.m - 1, d.e - 2};
  return {2 * d.m - 1, d.e - 1};
}

// A double within a few units in the last place of the decimal: its leading
// digits scaled by exact powers of ten, one rounding per step.
double Approximate(const DecimalText& d) {
  double a = static_cast<double>(d.leading);
  int p = static_cast<int>(d.exponent) + (d.count > kLeadingDigits ? d.count - kLeadingDigits : 0);
  for (; p > kMaxExactPow10; p -= kMaxExactPow10) a *= kPow10[kMaxExactPow10];
  for (; p < -kMaxExactPow10; p += kMaxExactPow10) a /= kPow10[kMaxExactPow10];
  a = p >= 0 ? a * kPow10[p] : a / kPow10[-p];
  if (std::isinf(a)) a = std::numeric_limits<double>::max();
  return a;
}

// The nearest double, ties toward zero, by stepping from the approximation
// until the decimal lies between the midpoints around it. The approximation
// is off by a few steps at most; kMaxSteps only guards against a hang.
double NearestDouble(const DecimalText& d) {
  double r = Approximate(d);
  for (int step = 0; step < kMaxSteps; ++step) {
    const Dyadic above = MidpointAbove(r);
    if (CompareWithDyadic(d, above.m, above.e) > 0) {
      if (r == std::numeric_limits<double>::max()) return std::numeric_limits<double>::infinity();
      r = FromBits(BitsOf(r) + 1);
      continue;
    }
    if (r > 0.0) {
      const Dyadic below = MidpointBelow(r);
      if (CompareWithDyadic(d, below.m, below.e) <= 0) {
        r = FromBits(BitsOf(r) - 1);
        continue;
      }
    }
    break;
  }
  return r;
}

// Clinger's fast path: when the digits and the power of ten are both exact
// doubles, one correctly rounded division or multiplication is the answer.
// A quotient by a power of ten cannot fall on a midpoint, and a product is
// taken only when it is exact, so no tie can arise here.
bool TryFastPath(const DecimalText& d, double& out) {
  constexpr std::uint64_t kExactLimit = std::uint64_t{1} << (detail::kFractionBits + 1);
  if (d.count > kExactDoubleDigits || d.exponent < -kMaxExactPow10 || d.exponent > kMaxExactPow10) {
    return false;
  }
  const std::uint64_t digits = d.leading;
  const int power = static_cast<int>(d.exponent);
  if (power <= 0) {
    out = static_cast<double>(digits) / kPow10[-power];
    return true;
  }
  std::uint64_t pow5 = 1;
  for (int i = 0; i < power; ++i) pow5 *= 5;
  if (digits > (kExactLimit - 1) / pow5) return false;
  out = static_cast<double>(digits) * kPow10[power];
  return true;
}

double ConvertMagnitude(DecimalText& d) {
  if (d.count == 0) return 0.0;
  double fast = 0.0;
  // Most typed figures pass as they stand; trailing zeros are dropped only
  // for the rest, where they may be all that keeps the fast path out.
  if (TryFastPath(d, fast)) return fast;
  DropTrailingZeros(d);
  if (TryFastPath(d, fast)) return fast;
  // Power of ten of the leading digit; far outside the double range the
  // answer is known without converting, and inside it the big integers of
  // the exact comparison stay within their capacity.
  const std::int64_t lead = d.exponent + d.count - 1;
  if (lead > kOverflowLeadExponent) return std::numeric_limits<double>::infinity();
  if (lead < kUnderflowLeadExponent) return 0.0;

  return NearestDouble(d);
}

// Most typed figures: at most kExactDoubleDigits digits, leading zeros
// included, and no exponent. Their digits are an exact double, and one
// correctly rounded division by an exact power of ten gives what the
// general reading gives them (TryFastPath), in one pass over the text.
// False for any other text, which the general reading takes.
bool ReadPlainFigure(std::string_view text, double& out) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint64_t digits = 0;
  int count = 0;
  int decimals = 0;
  bool point = false;
  for (; i < n; ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      if (++count > kExactDoubleDigits) return false;
      digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
      if (point) ++decimals;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (count == 0 || (i < n && IsExponentLetter(text[i]))) return false;
  const double magnitude = static_cast<double>(digits) / kPow10[decimals];
  out = negative ? -magnitude : magnitude;
  return true;
}

}  // namespace

double ParseValue(std::string_view text) {
  double plain = 0.0;
  if (ReadPlainFigure(text, plain)) return plain;
  DecimalText decimal;
  if (!ReadDecimal(text, decimal)) return 0.0;
  const double magnitude = ConvertMagnitude(decimal);
  return decimal.negative ? -magnitude : magnitude;
}

}  // namespace ratecalc
