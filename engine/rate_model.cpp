#include "rate_model.h"

namespace ratecalc {
namespace {

// Written as a comparison that is false for NaN as well as for zero.
bool IsPositive(double x) { return x > 0.0; }

double GrossDown(const RateModel& m, double cost) {
  double x = cost;
  if (m.bCalcWTR) x = x / (m.nWTRPct + 100.0) * 100.0;
  if (m.bCalcERNI) x = x / (m.nERNIPct + 100.0) * 100.0;
  return x;
}

void DerivePay(RateModel& m) {
  const double charge = m.nChargeAmt;
  if (IsPositive(m.nMarginPct)) {
    const double margin = (m.nMarginPct * charge) * 0.01;
    const double pay = GrossDown(m, charge - margin);
    if (IsPositive(pay)) {
      m.nPayAmt = pay;
      m.nMarginAmt = margin;
    }
  } else if (IsPositive(m.nMarginAmt)) {
    const double pay = GrossDown(m, charge - m.nMarginAmt);
    if (IsPositive(pay)) {
      m.nPayAmt = pay;
      m.nMarginPct = (m.nMarginAmt / charge) * 100.0;
    }
  }
}

void DeriveCharge(RateModel& m) {
  if (IsPositive(m.nMarginPct)) {
    const double cost = OnCostsOf(m).cost;
    const double charge = (cost / (100.0 - m.nMarginPct)) * 100.0;
    if (IsPositive(charge)) {
      m.nChargeAmt = charge;
      m.nMarginAmt = (m.nMarginPct * charge) * 0.01;
    }
  } else if (IsPositive(m.nMarginAmt)) {
    const double cost = OnCostsOf(m).cost;
    const double charge = cost + m.nMarginAmt;
    if (IsPositive(charge)) {
      m.nChargeAmt = charge;
      m.nMarginPct = (m.nMarginAmt / charge) * 100.0;
    }
  }
}

void DeriveMargin(RateModel& m) {
  // Negated comparisons so that a NaN pay or charge also takes this branch.
  if (!(m.nPayAmt >= 0.0) || !(m.nChargeAmt >= 0.0)) {
    m.nMarginAmt = 0.0;
    m.nMarginPct = 0.0;
    return;
  }
  const double cost = OnCostsOf(m).cost;
  if (IsPositive(cost)) {
    m.nMarginAmt = m.nChargeAmt - cost;
    m.nMarginPct = (m.nMarginAmt / m.nChargeAmt) * 100.0;
  }
}

}  // namespace

OnCosts OnCostsOf(const RateModel& model) {
  OnCosts steps{0.0, 0.0, model.nPayAmt};
  if (model.bCalcWTR) {
    steps.wtr = (model.nWTRPct * 0.01) * steps.cost;
    steps.cost = steps.cost + steps.wtr;
  }
  if (model.bCalcERNI) {
    steps.erni = (model.nERNIPct * 0.01) * steps.cost;
    steps.cost = steps.cost + steps.erni;
  }
  return steps;
}

void Calculate(RateModel& model, MarginFocus focus) {
  if (focus == MarginFocus::Amount) model.nMarginPct = 0.0;
  if (focus == MarginFocus::Percent) model.nMarginAmt = 0.0;

  switch (model.sCalcMode) {
    case CalcMode::Pay:
      DerivePay(model);
      break;
    case CalcMode::Charge:
      DeriveCharge(model);
      break;
    case CalcMode::Margin:
      DeriveMargin(model);
      break;
  }
}

}  // namespace ratecalc
