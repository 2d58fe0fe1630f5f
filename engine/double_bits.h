// A double's bits, for the engine's exact conversions. Internal to the engine.
#pragma once

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

// A non-negative finite double as m x 2^e exactly, and whether it is the
// first of its binade (a power of two), below which the spacing halves.
struct Decomposed {
  std::uint64_t m;
  int e;
  bool binade_start;
};

inline Decomposed Decompose(double x) {
  const std::uint64_t bits = BitsOf(x);
  const int biased = static_cast<int>(bits >> 52);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0) return {fraction, -1074, false};
  return {fraction | (std::uint64_t{1} << 52), biased - 1075, fraction == 0 && biased > 1};
}

}  // namespace ratecalc::detail
