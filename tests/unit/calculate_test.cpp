#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "rate_model.h"
#include "value_text.h"

namespace ratecalc {
namespace {

// The six figures as the window would show them, in field order.
struct Shown {
  std::string pay, charge, wtr, erni, margin_amt, margin_pct;
  bool operator==(const Shown&) const = default;
};

Shown Show(const RateModel& m) {
  return {FormatValue(m.nPayAmt),  FormatValue(m.nChargeAmt), FormatValue(m.nWTRPct),
          FormatValue(m.nERNIPct), FormatValue(m.nMarginAmt), FormatValue(m.nMarginPct)};
}

std::ostream& operator<<(std::ostream& os, const Shown& s) {
  return os << s.pay << " " << s.charge << " " << s.wtr << " " << s.erni << " " << s.margin_amt
            << " " << s.margin_pct;
}

struct Case {
  const char* name;
  double pay, charge, margin_amt, margin_pct;
  int wtr, erni;
  MarginFocus focus;
  Shown expected;
};

RateModel ModelFor(CalcMode mode, const Case& c) {
  RateModel m;
  m.sCalcMode = mode;
  m.nPayAmt = c.pay;
  m.nChargeAmt = c.charge;
  m.nMarginAmt = c.margin_amt;
  m.nMarginPct = c.margin_pct;
  m.bCalcWTR = c.wtr;
  m.bCalcERNI = c.erni;
  return m;
}

void RunCases(CalcMode mode, std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    RateModel m = ModelFor(mode, c);
    Calculate(m, c.focus);
    EXPECT_EQ(Show(m), c.expected) << c.name;
    EXPECT_EQ(m.sCalcMode, mode) << c.name;
    EXPECT_EQ(m.bCalcWTR, c.wtr) << c.name;
    EXPECT_EQ(m.bCalcERNI, c.erni) << c.name;
  }
}

using F = MarginFocus;

TEST(CalculatePay, DerivesPayFromChargeAndMargin) {
  // clang-format off
  RunCases(CalcMode::Pay, {
      // name, pay, charge, margin amount, margin %, WTR on, ER NI on, focus, expected fields
      {"worked example", 0, 20, 0, 10, 1, 1, F::Percent, {"14.11", "20.00", "12.07", "13.80", "2.00", "10.00"}},
      {"percentage wins without focus", 5, 20, 3, 10, 1, 1, F::None, {"14.11", "20.00", "12.07", "13.80", "2.00", "10.00"}},
      {"amount with on-costs off", 0, 20, 2, 0, 0, 0, F::None, {"18.00", "20.00", "12.07", "13.80", "2.00", "10.00"}},
      {"focus on amount clears the percentage first", 0, 20, 3, 10, 1, 1, F::Amount, {"13.33", "20.00", "12.07", "13.80", "3.00", "15.00"}},
      {"focus on percent ignores the amount", 0, 20, 3, 10, 0, 0, F::Percent, {"18.00", "20.00", "12.07", "13.80", "2.00", "10.00"}},
      {"only WTR", 0, 20, 0, 10, 1, 0, F::None, {"16.06", "20.00", "12.07", "13.80", "2.00", "10.00"}},
      {"all zero changes nothing", 0, 0, 0, 0, 1, 1, F::None, {"0.00", "0.00", "12.07", "13.80", "0.00", "0.00"}},
      {"margin above charge keeps the old pay", 7, 20, 25, 0, 1, 1, F::None, {"7.00", "20.00", "12.07", "13.80", "25.00", "0.00"}},
      {"cleared form stays cleared when nothing is stored", 7, 20, 25, 10, 1, 1, F::Amount, {"7.00", "20.00", "12.07", "13.80", "25.00", "0.00"}},
      {"negative margin is no input", 7, 20, -2, -10, 1, 1, F::None, {"7.00", "20.00", "12.07", "13.80", "-2.00", "-10.00"}},
  });
  // clang-format on
}

TEST(CalculateCharge, DerivesChargeFromPayAndMargin) {
  // clang-format off
  RunCases(CalcMode::Charge, {
      // name, pay, charge, margin amount, margin %, WTR on, ER NI on, focus, expected fields
      {"worked example", 14.11, 0, 0, 10, 1, 1, F::None, {"14.11", "19.99", "12.07", "13.80", "2.00", "10.00"}},
      {"amount with on-costs off", 18, 0, 2, 0, 0, 0, F::Amount, {"18.00", "20.00", "12.07", "13.80", "2.00", "10.00"}},
      {"margin of 100 percent or more with positive pay", 10, 5, 0, 150, 1, 1, F::None, {"10.00", "5.00", "12.07", "13.80", "0.00", "150.00"}},
      {"negative pay and margin above 100 percent", -10, 0, 0, 150, 1, 1, F::None, {"-10.00", "25.51", "12.07", "13.80", "38.26", "150.00"}},
      {"zero pay and zero amount", 0, 3, 0, 0, 1, 1, F::None, {"0.00", "3.00", "12.07", "13.80", "0.00", "0.00"}},
  });
  // clang-format on
}

TEST(CalculateMargin, DerivesMarginFromPayAndCharge) {
  // clang-format off
  RunCases(CalcMode::Margin, {
      // name, pay, charge, margin amount, margin %, WTR on, ER NI on, focus, expected fields
      {"worked example", 14.11, 20, 0, 0, 1, 1, F::None, {"14.11", "20.00", "12.07", "13.80", "2.00", "10.02"}},
      {"on-costs off: charge minus pay", 15, 20, 0, 0, 0, 0, F::None, {"15.00", "20.00", "12.07", "13.80", "5.00", "25.00"}},
      {"cost above charge gives a negative margin", 20, 20, 0, 0, 1, 1, F::None, {"20.00", "20.00", "12.07", "13.80", "-5.51", "-27.54"}},
      {"negative pay clears both margins", -1, 20, 4, 5, 1, 1, F::None, {"-1.00", "20.00", "12.07", "13.80", "0.00", "0.00"}},
      {"negative charge clears both margins", 1, -20, 4, 5, 1, 1, F::None, {"1.00", "-20.00", "12.07", "13.80", "0.00", "0.00"}},
      {"zero pay keeps the margins after the focus rule", 0, 20, 4, 5, 1, 1, F::Percent, {"0.00", "20.00", "12.07", "13.80", "0.00", "5.00"}},
  });
  // clang-format on
}

TEST(CalculateNonFinite, UnguardedDivisionsStoreInfinitiesAndNothingTraps) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();

  RateModel charge;
  charge.sCalcMode = CalcMode::Charge;
  charge.nPayAmt = 10;
  charge.nMarginPct = 100;
  Calculate(charge, MarginFocus::None);
  EXPECT_EQ(charge.nChargeAmt, inf);
  EXPECT_EQ(charge.nMarginAmt, inf);

  RateModel margin;
  margin.sCalcMode = CalcMode::Margin;
  margin.nPayAmt = 10;
  margin.nChargeAmt = 0;
  Calculate(margin, MarginFocus::None);
  EXPECT_EQ(margin.nMarginPct, -inf);

  RateModel pay;  // WTR at exactly -100 percent divides by zero
  pay.nWTRPct = -100;
  pay.nChargeAmt = 20;
  pay.nMarginPct = 10;
  pay.nPayAmt = 3;
  Calculate(pay, MarginFocus::None);
  EXPECT_EQ(pay.nPayAmt, inf);
  pay.nChargeAmt = 0;  // zero base: NaN fails the test, pay is kept
  pay.nMarginAmt = 0;
  Calculate(pay, MarginFocus::None);
  EXPECT_EQ(pay.nPayAmt, inf);

  RateModel huge;
  huge.sCalcMode = CalcMode::Margin;
  huge.nPayAmt = 1;
  huge.nChargeAmt = inf;
  Calculate(huge, MarginFocus::None);
  EXPECT_EQ(huge.nMarginAmt, inf);
  EXPECT_TRUE(std::isnan(huge.nMarginPct));

  RateModel not_a_number;
  not_a_number.sCalcMode = CalcMode::Margin;
  not_a_number.nPayAmt = nan;
  not_a_number.nMarginAmt = 4;
  Calculate(not_a_number, MarginFocus::None);
  EXPECT_EQ(not_a_number.nMarginAmt, 0.0);
  EXPECT_EQ(not_a_number.nMarginPct, 0.0);
}

// A fresh model carries the on-costs and mode a first run starts with: the
// worked example needs nothing but the charge and the margin.
TEST(CalculateDefaults, FreshModelGivesTheWorkedExample) {
  RateModel m;
  m.nChargeAmt = 20;
  m.nMarginPct = 10;
  Calculate(m, MarginFocus::None);
  EXPECT_EQ(Show(m), (Shown{"14.11", "20.00", "12.07", "13.80", "2.00", "10.00"}));
  EXPECT_EQ(m.sCalcMode, CalcMode::Pay);
  EXPECT_EQ(static_cast<int>(CalcMode::Margin), 3);
}

}  // namespace
}  // namespace ratecalc
