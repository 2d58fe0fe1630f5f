#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "value_text.h"

namespace ratecalc {
namespace {

constexpr int kSignificant = 17;
// DBL_MAX has 309 integer digits; one more for a carry.
constexpr int kMaxIntegerDigits = 310;

// The magnitude rounded half-up to 17 significant digits:
// digits[0].digits[1..16] x 10^exponent.
struct Digits17 {
  char digits[kSignificant];
  int exponent;
};

// Exact digits straight from the bits for 2^-8 <= magnitude < 2^53, which
// covers every figure a user types: the fraction has at most 60 bits, so
// multiplying it by ten never leaves 64 bits. False outside that range.
bool TryExactDigits(double magnitude, Digits17& out) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &magnitude, sizeof bits);
  const int biased = static_cast<int>(bits >> 52);
  const int e = biased - 1075;
  if (biased == 0 || e > 0 || e < -60) return false;
  const int j = -e;
  const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const std::uint64_t mask = (std::uint64_t{1} << j) - 1;
  std::uint64_t integer = m >> j;
  std::uint64_t fraction = m & mask;

  int count = 0;
  if (integer != 0) {
    char reversed[20];
    int n = 0;
    for (; integer != 0; integer /= 10) reversed[n++] = static_cast<char>('0' + integer % 10);
    out.exponent = n - 1;
    // Below 2^53 there are at most 16 integer digits; the bound is for the
    // compiler's sake.
    while (n > 0 && count < kSignificant) out.digits[count++] = reversed[--n];
  } else {
    out.exponent = 0;
    do {
      fraction *= 10;
      --out.exponent;
    } while ((fraction >> j) == 0);
    out.digits[count++] = static_cast<char>('0' + (fraction >> j));
    fraction &= mask;
  }
  for (; count < kSignificant; ++count) {
    fraction *= 10;
    out.digits[count] = static_cast<char>('0' + (fraction >> j));
    fraction &= mask;
  }
  // Half-up: the exact remainder against one half.
  if (j > 0 && fraction >= (std::uint64_t{1} << (j - 1))) {
    int i = kSignificant;
    while (i > 0 && out.digits[i - 1] == '9') out.digits[--i] = '0';
    if (i == 0) {
      out.digits[0] = '1';
      ++out.exponent;
    } else {
      ++out.digits[i - 1];
    }
  }
  return true;
}

Digits17 RoundTo17Digits(double magnitude) {
  Digits17 out{};
  // Below 2^-8 the digit at 10^-3 is at most 3 even after the first
  // rounding, so such values show as zero; treat them as zero outright.
  if (magnitude < 0.00390625) {
    std::memset(out.digits, '0', kSignificant);
    out.exponent = 0;
    return out;
  }
  if (TryExactDigits(magnitude, out)) return out;
  // From 2^53 up every double is an even integer, so its exact value never
  // ends in a lone 5 past the 17th digit: correctly rounded digits are the
  // half-up digits.
  char buf[32];
  const auto result = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific,
                                    kSignificant - 1);
  // buf holds "d.dddddddddddddddde+XX".
  out.digits[0] = buf[0];
  std::memcpy(out.digits + 1, buf + 2, kSignificant - 1);
  const char* p = buf + kSignificant + 2;
  const bool negative_exponent = *p == '-';
  int exponent = 0;
  for (++p; p < result.ptr; ++p) exponent = exponent * 10 + (*p - '0');
  out.exponent = negative_exponent ? -exponent : exponent;
  return out;
}

}  // namespace

std::string FormatValue(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0.0 ? "-inf" : "inf";

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

  char text[kMaxIntegerDigits + 5];
  char* out = text;
  if (value < 0.0) *out++ = '-';
  const std::size_t integer_digits = static_cast<std::size_t>(end - begin - 2);
  std::memcpy(out, begin, integer_digits);
  out += integer_digits;
  *out++ = '.';
  *out++ = end[-2];
  *out++ = end[-1];
  return std::string(text, out);
}

}  // namespace ratecalc
