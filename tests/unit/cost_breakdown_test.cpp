#include "cost_breakdown.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace ratecalc {
namespace {

// The on-costs as a payslip states them, in long double and by division:
// each line within the half penny it is rounded by.
void ExpectNearPayslip(const RateModel& m, const CostBreakdown& b, const char* name) {
  const long double pay = m.nPayAmt, wtr = m.bCalcWTR ? m.nWTRPct / 100.0L : 0,
                    erni = m.bCalcERNI ? m.nERNIPct / 100.0L : 0;
  const long double want[] = {pay * wtr, pay * (1 + wtr) * erni, pay * (1 + wtr) * (1 + erni)};
  const ValueText* got[] = {&b.wtr, &b.erni, &b.cost};
  for (int i = 0; i < 3; ++i) {
    if (got[i]->view() == "inf")
      EXPECT_GT(want[i], std::numeric_limits<double>::max()) << name;
    else
      EXPECT_LE(std::fabs(ParseValue(got[i]->view()) - want[i]), 0.005L + want[i] * 1e-15L) << name;
  }
}

TEST(CostBreakdown, LinesAfterEachCalculation) {
  using M = CalcMode;
  const std::string zeros = std::string(291, '0') + ".00";
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    const char* name;
    RateModel model;    // pay, charge, WTR %, ER NI %, margin, margin %, WTR on, ER NI on, mode
    std::string lines;  // pay, WTR, ER NI, cost, margin, margin %, charge
    bool adds_up;
  } kRows[] = {
      // clang-format off
      {"worked example", {0, 20, 12.07, 13.8, 0, 10, 1, 1, M::Pay}, "14.11 1.70 2.18 18.00 2.00 10.00 20.00", false},
      {"Charge mode", {14.11, 0, 12.07, 13.8, 0, 10, 1, 1, M::Charge}, "14.11 1.70 2.18 18.00 2.00 10.00 19.99", false},
      {"Margin mode", {15, 20, 12.07, 13.8, 0, 0, 1, 1, M::Margin}, "15.00 1.81 2.32 19.13 0.87 4.35 20.00", true},
      {"cost above the charge", {25.5, 20, 12.07, 13.8, 0, 0, 0, 0, M::Margin}, "25.50 0.00 0.00 25.50 -5.50 -27.50 20.00", true},
      {"only WTR", {0, 20, 12.07, 13.8, 0, 10, 1, 0, M::Pay}, "16.06 1.94 0.00 18.00 2.00 10.00 20.00", true},
      {"only ER NI", {0, 20, 12.07, 13.8, 0, 10, 0, 1, M::Pay}, "15.82 0.00 2.18 18.00 2.00 10.00 20.00", true},
      {"both off: the pay is the cost", {0, 20, 12.07, 13.8, 0, 10, 0, 0, M::Pay}, "18.00 0.00 0.00 18.00 2.00 10.00 20.00", true},
      {"a zero charge", {10, 0, 12.07, 13.8, 0, 0, 1, 1, M::Margin}, "10.00 1.21 1.55 12.75 -12.75 -inf 0.00", false},
      {"a refused pay keeps figures that do not add up", {7, 20, 12.07, 13.8, 25, 0, 0, 0, M::Pay}, "7.00 0.00 0.00 7.00 25.00 0.00 20.00", false},
      {"too large for pennies, adding up", {1e20, 3e20, 12.07, 13.8, 0, 0, 0, 0, M::Margin}, "100000000000000000000.00 0.00 0.00 100000000000000000000.00 200000000000000000000.00 66.67 300000000000000000000.00", true},
      {"too large for pennies, 8 astray", {0, 1e17, 12.07, 13.8, 0, 10, 1, 1, M::Pay}, "70568498253743312.00 8517617739226818.00 10913884007029878.00 90000000000000000.00 10000000000000000.00 10.00 100000000000000000.00", false},
      {"a margin of minus infinity, typed as -1e400", {16.74, 10, 12.07, 13.8, -inf, 0, 0, 0, M::Pay}, "16.74 0.00 0.00 16.74 -inf 0.00 10.00", false},
      {"a cost beyond the largest double", {1.5e308, 0, 12.07, 13.8, 0, 0, 1, 1, M::Margin}, "15" + std::string(307, '0') + ".00 18105000000000001" + zeros + " 23198490000000003" + zeros + " inf -inf -inf 0.00", false},
      // clang-format on
  };
  for (const auto& row : kRows) {
    RateModel m = row.model;
    Calculate(m, MarginFocus::None);
    const CostBreakdown b = BreakdownOf(m);
    std::string lines = b.pay.c_str();
    for (const ValueText* line : {&b.wtr, &b.erni, &b.cost, &b.margin, &b.margin_pct, &b.charge})
      lines = lines + " " + line->c_str();
    EXPECT_EQ(lines, row.lines) << row.name;
    EXPECT_EQ(b.adds_up, row.adds_up) << row.name;
    EXPECT_EQ(b.wtr_on + 2 * b.erni_on, m.bCalcWTR + 2 * m.bCalcERNI) << row.name;
    ExpectNearPayslip(m, b, row.name);
  }
}

}  // namespace
}  // namespace ratecalc
