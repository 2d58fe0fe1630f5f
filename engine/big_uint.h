// A fixed-width unsigned integer, just wide enough for the exact midpoint
// test of ParseValue. Callers keep every value below 2^768; nothing checks.
#pragma once

#include <cstdint>

namespace ratecalc::detail {

class BigUint {
 public:
  static constexpr int kLimbs = 24;

  explicit BigUint(std::uint64_t value) {
    limbs_[0] = static_cast<std::uint32_t>(value);
    limbs_[1] = static_cast<std::uint32_t>(value >> 32);
  }

  void MulAdd(std::uint32_t factor, std::uint32_t addend) {
    std::uint64_t carry = addend;
    for (std::uint32_t& limb : limbs_) {
      const std::uint64_t product = std::uint64_t{limb} * factor + carry;
      limb = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
  }

  void MulPow5(int exponent) {
    constexpr std::uint32_t kPow5_13 = 1220703125;  // the largest that fits
    for (; exponent >= 13; exponent -= 13) MulAdd(kPow5_13, 0);
    std::uint32_t rest = 1;
    for (; exponent > 0; --exponent) rest *= 5;
    MulAdd(rest, 0);
  }

  void ShiftLeft(int bits) {
    const int whole = bits / 32;
    const int part = bits % 32;
    for (int i = kLimbs - 1; i >= 0; --i) {
      const std::uint32_t high = i - whole >= 0 ? limbs_[i - whole] : 0;
      const std::uint32_t low = i - whole - 1 >= 0 ? limbs_[i - whole - 1] : 0;
      limbs_[i] = part == 0 ? high : (high << part) | (low >> (32 - part));
    }
  }

  friend bool operator==(const BigUint&, const BigUint&) = default;

 private:
  std::uint32_t limbs_[kLimbs] = {};
};

}  // namespace ratecalc::detail
