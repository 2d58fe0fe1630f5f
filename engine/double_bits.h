// A double's bits, for the engine's exact conversions. Internal to the engine.
#pragma once

#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace ratecalc::detail {

inline std::uint64_t BitsOf(double x) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

inline double FromBits(std::uint64_t bits) {
  double x = 0;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

// The binary64 layout: a 52-bit stored fraction under an 11-bit exponent
// biased by 1023. With the fraction read as an integer, a normal double is
// (2^52 + fraction) x 2^(biased - 1075), and a subnormal fraction x 2^-1074.
inline constexpr int kFractionBits = 52;
inline constexpr int kIntegerExponentBias = 1023 + kFractionBits;
inline constexpr int kSubnormalExponent = 1 - kIntegerExponentBias;

// A non-negative finite double as m x 2^e exactly, and whether it is the
// first of its binade (a power of two), below which the spacing halves.
struct Decomposed {
  std::uint64_t m;
  int e;
  bool binade_start;
};

inline Decomposed Decompose(double x) {
  assert(!std::signbit(x) && std::isfinite(x));
  const std::uint64_t bits = BitsOf(x);
  const int biased = static_cast<int>(bits >> kFractionBits);
  const std::uint64_t hidden_bit = std::uint64_t{1} << kFractionBits;
  const std::uint64_t fraction = bits & (hidden_bit - 1);
  if (biased == 0) return {fraction, kSubnormalExponent, false};
  return {fraction | hidden_bit, biased - kIntegerExponentBias, fraction == 0 && biased > 1};
}

}  // namespace ratecalc::detail
