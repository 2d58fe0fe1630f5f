#include "cost_breakdown.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

namespace ratecalc {
namespace {

// pay, WTR, ER NI, cost, margin, margin %, charge
using Lines = std::array<std::string, 7>;

// The on-costs as a payslip states them, in long double and by division,
// within the half penny each line is rounded by.
void ExpectNearPayslip(const RateModel& m, const CostBreakdown& b, const char* name) {
  const long double pay = m.nPayAmt, wtr_rate = m.bCalcWTR ? m.nWTRPct / 100.0L : 0,
                    erni_rate = m.bCalcERNI ? m.nERNIPct / 100.0L : 0;
  const std::pair<long double, const ValueText&> lines[] = {
      {pay * wtr_rate, b.wtr},
      {pay * (1 + wtr_rate) * erni_rate, b.erni},
      {pay * (1 + wtr_rate) * (1 + erni_rate), b.cost}};
  for (const auto& [want, text] : lines) {
    if (want > std::numeric_limits<double>::max())
      EXPECT_EQ(text.view(), "inf") << name;
    else
      EXPECT_LE(std::fabs(ParseValue(text.view()) - want), 0.005L + std::fabs(want) * 1e-15L)
          << name;
  }
}

TEST(CostBreakdown, LinesAfterEachCalculation) {
  const struct {
    const char* name;
    CalcMode mode;
    double pay, charge, margin_amt, margin_pct;
    int wtr, erni;
    Lines lines;
    bool adds_up;
  } kRows[] = {
      // clang-format off
      {"worked example", CalcMode::Pay, 0, 20, 0, 10, 1, 1, {"14.11", "1.70", "2.18", "18.00", "2.00", "10.00", "20.00"}, false},
      {"Charge mode", CalcMode::Charge, 14.11, 0, 0, 10, 1, 1, {"14.11", "1.70", "2.18", "18.00", "2.00", "10.00", "19.99"}, false},
      {"Margin mode", CalcMode::Margin, 15, 20, 0, 0, 1, 1, {"15.00", "1.81", "2.32", "19.13", "0.87", "4.35", "20.00"}, true},
      {"cost above the charge", CalcMode::Margin, 25.5, 20, 0, 0, 0, 0, {"25.50", "0.00", "0.00", "25.50", "-5.50", "-27.50", "20.00"}, true},
      {"only WTR", CalcMode::Pay, 0, 20, 0, 10, 1, 0, {"16.06", "1.94", "0.00", "18.00", "2.00", "10.00", "20.00"}, true},
      {"only ER NI", CalcMode::Pay, 0, 20, 0, 10, 0, 1, {"15.82", "0.00", "2.18", "18.00", "2.00", "10.00", "20.00"}, true},
      {"both off: the pay is the cost", CalcMode::Pay, 0, 20, 0, 10, 0, 0, {"18.00", "0.00", "0.00", "18.00", "2.00", "10.00", "20.00"}, true},
      {"all zero", CalcMode::Margin, 0, 0, 0, 0, 1, 1, {"0.00", "0.00", "0.00", "0.00", "0.00", "0.00", "0.00"}, true},
      {"a zero charge", CalcMode::Margin, 10, 0, 0, 0, 1, 1, {"10.00", "1.21", "1.55", "12.75", "-12.75", "-inf", "0.00"}, false},
      {"a refused pay keeps figures that do not add up", CalcMode::Pay, 7, 20, 25, 0, 0, 0, {"7.00", "0.00", "0.00", "7.00", "25.00", "0.00", "20.00"}, false},
      {"too large for pennies, adding up", CalcMode::Margin, 1e20, 3e20, 0, 0, 0, 0, {"100000000000000000000.00", "0.00", "0.00", "100000000000000000000.00", "200000000000000000000.00", "66.67", "300000000000000000000.00"}, true},
      {"too large for pennies, 8 astray", CalcMode::Pay, 0, 1e17, 0, 10, 1, 1, {"70568498253743312.00", "8517617739226818.00", "10913884007029878.00", "90000000000000000.00", "10000000000000000.00", "10.00", "100000000000000000.00"}, false},
      {"too large for pennies, 2000 astray", CalcMode::Margin, 1e20, 2e20, 0, 0, 1, 1, {"100000000000000000000.00", "12070000000000000000.00", "15465660000000002000.00", "127535660000000000000.00", "72464340000000000000.00", "36.23", "200000000000000000000.00"}, false},
      {"a cost beyond the largest double", CalcMode::Margin, 1.5e308, 0, 0, 0, 1, 1, {"15" + std::string(307, '0') + ".00", "18105000000000001" + std::string(291, '0') + ".00", "23198490000000003" + std::string(291, '0') + ".00", "inf", "-inf", "-inf", "0.00"}, false},
      // clang-format on
  };
  for (const auto& row : kRows) {
    RateModel m;
    m.sCalcMode = row.mode;
    m.nPayAmt = row.pay;
    m.nChargeAmt = row.charge;
    m.nMarginAmt = row.margin_amt;
    m.nMarginPct = row.margin_pct;
    m.bCalcWTR = row.wtr;
    m.bCalcERNI = row.erni;
    Calculate(m, MarginFocus::None);
    const CostBreakdown b = BreakdownOf(m);
    const Lines lines = {std::string(b.pay.view()),    std::string(b.wtr.view()),
                         std::string(b.erni.view()),   std::string(b.cost.view()),
                         std::string(b.margin.view()), std::string(b.margin_pct.view()),
                         std::string(b.charge.view())};
    EXPECT_EQ(lines, row.lines) << row.name;
    EXPECT_EQ(b.adds_up, row.adds_up) << row.name;
    EXPECT_EQ(std::pair(b.wtr_on, b.erni_on), std::pair(row.wtr == 1, row.erni == 1)) << row.name;
    ExpectNearPayslip(m, b, row.name);
  }
}

}  // namespace
}  // namespace ratecalc
