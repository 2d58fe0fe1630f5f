#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "value_text.h"

namespace ratecalc {
namespace {

struct FormatCase {
  double value;
  const char* expected;
};

void ExpectFormats(std::initializer_list<FormatCase> cases) {
  for (const FormatCase& c : cases) {
    EXPECT_EQ(FormatValue(c.value), c.expected) << "value " << c.value;
  }
}

TEST(FormatValue, PlainFigures) {
  ExpectFormats({{0, "0.00"},
                 {12.07, "12.07"},
                 {13.8, "13.80"},
                 {987.5, "987.50"},
                 {-3.456, "-3.46"},
                 {1000000, "1000000.00"},
                 {0.1, "0.10"},
                 {99.999, "100.00"},
                 {-99.995, "-100.00"}});
}

TEST(FormatValue, ExactBinaryTiesRoundAwayFromZero) {
  ExpectFormats({{0.125, "0.13"},
                 {-0.125, "-0.13"},
                 {0.375, "0.38"},
                 {0.625, "0.63"},
                 {0.875, "0.88"},
                 {2.625, "2.63"},
                 {1023.125, "1023.13"}});
}

TEST(FormatValue, SeventeenDigitFormDecidesNearDecimalTies) {
  ExpectFormats({{1.075, "1.08"},  // 1.07499999999999995559... reaches the tie at 17 digits
                 {2.675, "2.67"},  // 2.67499999999999982236... does not
                 {0.995, "1.00"},
                 {0.105, "0.11"},
                 {1.005, "1.00"},
                 {-1.075, "-1.08"},
                 {std::nextafter(1.075, 0.0), "1.07"},
                 {std::nextafter(1.075, 2.0), "1.08"},
                 {std::nextafter(2.675, 3.0), "2.68"}});
}

TEST(FormatValue, ExactTieAtSeventeenDigitsRoundsHalfUp) {
  // 15 integer digits leave two decimals within 17 significant digits; the
  // exact value ends in 5 at the 18th, where round-half-even would go down.
  ExpectFormats({{123456789012345.125, "123456789012345.13"},
                 {123456789012345.625, "123456789012345.63"},
                 {-123456789012345.125, "-123456789012345.13"},
                 {123456789012345.375, "123456789012345.38"}});
}

TEST(FormatValue, LargeMagnitudesAreWrittenInFull) {
  ExpectFormats({{1e23, "99999999999999992000000.00"},
                 {1152921504606846976.0, "1152921504606847000.00"},  // 2^60, rounded up at 17
                 {9007199254740992.0 * 2, "18014398509481984.00"},
                 {9007199254740993.0, "9007199254740992.00"},
                 {123456789012345678.0, "123456789012345680.00"}});
  // The 17-digit rounding carries through seventeen nines into a new
  // leading digit, once far from the end of the digit buffer and once near it.
  EXPECT_EQ(FormatValue(1e98), "1" + std::string(98, '0') + ".00");
  EXPECT_EQ(FormatValue(1e220), "1" + std::string(220, '0') + ".00");
  EXPECT_EQ(FormatValue(1e100).size(), 104u);
  EXPECT_EQ(FormatValue(1e100).substr(0, 17), "10000000000000000");
  EXPECT_EQ(FormatValue(-1e100).size(), 105u);
  const std::string max = FormatValue(std::numeric_limits<double>::max());
  EXPECT_EQ(max.size(), 312u);
  EXPECT_EQ(max.substr(0, 18), "179769313486231570");
  EXPECT_EQ(max.substr(max.size() - 4), "0.00");
}

TEST(FormatValue, TinyAndSignedValues) {
  ExpectFormats({{-0.0, "0.00"},
                 {-0.004, "-0.00"},
                 {0.004, "0.00"},
                 {0.005, "0.01"},
                 {-0.005, "-0.01"},
                 {0.0049999, "0.00"},
                 {1e-300, "0.00"},
                 {-1e-300, "-0.00"},
                 {std::numeric_limits<double>::denorm_min(), "0.00"},
                 {-std::numeric_limits<double>::denorm_min(), "-0.00"},
                 {std::numeric_limits<double>::min(), "0.00"}});
}

TEST(FormatValue, NonFiniteValuesHaveShortNamesThatReadBackAsZero) {
  const double inf = std::numeric_limits<double>::infinity();
  ExpectFormats({{inf, "inf"}, {-inf, "-inf"}, {std::nan(""), "nan"}});
  EXPECT_EQ(ParseValue(FormatValue(inf)), 0.0);
  EXPECT_EQ(ParseValue(FormatValue(std::nan(""))), 0.0);
}

}  // namespace
}  // namespace ratecalc
