// A fixed-capacity unsigned integer for the engine's exact conversions: the
// comparisons with midpoints in ParseValue and the digits of large values
// in FormatValue. Callers keep every value below 2^1088 (kLimbs limbs of 32
// bits); debug builds assert it.
#pragma once

#include <cassert>
#include <cstdint>

namespace ratecalc::detail {

class BigUint {
 public:
  static constexpr int kLimbs = 34;

  explicit BigUint(std::uint64_t value) {
    limbs_[0] = static_cast<std::uint32_t>(value);
    limbs_[1] = static_cast<std::uint32_t>(value >> 32);
    size_ = limbs_[1] != 0 ? 2 : (limbs_[0] != 0 ? 1 : 0);
  }

  bool IsZero() const { return size_ == 0; }

  void MulAdd(std::uint32_t factor, std::uint32_t addend) {
    std::uint64_t carry = addend;
    for (int i = 0; i < size_; ++i) {
      const std::uint64_t product = std::uint64_t{limbs_[i]} * factor + carry;
      limbs_[i] = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) {
      assert(size_ < kLimbs);
      limbs_[size_++] = static_cast<std::uint32_t>(carry);
    }
    Trim();
  }

  void MulPow5(int exponent) {
    // 5^13 is the largest power of five below 2^32.
    constexpr int kPow5Step = 13;
    constexpr std::uint32_t kPow5_13 = 1220703125;
    for (; exponent >= kPow5Step; exponent -= kPow5Step) MulAdd(kPow5_13, 0);
    std::uint32_t rest = 1;
    for (; exponent > 0; --exponent) rest *= 5;
    MulAdd(rest, 0);
  }

  void ShiftLeft(int bits) {
    if (size_ == 0) return;
    const int whole = bits / 32;
    const int part = bits % 32;
    const int new_size = size_ + whole + 1;
    assert(new_size <= kLimbs);
    for (int i = new_size - 1; i >= 0; --i) {
      const std::uint32_t high = i - whole >= 0 && i - whole < size_ ? limbs_[i - whole] : 0;
      const std::uint32_t low =
          i - whole - 1 >= 0 && i - whole - 1 < size_ ? limbs_[i - whole - 1] : 0;
      limbs_[i] = part == 0 ? high : (high << part) | (low >> (32 - part));
    }
    size_ = new_size;
    Trim();
  }

  // Divides in place and returns the remainder.
  std::uint32_t DivRem(std::uint32_t divisor) {
    std::uint64_t remainder = 0;
    for (int i = size_ - 1; i >= 0; --i) {
      const std::uint64_t current = (remainder << 32) | limbs_[i];
      limbs_[i] = static_cast<std::uint32_t>(current / divisor);
      remainder = current % divisor;
    }
    Trim();
    return static_cast<std::uint32_t>(remainder);
  }

  // -1, 0 or 1 as a is less than, equal to or greater than b.
  friend int Compare(const BigUint& a, const BigUint& b) {
    if (a.size_ != b.size_) return a.size_ < b.size_ ? -1 : 1;
    for (int i = a.size_ - 1; i >= 0; --i) {
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    }
    return 0;
  }

 private:
  void Trim() {
    while (size_ > 0 && limbs_[size_ - 1] == 0) --size_;
  }

  std::uint32_t limbs_[kLimbs] = {};
  int size_ = 0;
};

}  // namespace ratecalc::detail
