// Every build (native, sanitized, i686 under Wine) must compute the same bits.
// This suite folds the results of a fixed grid of calculations and
// conversions into one digest and compares it with the digest the native
// build produced when it was recorded; a different compiler flag, an x87
// register or a contracted multiply-add anywhere changes it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "rate_model.h"
#include "value_text.h"

namespace ratecalc {
namespace {

class Digest {
 public:
  void Add(double x) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    for (int i = 0; i < 8; ++i) Byte(static_cast<unsigned char>(bits >> (8 * i)));
  }
  void Add(const std::string& s) {
    for (char c : s) Byte(static_cast<unsigned char>(c));
    Byte(0);
  }
  std::uint64_t value() const { return hash_; }

 private:
  void Byte(unsigned char b) {
    hash_ ^= b;
    hash_ *= 1099511628211ULL;  // FNV-1a
  }
  std::uint64_t hash_ = 14695981039346656037ULL;
};

constexpr std::uint64_t kRecordedDigest = 16625221396688130312ULL;

TEST(CrossBuild, GridOfCalculationsAndConversionsIsBitIdentical) {
  Digest digest;
  const double amounts[] = {0, 0.01, 7.5, 14.11, 20, 99.99, 1234.56, -10, 1e6, 3.3333};
  const double percents[] = {0, 0.5, 10, 12.07, 13.8, 33.3, 99.99, 100, 150, -100};
  for (int mode = 1; mode <= 3; ++mode) {
    for (double a : amounts) {
      for (double b : amounts) {
        for (double pct : percents) {
          for (int flags = 0; flags < 4; ++flags) {
            RateModel m;
            m.sCalcMode = static_cast<CalcMode>(mode);
            m.nPayAmt = a;
            m.nChargeAmt = b;
            m.nMarginAmt = a / 3;
            m.nMarginPct = pct;
            m.nWTRPct = pct;
            m.bCalcWTR = flags & 1;
            m.bCalcERNI = flags >> 1;
            Calculate(m, static_cast<MarginFocus>(flags % 3));
            for (double v : {m.nPayAmt, m.nChargeAmt, m.nMarginAmt, m.nMarginPct}) {
              digest.Add(v);
              digest.Add(FormatValue(v));
              digest.Add(ParseValue(FormatValue(v * 1.0009765625)));
            }
          }
        }
      }
    }
  }
  EXPECT_EQ(digest.value(), kRecordedDigest);
}

}  // namespace
}  // namespace ratecalc
