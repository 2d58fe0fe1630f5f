#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "big_uint.h"
#include "value_text.h"

namespace ratecalc {
namespace {

constexpr int kMaxDigits = 24;
// Exponent texts are clamped here; anything beyond is out of range anyway.
constexpr std::int64_t kExponentClamp = 100000000;

// The number as the grammar read it: digits x 10^exponent, with leading
// zeros dropped and at most kMaxDigits significant digits kept.
struct DecimalText {
  char digits[kMaxDigits];
  int count = 0;
  std::uint64_t leading = 0;  // the first (up to 19) digits as an integer
  std::int64_t exponent = 0;
  bool negative = false;
};

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads an exponent part at `i` if one is there in full; returns its value,
// or 0 and leaves `i` alone when the letter is not followed by digits.
std::int64_t ReadExponent(std::string_view text, std::size_t& i) {
  std::size_t j = i;
  if (j >= text.size()) return 0;
  const char letter = text[j];
  if (letter != 'e' && letter != 'E' && letter != 'd' && letter != 'D') return 0;
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
    if (out.count < 19) out.leading = out.leading * 10 + static_cast<std::uint64_t>(c - '0');
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
    if (d.count <= 19) d.leading /= 10;
    --d.count;
    ++d.exponent;
  }
}

std::uint64_t BitsOf(double x) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

double FromBits(std::uint64_t bits) {
  double x = 0;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

// Whether the decimal equals, exactly, the point halfway between the
// positive double r and the next double below it.
bool IsLowerMidpoint(const DecimalText& d, double r) {
  const std::uint64_t bits = BitsOf(r);
  const int biased = static_cast<int>(bits >> 52);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0 && fraction == 0) return false;
  const std::uint64_t m = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
  const int e = biased == 0 ? -1074 : biased - 1075;
  // Below a power of two the spacing halves.
  const bool at_binade_start = fraction == 0 && biased > 1;
  const std::uint64_t mid_m = at_binade_start ? 4 * m - 1 : 2 * m - 1;
  const int mid_e = at_binade_start ? e - 2 : e - 1;
  // mid_m is odd, so a midpoint with more than 24 significant digits cannot
  // equal the decimal: that rules out mid_e < -34 (5^35 > 10^24) and
  // mid_e > 160 (at most 10^23 divides it). Most values end here.
  if (mid_e < -34 || mid_e > 160) return false;
  const std::int64_t e10 = d.exponent;
  if (e10 < -80 || e10 > 80) return false;

  detail::BigUint lhs(0);
  for (int i = 0; i < d.count; ++i) lhs.MulAdd(10, static_cast<std::uint32_t>(d.digits[i] - '0'));
  detail::BigUint rhs(mid_m);
  // digits x 5^e10 x 2^e10 == mid_m x 2^mid_e, with negative powers moved
  // across. The bounds above keep every product inside the integer.
  const int p10 = static_cast<int>(e10);
  if (p10 >= 0) {
    lhs.MulPow5(p10);
  } else {
    rhs.MulPow5(-p10);
  }
  if (p10 > mid_e) {
    lhs.ShiftLeft(p10 - mid_e);
  } else {
    rhs.ShiftLeft(mid_e - p10);
  }
  return lhs == rhs;
}

// Clinger's fast path: when the digits and the power of ten are both exact
// doubles, one correctly rounded division or multiplication is the answer.
// A quotient by a power of ten cannot fall on a midpoint, and a product is
// taken only when it is exact, so no tie can arise here.
bool TryFastPath(const DecimalText& d, double& out) {
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  constexpr std::uint64_t kExactLimit = std::uint64_t{1} << 53;
  if (d.count > 15 || d.exponent < -22 || d.exponent > 22) return false;
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
  if (TryFastPath(d, fast)) return fast;
  DropTrailingZeros(d);
  if (TryFastPath(d, fast)) return fast;
  // Power of ten of the leading digit; far outside the double range the
  // answer is known without converting.
  const std::int64_t lead = d.exponent + d.count - 1;
  if (lead > 310) return std::numeric_limits<double>::infinity();
  if (lead < -330) return 0.0;

  char buf[kMaxDigits + 8];
  std::memcpy(buf, d.digits, static_cast<std::size_t>(d.count));
  char* end = buf + d.count;
  *end++ = 'e';
  end = std::to_chars(end, buf + sizeof buf, static_cast<int>(d.exponent)).ptr;

  // from_chars rounds to nearest with ties to even; the tie rule here is
  // toward zero, which the midpoint test below restores.
  double r = 0.0;
  const auto result = std::from_chars(buf, end, r);
  if (result.ec == std::errc::result_out_of_range) {
    return lead > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  if (std::isinf(r)) return r;
  if (IsLowerMidpoint(d, r)) r = FromBits(BitsOf(r) - 1);
  return r;
}

}  // namespace

double ParseValue(std::string_view text) {
  DecimalText decimal;
  if (!ReadDecimal(text, decimal)) return 0.0;
  const double magnitude = ConvertMagnitude(decimal);
  return decimal.negative ? -magnitude : magnitude;
}

}  // namespace ratecalc
