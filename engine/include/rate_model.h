// The rate model: pay, charge, the two on-costs and the margin, and the one
// calculation that derives whichever of them the mode names.
#pragma once

namespace ratecalc {

enum class CalcMode { Pay = 1, Charge = 2, Margin = 3 };

// Which margin field held the keyboard focus when the calculation was asked
// for; the field the user typed in decides which margin form is the input.
enum class MarginFocus { None, Amount, Percent };

struct RateModel {
  double nPayAmt = 0.0;
  double nChargeAmt = 0.0;
  double nWTRPct = 12.07;
  double nERNIPct = 13.8;
  double nMarginAmt = 0.0;
  double nMarginPct = 0.0;
  int bCalcWTR = 1;
  int bCalcERNI = 1;
  CalcMode sCalcMode = CalcMode::Pay;
};

// Derives the mode's quantity in place. Every operation is one IEEE double
// operation in a fixed order, so results are identical on every build.
// Infinities and NaNs are stored like any other value; nothing traps.
void Calculate(RateModel& model, MarginFocus focus);

// The model's pay raised to its cost the way Calculate raises it: WTR on the
// pay, then ER NI on the pay with WTR, each on-cost in pounds as it was
// added. An on-cost switched off is 0 and adds nothing.
struct OnCosts {
  double wtr;
  double erni;
  double cost;
};
OnCosts OnCostsOf(const RateModel& model);

}  // namespace ratecalc
