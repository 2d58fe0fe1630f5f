#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>

#include "value_text.h"

namespace ratecalc {
namespace {

const double kInf = std::numeric_limits<double>::infinity();

struct ParseCase {
  const char* text;
  double expected;
};

// Compares bit patterns, so signed zeros and infinities are told apart.
void ExpectParses(std::initializer_list<ParseCase> cases) {
  for (const ParseCase& c : cases) {
    const double got = ParseValue(c.text);
    EXPECT_TRUE(std::memcmp(&got, &c.expected, sizeof got) == 0)
        << "'" << c.text << "' gave " << got << ", want " << c.expected;
  }
}

TEST(ParseValue, Grammar) {
  ExpectParses({{"  12.5", 12.5},
                {"12.5 per hour", 12.5},
                {"1,250.00", 1},
                {"\xa3"
                 "12",
                 0},
                {"", 0},
                {"1e3", 1000},
                {"1d3", 1000},
                {"1D3", 1000},
                {"1E+3", 1000},
                {"25e-1", 2.5},
                {".5", 0.5},
                {"5.", 5},
                {"+7", 7},
                {"-7", -7},
                {"-0", -0.0},
                {"\t\n\v\f\r 3", 3},
                {"12e", 12},
                {"12e+", 12},
                {"12e-x", 12},
                {"12.5-3", 12.5},
                {"1.2.3", 1.2},
                {"0.0", 0},
                {"13.8", 13.8},
                {"007.50", 7.5},
                {"0.000125", 0.000125},
                {"12.07%", 12.07},
                {"-.5e1", -5}});
}

TEST(ParseValue, TextThatIsNotANumberReadsAsZero) {
  ExpectParses({{"inf", 0},
                {"nan", 0},
                {"infinity", 0},
                {"0x1A", 0},
                {"-", 0},
                {"+", 0},
                {".", 0},
                {"-.", 0},
                {"e5", 0},
                {"d5", 0},
                {"x12", 0},
                {"- 1", 0},
                {"++1", 0},
                {"1,5", 1},
                {"\x01"
                 "5",
                 0},
                {"\xff\xfe", 0}});
}

TEST(ParseValue, ExactTiesGoTowardZero) {
  ExpectParses({{"9007199254740993", 9007199254740992.0},
                {"9007199254740995", 9007199254740994.0},  // strtod gives ...996
                {"9007199254740999", 9007199254740998.0},  // strtod gives ...9000
                {"-9007199254740995", -9007199254740994.0},
                {"9007199254740991.5", 9007199254740991.0},  // below a power of two
                {"18014398509481990", 18014398509481988.0},
                {"9.007199254740995e15", 9007199254740994.0},
                {"90071992547409950e-1", 9007199254740994.0}});
  // Just off the tie, the nearer double wins as usual.
  ExpectParses({{"9007199254740995.000001", 9007199254740996.0},
                {"9007199254740994.999999", 9007199254740994.0}});
}

TEST(ParseValue, AtMostTwentyFourSignificantDigitsTakePart) {
  EXPECT_EQ(ParseValue("123456789012345678901234567"), ParseValue("123456789012345678901234e3"));
  EXPECT_EQ(ParseValue("0.1234567890123456789012349999"), ParseValue("0.123456789012345678901234"));
  EXPECT_EQ(ParseValue("0.000000000000000000000000000001234567890123456789012345"),
            ParseValue("1.23456789012345678901234e-30"));
  // The 25th digit is dropped, leaving an exact tie that goes toward zero,
  // where the full text would round up.
  EXPECT_EQ(ParseValue("9007199254740995.000000009"), 9007199254740994.0);
  EXPECT_EQ(ParseValue("9007199254740995.00000001"), 9007199254740996.0);
}

TEST(ParseValue, OverflowAndUnderflowBoundaries) {
  const double max = std::numeric_limits<double>::max();
  const double tiny = std::numeric_limits<double>::denorm_min();
  ExpectParses({{"1e400", kInf},
                {"-1e400", -kInf},
                {"1.7976931348623157e308", max},
                {"1.7976931348623158e308", max},
                {"1.8e308", kInf},
                {"1e99999999999999999999999999", kInf},
                {"1e-99999999999999999999999999", 0},
                {"-1e-400", -0.0},
                {"4.9406564584124654e-324", tiny},
                {"3e-324", tiny},
                {"2e-324", 0},
                {"2.2250738585072014e-308", std::numeric_limits<double>::min()},
                {"0e999999", 0},
                {"0.000e-999999", 0}});
  std::string long_zero_fraction = "0." + std::string(500, '0') + "1e500";
  EXPECT_EQ(ParseValue(long_zero_fraction), 0.1);
  std::string long_integer = std::string(400, '9');
  EXPECT_EQ(ParseValue(long_integer), kInf);
}

TEST(ParseValue, NeverReadsPastTheGivenText) {
  const char buffer[] = "12345e7";
  EXPECT_EQ(ParseValue(std::string_view(buffer, 3)), 123.0);
  EXPECT_EQ(ParseValue(std::string_view(buffer, 6)), 12345.0);  // "12345e" without digits
  EXPECT_EQ(ParseValue(std::string_view(buffer, 0)), 0.0);
  const std::string huge(1 << 20, '7');
  EXPECT_EQ(ParseValue(huge), kInf);
}

// Each text sits in a heap block of exactly its size, so that reading one
// byte past its end is an overrun the sanitizers report.
TEST(ParseValue, StopsAtTheEndOfTextThatEndsMidNumber) {
  // clang-format off
  const ParseCase cases[] = {
      // text (no terminator follows it), value
      {"7", 7}, {"-", 0}, {"+", 0}, {"12.", 12}, {".", 0}, {"3e", 3}, {"3E+", 3}, {"3d-", 3},
      {"3e1", 30}, {" ", 0}, {"123456789012345678901234567", 123456789012345678901234567.0},
  };
  // clang-format on
  for (const ParseCase& c : cases) {
    const std::size_t size = std::strlen(c.text);
    const std::unique_ptr<char[]> exact(new char[size]);
    std::memcpy(exact.get(), c.text, size);
    EXPECT_EQ(ParseValue(std::string_view(exact.get(), size)), c.expected) << c.text;
  }
}

// Near 2^64 the exact comparison meets numbers of different limb counts.
TEST(ParseValue, DecimalsAroundTwoToTheSixtyFour) {
  ExpectParses({{"18446744073709551615", 18446744073709551616.0},
                {"18446744073709551617", 18446744073709551616.0},
                {"18446744073709553664", 18446744073709551616.0},  // tie above 2^64
                {"18446744073709553665", 18446744073709555712.0},
                {"18446744073709550592", 18446744073709549568.0},  // tie below 2^64
                {"18446744073709550593", 18446744073709551616.0}});
}

// Three eighths of a step below a power of two: past the midpoint where the
// spacing halves below the power, short of it at the least normal double,
// where it does not.
TEST(ParseValue, DecimalsJustBelowAPowerOfTwo) {
  const auto below = [](int k) { return std::nextafter(std::ldexp(1.0, k), 0.0); };
  ExpectParses({{"4.45014771701440239563123e-308", below(-1021)},
                {"2.22507385850720119781562e-308", std::ldexp(1.0, -1022)},
                {"2.22507385850720114099807e-308", std::ldexp(1.0, -1022)},  // 0.49 of a step
                {"9.99999999999999916733273e-1", below(0)},
                {"1.84467440737095500800000e+19", below(64)},
                {"8.98846567431157879020641e+307", below(1023)}});
}

// The 17-digit text of a power of two, and of the double just below it,
// takes the exact path, where the spacing halves across the power.
TEST(ParseValue, ReadsBackEveryPowerOfTwoAndItsNeighbourBelow) {
  for (int k = -1073; k <= 1023; ++k) {
    const double power = std::ldexp(1.0, k);
    for (const double x : {power, std::nextafter(power, 0.0)}) {
      char buf[64];
      const auto end =
          std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 16).ptr;
      ASSERT_EQ(ParseValue(std::string_view(buf, static_cast<std::size_t>(end - buf))), x) << buf;
    }
  }
}

double FromChars(const std::string& text) {
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// A decimal text a hair below the given digit string.
std::string JustBelow(std::string digits) {
  std::size_t i = digits.size();
  while (i > 0 && digits[i - 1] == '0') digits[--i] = '9';
  if (i > 0) --digits[i - 1];
  return digits + ".99999999999999999999";
}

// The standard library's parser, given a hair above and a hair below the
// text, brackets the answer: where both agree, that is the nearest double;
// where they differ, the text is an exact tie and the answer is the one
// nearer zero. Both texts have more than 19 digits, which keeps the
// standard library on its exact integer path (its short-input shortcut
// rounds twice on some x87 builds).
TEST(ParseValue, AgreesWithTheStandardLibraryAroundEveryText) {
  std::mt19937_64 rng(20121206);
  std::uniform_int_distribution<int> digit_count(1, 20);
  std::uniform_int_distribution<int> digit(1, 9);
  std::uniform_int_distribution<int> exponent(-300, 280);  // in range for both parsers
  int ties = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string digits;
    const int n = digit_count(rng);
    for (int k = 0; k < n; ++k) digits.push_back(static_cast<char>('0' + digit(rng)));
    std::string suffix = std::to_string(exponent(rng));
    suffix.insert(suffix.begin(), 'e');
    const double above = FromChars(digits + ".00000000000000000001" + suffix);
    const double below = FromChars(JustBelow(digits) + suffix);
    const double got = ParseValue(digits + suffix);
    if (above == below) {
      ASSERT_EQ(got, above) << digits << suffix;
    } else {
      ++ties;
      ASSERT_EQ(got, below) << digits << suffix;
      ASSERT_EQ(std::nextafter(below, kInf), above) << digits << suffix;
    }
  }
  EXPECT_LT(ties, 200);
}

TEST(ParseValue, ReadsBackEveryShortestAndSeventeenDigitForm) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t bits =
        (rng() & ~(std::uint64_t{0x7ff} << 52)) | (std::uint64_t{rng() % 0x7ff} << 52);
    double x = 0;
    std::memcpy(&x, &bits, sizeof x);
    char buf[64];
    auto end = std::to_chars(buf, buf + sizeof buf, x).ptr;
    ASSERT_EQ(ParseValue(std::string_view(buf, static_cast<std::size_t>(end - buf))), x) << buf;
    end = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 16).ptr;
    ASSERT_EQ(ParseValue(std::string_view(buf, static_cast<std::size_t>(end - buf))), x) << buf;
  }
}

// What the window shows is what the next calculation reads: formatting the
// value read back from a figure gives the same figure.
TEST(ValueTextRoundTrip, FiguresAreStable) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> amount(-1e7, 1e7);
  std::uniform_real_distribution<double> exponent(-20, 300);
  for (int i = 0; i < 20000; ++i) {
    const double x = i % 2 ? amount(rng) : std::pow(10.0, exponent(rng));
    const std::string shown = FormatValue(x);
    const double read = ParseValue(shown);
    ASSERT_EQ(FormatValue(read), shown) << x;
    if (std::fabs(x) < 1e7) {
      ASSERT_LE(std::fabs(read - x), 0.005 + 1e-9) << x;
    }
  }
}

}  // namespace
}  // namespace ratecalc
